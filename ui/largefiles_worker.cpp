#include "ui/largefiles_worker.h"

#include "largefiles/results.h"
#include "largefiles/route.h"
#include "largefiles/scanner.h"
#include "platform/post.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/app_state.h"
#include "ui/ids.h"
#include "ui/main_window.h"

void OnLargeScanProgress(int32_t percent, int32_t directories, int32_t files, void* record) {
    ScanProgress* progress = static_cast<ScanProgress*>(record);
    if (progress) {
        progress->percent = percent;
        progress->directories = directories;
        progress->files = files;
    }
    if (!g_hStaticScanStat) return;
    char16_t text[128];
    if (FormatText(text, 128, u"正在扫描... 已扫描 %d 个目录，%d 个文件 (%d%%)", directories, files, percent) < 0) return;
    SetWindowTextW(g_hStaticScanStat, WideText(text));
}

bool IsLargeScanCancelled() { return g_bLargeScanBusy.load(std::memory_order_relaxed) == 0; }

std::atomic<int32_t> g_nLargeScanOutcome{LARGE_SCAN_DONE};

uint32_t LargeScanWorker(void* window) {
    char16_t root[8];
    Text16CopyTruncated(root, 8, g_szSystemDrive);
    ScanProgress progress = {0, 0, 0};
    uint64_t minimum = 104857600ull;
    if (g_hComboMinSize) minimum = MinimumSizeForSelection(SendMessageW(g_hComboMinSize, CB_GETCURSEL, 0, 0));
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    if (ScanDriveLargeFiles(root, minimum, &entries, &count, OnLargeScanProgress, IsLargeScanCancelled, &progress,
                            nullptr) == 0) {
        PublishLargeFiles(entries, count);
        g_nLargeScanOutcome.store(IsLargeScanCancelled() ? LARGE_SCAN_STOPPED : LARGE_SCAN_DONE);
    } else {
        g_nLargeScanOutcome.store(LARGE_SCAN_FAILED);
    }
    StopLargeScan();  // the scan is over: nothing left to stop
    PostWindowMessage(window, MSG_LARGE_SCAN_FINISHED, 0, 0);
    return 0;
}
