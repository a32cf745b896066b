// The large-file page as the routing sees it: starting a scan and taking
// its end.
#include "ui/largefiles/largefiles_page.h"

#include "largefiles/results.h"
#include "largefiles/scanner.h"
#include "ui/largefiles/largefiles_private.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"


namespace {

LRESULT OnScanCommand(HWND window) {
    // A scan asked to stop may still be finishing: it would publish into
    // the new scan's state.
    if (LargePhase() != SCAN_IDLE || LargeScanWorkerRunning()) return 0;
    HWND combo = LargeControl(IDC_COMBO_MIN_SIZE);
    const uint64_t minimum = combo ? MinimumSizeForSelection(SendMessageW(combo, CB_GETCURSEL, 0, 0)) : 104857600ull;
    // The old rows go with their records: none may stay under a new scan.
    ClearLargeFileList();
    ClearLargeFiles();
    SetLargePhase(SCAN_RUNNING);
    HWND label = LargeControl(IDC_STATIC_SCAN_STAT);
    if (label) SetWindowTextW(label, L"正在扫描...");
    SetLargeStatus(u"正在扫描大文件...");
    if (!StartLargeScanWorker(window, minimum, WorkerFailureSay{PAGE_LARGE, label, true})) SetLargePhase(SCAN_IDLE);
    return 0;
}

LRESULT OnScanFinished(HWND window, WPARAM outcome) {
    SetLargePhase(SCAN_IDLE);
    FillLargeFileList();
    ShowLargeFileSummary(static_cast<int32_t>(outcome));
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

}  // namespace

bool LargeScanWorkerLive() { return LargeScanWorkerRunning(); }

void LargeCreate(HWND window) {
    CreateLargeControls(window);
    SetLargePhase(SCAN_IDLE);
}

bool LargeCommand(HWND window, int id, LRESULT* result) {
    if (id == IDC_BTN_LARGE_EXPORT) {
        ExportLargeFileList();
        *result = 0;
        return true;
    }
    if (id != IDC_BTN_SCAN) return false;
    *result = OnScanCommand(window);
    return true;
}

bool LargeNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_LIST_LARGE) return false;
    *result = OnLargeListNotify(header);
    return true;
}

bool LargeMessage(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message != MSG_LARGE_SCAN_FINISHED) return false;
    *result = OnScanFinished(window, wParam);
    return true;
}
