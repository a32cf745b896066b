// The large-file scan's worker thread and its two callbacks.
#pragma once

#include <atomic>
#include <cstdint>

struct ScanProgress;

// Thread body, given the main window: scans the system drive with the
// combo's minimum, publishes the results, clears the busy flag, posts MSG_LARGE_SCAN_FINISHED.
uint32_t LargeScanWorker(void* window);
// Stores the report into the ScanProgress and writes the status label.
void OnLargeScanProgress(int32_t percent, int32_t directories, int32_t files, void* record);
// True once the busy flag has been cleared (the window's stop request).
bool IsLargeScanCancelled();

// How the last scan ended: written by the worker before its final message.
enum LargeScanOutcome : int32_t { LARGE_SCAN_DONE, LARGE_SCAN_STOPPED, LARGE_SCAN_FAILED };
extern std::atomic<int32_t> g_nLargeScanOutcome;
