// The main window's geometry as pure arithmetic, so it can be checked
// without a window. Every length is a 96-DPI design length scaled as
// MulDiv(x, dpi, 96), each term separately.
#pragma once

#include <cstdint>

struct LayoutRect {
    int x, y, width, height;
};

struct MainLayout {
    int buttonTop, listTop, listHeight, contentWidth;
    int rescanX, cleanX;
    int cleanColumn0, cleanColumn1;
    LayoutRect tabClean, tabLarge, modeButton, warningBar;
    LayoutRect selectAll, deselectAll, totalLabel, cleanList;
    LayoutRect diskClean, preview, rescan, clean;
    LayoutRect ticker, scanButton, combo, scanStatus, largeList;
    // Painted by the window itself: the dark sidebar, the white page beside
    // it, the status band at the page's foot (its top line included) and
    // where the status text starts.
    LayoutRect sidebar, page, statusBand, statusText;
    // How full the system drive is, at the band's right end: a line of text
    // above a thin bar. It gives way to a status text that reaches it.
    LayoutRect freeSpace;
};

// MulDiv semantics: rounds to nearest, halves away from zero.
int ScaleLength(int x, int dpi);
MainLayout ComputeMainLayout(int width, int height, int dpi);
