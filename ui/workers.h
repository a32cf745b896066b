// Starting the window's background work. Every worker gets the main window
// as its parameter; thread handles are closed at once and never waited for.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// Workers that have been started and have not yet returned. The process
// does not run its exit-time clean-up while one is live.
extern std::atomic<int32_t> g_nLiveWorkers;
// 1 from the start command until the large-file worker has published and
// posted MSG_LARGE_SCAN_FINISHED (the busy flag is also the stop request, so it cannot tell).
extern std::atomic<int32_t> g_bLargeScanRunning;

bool StartSizeScanWorker(HWND window);
bool StartCleanWorker(HWND window);
bool StartMeasureSelectedWorker(HWND window);
bool StartLargeScanWorker(HWND window);
