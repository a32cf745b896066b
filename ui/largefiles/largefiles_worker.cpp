// The large-file scan's worker thread and its two callbacks.
#include "ui/largefiles/largefiles_private.h"

#include "largefiles/results.h"
#include "largefiles/route.h"
#include "largefiles/scanner.h"
#include "platform/post.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/largefiles/largefiles_page.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"

#include <atomic>

namespace {

// Written before the worker starts (thread creation orders the two).
std::atomic<uint64_t> g_nScanMinimum{104857600ull};

// Thread body, given the main window: scans the system drive, publishes the
// results and posts MSG_LARGE_SCAN_FINISHED with how it ended.
uint32_t LargeScanWorker(void* window) {
    char16_t root[8];
    Text16CopyTruncated(root, 8, g_szSystemDrive);
    ScanProgress progress = {0, 0, 0};
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    int32_t outcome = LARGE_SCAN_FAILED;
    if (ScanDriveLargeFiles(root, g_nScanMinimum.load(), &entries, &count, OnLargeScanProgress, IsLargeScanCancelled,
                            &progress, nullptr) == 0) {
        PublishLargeFiles(entries, count);
        outcome = IsLargeScanCancelled() ? LARGE_SCAN_STOPPED : LARGE_SCAN_DONE;
    }
    PostWindowMessage(window, MSG_LARGE_SCAN_FINISHED, static_cast<uintptr_t>(outcome), 0);
    return 0;
}

WorkerKind g_largeScan = {LargeScanWorker, {0}};

}  // namespace

bool StartLargeScanWorker(HWND window, uint64_t minimum, const WorkerFailureSay& say) {
    g_nScanMinimum.store(minimum);
    return StartWorker(&g_largeScan, window, say);
}

bool LargeScanWorkerRunning() { return WorkerLive(g_largeScan); }

void OnLargeScanProgress(int32_t percent, int32_t directories, int32_t files, void* record) {
    ScanProgress* progress = static_cast<ScanProgress*>(record);
    if (progress) {
        // The walk and the master file table count folders differently: the
        // label shows the most seen, so the count never runs backwards while
        // the percent rises.
        if (directories < progress->directories) directories = progress->directories;
        progress->percent = percent;
        progress->directories = directories;
        progress->files = files;
    }
    HWND label = LargeControl(IDC_STATIC_SCAN_STAT);
    if (!label) return;
    char16_t text[128];
    if (FormatText(text, 128, u"正在扫描... 已扫描 %d 个目录，%d 个文件 (%d%%)", directories, files, percent) < 0) return;
    SetWindowTextW(label, WideText(text));
}

bool IsLargeScanCancelled() { return g_bLargeScanBusy.load(std::memory_order_relaxed) == 0; }
