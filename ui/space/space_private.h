// Between the space view's files: the page, its list and its treemap.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

struct SpaceRow;
class SpaceTree;

#include "uimodel/page_phase.h"

// The treemap's window class.
constexpr wchar_t kTreemapClass[] = L"NorvaleTreemap";

// space_state.cpp: the page's controls and phase.
HWND SpaceControl(int id);
void CreateSpaceControls(HWND window);
ScanPhase SpaceCurrentPhase();
// Only the page's phase change calls it; the busy flag follows the phase.
void StoreSpacePhase(ScanPhase phase);

// space_view.cpp: the tree shown and its rows (main thread only).
// Shows a new tree from its root, freeing the old; returns the bytes it counted.
uint64_t TakeSpaceTree(SpaceTree* tree, uint64_t used);
// Sets 开始分析, 上一级 and 打开 from the phase and the folder shown.
void ApplySpaceEnabled();
// Counts the times the rows shown were replaced.
uint32_t SpaceRowsGeneration();
LRESULT OnSpaceListNotify(NMHDR* header);
LRESULT OnSpaceUpCommand();
LRESULT OnSpaceOpenCommand();
// 导出: a menu of what to write (the list shown, the tree 3 levels deep or
// whole), then the save dialog.
LRESULT OnSpaceExportCommand();
// For the treemap: the rows shown (in list order), the selected one (-1),
// selecting one, and showing a folder row's contents.
const SpaceRow* SpaceRowsShown(int32_t* count);
const SpaceTree* SpaceTreeShown(uint32_t* folder);
int32_t SpaceSelectedRow();
void SelectSpaceRow(int32_t row);
void ShowSpaceRow(int32_t row);

// treemap_view.cpp: the treemap beside the list, a window of kTreemapClass;
// it lays out the rows again when their generation changes.
bool RegisterTreemapClass();
