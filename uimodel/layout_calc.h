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
    LayoutRect largeExport;  // 导出, at the right end of 开始扫描's row
    // The space view: 开始分析 and its status, the path line with 导出,
    // 文件类型, 上一级, 打开 and 删除, then the list beside the treemap.
    LayoutRect tabSystem;  // 系统空间, under 空间分析
    LayoutRect tabSpace, analyzeButton, spaceStatus, spacePath, spaceUp, spaceOpen, spaceDelete, spaceList, treemap;
    LayoutRect spaceTypes;  // 文件类型, before 上一级; its list takes spaceList
    LayoutRect spaceExport;
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

// Where the parts of a cleanup-list row lie, from the row's left edge: what
// the drawing puts there and what a click there does come from one place.
struct CleanupRowGeometry {
    int box;           // the expander's and the tick box's side
    int expanderLeft;  // group rows only
    int tickLeft;
    int textLeft;
    int branchX;       // item rows: the tree line from the group
};
CleanupRowGeometry CleanupRowGeometryAt(bool header, int dpi);
enum CleanupRowPart { ROW_PART_NONE, ROW_PART_EXPANDER, ROW_PART_TICK };
// What a click dx units right of the row's left edge hits: the expander
// (with a little slack to its right), the tick box (with slack both sides).
CleanupRowPart CleanupRowPartAt(bool header, int dpi, int dx);
MainLayout ComputeMainLayout(int width, int height, int dpi);
