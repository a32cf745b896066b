// Lengths and fonts at the window's DPI, shared by the layout, the painting
// and the cleanup list.
#include "ui/main_window.h"

#include "ui/app_state.h"

int ScaleByDpi(int x) { return MulDiv(x, g_nDpi, 96); }

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
