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

namespace {

// A box to be: one row of a folder, or siblings summed.
struct Item {
    uint64_t size, space;
    uint32_t files;
    SpaceRow row;
    int32_t merged;  // > 0: a BOX_OTHER of this many rows
    int32_t index;   // at the top: the row's index among those shown; -1 for other
};

// Boxes below this many square pixels are summed before the layout is tried:
// it bounds the work in a folder of a hundred thousand entries.
constexpr long double kSmallestArea = 6.0;

void Absorb(Item* other, const Item& item) {
    other->size += item.size;
    other->space += item.space;
    other->files += item.files;
    other->merged += item.merged ? item.merged : 1;
}

void SortBySize(std::vector<Item>* items) {
    std::stable_sort(items->begin(), items->end(), [](const Item& a, const Item& b) { return a.size > b.size; });
}

Item FromRow(const SpaceRow& row, int32_t index) { return Item{row.size, row.space, row.files, row, 0, index}; }

// The boxes so far, in pre-order, and what they are laid out from.
struct Build {
    const SpaceTree& tree;
    const NestedLayout& options;
    std::vector<NestedBox> boxes;
};

void PlaceBox(Build& b, const Item& item, const LayoutRect& rect, uint32_t holder, int32_t row, int depth);

// As SpaceRowsOf gives them, without its sort and copies.
void ChildItems(const SpaceTree& tree, uint32_t folder, std::vector<Item>* items) {
    const SpaceFolder& f = tree.Folder(folder);
    for (uint32_t c = f.firstChild; c != kNoFolder; c = tree.Folder(c).nextSibling) {
        const SpaceFolder& k = tree.Folder(c);
        items->push_back(FromRow(SpaceRow{SPACE_ROW_FOLDER, k.flags, c, 0, k.size, k.space, k.files, false, k.modified}, -1));
    }
    for (uint32_t i = 0; i < f.kept.size(); ++i) {
        const SpaceFile& file = f.kept[i];
        items->push_back(FromRow(SpaceRow{SPACE_ROW_FILE, file.flags, kNoFolder, i, file.size, file.space, 1, false, file.modified}, -1));
    }
    if (f.restFiles)
        items->push_back(FromRow(
            SpaceRow{SPACE_ROW_REST, 0, kNoFolder, 0, f.restSize, f.restSpace, f.restFiles, f.restLarge != 0, f.restModified}, -1));
}

// Lays items out in area as the children of the folder holder.
void LayOutLevel(Build& b, std::vector<Item>& items, const LayoutRect& area, uint32_t holder, int32_t row, int depth) {
    if (area.width <= 0 || area.height <= 0) return;
    // An empty folder or file takes no room: no box.
    items.erase(std::remove_if(items.begin(), items.end(), [](const Item& item) { return item.size == 0; }), items.end());
    if (items.empty()) return;
    SortBySize(&items);
    long double total = 0;
    for (const Item& item : items) total += static_cast<long double>(item.size);
    if (total <= 0) return;
    const long double scale = static_cast<long double>(area.width) * area.height / total;
    // Sorted, so the small ones are a tail: one box for them all.
    size_t keep = items.size();
    while (keep > 1 && static_cast<long double>(items[keep - 1].size) * scale < kSmallestArea) --keep;
    if (keep + 1 < items.size()) {
        Item other = {0, 0, 0, SpaceRow{}, 0, -1};
        for (size_t i = keep; i < items.size(); ++i) Absorb(&other, items[i]);
        items.resize(keep);
        items.push_back(other);
        SortBySize(&items);
    }
    std::vector<TreemapCell> cells;
    // A box can still round away in its strip: fold it into the other
    // box and lay out again (rarely more than once).
    for (int attempt = 0;; ++attempt) {
        std::vector<uint64_t> weights;
        weights.reserve(items.size());
        for (const Item& item : items) weights.push_back(item.size);
        cells = SquarifyTreemap(weights, area);
        if (cells.size() == items.size() || attempt == 3) break;
        std::vector<bool> drawn(items.size(), false);
        for (const TreemapCell& cell : cells) drawn[cell.index] = true;
        Item other = {0, 0, 0, SpaceRow{}, 0, -1};
        std::vector<Item> kept;
        bool lost = false;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].merged) {
                Absorb(&other, items[i]);
            } else if (drawn[i]) {
                kept.push_back(items[i]);
            } else {
                Absorb(&other, items[i]);
                lost = true;
            }
        }
        if (!lost) break;  // only the other box itself is too small
        kept.push_back(other);
        items.swap(kept);
        SortBySize(&items);
    }
    for (const TreemapCell& cell : cells) PlaceBox(b, items[cell.index], cell.rect, holder, row, depth);
}

void PlaceBox(Build& b, const Item& item, const LayoutRect& rect, uint32_t holder, int32_t row, int depth) {
    NestedBox box = {};
    box.rect = rect;
    box.size = item.size;
    box.space = item.space;
    box.files = item.files;
    box.folder = holder;
    box.file = -1;
    box.row = depth == 0 ? item.index : row;
    box.depth = static_cast<uint8_t>(depth);
    box.flags = item.row.flags;
    if (item.merged) {
        box.kind = BOX_OTHER;
        box.file = item.merged;
        box.flags = 0;
    } else {
        switch (item.row.kind) {
        case SPACE_ROW_FOLDER:
            box.kind = BOX_FOLDER;
            box.folder = item.row.folder;
            break;
        case SPACE_ROW_FILE:
            box.kind = BOX_FILE;
            box.file = static_cast<int32_t>(item.row.file);
            break;
        case SPACE_ROW_REST: box.kind = BOX_REST; break;
        default: box.kind = BOX_UNCOUNTED; break;
        }
    }
    const size_t at = b.boxes.size();
    b.boxes.push_back(box);
    if (box.kind == BOX_FOLDER && !(box.flags & (SPACE_LINK | SPACE_DENIED)) && depth + 1 < b.options.maxDepth) {
        // The name strip only where it leaves room for the children below it.
        const int f = b.options.frame, h = b.options.header;
        const bool header = rect.height >= 2 * h + 2 * f && rect.width >= 3 * h;
        const LayoutRect inside{rect.x + f, rect.y + (header ? h : f), rect.width - 2 * f,
                                rect.height - (header ? h : f) - f};
        if (inside.width >= b.options.descend && inside.height >= b.options.descend) {
            b.boxes[at].header = header;
            std::vector<Item> items;
            ChildItems(b.tree, box.folder, &items);
            LayOutLevel(b, items, inside, box.folder, box.row, depth + 1);
        }
    }
    b.boxes[at].end = static_cast<uint32_t>(b.boxes.size());
}

}  // namespace

std::vector<NestedBox> LayoutNestedTreemap(const SpaceTree& tree, uint32_t folder, const SpaceRow* rows, int32_t count,
                                           const LayoutRect& area, const NestedLayout& options) {
    Build build{tree, options, {}};
    if (folder >= tree.FolderCount()) return build.boxes;
    std::vector<Item> items;
    for (int32_t i = 0; i < count; ++i) items.push_back(FromRow(rows[i], i));
    LayOutLevel(build, items, area, folder, -1, 0);
    return build.boxes;
}

int32_t NestedBoxAt(const std::vector<NestedBox>& boxes, int x, int y) {
    // Siblings never overlap: step over each subtree the point is not in,
    // into each one it is in; the last box entered is the deepest.
    int32_t found = -1;
    uint32_t i = 0;
    while (i < boxes.size()) {
        const LayoutRect& r = boxes[i].rect;
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) {
            found = static_cast<int32_t>(i);
            ++i;
        } else {
            i = boxes[i].end;
        }
    }
    return found;
}
