// The space view's model: the treemap's cells and the rows of one folder.
#include "largefiles/space_tree.h"
#include "text/format.h"
#include "uimodel/space_rows.h"
#include "uimodel/treemap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr uint64_t MiB = 1048576;

TEST(Treemap, CellsTileTheAreaInProportionAndStayNearSquare) {
    // The example of the squarified-treemap paper, scaled to pixels.
    const std::vector<uint64_t> weights = {6, 6, 4, 3, 2, 2, 1};
    const LayoutRect area{10, 20, 600, 400};
    const std::vector<TreemapCell> cells = SquarifyTreemap(weights, area);
    ASSERT_EQ(cells.size(), weights.size());
    long covered = 0;
    double worst = 1;
    for (const TreemapCell& cell : cells) {
        const LayoutRect& r = cell.rect;
        EXPECT_GE(r.x, area.x);
        EXPECT_GE(r.y, area.y);
        EXPECT_LE(r.x + r.width, area.x + area.width);
        EXPECT_LE(r.y + r.height, area.y + area.height);
        const double expected = 600.0 * 400.0 * weights[cell.index] / 24.0;
        EXPECT_NEAR(r.width * r.height, expected, r.width + r.height) << "cell " << cell.index;
        covered += static_cast<long>(r.width) * r.height;
        worst = std::max(worst, std::max(r.width, r.height) / static_cast<double>(std::min(r.width, r.height)));
        for (const TreemapCell& other : cells) {
            if (&other == &cell) continue;
            const LayoutRect& o = other.rect;
            const bool apart = r.x + r.width <= o.x || o.x + o.width <= r.x || r.y + r.height <= o.y || o.y + o.height <= r.y;
            EXPECT_TRUE(apart) << cell.index << " overlaps " << other.index;
        }
    }
    EXPECT_EQ(covered, 600L * 400L) << "no gaps";
    EXPECT_LT(worst, 3.0) << "a strip layout, not slices";
    // The largest weight sits at the top left, where the eye starts.
    EXPECT_EQ(TreemapCellAt(cells, area.x + 1, area.y + 1), 0);
    EXPECT_EQ(TreemapCellAt(cells, area.x - 1, area.y), -1);

    EXPECT_TRUE(SquarifyTreemap({0, 0}, area).empty()) << "nothing to show, no cells";
    const std::vector<TreemapCell> tiny = SquarifyTreemap({1000000000000ull, 1}, LayoutRect{0, 0, 50, 50});
    ASSERT_EQ(tiny.size(), 1u) << "a cell below a pixel is left out";
    EXPECT_EQ(tiny[0].rect.width * tiny[0].rect.height, 2500);
}

// A click on a cell's first or last pixel row or column is that cell's; one
// pixel past it is the neighbour's, or nothing past the area's edge.
TEST(Treemap, EveryCellsEdgePixelsAreItsOwnAndThePixelPastThemIsNot) {
    const LayoutRect area{10, 20, 600, 400};
    const std::vector<TreemapCell> cells = SquarifyTreemap({6, 6, 4, 3, 2, 2, 1}, area);
    ASSERT_EQ(cells.size(), 7u);
    for (const TreemapCell& cell : cells) {
        const LayoutRect& r = cell.rect;
        const int right = r.x + r.width - 1, bottom = r.y + r.height - 1;
        EXPECT_EQ(TreemapCellAt(cells, r.x, r.y), cell.index);
        EXPECT_EQ(TreemapCellAt(cells, right, r.y), cell.index);
        EXPECT_EQ(TreemapCellAt(cells, r.x, bottom), cell.index);
        EXPECT_EQ(TreemapCellAt(cells, right, bottom), cell.index);
        EXPECT_NE(TreemapCellAt(cells, right + 1, r.y), cell.index);
        EXPECT_NE(TreemapCellAt(cells, r.x, bottom + 1), cell.index);
        EXPECT_NE(TreemapCellAt(cells, r.x - 1, r.y), cell.index);
        EXPECT_NE(TreemapCellAt(cells, r.x, r.y - 1), cell.index);
    }
    EXPECT_EQ(TreemapCellAt(cells, area.x + area.width, area.y), -1);
    EXPECT_EQ(TreemapCellAt(cells, area.x, area.y + area.height), -1);
}

TEST(SpaceRows, AFolderShowsItsFoldersFilesRestAndAtTheRootWhatWasNotCounted) {
    SpaceTree tree;
    const uint32_t video = tree.AddFolder(0, u"Videos", 6, 0);
    tree.AddFile(video, u"a.mp4", 5, 50 * MiB, 50 * MiB, 0, 1, 0);
    const uint32_t denied = tree.AddFolder(0, u"Other", 5, SPACE_DENIED);
    tree.AddFile(0, u"pagefile.sys", 12, 80 * MiB, 80 * MiB, 0, 1, 0);
    tree.AddFile(0, u"b.txt", 5, 1000, 4096, 0, 1, 0);
    tree.AddFile(0, u"c.txt", 5, 2000, 4096, 0, 1, 0);
    tree.Finish();

    std::vector<SpaceRow> rows = SpaceRowsOf(tree, 0, 200 * MiB);
    ASSERT_EQ(rows.size(), 5u);
    char16_t name[260];
    auto named = [&](const SpaceRow& row) {
        SpaceRowName(tree, 0, row, name);
        return std::u16string(name);
    };
    EXPECT_EQ(named(rows[0]), u"pagefile.sys");
    EXPECT_EQ(named(rows[1]), u"（未统计）");
    EXPECT_EQ(rows[1].size, 200 * MiB - 130 * MiB - 8192) << "used bytes less the space counted";
    EXPECT_EQ(named(rows[2]), u"Videos");
    EXPECT_EQ(named(rows[3]), u"（2 个小文件）");
    EXPECT_EQ(rows[3].size, 3000u);
    EXPECT_EQ(rows[4].folder, denied);
    EXPECT_EQ(rows[4].flags, SPACE_DENIED);

    SortSpaceRows(tree, 0, &rows, SPACE_COL_NAME, true);
    std::vector<std::u16string> names;
    for (const SpaceRow& row : rows) names.push_back(named(row));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Other", u"pagefile.sys", u"Videos", u"（2 个小文件）", u"（未统计）"}))
        << "names without regard to case; the bracketed rows last";
    EXPECT_TRUE(SpaceRowsOf(tree, video, 200 * MiB).size() == 1) << "only the root has the uncounted row";

    EXPECT_EQ(SpaceShare(1, 3), 333);
    EXPECT_EQ(SpaceShare(5, 0), 0);
    EXPECT_EQ(SpaceShare(UINT64_MAX - 1, UINT64_MAX), 999) << "no overflow near the top";
    EXPECT_EQ(FileKindOf(u"宝宝.MP4"), KIND_VIDEO);
    EXPECT_EQ(FileKindOf(u"archive.tar.gz"), KIND_ARCHIVE);
    EXPECT_EQ(FileKindOf(u"README"), KIND_OTHER);
}

}  // namespace
