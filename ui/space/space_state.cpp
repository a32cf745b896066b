// The space view's state: its controls from one table and the passes over
// it, and its phase with the busy flag the phase alone writes.
#include "ui/space/space_page.h"

#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "ui/space/space_private.h"

#include <atomic>

namespace {

const DWORD kListStyle = WS_VSCROLL | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL;

const ControlRow kControls[] = {
    {IDC_BTN_ANALYZE, L"BUTTON", L"开始分析", 0, 0, &MainLayout::analyzeButton, PAGE_SPACE},
    {IDC_STATIC_SPACE_STAT, L"STATIC", L"点击\"开始分析\"查看各文件夹占用的空间...", SS_CENTERIMAGE, 0,
     &MainLayout::spaceStatus, PAGE_SPACE},
    {IDC_STATIC_SPACE_PATH, L"STATIC", L"", SS_PATHELLIPSIS | SS_NOPREFIX, 0, &MainLayout::spacePath, PAGE_SPACE},
    {IDC_BTN_SPACE_EXPORT, L"BUTTON", L"导出", WS_DISABLED, 0, &MainLayout::spaceExport, PAGE_SPACE},
    {IDC_BTN_SPACE_UP, L"BUTTON", L"上一级", WS_DISABLED, 0, &MainLayout::spaceUp, PAGE_SPACE},
    {IDC_BTN_SPACE_OPEN, L"BUTTON", L"打开", WS_DISABLED, 0, &MainLayout::spaceOpen, PAGE_SPACE},
    {IDC_BTN_SPACE_DELETE, L"BUTTON", L"删除", WS_DISABLED, 0, &MainLayout::spaceDelete, PAGE_SPACE},
    {IDC_LIST_SPACE, WC_LISTVIEWW, L"", kListStyle, WS_EX_CLIENTEDGE, &MainLayout::spaceList, PAGE_SPACE},
    {IDC_BTN_SPACE_TYPES, L"BUTTON", L"文件类型", BS_AUTOCHECKBOX | BS_PUSHLIKE, 0, &MainLayout::spaceTypes, PAGE_SPACE},
    {IDC_LIST_SPACE_TYPES, WC_LISTVIEWW, L"", kListStyle, WS_EX_CLIENTEDGE, &MainLayout::spaceList, PAGE_SPACE},
    {IDC_TREEMAP, kTreemapClass, L"", 0, WS_EX_CLIENTEDGE, &MainLayout::treemap, PAGE_SPACE},
};
constexpr int kCount = sizeof kControls / sizeof kControls[0];
HWND g_hControls[kCount];

// Column widths at 96 DPI; the name takes what the others leave.
const int kColumns[6] = {80, 70, 70, 100, 52, 110};

ScanPhase g_nPhase = SCAN_IDLE;
// 1 while the analysis runs and has not been asked to stop; clearing it is
// the stop request the worker polls.
std::atomic<int32_t> g_bSpaceScanBusy{0};

void FitColumns(int listWidth) { FitListColumns(SpaceControl(IDC_LIST_SPACE), kColumns, 6, listWidth); }

}  // namespace

HWND SpaceControl(int id) { return ControlRowWindow(kControls, g_hControls, kCount, id); }

ScanPhase SpaceCurrentPhase() { return g_nPhase; }

void StoreSpacePhase(ScanPhase phase) {
    g_nPhase = phase;
    g_bSpaceScanBusy.store(phase == SCAN_RUNNING ? 1 : 0);
}

bool SpaceScanBusy() { return g_bSpaceScanBusy.load() != 0; }

void CreateSpaceControls(HWND window) {
    CreateControlRows(window, kControls, kCount, g_hControls);
    if (HWND list = SpaceControl(IDC_LIST_SPACE)) {
        SetListStyles(list);
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_LABELTIP, LVS_EX_LABELTIP);
        AddListColumn(list, 0, L"名称", ScaleByDpi(200));
        AddListColumn(list, 1, L"大小", ScaleByDpi(80));
        AddListColumn(list, 2, L"占用空间", ScaleByDpi(80));
        AddListColumn(list, 3, L"占比", ScaleByDpi(90));
        AddListColumn(list, 4, L"文件数", ScaleByDpi(70));
        AddListColumn(list, 5, L"修改时间", ScaleByDpi(kColumns[5]));
    }
    SetUpSpaceTypesList();
}

void SpaceScale(HFONT font) {
    SetControlRowsFont(g_hControls, kCount, font);
    if (HWND list = SpaceControl(IDC_LIST_SPACE)) {
        RECT r;
        GetWindowRect(list, &r);
        FitColumns(r.right - r.left);
        FitSpaceTypesColumns(r.right - r.left);
    }
}

void SpaceLayout(const MainLayout& layout) {
    PlaceControlRows(kControls, g_hControls, kCount, layout);
    FitColumns(layout.spaceList.width);
    FitSpaceTypesColumns(layout.spaceList.width);
}

void SpaceShow(int page) {
    ShowControlRows(kControls, g_hControls, kCount, page);
    if (page == PAGE_SPACE) ApplySpaceTypesShown();
}
