// The junk-cleanup page's commands and its measuring and cleaning workers'
// messages. Each step moves the page's phase; the phase sets the buttons.
#include "ui/cleanup/cleanup_private.h"

#include "engine/batch.h"
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "engine/measure.h"
#include "platform/system_win32.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/cleanup/cleanup_page.h"
#include "ui/preview/preview_window.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "ui/shell/workers.h"
#include "uimodel/clean_question.h"
#include "uimodel/cleanup_rows.h"

namespace {

// The engine's thread bodies take the window as their parameter.
WorkerKind g_sizeScan = {SizeScanWorker, {0}};
WorkerKind g_measureSelected = {MeasureSelectedWorker, {0}};
WorkerKind g_clean = {CleanWorker, {0}};

// The system drive's free space when the run began (read just after the
// user confirmed), for the line after the summary.
bool g_haveFreeBefore = false;
uint64_t g_freeBefore = 0;
// A large file went while the page was busy: measure again once it is idle.
bool g_bRemeasurePending = false;

bool PhaseIsIdle() {
    const CleanupPhase phase = CleanupCurrentPhase();
    return phase == CLEANUP_IDLE || phase == CLEANUP_SHOWING_LOG;
}

// The phase the page rests in: the log stays until 重新扫描.
CleanupPhase RestingPhase() { return CleanupShowsLog() ? CLEANUP_SHOWING_LOG : CLEANUP_IDLE; }

bool StartMeasuring(HWND window, const WorkerFailureSay& say) {
    SetCleanupPhase(CLEANUP_MEASURING);
    if (StartWorker(&g_sizeScan, window, say)) return true;
    SetCleanupPhase(RestingPhase());
    return false;
}

void MeasureAgainIfPending(HWND window) {
    if (!g_bRemeasurePending || !PhaseIsIdle()) return;
    g_bRemeasurePending = false;
    StartMeasuring(window, WorkerFailureSay{PAGE_CLEANUP, nullptr, false});
}

void StartRun(HWND window) {
    FixCleanSelection();
    g_haveFreeBefore = RefreshFreeSpace(&g_freeBefore);
    SwitchToLogView();
    SetCleanupPhase(CLEANUP_CLEANING);
    SetCleanupStatus(u"正在清理...");
    // No worker will ever end the run: the phase goes back, and the start
    // failure is said.
    if (!StartWorker(&g_clean, window, WorkerFailureSay{PAGE_CLEANUP, nullptr, true})) SetCleanupPhase(RestingPhase());
}

}  // namespace

LRESULT OnStartMeasure(HWND window) {
    SetCleanupStatus(u"正在扫描可清理项目...");
    StartMeasuring(window, WorkerFailureSay{PAGE_CLEANUP, nullptr, false});
    return 0;
}

LRESULT OnMeasureFinished(HWND window) {
    // Only the measurement the page started ends its Measuring phase.
    if (CleanupCurrentPhase() != CLEANUP_MEASURING) return 0;
    if (!CleanupShowsLog()) {
        RebuildCleanupList();
        UpdateTotalLabel();
        RefreshSizeColumn();
        SetCleanupStatus(u"扫描完成，可以开始清理");
    } else {
        UpdateTotalLabel();
    }
    SetCleanupPhase(RestingPhase());
    MeasureAgainIfPending(window);
    return 0;
}

void MeasureCleanupAgainWhenIdle(HWND window) {
    g_bRemeasurePending = true;
    MeasureAgainIfPending(window);
}

LRESULT OnCleanCommand(HWND window) {
    if (CleanupCurrentPhase() != CLEANUP_IDLE && CleanupCurrentPhase() != CLEANUP_SHOWING_LOG) return 0;
    if (!AnyItemTicked()) {
        MessageBoxW(window, L"请先勾选要清理的项目", L"提示", MB_ICONINFORMATION);
        return 0;
    }
    // The ticked items are measured on a worker: with many files that takes
    // seconds, and the window keeps answering meanwhile.
    SetCleanupPhase(CLEANUP_PREPARING);
    SetCleanupStatus(u"正在计算所选项目的大小...");
    if (!StartWorker(&g_measureSelected, window, WorkerFailureSay{PAGE_CLEANUP, nullptr, true}))
        SetCleanupPhase(RestingPhase());
    return 0;
}

LRESULT OnSelectionMeasured(HWND window, WPARAM estimate) {
    if (CleanupCurrentPhase() != CLEANUP_PREPARING) return 0;
    UpdateTotalLabel();
    RefreshSizeColumn();
    char16_t question[1024];
    // With the user's own files in the run, Return answers 否.
    UINT defaultButton = CleanQuestionText(static_cast<uint64_t>(estimate), question, 1024) ? MB_DEFBUTTON2 : MB_DEFBUTTON1;
    if (MessageBoxW(window, WideText(question), L"确认清理", MB_ICONQUESTION | MB_YESNO | defaultButton) == IDYES) {
        StartRun(window);
        return 0;
    }
    SetCleanupPhase(RestingPhase());
    SetCleanupStatus(u"扫描完成，可以开始清理");
    MeasureAgainIfPending(window);
    return 0;
}

LRESULT OnCleanActivity(WPARAM name, LPARAM deleted) {
    char16_t line[256];
    FormatText(line, 256, u"正在清理：%s（已删除 %d 个文件）", reinterpret_cast<const char16_t*>(name),
               static_cast<int32_t>(deleted));
    SetCleanupStatus(line);
    return 0;
}

LRESULT OnCleanProgress(WPARAM wParam) {
    CleanProgress* record = reinterpret_cast<CleanProgress*>(wParam);
    if (!record) return 0;
    const char16_t* tag = CleanStatusTag(record->status);
    char16_t line[256];
    if (record->freed != 0) {
        char16_t size[kSizeTextUnits];
        FormatSize(record->freed, size);
        FormatText(line, 256, u"%s %s  释放 %s", tag, record->name, size);
        CountCleanedItem(record->freed);
    } else {
        FormatText(line, 256, u"%s %s", tag, record->name);
    }
    AppendListRow(line, record->status);
    SetCleanupStatus(line);
    FreeCleanProgress(record);
    return 0;
}

LRESULT OnCleanFinished(HWND window) {
    UpdateTotalLabel();
    int32_t cleaned = 0;
    uint64_t freed = 0;
    CleanupRunTotals(&cleaned, &freed);
    char16_t size[kSizeTextUnits];
    FormatSize(freed, size);
    char16_t summary[256];
    FormatText(summary, 256, u"清理完成！共清理 %d 项，释放空间 %s", cleaned, size);
    AppendListRow(u"────────────────────────────────────────", -1);
    AppendListRow(summary, -1);
    uint64_t freeAfter = 0;
    if (RefreshFreeSpace(&freeAfter) && g_haveFreeBefore) {
        char16_t before[kSizeTextUnits], after[kSizeTextUnits], line[128];
        FormatSize(g_freeBefore, before);
        FormatSize(freeAfter, after);
        FormatText(line, 128, u"%c 盘可用空间: 之前 %s，现在 %s", g_szSystemDrive[0], before, after);
        AppendListRow(line, -1);
    }
    g_haveFreeBefore = false;
    SetCleanupStatus(summary);
    SetCleanupPhase(CLEANUP_SHOWING_LOG);
    InvalidateRect(window, nullptr, FALSE);
    MeasureAgainIfPending(window);
    return 0;
}

LRESULT OnRescanCommand(HWND window) {
    if (!PhaseIsIdle()) return 0;
    SetCleanupStatus(u"正在重新扫描...");
    SwitchToCatalogueView();
    StartMeasuring(window, WorkerFailureSay{PAGE_CLEANUP, nullptr, true});
    return 0;
}

LRESULT OnDiskCleanCommand() {
    char16_t command[260];
    FormatText(command, 260, u"cleanmgr /d %c", g_szSystemDrive[0]);
    // From the system folder by its full path: a search for "cleanmgr" would
    // look in the program's own folder first.
    if (StartSystemProgram(L"cleanmgr.exe", WideText(command))) {
        AppendListRow(u"已启动 Windows 磁盘清理工具", -1);
    } else {
        MessageBoxW(g_hMainWnd, L"无法启动磁盘清理工具 (cleanmgr)", L"提示", MB_ICONWARNING);
    }
    return 0;
}

LRESULT OnPreviewCommand() {
    int group, item;
    if (CleanupCurrentPhase() != CLEANUP_CLEANING && SelectedCleanupItem(&group, &item)) OpenPreview(group, item);
    return 0;
}
