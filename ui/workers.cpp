#include "ui/workers.h"

#include "engine/batch.h"
#include "engine/measure.h"
#include "ui/largefiles_worker.h"

std::atomic<int32_t> g_nLiveWorkers{0};
std::atomic<int32_t> g_bLargeScanRunning{0};

namespace {

DWORD WINAPI SizeScanThread(LPVOID window) {
    DWORD result = SizeScanWorker(window);
    g_nLiveWorkers.fetch_sub(1);
    return result;
}

DWORD WINAPI MeasureSelectedThread(LPVOID window) {
    DWORD result = MeasureSelectedWorker(window);
    g_nLiveWorkers.fetch_sub(1);
    return result;
}

DWORD WINAPI CleanThread(LPVOID window) {
    DWORD result = CleanWorker(window);
    g_nLiveWorkers.fetch_sub(1);
    return result;
}

DWORD WINAPI LargeScanThread(LPVOID window) {
    DWORD result = LargeScanWorker(window);
    g_bLargeScanRunning.store(0);
    g_nLiveWorkers.fetch_sub(1);
    return result;
}

bool Start(LPTHREAD_START_ROUTINE routine, HWND window) {
    g_nLiveWorkers.fetch_add(1);
    HANDLE thread = CreateThread(nullptr, 0, routine, window, 0, nullptr);
    if (!thread) {
        g_nLiveWorkers.fetch_sub(1);
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace

bool StartSizeScanWorker(HWND window) { return Start(SizeScanThread, window); }

bool StartCleanWorker(HWND window) { return Start(CleanThread, window); }

bool StartMeasureSelectedWorker(HWND window) { return Start(MeasureSelectedThread, window); }

bool StartLargeScanWorker(HWND window) {
    g_bLargeScanRunning.store(1);
    if (Start(LargeScanThread, window)) return true;
    g_bLargeScanRunning.store(0);
    return false;
}
