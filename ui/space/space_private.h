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

// Calls run one way: each file below calls only the files listed before it
// (space_state, types_view, space_delete, space_files_view, space_view,
// treemap_view); space_page, the room's entry, calls any of them.

// space_state.cpp: the page's controls and phase.
HWND SpaceControl(int id);
void CreateSpaceControls(HWND window);
ScanPhase SpaceCurrentPhase();
// Only the page's phase change calls it; the busy flag follows the phase.
void StoreSpacePhase(ScanPhase phase);
// Shows the list the 文件类型 button chooses (on the space page).
void ApplySpaceTypesShown();
void RedrawSpaceTreemap();
// What the list shows (main thread only): the tree, the folder shown in it
// (folder may be null), and the drive's used bytes when its scan began.
const SpaceTree* SpaceTreeShown(uint32_t* folder);
uint64_t SpaceUsedBytes();
// Frees the tree shown before; the folder shown is the view's to set.
void StoreSpaceTree(SpaceTree* tree, uint64_t used);
void StoreSpaceFolder(uint32_t folder);
// For a deletion: the tree shown, to take a deleted item out of it; then
// the bytes it freed on the volume (the 未统计 row keeps to what the scan
// could not see).
SpaceTree* SpaceTreeToChange();
void SpaceTreeChanged(uint64_t freedSpace);
// The list holds the files view's listing; a folder's deletion is on a worker.
bool SpaceFilesShown();
void StoreSpaceFilesShown(bool shown);
bool SpaceDeleting();
void StoreSpaceDeleting(bool deleting);
// Sets 开始分析, 上一级, 打开, 删除 and 导出 from the phase, the folder shown
// and what the list holds.
void ApplySpaceEnabled();

// types_view.cpp: the 文件类型 list, in the space list's place while its
// button is down; it covers the whole tree.
LRESULT OnSpaceTypesCommand();
LRESULT OnSpaceTypesNotify(NMHDR* header);
// Refills the list from the tree shown (a new one came).
void RefreshSpaceTypes();
// The type selected in the list, whose files the treemap outlines.
bool SpaceTypeChosen(SpaceExtensionSum* chosen);

// space_delete.cpp: 删除 on a row. A folder is deleted on a worker;
// meanwhile the page's list, treemap and buttons wait.
// Refuses, asks or deletes the row of the folder shown (its list index);
// true when a file went now and the folder's rows are to be shown again.
bool DeleteSpaceRow(const SpaceRow& row, int32_t index);
// Takes a folder's deletion back from its worker; true when the tree
// changed and the folder shown is to be shown again, row `select` selected.
bool FinishSpaceDeletion(LPARAM job, int32_t* select);
// Asks, deletes the file of folder that has this id and length, and takes
// it out of the tree; true when it was deleted.
bool AskAndDeleteSpaceFile(uint32_t folder, const char16_t* name, uint64_t id, uint64_t size, uint64_t space);

// space_files_view.cpp: the files of the folder shown as the disk lists
// them now, in the list in place of its rows. The listing is freed as soon
// as any folder is shown again (上一级 included): the tree alone stays.
// True when the listing took the list: the tree's rows are to be dropped.
bool ShowSpaceFiles();
void LeaveSpaceFiles();
void OpenSpaceListedFile(int32_t row);
void DeleteSpaceListedFile(int32_t row);
void SortSpaceFiles(int column, bool ascending);

// space_view.cpp: the rows of the folder shown (main thread only).
// Shows a new tree from its root, freeing the old; returns the bytes it counted.
uint64_t TakeSpaceTree(SpaceTree* tree, uint64_t used);
// Counts the times the rows shown were replaced.
uint32_t SpaceRowsGeneration();
LRESULT OnSpaceListNotify(NMHDR* header);
LRESULT OnSpaceUpCommand();
LRESULT OnSpaceOpenCommand();
LRESULT OnSpaceDeleteCommand();
// 导出: a menu of what to write (the list shown, the tree 3 levels deep or
// whole), then the save dialog.
LRESULT OnSpaceExportCommand();
// For the treemap: the rows shown (in list order), the selected one (-1),
// selecting one, and showing a folder row's contents.
const SpaceRow* SpaceRowsShown(int32_t* count);
int32_t SpaceSelectedRow();
void SelectSpaceRow(int32_t row);
void ShowSpaceRow(int32_t row);
// Shows a folder of the tree (not a link nor one that could not be read).
void ShowSpaceFolder(uint32_t folder);
// After a deletion: the rows shown again, row `select` selected where there is one.
void ShowSpaceFolderAgain(int32_t select);

// treemap_view.cpp: the treemap beside the list, a window of kTreemapClass;
// it lays out the rows again when their generation changes.
bool RegisterTreemapClass();
