// The main window: its control handles, its view state and the handlers the
// window procedure dispatches to, grouped by the file that holds them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

// Controls (layout.cpp creates them; they go with the window).
extern HWND g_hTabClean, g_hTabLarge, g_hBtnMode, g_hWarningBar, g_hStaticTotal, g_hListClean, g_hBtnSelect,
    g_hBtnDeselect, g_hBtnDiskClean, g_hBtnRescan, g_hBtnCleanNative, g_hStaticLargeWarn, g_hBtnScanNative,
    g_hComboMinSize, g_hStaticScanStat, g_hListLarge, g_hBtnPreview, g_hTabSpace, g_hBtnAnalyze, g_hStaticSpaceStat,
    g_hStaticSpacePath, g_hBtnSpaceUp, g_hBtnSpaceOpen, g_hListSpace, g_hTreemap;

// Painting state (paint.cpp).
extern int32_t g_nCurrentPage;
extern char16_t g_szStatus[256];
extern int32_t g_bTickerActive;  // written by UpdateTicker alone
extern int32_t g_nTickerOffset;
extern int32_t g_nTickerCycle;
extern const wchar_t kTickerText[];  // 55 units: the warning and three spaces
constexpr int kTickerTextUnits = 55;

// Cleanup list view state (cleanup_list.cpp).
extern int32_t g_bListShowsLog;
extern int32_t g_bGroupExpanded[32];

// Cleaning-run counters (commands.cpp).
extern int32_t g_nCleanedItems;
extern uint64_t g_nFreedBytes;

// scale.cpp
int ScaleByDpi(int x);
HFONT CreateUiFont(int height);
// The DPI of the monitor the window is on; 0 where the system cannot say.
int WindowMonitorDpi(HWND window);

// layout.cpp
void CreateMainControls(HWND window);
// The arrow on the sorted column's header (sorted -1: none).
void ShowListSortArrow(HWND list, int sorted, bool ascending);
void LayoutMainWindow(int width, int height);
// What depends on g_nDpi: the controls' font, the large list's columns, the
// combo's item heights, then the layout pass.
void ApplyScale(HWND window);
// WM_DPICHANGED: the new DPI, as start-up would set it up, in the rectangle
// the system suggests.
LRESULT OnDpiChanged(HWND window, int dpi, const RECT* suggested);
LRESULT OnCreate(HWND window);
LRESULT OnSize(HWND window, int width, int height);
LRESULT OnGetMinMaxInfo(MINMAXINFO* info);

// paint.cpp
void SetStatusText(const char16_t* text);
void ShowPage(int page);
// Runs the ticker's timer only while it can be seen; call when the page, the
// window's visibility or its minimized state changes.
void UpdateTicker();
// The ticker's cycle is a length at the old scale: measured again.
void ResetTickerCycle();
LRESULT OnPaint(HWND window);
// Reads how full the system drive is, for the status band's readout, and
// repaints it (the main thread only: start-up, around a cleaning run, after
// a large-file delete). False, changing nothing, when the system cannot say.
bool RefreshFreeSpace(uint64_t* freeBytes);
// Drops fonts made at the previous DPI; they are made again when next needed.
void ForgetCachedFonts();
LRESULT OnDrawItem(const DRAWITEMSTRUCT* item);
LRESULT OnCtlColorStatic(HDC dc, HWND control);
LRESULT OnTimer(WPARAM timer);
LRESULT OnTabCommand(int id);

// cleanup_list.cpp
void AppendListRow(const char16_t* text, int tag);
int32_t GetRowTag(int row);
int32_t IsRowSelected(int row);
void UpdateTotalLabel();
void RefreshSizeColumn();
void RebuildCleanupList();
void SwitchToLogView();
void SwitchToCatalogueView();
LRESULT OnCleanupListNotify(NMHDR* header);
LRESULT OnSelectAllCommand(bool select);

// commands.cpp
LRESULT OnStartMeasure(HWND window);
LRESULT OnMeasureFinished(HWND window);
LRESULT OnCleanCommand(HWND window);
LRESULT OnSelectionMeasured(HWND window, WPARAM estimate);
LRESULT OnCleanActivity(WPARAM name, LPARAM deleted);
// While the ticked items are measured before the question (commands.cpp
// locks them), or a run goes on, the ticks are fixed (cleanup_list.cpp).
void LockCleanupTicks(bool locked);
bool CleanupTicksLocked();
// A large file went: the page measures again as soon as it is idle.
void MeasureCleanupAgainWhenIdle(HWND window);
LRESULT OnCleanProgress(WPARAM record);
LRESULT OnCleanFinished(HWND window);
LRESULT OnRescanCommand(HWND window);
LRESULT OnDiskCleanCommand();
extern const char16_t kWorkerFailed[];
// A worker could not start: the page's label (when given), the status line
// and a message say so.
void SayWorkerNotStarted(HWND window, HWND label);

// preview_window.cpp: 查看文件, one window at a time (null when none), which
// the message loop gives its keys (Tab, Esc) first.
extern HWND g_hPreviewWnd;
void OpenPreview(int group, int item);
LRESULT OnPreviewCommand();
// On while an item row is selected and no run is going on.
void UpdatePreviewButton();

// largefiles_page.cpp
LRESULT OnLargeScanCommand(HWND window);
LRESULT OnLargeScanFinished(HWND window);
LRESULT OnLargeListNotify(NMHDR* header);
void FillLargeFileList();
void OpenLargeFileLocation(int32_t index);
void DeleteLargeFileAt(int32_t index);

// space_page.cpp: the space view. Its scan runs on a worker; the tree and
// the rows shown belong to the main thread.
LRESULT OnAnalyzeCommand(HWND window);
LRESULT OnSpaceScanFinished(HWND window, WPARAM outcome, LPARAM tree);
LRESULT OnSpaceListNotify(NMHDR* header);
LRESULT OnSpaceUpCommand();
LRESULT OnSpaceOpenCommand();
// True while a scan runs; StopSpaceScan asks it to stop (closing to the tray).
bool SpaceScanBusy();
void StopSpaceScan();
// For the treemap: the rows shown (in list order), the selected one (-1),
// selecting one, and showing a folder row's contents.
struct SpaceRow;
class SpaceTree;
const SpaceRow* SpaceRowsShown(int32_t* count);
const SpaceTree* SpaceTreeShown(uint32_t* folder);
int32_t SpaceSelectedRow();
void SelectSpaceRow(int32_t row);
void ShowSpaceRow(int32_t row);

// treemap_view.cpp: the treemap beside the space list.
HWND CreateTreemapView(HWND parent, int id);
// The rows changed: laid out again. The selection changed: drawn again.
void RefreshTreemap();
void RedrawTreemap();
