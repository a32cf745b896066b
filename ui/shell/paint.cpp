// The window's own painting: sidebar, tabs, mode button, warning bar,
// status band and the scrolling ticker; the two pages.
#include "ui/shell/shell.h"
#include "uimodel/free_space.h"
#include "uimodel/layout_calc.h"

#include "text/text16.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell_private.h"

#include <initializer_list>

namespace {

int32_t g_nCurrentPage = PAGE_CLEANUP;
// Each page's own line; the band shows the current page's.
char16_t g_szPageStatus[kPageCount][256] = {u"准备就绪", u"准备就绪", u"准备就绪"};
int32_t g_bTickerActive = 0;  // written by UpdateTicker alone
int32_t g_nTickerOffset = 0;
int32_t g_nTickerCycle = 0;
constexpr int kTickerTextUnits = 55;
const wchar_t kTickerText[] =
    L"⚠  警告：本页面仅显示文件大小信息，不构成任何操作建议或删除建议。请谨慎判断文件用途后再决定是否处理！   ";
static_assert(sizeof kTickerText / sizeof kTickerText[0] == kTickerTextUnits + 1, "the ticker text is 55 units");

HFONT g_hWarningBarFont = nullptr;
HBRUSH g_hbrAdminBar = nullptr;
HBRUSH g_hbrNormalBar = nullptr;

const COLORREF kSidebar = RGB(45, 45, 48);
const COLORREF kSelectedTab = RGB(60, 60, 65);
const COLORREF kAccent = RGB(0, 120, 212);
const COLORREF kNearlyFull = RGB(209, 52, 56);
const COLORREF kDimCaption = RGB(180, 180, 180);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kActionBlue = RGB(100, 149, 237);
const COLORREF kStatusBand = RGB(245, 245, 245);
const COLORREF kStatusLine = RGB(220, 220, 220);
const COLORREF kGreyText = RGB(96, 96, 96);
const COLORREF kTickerRed = RGB(220, 50, 50);

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void Text(HDC dc, int x, int y, const wchar_t* text, COLORREF colour) {
    SetTextColor(dc, colour);
    TextOutW(dc, x, y, text, lstrlenW(text));
}

void DrawTab(const DRAWITEMSTRUCT* item, bool selected, const wchar_t* caption) {
    const RECT& r = item->rcItem;
    Fill(item->hDC, r, selected ? kSelectedTab : kSidebar);
    if (selected) Fill(item->hDC, RECT{r.left, r.top, r.left + ScaleByDpi(3), r.bottom}, kAccent);
    HFONT font = CreateUiFont(17);
    if (!font) return;
    SetBkMode(item->hDC, TRANSPARENT);
    HGDIOBJ old = SelectObject(item->hDC, font);
    Text(item->hDC, r.left + ScaleByDpi(20), r.top + ScaleByDpi(13), caption, selected ? kWhite : kDimCaption);
    SelectObject(item->hDC, old);
    DeleteObject(font);
}

void DrawModeButton(const DRAWITEMSTRUCT* item) {
    const RECT& r = item->rcItem;
    Fill(item->hDC, r, kSidebar);
    SetBkMode(item->hDC, TRANSPARENT);
    HFONT font = CreateUiFont(12);
    if (!font) return;
    HGDIOBJ old = SelectObject(item->hDC, font);
    int x = r.left + ScaleByDpi(20);
    if (g_bIsAdmin) {
        Text(item->hDC, x, r.top + ScaleByDpi(8), L"切换为普通模式", kActionBlue);
        Text(item->hDC, x, r.top + ScaleByDpi(30), L"管理员模式", kWhite);
    } else {
        Text(item->hDC, x, r.top + ScaleByDpi(8), L"普通模式", kWhite);
        Text(item->hDC, x, r.top + ScaleByDpi(30), L"切换为管理员模式", kActionBlue);
    }
    SelectObject(item->hDC, old);
    DeleteObject(font);
}

void DrawTicker(const DRAWITEMSTRUCT* item) {
    const RECT& r = item->rcItem;
    Fill(item->hDC, r, kTickerRed);
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, kWhite);
    HFONT font = CreateUiFont(13);
    if (!font) return;
    HGDIOBJ old = SelectObject(item->hDC, font);
    SIZE extent;
    if (GetTextExtentPoint32W(item->hDC, kTickerText, kTickerTextUnits, &extent)) {
        int y = r.top + (r.bottom - extent.cy - r.top) / 2;
        int x = r.left - g_nTickerOffset;
        for (int copies = 0; x < r.right && copies < 50; ++copies) {
            TextOutW(item->hDC, x, y, kTickerText, kTickerTextUnits);
            x += ScaleByDpi(80) + extent.cx;
        }
    }
    SelectObject(item->hDC, old);
    DeleteObject(font);
}

RECT ToRect(const LayoutRect& r) { return RECT{r.x, r.y, r.x + r.width, r.y + r.height}; }

}  // namespace

int32_t CurrentPage() { return g_nCurrentPage; }

void SetPageStatus(int page, const char16_t* text) {
    if (page < 0 || page >= kPageCount) return;
    Text16CopyTruncated(g_szPageStatus[page], 256, text);
    if (g_hMainWnd && page == g_nCurrentPage) InvalidateRect(g_hMainWnd, nullptr, FALSE);
}

const char16_t* ShownStatusText() { return g_szPageStatus[g_nCurrentPage]; }

void TellPages(PageNote note) {
    if (g_hMainWnd) SendMessageW(g_hMainWnd, MSG_PAGE_NOTE, static_cast<WPARAM>(note), 0);
}

bool TickerRunning() { return g_bTickerActive != 0; }

void UpdateTicker() {
    // 20 wake-ups a second are for someone who can see the ticker: the
    // large-file page shown, in a window that is neither hidden nor minimized.
    const bool run = g_hMainWnd && g_nCurrentPage == 1 && IsWindowVisible(g_hMainWnd) && !IsIconic(g_hMainWnd);
    if (run == (g_bTickerActive != 0)) return;
    g_bTickerActive = run ? 1 : 0;
    if (run) {
        SetTimer(g_hMainWnd, IDT_TICKER, 50, nullptr);
    } else {
        KillTimer(g_hMainWnd, IDT_TICKER);
    }
}

namespace {

// The sidebar's tabs, one per page in page order.
struct SidebarTab {
    int id;
    LayoutRect MainLayout::*place;
    const wchar_t* caption;
};
const SidebarTab kTabs[kPageCount] = {
    {IDC_TAB_CLEAN, &MainLayout::tabClean, L"垃圾清理"},
    {IDC_TAB_LARGE, &MainLayout::tabLarge, L"大文件扫描"},
    {IDC_TAB_SPACE, &MainLayout::tabSpace, L"空间分析"},
    {IDC_TAB_SYSTEM, &MainLayout::tabSystem, L"系统空间"},
};

int TabPage(int id) {
    for (int page = 0; page < kPageCount; ++page)
        if (kTabs[page].id == id) return page;
    return -1;
}

}  // namespace

void ResetTickerCycle() {
    g_nTickerCycle = 0;  // measured again at the next tick, at the new scale
    g_nTickerOffset = 0;
}

void SelectPage(int page) {
    g_nCurrentPage = page >= 0 && page < kPageCount ? page : PAGE_CLEANUP;
    if (g_nCurrentPage == PAGE_LARGE) g_nTickerOffset = 0;
    UpdateTicker();
    ShowShellControls(g_nCurrentPage);
    for (const SidebarTab& tab : kTabs)
        if (HWND control = ShellControl(tab.id)) InvalidateRect(control, nullptr, TRUE);
    if (g_hMainWnd) InvalidateRect(g_hMainWnd, nullptr, FALSE);
}

static void PaintSidebar(HDC dc, const MainLayout& layout) {
    Fill(dc, ToRect(layout.sidebar), kSidebar);
    const RECT current = ToRect(layout.*kTabs[g_nCurrentPage].place);
    Fill(dc, current, kSelectedTab);
    Fill(dc, RECT{current.left, current.top, current.left + ScaleByDpi(3), current.bottom}, kAccent);
    SetBkMode(dc, TRANSPARENT);
    HFONT font = CreateUiFont(17);
    if (!font) return;
    HGDIOBJ old = SelectObject(dc, font);
    for (int page = 0; page < kPageCount; ++page) {
        const RECT tab = ToRect(layout.*kTabs[page].place);
        Text(dc, tab.left + ScaleByDpi(20), tab.top + ScaleByDpi(13), kTabs[page].caption,
             g_nCurrentPage == page ? kWhite : kDimCaption);
    }
    SelectObject(dc, old);
    DeleteObject(font);
}

namespace {

uint64_t g_freeBytes = 0;
uint64_t g_totalBytes = 0;

// The readout, unless the status text reaches its place.
void PaintFreeSpace(HDC dc, const MainLayout& layout) {
    const LayoutRect& area = layout.freeSpace;
    FreeSpaceReadout readout;
    if (!DescribeFreeSpace(g_szSystemDrive[0], g_freeBytes, g_totalBytes, area.width, &readout)) return;
    SIZE status = {0, 0}, text = {0, 0};
    GetTextExtentPoint32W(dc, WideText(ShownStatusText()), static_cast<int>(Text16Length(ShownStatusText())), &status);
    const int length = static_cast<int>(Text16Length(readout.text));
    GetTextExtentPoint32W(dc, WideText(readout.text), length, &text);
    const int right = area.x + area.width;
    const int left = text.cx > area.width ? right - text.cx : area.x;
    if (layout.statusText.x + status.cx + ScaleByDpi(16) > left) return;
    TextOutW(dc, right - text.cx, area.y, WideText(readout.text), length);
    const int barTop = area.y + area.height - ScaleByDpi(4);
    Fill(dc, RECT{area.x, barTop, right, area.y + area.height}, kStatusLine);
    Fill(dc, RECT{area.x, barTop, area.x + readout.usedWidth, area.y + area.height},
         readout.nearlyFull ? kNearlyFull : kAccent);
}

}  // namespace

bool RefreshFreeSpace(uint64_t* freeBytes) {
    const wchar_t root[] = {static_cast<wchar_t>(g_szSystemDrive[0]), L':', L'\\', 0};
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(root, &available, &total, &free)) return false;
    g_freeBytes = free.QuadPart;
    g_totalBytes = total.QuadPart;
    if (freeBytes) *freeBytes = g_freeBytes;
    if (g_hMainWnd) InvalidateRect(g_hMainWnd, nullptr, FALSE);
    return true;
}

void ForgetCachedFonts() {
    if (g_hWarningBarFont) DeleteObject(g_hWarningBarFont);
    g_hWarningBarFont = nullptr;
}

LRESULT OnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT rc;
    GetClientRect(window, &rc);
    const MainLayout layout = ComputeMainLayout(rc.right, rc.bottom, g_nDpi);
    PaintSidebar(dc, layout);
    Fill(dc, ToRect(layout.page), kWhite);
    const RECT band = ToRect(layout.statusBand);
    Fill(dc, band, kStatusBand);
    HPEN pen = CreatePen(PS_SOLID, 1, kStatusLine);
    HGDIOBJ oldPen = pen ? SelectObject(dc, pen) : nullptr;
    MoveToEx(dc, band.left, band.top, nullptr);
    LineTo(dc, band.right, band.top);
    HFONT font = CreateUiFont(13);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kGreyText);
    if (font) {
        TextOutW(dc, layout.statusText.x, layout.statusText.y, WideText(ShownStatusText()),
                 static_cast<int>(Text16Length(ShownStatusText())));
        PaintFreeSpace(dc, layout);
    }
    if (oldPen) SelectObject(dc, oldPen);
    if (oldFont) SelectObject(dc, oldFont);
    if (pen) DeleteObject(pen);
    if (font) DeleteObject(font);
    EndPaint(window, &ps);
    return 0;
}

LRESULT OnDrawItem(const DRAWITEMSTRUCT* item) {
    if (!item) return 0;
    const int page = item->CtlType == ODT_BUTTON ? TabPage(static_cast<int>(item->CtlID)) : -1;
    if (page >= 0) {
        DrawTab(item, g_nCurrentPage == page, kTabs[page].caption);
    } else if (item->CtlType == ODT_BUTTON && item->CtlID == IDC_BTN_MODE) {
        DrawModeButton(item);
    } else if (item->CtlType != ODT_BUTTON && item->CtlID == IDC_STATIC_LARGE_WARN) {
        DrawTicker(item);
    }
    return TRUE;
}

LRESULT OnCtlColorStatic(HDC dc, HWND control) {
    if (control && control == ShellControl(IDC_WARNING_BAR)) {
        if (!g_hWarningBarFont) g_hWarningBarFont = CreateUiFont(13);
        if (g_hWarningBarFont) SelectObject(dc, g_hWarningBarFont);
        if (g_bIsAdmin) {
            SetBkColor(dc, RGB(210, 240, 210));
            SetTextColor(dc, RGB(30, 100, 30));
            if (!g_hbrAdminBar) g_hbrAdminBar = CreateSolidBrush(RGB(210, 240, 210));
            return reinterpret_cast<LRESULT>(g_hbrAdminBar);
        }
        SetBkColor(dc, RGB(255, 245, 200));
        SetTextColor(dc, RGB(130, 90, 0));
        if (!g_hbrNormalBar) g_hbrNormalBar = CreateSolidBrush(RGB(255, 245, 200));
        return reinterpret_cast<LRESULT>(g_hbrNormalBar);
    }
    SetBkColor(dc, kWhite);
    SetTextColor(dc, kGreyText);
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
}

LRESULT OnTimer(WPARAM timer) {
    HWND ticker = ShellControl(IDC_STATIC_LARGE_WARN);
    if (timer != IDT_TICKER || !g_bTickerActive || !ticker) return 0;
    if (g_nTickerCycle == 0) {
        HDC dc = GetDC(ticker);
        if (dc) {
            HFONT font = CreateUiFont(13);
            HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
            SIZE extent;
            if (GetTextExtentPoint32W(dc, kTickerText, kTickerTextUnits, &extent)) g_nTickerCycle = ScaleByDpi(80) + extent.cx;
            if (old) SelectObject(dc, old);
            if (font) DeleteObject(font);
            ReleaseDC(ticker, dc);
        }
    }
    g_nTickerOffset += 2;
    if (g_nTickerCycle > 0 && g_nTickerOffset >= g_nTickerCycle) g_nTickerOffset = 0;
    InvalidateRect(ticker, nullptr, TRUE);
    return 0;
}
