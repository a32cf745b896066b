#include "uimodel/layout_calc.h"

int ScaleLength(int x, int dpi) {
    int64_t product = static_cast<int64_t>(x) * dpi;
    int64_t half = 48;  // 96 / 2
    int64_t q = product >= 0 ? (product + half) / 96 : -((-product + half) / 96);
    return static_cast<int>(q);
}

CleanupRowGeometry CleanupRowGeometryAt(bool header, int dpi) {
    auto s = [dpi](int x) { return ScaleLength(x, dpi); };
    CleanupRowGeometry g;
    g.box = s(16);
    g.expanderLeft = s(3);
    // A group's tick sits after its expander; an item's one level further in.
    g.tickLeft = header ? s(22) + s(4) : s(22) + s(22) + s(4);
    g.textLeft = g.tickLeft + g.box + s(6);
    g.branchX = s(22) + s(11);
    return g;
}

CleanupRowPart CleanupRowPartAt(bool header, int dpi, int dx) {
    const CleanupRowGeometry g = CleanupRowGeometryAt(header, dpi);
    const int s2 = ScaleLength(2, dpi);
    if (header && dx >= g.expanderLeft && dx < g.expanderLeft + g.box + s2) return ROW_PART_EXPANDER;
    if (dx >= g.tickLeft - s2 && dx < g.tickLeft + ScaleLength(4, dpi) + g.box) return ROW_PART_TICK;
    return ROW_PART_NONE;
}

MainLayout ComputeMainLayout(int W, int H, int dpi) {
    auto s = [dpi](int x) { return ScaleLength(x, dpi); };
    MainLayout l;
    l.buttonTop = H - s(44) - s(40) - s(12);
    l.listTop = s(44) + s(36);
    l.listHeight = l.buttonTop - l.listTop - s(10);
    if (l.listHeight < s(60)) l.listHeight = s(60);
    l.contentWidth = W - s(160) - s(40);
    if (l.contentWidth < s(200)) l.contentWidth = s(200);

    l.cleanX = W - s(150) - s(40);
    l.rescanX = l.cleanX - s(130) - s(10);
    // Clear of 系统磁盘清理 and 查看文件 on the left.
    int minimumX = s(160) + s(20) + s(100) + s(10) + s(90) + s(12);
    if (l.rescanX < minimumX) l.rescanX = minimumX;
    if (l.cleanX < l.rescanX + s(10) + s(130)) l.cleanX = l.rescanX + s(10) + s(130);

    l.cleanColumn0 = (l.contentWidth - s(130)) & 0xFFFF;
    l.cleanColumn1 = s(120);

    l.tabClean = {0, 0, s(160), s(48)};
    l.tabLarge = {0, s(48), s(160), s(48)};
    l.modeButton = {0, H - s(60), s(160), s(60)};
    l.warningBar = {s(160), 0, W - s(160), s(36)};
    l.selectAll = {s(160) + s(20), s(36) + s(8), s(70), s(28)};
    l.deselectAll = {s(160) + s(100), s(36) + s(8), s(80), s(28)};
    l.totalLabel = {W - s(260), s(36) + s(10), s(240), s(28)};
    l.cleanList = {s(160) + s(20), l.listTop, l.contentWidth, l.listHeight};
    l.diskClean = {s(160) + s(20), l.buttonTop, s(100), s(40)};
    l.preview = {s(160) + s(20) + s(100) + s(10), l.buttonTop, s(90), s(40)};
    l.rescan = {l.rescanX, l.buttonTop, s(130), s(40)};
    l.clean = {l.cleanX, l.buttonTop, s(150), s(40)};
    l.ticker = {s(160) + s(20), s(36) + s(8), l.contentWidth, s(44)};
    l.scanButton = {s(160) + s(20), s(44) + s(36) + s(16), s(100), s(32)};
    l.combo = {s(160) + s(130), s(44) + s(36) + s(16), s(93), s(200)};
    l.scanStatus = {s(233) + s(160), s(44) + s(36) + s(16), W - s(160) - s(253) - s(92), s(32)};
    l.largeExport = {W - s(20) - s(80), s(44) + s(36) + s(16), s(80), s(32)};
    l.largeList = {s(160) + s(20), s(56) + s(44) + s(36), l.contentWidth, H - s(44) - s(44) - s(36) - s(56)};
    l.tabSpace = {0, s(96), s(160), s(48)};
    l.tabSystem = {0, s(144), s(160), s(48)};
    const int left = s(160) + s(20);
    l.analyzeButton = {left, s(36) + s(12), s(100), s(32)};
    l.spaceStatus = {left + s(100) + s(12), s(36) + s(12), l.contentWidth - s(100) - s(12), s(32)};
    const int pathTop = s(36) + s(12) + s(32) + s(10);
    l.spaceDelete = {left + l.contentWidth - s(80), pathTop, s(80), s(28)};
    l.spaceOpen = {l.spaceDelete.x - s(8) - s(80), pathTop, s(80), s(28)};
    l.spaceUp = {l.spaceOpen.x - s(8) - s(80), pathTop, s(80), s(28)};
    l.spaceTypes = {l.spaceUp.x - s(8) - s(90), pathTop, s(90), s(28)};
    l.spaceExport = {l.spaceTypes.x - s(8) - s(80), pathTop, s(80), s(28)};
    l.spacePath = {left, pathTop + s(4), l.spaceExport.x - s(12) - left, s(20)};
    if (l.spacePath.width < s(40)) l.spacePath.width = s(40);
    const int viewTop = pathTop + s(28) + s(10);
    int viewHeight = H - s(44) - s(12) - viewTop;
    if (viewHeight < s(60)) viewHeight = s(60);
    // The list keeps room for its five columns; the treemap takes the rest.
    int listWidth = l.contentWidth * 16 / 25;
    if (listWidth < s(330)) listWidth = s(330);
    int mapWidth = l.contentWidth - listWidth - s(10);
    if (mapWidth < s(60)) mapWidth = s(60);
    l.spaceList = {left, viewTop, listWidth, viewHeight};
    l.treemap = {left + listWidth + s(10), viewTop, mapWidth, viewHeight};
    l.sidebar = {0, 0, s(160), H};
    l.page = {s(160), 0, W - s(160), H};
    l.statusBand = {s(160), H - s(44), W - s(160), s(44)};
    l.statusText = {s(160) + s(20), H - s(44) + s(12), W - s(160) - s(20) - s(20), s(20)};
    l.freeSpace = {W - s(20) - s(260), H - s(44) + s(7), s(260), s(30)};
    return l;
}
