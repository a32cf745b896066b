// The large-file page's state: its controls from one table and the passes
// over it, and its phase, the one writer of the busy flag and of 开始扫描's
// enabled state.
#include "ui/largefiles/largefiles_page.h"

#include "ui/largefiles/largefiles_private.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"

#include <initializer_list>

std::atomic<int32_t> g_bLargeScanBusy{0};

namespace {

const ControlRow kControls[] = {
    {IDC_BTN_SCAN, L"BUTTON", L"开始扫描", 0, 0, &MainLayout::scanButton, PAGE_LARGE},
    {IDC_COMBO_MIN_SIZE, L"COMBOBOX", L"", WS_VSCROLL | CBS_DROPDOWNLIST, 0, &MainLayout::combo, PAGE_LARGE},
    {IDC_STATIC_SCAN_STAT, L"STATIC", L"点击\"开始扫描\"查找大文件...", 0, 0, &MainLayout::scanStatus, PAGE_LARGE},
    {IDC_BTN_LARGE_EXPORT, L"BUTTON", L"导出", 0, 0, &MainLayout::largeExport, PAGE_LARGE},
    {IDC_LIST_LARGE, WC_LISTVIEWW, L"", WS_VSCROLL | LVS_REPORT | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE,
     &MainLayout::largeList, PAGE_LARGE},
};
constexpr int kCount = sizeof kControls / sizeof kControls[0];
HWND g_hControls[kCount];

// Column widths at 96 DPI; the path takes what the others leave.
const int kColumns[5] = {120, 90, 90, 120, 80};

ScanPhase g_nPhase = SCAN_IDLE;

void FitColumns() {
    HWND list = LargeControl(IDC_LIST_LARGE);
    if (!list) return;
    RECT r;
    GetWindowRect(list, &r);
    FitListColumns(list, kColumns, 5, r.right - r.left);
}

}  // namespace

HWND LargeControl(int id) { return ControlRowWindow(kControls, g_hControls, kCount, id); }

void CreateLargeControls(HWND window) {
    CreateControlRows(window, kControls, kCount, g_hControls);
    if (HWND combo = LargeControl(IDC_COMBO_MIN_SIZE)) {
        for (const wchar_t* item : {L"≥ 50 MB", L"≥ 100 MB", L"≥ 500 MB", L"≥ 1 GB"})
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
    }
    if (HWND list = LargeControl(IDC_LIST_LARGE)) {
        SetListStyles(list);
        AddListColumn(list, 0, L"文件路径", ScaleByDpi(380));
        AddListColumn(list, 1, L"大小", ScaleByDpi(kColumns[1]));
        AddListColumn(list, 2, L"占用空间", ScaleByDpi(kColumns[2]));
        AddListColumn(list, 3, L"修改时间", ScaleByDpi(kColumns[3]));
        AddListColumn(list, 4, L"操作", ScaleByDpi(kColumns[4]));
        // A path cut by its column shows whole as a tooltip.
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_LABELTIP, LVS_EX_LABELTIP);
    }
}

void LargeScale(HFONT font) {
    SetControlRowsFont(g_hControls, kCount, font);
    FitColumns();
    if (HWND combo = LargeControl(IDC_COMBO_MIN_SIZE)) {
        int field = ScaleByDpi(32) - 2 * GetSystemMetrics(SM_CYEDGE);
        if (field < ScaleByDpi(16)) field = ScaleByDpi(16);
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        SendMessageW(combo, CB_SETITEMHEIGHT, 0, ScaleByDpi(22));
        SetWindowPos(combo, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    }
}

void LargeLayout(const MainLayout& layout) {
    PlaceControlRows(kControls, g_hControls, kCount, layout);
    FitListColumns(LargeControl(IDC_LIST_LARGE), kColumns, 5, layout.largeList.width);
}

void LargeShow(int page) { ShowControlRows(kControls, g_hControls, kCount, page); }

ScanPhase LargePhase() { return g_nPhase; }

void SetLargePhase(ScanPhase phase) {
    g_nPhase = phase;
    g_bLargeScanBusy.store(phase == SCAN_RUNNING ? 1 : 0);
    if (HWND button = LargeControl(IDC_BTN_SCAN)) EnableWindow(button, ScanStartEnabled(phase) ? TRUE : FALSE);
    // The list is written out only once a scan has published it.
    if (HWND out = LargeControl(IDC_BTN_LARGE_EXPORT)) EnableWindow(out, phase == SCAN_IDLE ? TRUE : FALSE);
}

void SetLargeStatus(const char16_t* text) { SetPageStatus(PAGE_LARGE, text); }

void StopLargeFileScan() {
    if (g_nPhase == SCAN_RUNNING) SetLargePhase(SCAN_STOPPING);
}
