#include "uimodel/system_layout.h"

SystemPageLayout ComputeSystemPageLayout(const LayoutRect& area, int dpi) {
    auto s = [dpi](int x) { return ScaleLength(x, dpi); };
    SystemPageLayout l = {};
    const int right = area.x + area.width;
    // Widest button texts at 13 px: "需要管理员模式" and "删除旧的还原点".
    const int actionB = right - s(116);
    const int actionA = actionB - s(8) - s(108);
    const int size = actionA - s(12) - s(84);
    int textWidth = size - s(12) - area.x;
    if (textWidth < s(120)) textWidth = s(120);
    l.intro = {area.x, area.y, area.width, s(20)};
    const int headerTop = area.y + s(28);
    l.headerItem = {area.x, headerTop, textWidth, s(20)};
    l.headerSize = {size, headerTop, s(84), s(20)};
    l.headerAction = {actionA, headerTop, right - actionA, s(20)};
    int top = headerTop + s(26);
    for (int row = 0; row < SYS_ITEM_COUNT; ++row) {
        l.name[row] = {area.x, top + s(2), textWidth, s(18)};
        l.state[row] = {area.x, l.name[row].y + l.name[row].height, textWidth, s(18)};
        l.size[row] = {size, top + s(10), s(84), s(20)};
        l.action[row][0] = {actionA, top + s(6), s(108), s(28)};
        l.action[row][1] = {actionB, top + s(6), s(116), s(28)};
        top += s(40);
    }
    int statusHeight = area.y + area.height - (top + s(10));
    if (statusHeight > s(80)) statusHeight = s(80);
    if (statusHeight < s(40)) statusHeight = s(40);
    l.status = {area.x, top + s(10), area.width, statusHeight};
    return l;
}

LayoutRect SystemPageArea(const MainLayout& main, int dpi) {
    const int left = main.page.x + ScaleLength(20, dpi);
    const int top = main.warningBar.y + main.warningBar.height + ScaleLength(12, dpi);
    return {left, top, main.contentWidth, main.statusBand.y - ScaleLength(12, dpi) - top};
}
