// The space view as the routing sees it, and the analysis that reads the
// system drive into a tree on a worker.
#include "ui/space/space_page.h"

#include "largefiles/route.h"
#include "largefiles/space_tree.h"
#include "platform/post.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "ui/shell/workers.h"
#include "ui/space/space_private.h"
#include "uimodel/page_phase.h"

#include <atomic>

namespace {

enum SpaceOutcome : WPARAM { SPACE_DONE, SPACE_STOPPED, SPACE_FAILED };

// Bytes the drive used when the scan began (written before the worker starts).
std::atomic<uint64_t> g_nSpaceUsed{0};

// The one writer of the phase, and through it of the busy flag and 开始分析.
void SetSpacePhase(ScanPhase phase) {
    StoreSpacePhase(phase);
    ApplySpaceEnabled();
}

void SetSpaceStatus(const char16_t* text) { SetPageStatus(PAGE_SPACE, text); }

bool IsSpaceScanCancelled() { return !SpaceScanBusy(); }

// A snapshot posted and not yet shown: the next ones are dropped until it
// is, so a busy window never has a queue of them.
std::atomic<bool> g_bSpaceLivePending{false};

void OnSpaceProgress(int32_t percent, int32_t directories, int32_t files, void*) {
    HWND label = SpaceControl(IDC_STATIC_SPACE_STAT);
    if (!label) return;
    char16_t text[160], folders[32], count[32];
    FormatCount(static_cast<uint64_t>(directories), folders, 32);
    FormatCount(static_cast<uint64_t>(files), count, 32);
    // The percent is of the drive's used bytes met; without them, none.
    const int written = g_nSpaceUsed.load()
                            ? FormatText(text, 160, u"正在分析... 已扫描 %s 个目录，%s 个文件 (%d%%)", folders, count, percent)
                            : FormatText(text, 160, u"正在分析... 已扫描 %s 个目录，%s 个文件", folders, count);
    if (written < 0) return;
    SetWindowTextW(label, WideText(text));
}

void OnSpaceLive(SpaceTree* snapshot, void* window) {
    if (g_bSpaceLivePending.exchange(true)) {
        delete snapshot;
        return;
    }
    if (!PostWindowMessage(window, MSG_SPACE_LIVE, 0, reinterpret_cast<intptr_t>(snapshot))) {
        delete snapshot;
        g_bSpaceLivePending.store(false);
    }
}

// Thread body, given the main window: posts MSG_SPACE_SCAN_FINISHED with the
// tree, which the window owns from then.
uint32_t SpaceScanWorker(void* window) {
    char16_t root[8];
    Text16CopyTruncated(root, 8, g_szSystemDrive);
    SpaceTree* tree = nullptr;
    const int32_t result = ScanDriveSpaceTree(root, g_nSpaceUsed.load(), &tree, OnSpaceProgress, IsSpaceScanCancelled,
                                              window, nullptr, OnSpaceLive);
    const WPARAM outcome = result != 0 ? SPACE_FAILED : IsSpaceScanCancelled() ? SPACE_STOPPED : SPACE_DONE;
    if (!PostWindowMessage(window, MSG_SPACE_SCAN_FINISHED, outcome, reinterpret_cast<intptr_t>(tree))) delete tree;
    return 0;
}

WorkerKind g_spaceScan = {SpaceScanWorker, {0}};

uint64_t DriveUsedBytes() {
    const wchar_t root[] = {static_cast<wchar_t>(g_szSystemDrive[0]), L':', L'\\', 0};
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(root, &available, &total, &free) || total.QuadPart < free.QuadPart) return 0;
    return total.QuadPart - free.QuadPart;
}

LRESULT OnAnalyzeCommand(HWND window) {
    // A scan asked to stop may still be finishing.
    if (SpaceCurrentPhase() != SCAN_IDLE || WorkerLive(g_spaceScan) || SpaceDeleting()) return 0;
    g_nSpaceUsed.store(DriveUsedBytes());
    SetSpacePhase(SCAN_RUNNING);
    HWND label = SpaceControl(IDC_STATIC_SPACE_STAT);
    if (label) SetWindowTextW(label, L"正在分析...");
    SetSpaceStatus(u"正在分析磁盘空间...");
    if (!StartWorker(&g_spaceScan, window, WorkerFailureSay{PAGE_SPACE, label, true})) SetSpacePhase(SCAN_IDLE);
    return 0;
}

// The scan so far, shown while it runs: the list and the treemap show the
// drive's folders met with their running sums.
LRESULT OnSpaceLiveMessage(LPARAM tree) {
    SpaceTree* snapshot = reinterpret_cast<SpaceTree*>(tree);
    g_bSpaceLivePending.store(false);
    if (SpaceCurrentPhase() == SCAN_IDLE) {
        delete snapshot;  // posted before the scan's end, read after it
        return 0;
    }
    TakeSpaceTree(snapshot, g_nSpaceUsed.load());
    return 0;
}

LRESULT OnSpaceScanFinished(HWND window, WPARAM outcome, LPARAM tree) {
    SetSpacePhase(SCAN_IDLE);
    SpaceTree* fresh = reinterpret_cast<SpaceTree*>(tree);
    char16_t text[160];
    if (outcome == SPACE_FAILED || !fresh) {
        delete fresh;
        Text16CopyTruncated(text, 160, u"分析失败：内存不足。");
    } else {
        const uint64_t counted = TakeSpaceTree(fresh, g_nSpaceUsed.load());
        const char16_t drive[] = {g_szSystemDrive[0], u':', 0};
        char16_t size[kSizeTextUnits];
        FormatSize(counted, size);
        FormatText(text, 160, outcome == SPACE_STOPPED ? u"分析已停止：%s 中已统计 %s" : u"分析完成：%s 中已统计 %s", drive,
                   size);
    }
    if (HWND label = SpaceControl(IDC_STATIC_SPACE_STAT)) SetWindowTextW(label, WideText(text));
    SetSpaceStatus(text);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

// A folder's deletion came back from its worker: the folder shown again
// when the tree changed.
LRESULT OnSpaceDeleteFinished(LPARAM job) {
    int32_t select = -1;
    if (FinishSpaceDeletion(job, &select)) ShowSpaceFolderAgain(select);
    return 0;
}

}  // namespace

void StopSpaceScan() {
    if (SpaceCurrentPhase() == SCAN_RUNNING) SetSpacePhase(SCAN_STOPPING);
}

void SpaceCreate(HWND window) {
    RegisterTreemapClass();
    CreateSpaceControls(window);
    SetSpacePhase(SCAN_IDLE);
}

bool SpaceCommand(HWND window, int id, LRESULT* result) {
    switch (id) {
    case IDC_BTN_ANALYZE:
        *result = OnAnalyzeCommand(window);
        return true;
    case IDC_BTN_SPACE_UP:
        *result = OnSpaceUpCommand();
        return true;
    case IDC_BTN_SPACE_OPEN:
        *result = OnSpaceOpenCommand();
        return true;
    case IDC_BTN_SPACE_DELETE:
        *result = OnSpaceDeleteCommand();
        return true;
    case IDC_BTN_SPACE_TYPES:
        *result = OnSpaceTypesCommand();
        return true;
    case IDC_BTN_SPACE_EXPORT:
        *result = OnSpaceExportCommand();
        return true;
    default:
        return false;
    }
}

bool SpaceNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom == IDC_LIST_SPACE_TYPES) {
        *result = OnSpaceTypesNotify(header);
        return true;
    }
    if (header->idFrom != IDC_LIST_SPACE) return false;
    *result = OnSpaceListNotify(header);
    return true;
}

bool SpaceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == MSG_SPACE_LIVE) {
        *result = OnSpaceLiveMessage(lParam);
        return true;
    }
    if (message == MSG_SPACE_DELETE_FINISHED) {
        *result = OnSpaceDeleteFinished(lParam);
        return true;
    }
    if (message != MSG_SPACE_SCAN_FINISHED) return false;
    *result = OnSpaceScanFinished(window, wParam, lParam);
    return true;
}
