// The cleanup page's state, all of it in this file: its controls from one
// table, its phase, what its list shows, and the run's counters. The passes
// over the table and the one writer of the enabled states live here too.
#include "ui/cleanup/cleanup_page.h"

#include "ui/cleanup/cleanup_private.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/cleanup_rows.h"
#include "uimodel/page_phase.h"

std::atomic<int32_t> g_bCleanBusy{0};

namespace {

const DWORD kListStyle = WS_VSCROLL | LVS_REPORT | LVS_SHOWSELALWAYS;

const ControlRow kControls[] = {
    {IDC_STATIC_TOTAL, L"STATIC", L"总计可释放空间: 计算中...", SS_RIGHT, 0, &MainLayout::totalLabel, PAGE_CLEANUP},
    {IDC_LIST_CLEAN, WC_LISTVIEWW, L"", kListStyle, WS_EX_CLIENTEDGE, &MainLayout::cleanList, PAGE_CLEANUP},
    {IDC_BTN_SELECT_ALL, L"BUTTON", L"全选", 0, 0, &MainLayout::selectAll, PAGE_CLEANUP},
    {IDC_BTN_DESELECT_ALL, L"BUTTON", L"取消全选", 0, 0, &MainLayout::deselectAll, PAGE_CLEANUP},
    {IDC_BTN_DISK_CLEAN, L"BUTTON", L"系统磁盘清理", 0, 0, &MainLayout::diskClean, PAGE_CLEANUP},
    {IDC_BTN_PREVIEW, L"BUTTON", L"查看文件", WS_DISABLED, 0, &MainLayout::preview, PAGE_CLEANUP},
    {IDC_BTN_RESCAN, L"BUTTON", L"重新扫描", WS_DISABLED, 0, &MainLayout::rescan, PAGE_CLEANUP},
    {IDC_BTN_CLEAN, L"BUTTON", L"开始清理", 0, 0, &MainLayout::clean, PAGE_CLEANUP},
};
constexpr int kCount = sizeof kControls / sizeof kControls[0];
HWND g_hControls[kCount];

// Measuring from the start: the window posts itself the first measurement.
CleanupPhase g_nPhase = CLEANUP_MEASURING;
// The list shows a run's log rather than the catalogue.
int32_t g_bListShowsLog = 0;
int32_t g_bGroupExpanded[32] = {1, 1, 1, 1, 1};
// The run's counters, for its summary line.
int32_t g_nCleanedItems = 0;
uint64_t g_nFreedBytes = 0;

void Enable(int id, bool enabled) {
    if (HWND control = CleanupControl(id)) EnableWindow(control, enabled ? TRUE : FALSE);
}

}  // namespace

HWND CleanupControl(int id) { return ControlRowWindow(kControls, g_hControls, kCount, id); }

void CreateCleanupControls(HWND window) {
    CreateControlRows(window, kControls, kCount, g_hControls);
    if (HWND list = CleanupControl(IDC_LIST_CLEAN)) {
        SetListStyles(list);
        AddListColumn(list, 0, L"项目", 560);
        AddListColumn(list, 1, L"大小", 120);
    }
}

void CleanupScale(HFONT font) { SetControlRowsFont(g_hControls, kCount, font); }

void CleanupLayout(const MainLayout& layout) {
    PlaceControlRows(kControls, g_hControls, kCount, layout);
    if (HWND list = CleanupControl(IDC_LIST_CLEAN)) {
        SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, layout.cleanColumn0);
        SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, layout.cleanColumn1);
    }
}

void CleanupShow(int page) { ShowControlRows(kControls, g_hControls, kCount, page); }

CleanupPhase CleanupCurrentPhase() { return g_nPhase; }

void SetCleanupPhase(CleanupPhase phase) {
    g_nPhase = phase;
    g_bCleanBusy.store(phase == CLEANUP_CLEANING ? 1 : 0);
    ApplyCleanupEnabled();
}

void ApplyCleanupEnabled() {
    int group, item;
    const bool itemSelected = SelectedCleanupItem(&group, &item);
    const CleanupEnabled e = CleanupEnabledIn(g_nPhase, g_bListShowsLog != 0, itemSelected);
    Enable(IDC_BTN_CLEAN, e.clean);
    Enable(IDC_BTN_RESCAN, e.rescan);
    Enable(IDC_BTN_SELECT_ALL, e.selectAll);
    Enable(IDC_BTN_DESELECT_ALL, e.selectAll);
    Enable(IDC_BTN_PREVIEW, e.preview);
}

void SetCleanupStatus(const char16_t* text) { SetPageStatus(PAGE_CLEANUP, text); }

bool CleanupShowsLog() { return g_bListShowsLog != 0; }

void SetCleanupShowsLog(bool log) { g_bListShowsLog = log ? 1 : 0; }

bool GroupExpanded(int group) { return group >= 0 && group <= 31 && g_bGroupExpanded[group]; }

void FlipGroupExpanded(int group) {
    if (group >= 0 && group <= 31) g_bGroupExpanded[group] = g_bGroupExpanded[group] ? 0 : 1;
}

const int32_t* ExpandedGroups() { return g_bGroupExpanded; }

int32_t GetRowTag(int row) {
    HWND list = CleanupControl(IDC_LIST_CLEAN);
    if (!list) return 0;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<int32_t>(item.lParam);
}

int32_t IsRowSelected(int row) { return TagSelected(GetRowTag(row)) ? 1 : 0; }

bool SelectedCleanupItem(int* group, int* item) {
    HWND list = CleanupControl(IDC_LIST_CLEAN);
    if (!list || g_bListShowsLog) return false;
    int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return row >= 0 && TagNamesItem(GetRowTag(row), group, item);
}

void CountCleanedItem(uint64_t freed) {
    g_nCleanedItems += 1;
    g_nFreedBytes += freed;
}

void CleanupRunTotals(int32_t* items, uint64_t* bytes) {
    *items = g_nCleanedItems;
    *bytes = g_nFreedBytes;
}

void ResetCleanupRunTotals() {
    g_nCleanedItems = 0;
    g_nFreedBytes = 0;
}
