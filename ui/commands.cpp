// The junk-cleanup page's commands and the measuring and cleaning workers'
// messages.
#include "ui/main_window.h"

#include "engine/batch.h"
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "engine/measure.h"
#include "platform/system_win32.h"
#include "uimodel/clean_question.h"
#include "uimodel/cleanup_rows.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/app_state.h"
#include "ui/workers.h"

int32_t g_nCleanedItems = 0;
uint64_t g_nFreedBytes = 0;

const char16_t kWorkerFailed[] = u"无法启动后台任务，请稍后重试。";

void SayWorkerNotStarted(HWND window, HWND label) {
    if (label) SetWindowTextW(label, WideText(kWorkerFailed));
    SetStatusText(kWorkerFailed);
    MessageBoxW(window, WideText(kWorkerFailed), L"提示", MB_ICONWARNING);
}

namespace {

// The system drive's free space when the run began (read just after the
// user confirmed), for the line after the summary.
bool g_haveFreeBefore = false;
uint64_t g_freeBefore = 0;

void Enable(HWND control, bool enabled) {
    if (control) EnableWindow(control, enabled ? TRUE : FALSE);
}

// The confirmed set is fixed for the run: ticks cannot change it, and the
// buttons that change every tick at once are off until it ends.
void EnableRunControls(bool enabled) {
    UpdatePreviewButton();
    Enable(g_hBtnCleanNative, enabled);
    Enable(g_hBtnRescan, enabled);
    Enable(g_hBtnSelect, enabled);
    Enable(g_hBtnDeselect, enabled);
}

}  // namespace

namespace {

// A measurement of the whole catalogue is running (start-up, 重新扫描, or
// after a large file went).
bool g_bMeasuring = false;
// 开始清理 was pressed: the ticked items are being measured before the
// question, and nothing that changes the ticks is taken meanwhile.
bool g_bPreparingRun = false;
// A large file went while the page was busy: measure again once it is idle.
bool g_bRemeasurePending = false;

// 开始清理 waits for the measurement: a run confirmed meanwhile would clean
// by keys and sizes that change under it.
bool StartMeasuring(HWND window) {
    g_bMeasuring = true;
    Enable(g_hBtnRescan, false);
    Enable(g_hBtnCleanNative, false);
    if (StartSizeScanWorker(window)) return true;
    g_bMeasuring = false;
    Enable(g_hBtnRescan, !g_bCleanBusy.load());
    Enable(g_hBtnCleanNative, !g_bCleanBusy.load() && !g_bListShowsLog);
    return false;
}

void MeasureAgainIfPending(HWND window) {
    if (!g_bRemeasurePending || g_bMeasuring || g_bPreparingRun || g_bCleanBusy.load()) return;
    g_bRemeasurePending = false;
    StartMeasuring(window);
}

void StartRun(HWND window) {
    FixCleanSelection();
    g_haveFreeBefore = RefreshFreeSpace(&g_freeBefore);
    g_bCleanBusy.store(1);
    g_nCleanedItems = 0;
    g_nFreedBytes = 0;
    if (g_hListClean) SwitchToLogView();
    EnableRunControls(false);
    SetStatusText(u"正在清理...");
    if (!StartCleanWorker(window)) {
        // No worker will ever clear the flag: undo the start and say so.
        g_bCleanBusy.store(0);
        EnableRunControls(true);
        SayWorkerNotStarted(window, nullptr);
    }
}

}  // namespace

LRESULT OnStartMeasure(HWND window) {
    SetStatusText(u"正在扫描可清理项目...");
    if (!StartMeasuring(window)) {
        SetStatusText(kWorkerFailed);
        Enable(g_hBtnRescan, true);
    }
    return 0;
}

LRESULT OnMeasureFinished(HWND window) {
    g_bMeasuring = false;
    // A cleaning run may have started while this measurement ran: its log
    // stays on screen and "重新扫描" stays off until the run is over.
    bool cleaning = g_bCleanBusy.load() != 0;
    if (!g_bListShowsLog) {
        RebuildCleanupList();
        UpdateTotalLabel();
        RefreshSizeColumn();
        if (!g_bPreparingRun) SetStatusText(u"扫描完成，可以开始清理");
    } else {
        UpdateTotalLabel();
    }
    if (!cleaning && !g_bPreparingRun) Enable(g_hBtnRescan, true);
    // After a run the log stays, and so does 开始清理's off state, until 重新扫描.
    if (!cleaning && !g_bPreparingRun && !g_bListShowsLog) Enable(g_hBtnCleanNative, true);
    MeasureAgainIfPending(window);
    return 0;
}

void MeasureCleanupAgainWhenIdle(HWND window) {
    g_bRemeasurePending = true;
    MeasureAgainIfPending(window);
}

LRESULT OnCleanCommand(HWND window) {
    if (g_bCleanBusy.load() || g_bPreparingRun) return 0;
    if (!AnyItemTicked()) {
        MessageBoxW(window, L"请先勾选要清理的项目", L"提示", MB_ICONINFORMATION);
        return 0;
    }
    // The ticked items are measured on a worker: with many files that takes
    // seconds, and the window keeps answering meanwhile.
    g_bPreparingRun = true;
    LockCleanupTicks(true);
    EnableRunControls(false);
    SetStatusText(u"正在计算所选项目的大小...");
    if (!StartMeasureSelectedWorker(window)) {
        g_bPreparingRun = false;
        LockCleanupTicks(false);
        EnableRunControls(true);
        Enable(g_hBtnRescan, !g_bMeasuring);
        SayWorkerNotStarted(window, nullptr);
    }
    return 0;
}

LRESULT OnSelectionMeasured(HWND window, WPARAM estimate) {
    if (!g_bPreparingRun) return 0;
    g_bPreparingRun = false;
    LockCleanupTicks(false);
    UpdateTotalLabel();
    RefreshSizeColumn();
    char16_t question[1024];
    // With the user's own files in the run, Return answers 否.
    UINT defaultButton = CleanQuestionText(static_cast<uint64_t>(estimate), question, 1024) ? MB_DEFBUTTON2 : MB_DEFBUTTON1;
    if (MessageBoxW(window, WideText(question), L"确认清理", MB_ICONQUESTION | MB_YESNO | defaultButton) == IDYES) {
        StartRun(window);
        return 0;
    }
    EnableRunControls(true);
    Enable(g_hBtnRescan, !g_bMeasuring);
    Enable(g_hBtnCleanNative, !g_bMeasuring);
    SetStatusText(g_bMeasuring ? u"正在扫描可清理项目..." : u"扫描完成，可以开始清理");
    MeasureAgainIfPending(window);
    return 0;
}

LRESULT OnCleanActivity(WPARAM name, LPARAM deleted) {
    char16_t line[256];
    FormatText(line, 256, u"正在清理：%s（已删除 %d 个文件）", reinterpret_cast<const char16_t*>(name),
               static_cast<int32_t>(deleted));
    SetStatusText(line);
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
        g_nCleanedItems += 1;
        g_nFreedBytes += record->freed;
    } else {
        FormatText(line, 256, u"%s %s", tag, record->name);
    }
    AppendListRow(line, record->status);
    SetStatusText(line);
    FreeCleanProgress(record);
    return 0;
}

LRESULT OnCleanFinished(HWND window) {
    UpdateTotalLabel();
    char16_t size[kSizeTextUnits];
    FormatSize(g_nFreedBytes, size);
    char16_t summary[256];
    FormatText(summary, 256, u"清理完成！共清理 %d 项，释放空间 %s", g_nCleanedItems, size);
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
    SetStatusText(summary);
    EnableRunControls(false);
    Enable(g_hBtnRescan, true);
    Enable(g_hBtnSelect, true);
    Enable(g_hBtnDeselect, true);
    InvalidateRect(window, nullptr, FALSE);
    MeasureAgainIfPending(window);
    return 0;
}

LRESULT OnRescanCommand(HWND window) {
    if (g_bCleanBusy.load() || g_bPreparingRun || g_bMeasuring) return 0;
    SetStatusText(u"正在重新扫描...");
    if (g_hListClean) SwitchToCatalogueView();
    if (!StartMeasuring(window)) {
        Enable(g_hBtnRescan, true);
        SayWorkerNotStarted(window, nullptr);
    }
    return 0;
}

LRESULT OnDiskCleanCommand() {
    char16_t command[260];
    FormatText(command, 260, u"cleanmgr /d %c", g_szSystemDrive[0]);
    // From the system folder by its full path: a search for "cleanmgr" would
    // look in the program's own folder first.
    if (StartSystemProgram(L"cleanmgr.exe", WideText(command))) {
        if (g_hListClean) AppendListRow(u"已启动 Windows 磁盘清理工具", -1);
    } else {
        MessageBoxW(g_hMainWnd, L"无法启动磁盘清理工具 (cleanmgr)", L"提示", MB_ICONWARNING);
    }
    return 0;
}
