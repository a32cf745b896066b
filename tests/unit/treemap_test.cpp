// The nested treemap's layout and hit-testing, and the tree's sums by
// extension behind the 文件类型 view.
#include "largefiles/space_tree.h"
#include "uimodel/space_rows.h"
#include "uimodel/treemap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint64_t MiB = 1048576;

// Where a folder box's children must lie.
LayoutRect Inside(const NestedBox& box, const NestedLayout& o) {
    const int top = box.header ? o.header : o.frame;
    return LayoutRect{box.rect.x + o.frame, box.rect.y + top, box.rect.width - 2 * o.frame,
                      box.rect.height - top - o.frame};
}

bool Within(const LayoutRect& r, const LayoutRect& outer) {
    return r.x >= outer.x && r.y >= outer.y && r.x + r.width <= outer.x + outer.width &&
           r.y + r.height <= outer.y + outer.height;
}

bool Apart(const LayoutRect& a, const LayoutRect& b) {
    return a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
}

// Checks every box against its parent and siblings; returns the deepest depth.
int CheckBoxes(const std::vector<NestedBox>& boxes, const LayoutRect& area, const NestedLayout& o) {
    int deepest = 0;
    // The children of each box, and the top level as the children of area.
    auto check = [&](uint32_t first, uint32_t end, int depth, const LayoutRect& room) {
        std::vector<uint32_t> kids;
        for (uint32_t j = first; j < end; j = boxes[j].end) {
            EXPECT_EQ(boxes[j].depth, depth);
            kids.push_back(j);
        }
        uint64_t total = 0;
        for (uint32_t k : kids) total += boxes[k].size;
        const double scale = static_cast<double>(room.width) * room.height / static_cast<double>(total);
        for (uint32_t k : kids) {
            const LayoutRect& r = boxes[k].rect;
            EXPECT_GE(r.width, 1) << k;
            EXPECT_GE(r.height, 1) << k;
            EXPECT_TRUE(Within(r, room)) << "box " << k << " leaves its parent's inside";
            // Rounding moves each edge by at most half a pixel; the siblings
            // left out (below a pixel) give their share to the others.
            EXPECT_NEAR(r.width * r.height, boxes[k].size * scale, r.width + r.height + 2 + 0.02 * r.width * r.height)
                << "box " << k << " at depth " << depth;
            for (uint32_t other : kids)
                if (other != k) EXPECT_TRUE(Apart(r, boxes[other].rect)) << k << " overlaps " << other;
        }
    };
    check(0, static_cast<uint32_t>(boxes.size()), 0, area);
    for (uint32_t i = 0; i < boxes.size(); ++i) {
        deepest = std::max(deepest, static_cast<int>(boxes[i].depth));
        if (boxes[i].end > i + 1) {
            EXPECT_EQ(boxes[i].kind, BOX_FOLDER);
            check(i + 1, boxes[i].end, boxes[i].depth + 1, Inside(boxes[i], o));
        }
    }
    return deepest;
}

// A drive of folders four deep with files of many sizes, one folder with
// more files than are kept, and a thousand tiny folders to be summed.
struct Seeded {
    SpaceTree tree;
    uint32_t deep = 0, crowded = 0;
    Seeded() {
        uint32_t at = 0;
        for (int level = 0; level < 5; ++level) {
            at = tree.AddFolder(at, u"d", 1, 0);
            if (level == 0) deep = at;
            tree.AddFile(at, u"v.mp4", 5, (400 >> level) * MiB, (400 >> level) * MiB, 0, 1, 0);
            tree.AddFile(at, u"z.zip", 5, (150 >> level) * MiB, (150 >> level) * MiB, 0, 1, 0);
            const uint32_t side = tree.AddFolder(at, u"s", 1, 0);
            tree.AddFile(side, u"p.png", 5, (90 >> level) * MiB, (90 >> level) * MiB, 0, 1, 0);
        }
        crowded = tree.AddFolder(0, u"crowded", 7, 0);
        for (int i = 0; i < 40; ++i) tree.AddFile(crowded, u"f.bin", 5, (2 + i) * MiB, (2 + i) * MiB, 0, 1, 0);
        const uint32_t many = tree.AddFolder(0, u"many", 4, 0);
        for (int i = 0; i < 1000; ++i) tree.AddFile(tree.AddFolder(many, u"t", 1, 0), u"x", 1, 16384, 16384, 0, 1, 0);
        tree.AddFile(0, u"pagefile.sys", 12, 300 * MiB, 300 * MiB, 0, 1, 0);
        tree.Finish();
    }
};

TEST(NestedTreemap, ChildrenFillTheirFolderByAreaWithoutOverlapDownSeveralLevels) {
    Seeded s;
    const std::vector<SpaceRow> rows = SpaceRowsOf(s.tree, 0, 0);
    const NestedLayout o;
    for (const LayoutRect& area : {LayoutRect{0, 0, 800, 600}, LayoutRect{7, 9, 173, 411}, LayoutRect{0, 0, 3, 2}}) {
        const std::vector<NestedBox> boxes =
            LayoutNestedTreemap(s.tree, 0, rows.data(), static_cast<int32_t>(rows.size()), area, o);
        ASSERT_FALSE(boxes.empty());
        const int deepest = CheckBoxes(boxes, area, o);
        if (area.width == 800) {
            EXPECT_GE(deepest, 3) << "at least three levels below the folder shown";
            bool rest = false, other = false;
            for (const NestedBox& box : boxes) {
                if (box.kind == BOX_REST && box.folder == s.crowded) rest = box.files == 8 && box.depth == 1;
                if (box.kind == BOX_OTHER && box.depth == 1) other = other || box.file > 900;
                // Every box knows the row it lies in.
                if (box.kind != BOX_OTHER || box.depth > 0) EXPECT_EQ(rows[box.row].size >= box.size, true);
            }
            EXPECT_TRUE(rest) << "the files past the kept 32 as one box in their folder";
            EXPECT_TRUE(other) << "the thousand tiny folders summed into one box";
        }
    }
    // Below the shown folder: its rows only, the same rules.
    const std::vector<SpaceRow> deep = SpaceRowsOf(s.tree, s.deep, 0);
    const std::vector<NestedBox> boxes =
        LayoutNestedTreemap(s.tree, s.deep, deep.data(), static_cast<int32_t>(deep.size()), LayoutRect{0, 0, 400, 300}, o);
    CheckBoxes(boxes, LayoutRect{0, 0, 400, 300}, o);
    int top = 0;
    for (const NestedBox& box : boxes) top += box.depth == 0;
    EXPECT_EQ(top, static_cast<int>(deep.size())) << "a box for each row";
}

TEST(NestedTreemap, APointFindsTheDeepestBoxAndEdgePixelsBelongToTheirBox) {
    Seeded s;
    const std::vector<SpaceRow> rows = SpaceRowsOf(s.tree, 0, 0);
    const NestedLayout o;
    const LayoutRect area{5, 5, 640, 480};
    const std::vector<NestedBox> boxes =
        LayoutNestedTreemap(s.tree, 0, rows.data(), static_cast<int32_t>(rows.size()), area, o);
    int leaves = 0, headers = 0;
    for (uint32_t i = 0; i < boxes.size(); ++i) {
        const LayoutRect& r = boxes[i].rect;
        const int right = r.x + r.width - 1, bottom = r.y + r.height - 1;
        auto inSubtree = [&](int32_t found) { return found >= static_cast<int32_t>(i) && found < static_cast<int32_t>(boxes[i].end); };
        if (boxes[i].end == i + 1) {
            ++leaves;
            for (auto p : {std::pair<int, int>{r.x, r.y}, {right, r.y}, {r.x, bottom}, {right, bottom}})
                EXPECT_EQ(NestedBoxAt(boxes, p.first, p.second), static_cast<int32_t>(i)) << p.first << "," << p.second;
        } else {
            // The frame and the name strip are the folder's own.
            EXPECT_EQ(NestedBoxAt(boxes, r.x, r.y), static_cast<int32_t>(i));
            EXPECT_EQ(NestedBoxAt(boxes, right, bottom), static_cast<int32_t>(i));
            if (boxes[i].header) {
                ++headers;
                EXPECT_EQ(NestedBoxAt(boxes, r.x + r.width / 2, r.y + o.header - 1), static_cast<int32_t>(i));
            }
        }
        EXPECT_FALSE(inSubtree(NestedBoxAt(boxes, right + 1, r.y))) << "the column after box " << i;
        EXPECT_FALSE(inSubtree(NestedBoxAt(boxes, r.x, bottom + 1))) << "the row below box " << i;
    }
    EXPECT_GT(leaves, 10);
    EXPECT_GT(headers, 2);
    EXPECT_EQ(NestedBoxAt(boxes, area.x + area.width, area.y), -1);
    EXPECT_EQ(NestedBoxAt(boxes, area.x - 1, area.y + 3), -1);
}

// The work is bounded by the boxes drawn, not by the folders below: no
// clock here (a shared machine's timings prove nothing); the bench times it.
TEST(NestedTreemap, TwoHundredThousandFoldersWideOrDeepLayOutInBoundedBoxes) {
    for (bool deep : {false, true}) {
        SpaceTree tree;
        std::vector<uint32_t> folders = {0};
        for (uint32_t i = 1; i <= 200000; ++i) {
            const uint32_t parent = deep ? folders.back() : folders[(i - 1) / 8];
            folders.push_back(tree.AddFolder(parent, u"f", 1, 0));
            tree.AddFile(folders.back(), u"a.bin", 5, (i % 97 + 1) * MiB, (i % 97 + 1) * MiB, 0, 1, 0);
        }
        tree.Finish();
        const std::vector<SpaceRow> rows = SpaceRowsOf(tree, 0, 0);
        const std::vector<NestedBox> boxes = LayoutNestedTreemap(
            tree, 0, rows.data(), static_cast<int32_t>(rows.size()), LayoutRect{0, 0, 1600, 1000}, NestedLayout{});
        EXPECT_LT(boxes.size(), 1600u * 1000u / 40u) << "it stops where boxes get small";
        EXPECT_GT(boxes.size(), deep ? 63u : 1000u);
    }
}

TEST(SpaceExtensions, EveryFileCountsOnceUnderItsLowerCasedExtension) {
    SpaceTree tree;
    const uint32_t a = tree.AddFolder(0, u"a", 1, 0);
    tree.AddFile(a, u"One.JPG", 7, 5 * MiB, 5 * MiB, 0, 1, 0);
    tree.AddFile(a, u"two.jpg", 7, 100, 4096, 0, 1, 0);  // small: summed in the rest, still a .jpg
    tree.AddFile(0, u"x.Jpg", 5, 2 * MiB, 2 * MiB, 0, 1, 0);
    tree.AddFile(0, u"Makefile", 8, 10, 4096, 0, 1, 0);
    tree.AddFile(0, u"trailing.", 9, 20, 4096, 0, 1, 0);
    // One file under two names: once.
    tree.AddFile(0, u"link1.mp4", 9, 3 * MiB, 3 * MiB, 77, 2, 0);
    tree.AddFile(a, u"link2.MP4", 9, 3 * MiB, 3 * MiB, 77, 2, 0);
    tree.AddFile(0, u"n.abcdefghijklmnopq", 19, 1, 1, 0, 1, 0);  // 17 units: too long to be its own row
    tree.AddFile(0, u"n.abcdefghijklmnop", 18, 1, 1, 0, 1, 0);   // 16: kept
    tree.Finish();
    const std::vector<SpaceExtensionSum> rows = SpaceTypeRows(tree);
    std::vector<std::u16string> names;
    char16_t name[64];
    for (const SpaceExtensionSum& row : rows) {
        SpaceTypeName(row, name, 64);
        names.push_back(name);
    }
    ASSERT_EQ(names, (std::vector<std::u16string>{u".jpg", u".mp4", u"（无扩展名）", u".abcdefghijklmnop", u"其他"}));
    EXPECT_EQ(rows[0].files, 3u);
    EXPECT_EQ(rows[0].size, 7 * MiB + 100);
    EXPECT_EQ(rows[0].space, 7 * MiB + 4096);
    EXPECT_EQ(rows[1].files, 1u) << "a file with two names counts once";
    EXPECT_EQ(rows[2].files, 2u) << "Makefile and trailing.";
    EXPECT_EQ(rows[4].files, 1u);
    uint32_t files = 0;
    for (const SpaceExtensionSum& row : rows) files += row.files;
    EXPECT_EQ(files, tree.Folder(0).files) << "the rows cover the tree";
    std::vector<SpaceExtensionSum> sorted = rows;
    SortSpaceTypeRows(&sorted, TYPE_COL_NAME, true);
    EXPECT_EQ(std::u16string(sorted[0].ext), u"") << "no extension first by name";
    EXPECT_EQ(std::u16string(sorted[3].ext), u"mp4");
    EXPECT_TRUE(sorted[4].other) << "其他 last, A to Z";
    SortSpaceTypeRows(&sorted, TYPE_COL_FILES, false);
    EXPECT_EQ(std::u16string(sorted[1].ext), u"");
    EXPECT_TRUE(sorted[4].other) << "其他 last, largest first";
    EXPECT_TRUE(tree.ExtensionCounted(u"jpg"));
    EXPECT_FALSE(tree.ExtensionCounted(u"png"));
    EXPECT_EQ(FileKindOfExtension(u"jpg"), KIND_IMAGE);
}

TEST(SpaceExtensions, PastTheCapNewExtensionsGoToOneRowAndMemoryStaysBounded) {
    SpaceTree tree;
    const size_t before = tree.MemoryBytes();
    char16_t name[16];
    for (uint32_t i = 0; i < kSpaceMaxExtensions + 500; ++i) {
        const char16_t n[] = {u'f', u'.', static_cast<char16_t>(u'a' + i % 26), static_cast<char16_t>(u'a' + i / 26 % 26),
                              static_cast<char16_t>(u'a' + i / 676), 0};
        std::char_traits<char16_t>::copy(name, n, 6);
        tree.AddFile(0, name, 5, 10, 10, 0, 1, 0);
    }
    tree.AddFile(0, u"g.aaa", 5, 10, 10, 0, 1, 0);  // met before the cap: still its own row
    tree.Finish();
    const std::vector<SpaceExtensionSum> rows = SpaceTypeRows(tree);
    ASSERT_EQ(rows.size(), kSpaceMaxExtensions + 1);
    EXPECT_TRUE(rows.back().other);
    EXPECT_EQ(rows.back().files, 500u);
    EXPECT_EQ(rows[0].files, 2u) << ".aaa, largest";
    const size_t grown = tree.MemoryBytes() - before;
    EXPECT_GE(grown, kSpaceMaxExtensions * 2 * 40) << "the table is counted";
    EXPECT_LE(grown, kSpaceMaxExtensions * 2 * 64 + 65536);
}

}  // namespace
