// Between the large-file page's files.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "ui/shell/workers.h"
#include "uimodel/page_phase.h"

struct ScanProgress;

// largefiles_state.cpp: the page's controls and phase.
HWND LargeControl(int id);
void CreateLargeControls(HWND window);
ScanPhase LargePhase();
void SetLargePhase(ScanPhase phase);
void SetLargeStatus(const char16_t* text);

// largefiles_list.cpp: the list of the published results.
void ClearLargeFileList();
void FillLargeFileList();
// The count and totals of the records as they are now, and how the scan
// ended (a LargeScanOutcome).
void ShowLargeFileSummary(int32_t outcome);
LRESULT OnLargeListNotify(NMHDR* header);
// 导出: the rows in the order shown, through the save dialog.
void ExportLargeFileList();

// largefiles_worker.cpp. How a scan ended: the wParam of MSG_LARGE_SCAN_FINISHED.
enum LargeScanOutcome : int32_t { LARGE_SCAN_DONE, LARGE_SCAN_STOPPED, LARGE_SCAN_FAILED };
// Scans the system drive for files of at least minimum bytes.
bool StartLargeScanWorker(HWND window, uint64_t minimum, const WorkerFailureSay& say);
bool LargeScanWorkerRunning();
// Stores the report into the ScanProgress (its directory count never goes
// down within a scan) and writes the status label.
void OnLargeScanProgress(int32_t percent, int32_t directories, int32_t files, void* record);
// True once the busy flag has been cleared (the window's stop request).
bool IsLargeScanCancelled();
