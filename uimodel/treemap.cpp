#include "uimodel/treemap.h"

#include <algorithm>
#include <cmath>

namespace {

struct Box {
    double x, y, w, h;
};

// The worst aspect ratio of a strip of these areas laid along a side of
// the given length.
double Worst(double sum, double smallest, double largest, double side) {
    const double s2 = side * side;
    return std::max(s2 * largest / (sum * sum), (sum * sum) / (s2 * smallest));
}

}  // namespace

std::vector<TreemapCell> SquarifyTreemap(const std::vector<uint64_t>& weights, const LayoutRect& area) {
    std::vector<TreemapCell> cells;
    if (area.width <= 0 || area.height <= 0) return cells;
    std::vector<int32_t> order;
    long double total = 0;
    for (size_t i = 0; i < weights.size(); ++i) {
        if (weights[i] == 0) continue;
        order.push_back(static_cast<int32_t>(i));
        total += static_cast<long double>(weights[i]);
    }
    if (order.empty()) return cells;
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return weights[a] > weights[b]; });
    const double scale = static_cast<double>(static_cast<long double>(area.width) * area.height / total);
    std::vector<double> areas;
    for (int32_t i : order) areas.push_back(static_cast<double>(weights[i]) * scale);

    Box free{static_cast<double>(area.x), static_cast<double>(area.y), static_cast<double>(area.width),
             static_cast<double>(area.height)};
    std::vector<Box> boxes(order.size());
    size_t start = 0;
    while (start < order.size()) {
        const double side = std::min(free.w, free.h);
        // Grow the strip while that makes its worst cell no worse.
        size_t end = start + 1;
        double sum = areas[start];
        while (end < order.size()) {
            const double next = sum + areas[end];
            if (Worst(next, areas[end], areas[start], side) > Worst(sum, areas[end - 1], areas[start], side)) break;
            sum = next;
            ++end;
        }
        const bool last = end == order.size();
        // The strip lies along the shorter side; its thickness is its area over that side.
        if (free.w >= free.h) {
            const double thick = last ? free.w : std::min(free.w, sum / free.h);
            double y = free.y;
            for (size_t i = start; i < end; ++i) {
                const double h = (i + 1 == end) ? free.y + free.h - y : areas[i] / thick;
                boxes[i] = Box{free.x, y, thick, h};
                y += h;
            }
            free.x += thick;
            free.w -= thick;
        } else {
            const double thick = last ? free.h : std::min(free.h, sum / free.w);
            double x = free.x;
            for (size_t i = start; i < end; ++i) {
                const double w = (i + 1 == end) ? free.x + free.w - x : areas[i] / thick;
                boxes[i] = Box{x, free.y, w, thick};
                x += w;
            }
            free.y += thick;
            free.h -= thick;
        }
        start = end;
    }
    // Edges rounded once, so neighbours share them: no gaps, no overlaps.
    for (size_t i = 0; i < order.size(); ++i) {
        const int x0 = static_cast<int>(std::lround(boxes[i].x));
        const int y0 = static_cast<int>(std::lround(boxes[i].y));
        const int x1 = static_cast<int>(std::lround(boxes[i].x + boxes[i].w));
        const int y1 = static_cast<int>(std::lround(boxes[i].y + boxes[i].h));
        if (x1 <= x0 || y1 <= y0) continue;
        cells.push_back(TreemapCell{LayoutRect{x0, y0, x1 - x0, y1 - y0}, order[i]});
    }
    return cells;
}

int32_t TreemapCellAt(const std::vector<TreemapCell>& cells, int x, int y) {
    for (const TreemapCell& cell : cells) {
        const LayoutRect& r = cell.rect;
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return cell.index;
    }
    return -1;
}
