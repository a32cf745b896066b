// The space view's state: its controls from one table and the passes over
// it, its phase with the busy flag the phase alone writes, and what the list
// shows (the tree, the folder in it, its files or a deletion waiting) with
// the buttons that follow from them. It calls no other file of the view.
#include "ui/space/space_page.h"

#include "largefiles/space_tree.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "ui/space/space_private.h"
#include "uimodel/page_phase.h"

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

// Column widths at 96 DPI; the name (the extension) takes what the others leave.
const int kColumns[6] = {80, 70, 70, 100, 52, 110};
const int kTypeColumns[6] = {58, 66, 46, 66, 66, 52};

ScanPhase g_nPhase = SCAN_IDLE;
// 1 while the analysis runs and has not been asked to stop; clearing it is
// the stop request the worker polls.
std::atomic<int32_t> g_bSpaceScanBusy{0};

// Main thread only: the tree shown and the folder shown in it.
SpaceTree* g_pSpaceTree = nullptr;
uint64_t g_nSpaceUsed = 0;  // bytes the drive used when the tree's scan began
uint32_t g_nSpaceFolder = 0;
// The list holds the files view's listing in place of the folder's rows.
bool g_bSpaceFilesShown = false;
// A folder's deletion is on a worker.
bool g_bSpaceDeleting = false;

void FitColumns(int listWidth) {
    FitListColumns(SpaceControl(IDC_LIST_SPACE), kColumns, 6, listWidth);
    FitListColumns(SpaceControl(IDC_LIST_SPACE_TYPES), kTypeColumns, 6, listWidth);
}

bool TypesWanted() {
    HWND button = SpaceControl(IDC_BTN_SPACE_TYPES);
    return button && SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

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
    if (HWND list = SpaceControl(IDC_LIST_SPACE_TYPES)) {
        SetListStyles(list);
        AddListColumn(list, 0, L"扩展名", ScaleByDpi(90));
        AddListColumn(list, 1, L"类型", ScaleByDpi(70));
        AddListColumn(list, 2, L"文件数", ScaleByDpi(64));
        AddListColumn(list, 3, L"大小", ScaleByDpi(80));
        AddListColumn(list, 4, L"占用空间", ScaleByDpi(80));
        AddListColumn(list, 5, L"占比", ScaleByDpi(64));
    }
}

void SpaceScale(HFONT font) {
    SetControlRowsFont(g_hControls, kCount, font);
    if (HWND list = SpaceControl(IDC_LIST_SPACE)) {
        RECT r;
        GetWindowRect(list, &r);
        FitColumns(r.right - r.left);
    }
}

void SpaceLayout(const MainLayout& layout) {
    PlaceControlRows(kControls, g_hControls, kCount, layout);
    FitColumns(layout.spaceList.width);
}

void SpaceShow(int page) {
    ShowControlRows(kControls, g_hControls, kCount, page);
    if (page == PAGE_SPACE) ApplySpaceTypesShown();
}

void ApplySpaceTypesShown() {
    HWND types = SpaceControl(IDC_LIST_SPACE_TYPES);
    HWND list = SpaceControl(IDC_LIST_SPACE);
    if (!types || !list) return;
    const bool wanted = TypesWanted();
    ShowWindow(types, wanted ? SW_SHOW : SW_HIDE);
    ShowWindow(list, wanted ? SW_HIDE : SW_SHOW);
}

void RedrawSpaceTreemap() {
    if (HWND treemap = SpaceControl(IDC_TREEMAP)) InvalidateRect(treemap, nullptr, FALSE);
}

const SpaceTree* SpaceTreeShown(uint32_t* folder) {
    if (folder) *folder = g_nSpaceFolder;
    return g_pSpaceTree;
}

SpaceTree* SpaceTreeToChange() { return g_pSpaceTree; }

uint64_t SpaceUsedBytes() { return g_nSpaceUsed; }

void StoreSpaceTree(SpaceTree* tree, uint64_t used) {
    delete g_pSpaceTree;
    g_pSpaceTree = tree;
    g_nSpaceUsed = used;
}

void StoreSpaceFolder(uint32_t folder) { g_nSpaceFolder = folder; }

void SpaceTreeChanged(uint64_t freedSpace) { g_nSpaceUsed = g_nSpaceUsed > freedSpace ? g_nSpaceUsed - freedSpace : 0; }

bool SpaceFilesShown() { return g_bSpaceFilesShown; }

void StoreSpaceFilesShown(bool shown) { g_bSpaceFilesShown = shown; }

bool SpaceDeleting() { return g_bSpaceDeleting; }

void StoreSpaceDeleting(bool deleting) { g_bSpaceDeleting = deleting; }

void ApplySpaceEnabled() {
    const SpaceEnabled e = SpaceEnabledIn(g_nPhase, g_pSpaceTree != nullptr, g_nSpaceFolder == 0);
    const bool waiting = g_bSpaceDeleting;
    if (HWND analyze = SpaceControl(IDC_BTN_ANALYZE)) EnableWindow(analyze, e.analyze && !waiting ? TRUE : FALSE);
    if (HWND up = SpaceControl(IDC_BTN_SPACE_UP)) EnableWindow(up, (e.up || g_bSpaceFilesShown) && !waiting ? TRUE : FALSE);
    if (HWND open = SpaceControl(IDC_BTN_SPACE_OPEN)) EnableWindow(open, e.open && !waiting ? TRUE : FALSE);
    if (HWND remove = SpaceControl(IDC_BTN_SPACE_DELETE)) EnableWindow(remove, e.open && e.analyze && !waiting ? TRUE : FALSE);
    // A finished tree is written out; a scan's snapshot is not.
    if (HWND out = SpaceControl(IDC_BTN_SPACE_EXPORT)) EnableWindow(out, e.open && e.analyze && !waiting ? TRUE : FALSE);
}
