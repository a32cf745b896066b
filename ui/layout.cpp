// Creating and placing the main window's controls.
#include "ui/main_window.h"

#include "text/format.h"
#include "ui/app_state.h"
#include "ui/ids.h"
#include "uimodel/layout_calc.h"

#include "platform/post.h"
#include "text/text16.h"

#include <initializer_list>

HWND g_hTabClean, g_hTabLarge, g_hBtnMode, g_hWarningBar, g_hStaticTotal, g_hListClean, g_hBtnSelect, g_hBtnDeselect,
    g_hBtnDiskClean, g_hBtnRescan, g_hBtnCleanNative, g_hStaticLargeWarn, g_hBtnScanNative, g_hComboMinSize,
    g_hStaticScanStat, g_hListLarge, g_hBtnPreview, g_hTabSpace, g_hBtnAnalyze, g_hStaticSpaceStat, g_hStaticSpacePath,
    g_hBtnSpaceUp, g_hBtnSpaceOpen, g_hListSpace, g_hTreemap;

namespace {

HFONT g_hControlFont = nullptr;  // the shared 13-pixel font at the current DPI

// Column widths at 96 DPI. The first column (the large list's path, the
// space list's name) takes what the others leave, and at least the first
// number given.
const int kLargeColumns[4] = {120, 90, 90, 80};
const int kSpaceColumns[5] = {80, 70, 70, 64, 52};

void FitColumns(HWND list, const int* widths, int count, int listWidth) {
    if (!list) return;
    int others = 0;
    for (int column = 1; column < count; ++column) {
        SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), ScaleByDpi(widths[column]));
        others += ScaleByDpi(widths[column]);
    }
    const int first = listWidth - others - GetSystemMetrics(SM_CXVSCROLL) - 2 * GetSystemMetrics(SM_CXEDGE) - 2;
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, first > ScaleByDpi(widths[0]) ? first : ScaleByDpi(widths[0]));
}

}  // namespace

void ShowListSortArrow(HWND list, int sorted, bool ascending) {
    HWND header = list ? reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)) : nullptr;
    if (!header) return;
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int column = 0; column < columns; ++column) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        if (!SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item))) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == sorted) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    }
}

namespace {

void FitLargeColumns(int listWidth) { FitColumns(g_hListLarge, kLargeColumns, 4, listWidth); }

void FitSpaceColumns(int listWidth) { FitColumns(g_hListSpace, kSpaceColumns, 5, listWidth); }

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, DWORD exStyle = 0) {
    return CreateWindowExW(exStyle, cls, text, style, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void AddColumn(HWND list, int index, const wchar_t* title, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void SetListStyles(HWND list) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
}

void SetFont(HWND control, HFONT font) {
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Move(HWND control, const LayoutRect& r) {
    if (control) MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
}

}  // namespace

void CreateMainControls(HWND window) {
    g_hMainWnd = window;
    ReadProcessFacts();
    SetWindowPos(window, nullptr, 0, 0, ScaleByDpi(800), ScaleByDpi(600), SWP_NOZORDER | SWP_NOMOVE);

    const DWORD owner = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
    g_hTabClean = Child(window, L"BUTTON", L"", owner, IDC_TAB_CLEAN);
    if (!g_hTabClean) return;
    g_hTabLarge = Child(window, L"BUTTON", L"", owner, IDC_TAB_LARGE);
    if (!g_hTabLarge) return;
    g_hTabSpace = Child(window, L"BUTTON", L"", owner, IDC_TAB_SPACE);
    g_hBtnMode = Child(window, L"BUTTON", L"", owner, IDC_BTN_MODE);
    if (!g_hBtnMode) return;

    g_hWarningBar = Child(window, L"STATIC",
                          g_bIsAdmin ? L"✓ 管理员模式 - 拥有完全清理权限" : L"⚠ 非管理员模式 - 部分系统目录可能无法清理",
                          WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, IDC_WARNING_BAR);
    Trace(u"[UI] g_hWarningBar=%p", g_hWarningBar);

    g_hStaticTotal = Child(window, L"STATIC", L"总计可释放空间: 计算中...", WS_CHILD | SS_RIGHT, IDC_STATIC_TOTAL);
    Trace(u"[UI] g_hStaticTotal=%p", g_hStaticTotal);

    const DWORD listStyle = WS_CHILD | WS_VSCROLL | LVS_REPORT | LVS_SHOWSELALWAYS;
    g_hListClean = Child(window, WC_LISTVIEWW, L"", listStyle, IDC_LIST_CLEAN, WS_EX_CLIENTEDGE);
    Trace(u"[UI] g_hListClean=%p", g_hListClean);
    if (!g_hListClean) return;
    SendMessageW(g_hListClean, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    AddColumn(g_hListClean, 0, L"项目", 560);
    AddColumn(g_hListClean, 1, L"大小", 120);

    g_hBtnSelect = Child(window, L"BUTTON", L"全选", WS_CHILD, IDC_BTN_SELECT_ALL);
    Trace(u"[UI] g_hBtnSelect=%p", g_hBtnSelect);
    g_hBtnDeselect = Child(window, L"BUTTON", L"取消全选", WS_CHILD, IDC_BTN_DESELECT_ALL);
    Trace(u"[UI] g_hBtnDeselect=%p", g_hBtnDeselect);
    g_hBtnDiskClean = Child(window, L"BUTTON", L"系统磁盘清理", WS_CHILD, IDC_BTN_DISK_CLEAN);
    Trace(u"[UI] g_hBtnDiskClean=%p", g_hBtnDiskClean);
    g_hBtnPreview = Child(window, L"BUTTON", L"查看文件", WS_CHILD | WS_DISABLED, IDC_BTN_PREVIEW);
    g_hBtnRescan = Child(window, L"BUTTON", L"重新扫描", WS_CHILD, IDC_BTN_RESCAN);
    Trace(u"[UI] g_hBtnRescan=%p", g_hBtnRescan);
    if (g_hBtnRescan) EnableWindow(g_hBtnRescan, FALSE);
    g_hBtnCleanNative = Child(window, L"BUTTON", L"开始清理", WS_CHILD, IDC_BTN_CLEAN);
    Trace(u"[UI] g_hBtnCleanNative=%p", g_hBtnCleanNative);

    g_hStaticLargeWarn = Child(window, L"STATIC",
                               L"⚠  警告：本页面仅显示文件大小信息，不构成任何操作建议或删除建议。请谨慎判断文件用途后再决定是否处理！",
                               WS_CHILD | SS_OWNERDRAW, IDC_STATIC_LARGE_WARN);
    Trace(u"[UI] g_hStaticLargeWarn=%p", g_hStaticLargeWarn);
    g_hBtnScanNative = Child(window, L"BUTTON", L"开始扫描", WS_CHILD, IDC_BTN_SCAN);
    Trace(u"[UI] g_hBtnScanNative=%p", g_hBtnScanNative);
    g_hComboMinSize = Child(window, L"COMBOBOX", L"", WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, IDC_COMBO_MIN_SIZE);
    Trace(u"[UI] g_hComboMinSize=%p", g_hComboMinSize);
    if (g_hComboMinSize) {
        for (const wchar_t* item : {L"≥ 50 MB", L"≥ 100 MB", L"≥ 500 MB", L"≥ 1 GB"})
            SendMessageW(g_hComboMinSize, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SendMessageW(g_hComboMinSize, CB_SETCURSEL, 1, 0);
    }
    g_hStaticScanStat = Child(window, L"STATIC", L"点击\"开始扫描\"查找大文件...", WS_CHILD, IDC_STATIC_SCAN_STAT);
    Trace(u"[UI] g_hStaticScanStat=%p", g_hStaticScanStat);
    g_hListLarge = Child(window, WC_LISTVIEWW, L"", listStyle, IDC_LIST_LARGE, WS_EX_CLIENTEDGE);
    Trace(u"[UI] g_hListLarge=%p", g_hListLarge);
    if (g_hListLarge) {
        SetListStyles(g_hListLarge);
        AddColumn(g_hListLarge, 0, L"文件路径", ScaleByDpi(380));
        AddColumn(g_hListLarge, 1, L"大小", ScaleByDpi(kLargeColumns[1]));
        AddColumn(g_hListLarge, 2, L"占用空间", ScaleByDpi(kLargeColumns[2]));
        AddColumn(g_hListLarge, 3, L"操作", ScaleByDpi(kLargeColumns[3]));
        // A path cut by its column shows whole as a tooltip.
        SendMessageW(g_hListLarge, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_LABELTIP, LVS_EX_LABELTIP);
    }

    g_hBtnAnalyze = Child(window, L"BUTTON", L"开始分析", WS_CHILD, IDC_BTN_ANALYZE);
    g_hStaticSpaceStat = Child(window, L"STATIC", L"点击\"开始分析\"查看各文件夹占用的空间...", WS_CHILD | SS_CENTERIMAGE,
                               IDC_STATIC_SPACE_STAT);
    g_hStaticSpacePath = Child(window, L"STATIC", L"", WS_CHILD | SS_PATHELLIPSIS | SS_NOPREFIX, IDC_STATIC_SPACE_PATH);
    g_hBtnSpaceUp = Child(window, L"BUTTON", L"上一级", WS_CHILD | WS_DISABLED, IDC_BTN_SPACE_UP);
    g_hBtnSpaceOpen = Child(window, L"BUTTON", L"打开", WS_CHILD | WS_DISABLED, IDC_BTN_SPACE_OPEN);
    g_hListSpace = Child(window, WC_LISTVIEWW, L"", listStyle | LVS_SINGLESEL, IDC_LIST_SPACE, WS_EX_CLIENTEDGE);
    if (g_hListSpace) {
        SetListStyles(g_hListSpace);
        SendMessageW(g_hListSpace, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_LABELTIP, LVS_EX_LABELTIP);
        AddColumn(g_hListSpace, 0, L"名称", ScaleByDpi(200));
        AddColumn(g_hListSpace, 1, L"大小", ScaleByDpi(80));
        AddColumn(g_hListSpace, 2, L"占用空间", ScaleByDpi(80));
        AddColumn(g_hListSpace, 3, L"占比", ScaleByDpi(90));
        AddColumn(g_hListSpace, 4, L"文件数", ScaleByDpi(70));
    }
    g_hTreemap = CreateTreemapView(window, IDC_TREEMAP);

    ApplyScale(window);
    RebuildCleanupList();
    ShowPage(0);
}

void ApplyScale(HWND window) {
    HFONT previous = g_hControlFont;
    g_hControlFont = CreateUiFont(13);
    for (HWND control : {g_hWarningBar, g_hListClean, g_hListLarge, g_hStaticTotal, g_hStaticLargeWarn, g_hStaticScanStat,
                         g_hComboMinSize, g_hBtnScanNative, g_hBtnCleanNative, g_hBtnRescan, g_hBtnSelect, g_hBtnDeselect,
                         g_hBtnDiskClean, g_hBtnPreview, g_hBtnAnalyze, g_hStaticSpaceStat, g_hStaticSpacePath, g_hBtnSpaceUp,
                         g_hBtnSpaceOpen, g_hListSpace})
        SetFont(control, g_hControlFont);
    if (previous) DeleteObject(previous);  // no control holds it any more
    ForgetCachedFonts();
    if (g_hListLarge) {
        RECT list;
        GetWindowRect(g_hListLarge, &list);
        FitLargeColumns(list.right - list.left);
    }
    if (g_hListSpace) {
        RECT list;
        GetWindowRect(g_hListSpace, &list);
        FitSpaceColumns(list.right - list.left);
    }
    if (g_hComboMinSize) {
        int field = ScaleByDpi(32) - 2 * GetSystemMetrics(SM_CYEDGE);
        if (field < ScaleByDpi(16)) field = ScaleByDpi(16);
        SendMessageW(g_hComboMinSize, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        SendMessageW(g_hComboMinSize, CB_SETITEMHEIGHT, 0, ScaleByDpi(22));
        SetWindowPos(g_hComboMinSize, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    }
    RECT client;
    GetClientRect(window, &client);
    LayoutMainWindow(client.right, client.bottom);
    InvalidateRect(window, nullptr, TRUE);
}

LRESULT OnDpiChanged(HWND window, int dpi, const RECT* suggested) {
    SetWindowDpi(dpi);
    ApplyScale(window);
    ResetTickerCycle();
    if (suggested) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return 0;
}

void LayoutMainWindow(int width, int height) {
    MainLayout l = ComputeMainLayout(width, height, g_nDpi);
    Move(g_hTabClean, l.tabClean);
    Move(g_hTabLarge, l.tabLarge);
    Move(g_hBtnMode, l.modeButton);
    Move(g_hWarningBar, l.warningBar);
    Move(g_hBtnSelect, l.selectAll);
    Move(g_hBtnDeselect, l.deselectAll);
    Move(g_hStaticTotal, l.totalLabel);
    Move(g_hListClean, l.cleanList);
    if (g_hListClean) {
        SendMessageW(g_hListClean, LVM_SETCOLUMNWIDTH, 0, l.cleanColumn0);
        SendMessageW(g_hListClean, LVM_SETCOLUMNWIDTH, 1, l.cleanColumn1);
    }
    Move(g_hBtnDiskClean, l.diskClean);
    Move(g_hBtnPreview, l.preview);
    Move(g_hBtnRescan, l.rescan);
    Move(g_hBtnCleanNative, l.clean);
    Move(g_hStaticLargeWarn, l.ticker);
    Move(g_hBtnScanNative, l.scanButton);
    Move(g_hComboMinSize, l.combo);
    Move(g_hStaticScanStat, l.scanStatus);
    Move(g_hListLarge, l.largeList);
    FitLargeColumns(l.largeList.width);
    Move(g_hTabSpace, l.tabSpace);
    Move(g_hBtnAnalyze, l.analyzeButton);
    Move(g_hStaticSpaceStat, l.spaceStatus);
    Move(g_hStaticSpacePath, l.spacePath);
    Move(g_hBtnSpaceUp, l.spaceUp);
    Move(g_hBtnSpaceOpen, l.spaceOpen);
    Move(g_hListSpace, l.spaceList);
    FitSpaceColumns(l.spaceList.width);
    Move(g_hTreemap, l.treemap);
}

LRESULT OnCreate(HWND window) {
    CreateMainControls(window);
    RefreshFreeSpace(nullptr);
    PostWindowMessage(window, MSG_START_MEASURE, 0, 0);
    return 0;
}

LRESULT OnSize(HWND window, int width, int height) {
    LayoutMainWindow(width, height);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = ScaleByDpi(700);
    info->ptMinTrackSize.y = ScaleByDpi(450);
    return 0;
}
