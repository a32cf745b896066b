// Between the space view's files: the page, its list and its treemap.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

struct SpaceRow;
struct SpaceExtensionSum;
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
// Shows a folder of the tree (not a link nor one that could not be read).
void ShowSpaceFolder(uint32_t folder);

// For a deletion (main thread): the tree shown, to take a deleted item out
// of it; then the bytes it freed on the volume (the 未统计 row keeps to
// what the scan could not see) and the rows shown again, row `select`
// selected where there is one.
SpaceTree* SpaceTreeToChange();
void SpaceTreeChanged(uint64_t freedSpace);
void ShowSpaceFolderAgain(int32_t select);
// The list is the files view's until it leaves: the tree's rows are dropped.
void HandSpaceListToFiles();

// space_files_view.cpp: the files of the folder shown as the disk lists
// them now, in the list in place of its rows. The listing is freed as soon
// as any folder is shown again (上一级 included): the tree alone stays.
bool SpaceFilesShown();
void ShowSpaceFiles();
void LeaveSpaceFiles();
void OpenSpaceListedFile(int32_t row);
void DeleteSpaceListedFile(int32_t row);
void SortSpaceFiles(int column, bool ascending);

// space_delete.cpp: 删除 on the selected row. A folder is deleted on a
// worker; meanwhile the page's list, treemap and buttons wait.
LRESULT OnSpaceDeleteCommand();
LRESULT OnSpaceDeleteFinished(LPARAM job);
bool SpaceDeleting();
// Asks, deletes the file of folder that has this id and length, and takes
// it out of the tree; true when it was deleted.
bool AskAndDeleteSpaceFile(uint32_t folder, const char16_t* name, uint64_t id, uint64_t size, uint64_t space);

// treemap_view.cpp: the treemap beside the list, a window of kTreemapClass;
// it lays out the rows again when their generation changes.
bool RegisterTreemapClass();
void RedrawSpaceTreemap();

// types_view.cpp: the 文件类型 list, in the space list's place while its
// button is down; it covers the whole tree.
void SetUpSpaceTypesList();
void FitSpaceTypesColumns(int listWidth);
// Shows the list the button chooses (on the space page).
void ApplySpaceTypesShown();
LRESULT OnSpaceTypesCommand();
LRESULT OnSpaceTypesNotify(NMHDR* header);
// Refills the list from the tree shown (a new one came).
void RefreshSpaceTypes();
// The type selected in the list, whose files the treemap outlines.
bool SpaceTypeChosen(SpaceExtensionSum* chosen);
