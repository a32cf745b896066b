// The passes every page runs over its table of controls, and the shell's
// own controls: the four tabs, the mode button, the warning bar and the
// ticker.
#include "ui/shell/shell.h"

#include "text/format.h"
#include "text/text16.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell_private.h"

namespace {

const ControlRow kShellControls[] = {
    {IDC_TAB_CLEAN, L"BUTTON", L"", BS_OWNERDRAW, 0, &MainLayout::tabClean, PAGE_ALWAYS},
    {IDC_TAB_LARGE, L"BUTTON", L"", BS_OWNERDRAW, 0, &MainLayout::tabLarge, PAGE_ALWAYS},
    {IDC_TAB_SPACE, L"BUTTON", L"", BS_OWNERDRAW, 0, &MainLayout::tabSpace, PAGE_ALWAYS},
    {IDC_TAB_SYSTEM, L"BUTTON", L"", BS_OWNERDRAW, 0, &MainLayout::tabSystem, PAGE_ALWAYS},
    {IDC_BTN_MODE, L"BUTTON", L"", BS_OWNERDRAW, 0, &MainLayout::modeButton, PAGE_ALWAYS},
    // Its text says which mode runs: set once the process facts are read.
    {IDC_WARNING_BAR, L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE, 0, &MainLayout::warningBar, PAGE_ALWAYS},
    {IDC_STATIC_LARGE_WARN, L"STATIC",
     L"⚠  警告：本页面仅显示文件大小信息，不构成任何操作建议或删除建议。请谨慎判断文件用途后再决定是否处理！",
     SS_OWNERDRAW, 0, &MainLayout::ticker, PAGE_LARGE},
};
constexpr int kShellCount = sizeof kShellControls / sizeof kShellControls[0];
HWND g_hShellControls[kShellCount];

HFONT g_hControlFont = nullptr;
HFONT g_hPreviousControlFont = nullptr;

}  // namespace

void CreateControlRows(HWND parent, const ControlRow* rows, int count, HWND* handles) {
    for (int i = 0; i < count; ++i) {
        const ControlRow& row = rows[i];
        handles[i] = CreateWindowExW(row.exStyle, row.cls, row.text, row.style | WS_CHILD, 0, 0, 10, 10, parent,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), GetModuleHandleW(nullptr),
                                     nullptr);
        Trace(u"[UI] 控件 %d=%p", row.id, handles[i]);
    }
}

void ShowControlRows(const ControlRow* rows, const HWND* handles, int count, int page) {
    for (int i = 0; i < count; ++i) {
        const bool shown = rows[i].page == PAGE_ALWAYS || rows[i].page == page;
        if (handles[i]) ShowWindow(handles[i], shown ? SW_SHOW : SW_HIDE);
    }
}

void SetControlRowsFont(const HWND* handles, int count, HFONT font) {
    for (int i = 0; i < count; ++i)
        if (handles[i]) SendMessageW(handles[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void PlaceControlRows(const ControlRow* rows, const HWND* handles, int count, const MainLayout& layout) {
    for (int i = 0; i < count; ++i) {
        if (!handles[i] || !rows[i].slot) continue;
        const LayoutRect& r = layout.*(rows[i].slot);
        MoveWindow(handles[i], r.x, r.y, r.width, r.height, TRUE);
    }
}

HWND ControlRowWindow(const ControlRow* rows, const HWND* handles, int count, int id) {
    for (int i = 0; i < count; ++i)
        if (rows[i].id == id) return handles[i];
    return nullptr;
}

void AddListColumn(HWND list, int index, const wchar_t* title, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

bool PaintListCellBack(HWND list, HDC dc, int row, int column, RECT* cell, bool* strong) {
    *cell = RECT{};
    cell->top = column;
    cell->left = LVIR_BOUNDS;
    if (!SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(cell))) return false;
    const bool selected = SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0;
    *strong = selected && GetFocus() == list;
    HBRUSH back = CreateSolidBrush(*strong ? GetSysColor(COLOR_HIGHLIGHT) : selected ? GetSysColor(COLOR_BTNFACE) : RGB(255, 255, 255));
    FillRect(dc, cell, back);
    DeleteObject(back);
    return true;
}

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

void SelectListRow(HWND list, int32_t row, int32_t count) {
    if (!list || row < 0 || row >= count) return;
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void FitListColumns(HWND list, const int* widths, int count, int listWidth) {
    if (!list) return;
    int others = 0;
    for (int column = 1; column < count; ++column) {
        SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), ScaleByDpi(widths[column]));
        others += ScaleByDpi(widths[column]);
    }
    const int first = listWidth - others - GetSystemMetrics(SM_CXVSCROLL) - 2 * GetSystemMetrics(SM_CXEDGE) - 2;
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, first > ScaleByDpi(widths[0]) ? first : ScaleByDpi(widths[0]));
}

void FormatCount(uint64_t count, char16_t* out, int capacity) {
    // Read once on the main thread; a locale that says nothing groups by
    // threes with a comma.
    static wchar_t separator[8] = L"";
    static char grouping[16] = "";
    static bool read = false;
    if (!read) {
        read = true;
        if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) <= 0) lstrcpyW(separator, L",");
        wchar_t wide[16];
        if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, wide, 16) <= 0) lstrcpyW(wide, L"3;0");
        for (int i = 0; i < 15 && wide[i]; ++i) grouping[i] = static_cast<char>(wide[i] < 0x80 ? wide[i] : '?');
    }
    if (FormatGrouped(count, Text16(separator), grouping, out, capacity) < 0 && capacity > 0) out[0] = 0;
}

void SetListStyles(HWND list) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
}

void CreateShellControls(HWND window) {
    g_hMainWnd = window;
    ReadProcessFacts();
    SetWindowPos(window, nullptr, 0, 0, ScaleByDpi(800), ScaleByDpi(600), SWP_NOZORDER | SWP_NOMOVE);
    CreateControlRows(window, kShellControls, kShellCount, g_hShellControls);
    HWND bar = ControlRowWindow(kShellControls, g_hShellControls, kShellCount, IDC_WARNING_BAR);
    if (bar) SetWindowTextW(bar, g_bIsAdmin ? L"✓ 管理员模式 - 拥有完全清理权限" : L"⚠ 非管理员模式 - 部分系统目录可能无法清理");
}

void PlaceShellControls(const MainLayout& layout) {
    PlaceControlRows(kShellControls, g_hShellControls, kShellCount, layout);
}

void ShowShellControls(int page) { ShowControlRows(kShellControls, g_hShellControls, kShellCount, page); }

HWND ShellControl(int id) { return ControlRowWindow(kShellControls, g_hShellControls, kShellCount, id); }

HFONT RenewControlFont() {
    g_hPreviousControlFont = g_hControlFont;
    g_hControlFont = CreateUiFont(13);
    return g_hControlFont;
}

void DropPreviousControlFont() {
    if (g_hPreviousControlFont) DeleteObject(g_hPreviousControlFont);
    g_hPreviousControlFont = nullptr;
}

void SetShellFont(HFONT font) { SetControlRowsFont(g_hShellControls, kShellCount, font); }
