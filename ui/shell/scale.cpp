// Lengths and fonts at the window's DPI, shared by the layout, the painting
// and the cleanup list.
#include "ui/shell/shell.h"

#include "platform/system_win32.h"
#include "ui/shell/app_state.h"

int ScaleByDpi(int x) { return MulDiv(x, g_nDpi, 96); }

int WindowMonitorDpi(HWND window) {
    // Both are looked up at run time: Windows 7 has neither, and keeps the
    // screen's DPI read at start-up.
    typedef UINT(WINAPI * ForWindow)(HWND);
    typedef HRESULT(WINAPI * ForMonitor)(HMONITOR, int, UINT*, UINT*);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    ForWindow forWindow =
        user32 ? reinterpret_cast<ForWindow>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow"))) : nullptr;
    if (forWindow) return static_cast<int>(forWindow(window));  // Windows 10 1607 and later
    HMODULE shcore = LoadSystemLibrary(L"shcore.dll");           // Windows 8.1 and later
    if (!shcore) return 0;
    ForMonitor forMonitor = reinterpret_cast<ForMonitor>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    UINT x = 0, y = 0;
    int dpi = 0;
    if (forMonitor && SUCCEEDED(forMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0 /* effective */, &x, &y)))
        dpi = static_cast<int>(y);
    FreeLibrary(shcore);
    return dpi;
}

HFONT CreateUiFont(int height) {
    int lfHeight = -ScaleByDpi(height);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        LOGFONTW font = metrics.lfMessageFont;
        font.lfHeight = lfHeight;
        font.lfQuality = CLEARTYPE_QUALITY;
        return CreateFontIndirectW(&font);
    }
    LOGFONTW font;
    HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
    if (stock && GetObjectW(stock, sizeof font, &font)) {
        font.lfHeight = lfHeight;
        font.lfQuality = CLEARTYPE_QUALITY;
        return CreateFontIndirectW(&font);
    }
    return CreateFontW(lfHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
}
