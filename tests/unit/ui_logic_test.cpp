// The window's arithmetic and row model, without a window.
#include "engine/catalogue.h"
#include "largefiles/results.h"
#include "platform/fs_common.h"
#include "text/text16.h"
#include "uimodel/clean_question.h"
#include "uimodel/cleanup_rows.h"
#include "uimodel/free_space.h"
#include "uimodel/large_rows.h"
#include "uimodel/layout_calc.h"
#include "uimodel/page_phase.h"
#include "uimodel/preview_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(Layout, DesignNumbersAt96Dpi) {
    MainLayout l = ComputeMainLayout(784, 561, 96);
    EXPECT_EQ(l.contentWidth, 584);
    EXPECT_EQ(l.cleanColumn0, 454);
    EXPECT_EQ(l.cleanColumn1, 120);
    EXPECT_EQ(l.clean.x, 594);
    EXPECT_EQ(l.rescan.x, 454);
    EXPECT_EQ(l.buttonTop, 561 - 96);
    EXPECT_EQ(l.cleanList.y, 80);
    EXPECT_EQ(l.cleanList.height, 561 - 96 - 80 - 10);
    EXPECT_EQ(l.modeButton.y, 501);
    EXPECT_EQ(l.scanStatus.x, 393);
    EXPECT_EQ(l.scanStatus.width, 784 - 160 - 253 - 92);
    EXPECT_EQ(l.scanStatus.x + l.scanStatus.width + 12, l.largeExport.x) << "the status clear of 导出";
    EXPECT_EQ(l.largeList.y, 136);
    EXPECT_EQ(l.largeList.height, 561 - 180);
}

TEST(Layout, NarrowWindowKeepsTheRightButtonsClearOfTheLeftOne) {
    MainLayout l = ComputeMainLayout(500, 400, 96);
    EXPECT_EQ(l.contentWidth, 300);
    EXPECT_EQ(l.rescanX, 392) << "clear of 查看文件";
    EXPECT_EQ(l.cleanX, 532);
    EXPECT_EQ(l.preview.x + l.preview.width + 12, l.rescanX);
    MainLayout tiny = ComputeMainLayout(100, 100, 96);
    EXPECT_EQ(tiny.contentWidth, 200);
    EXPECT_EQ(tiny.listHeight, 60) << "buttonTop - 90 below 60";
    EXPECT_LT(tiny.largeList.height, 0) << "no lower bound for the large list";
}

TEST(Layout, ScaledSizesAt120And144Dpi) {
    EXPECT_EQ(ScaleLength(800, 120), 1000);
    EXPECT_EQ(ScaleLength(600, 120), 750);
    EXPECT_EQ(ScaleLength(800, 144), 1200);
    EXPECT_EQ(ScaleLength(3, 120), 4) << "3.75 rounds to 4";
    EXPECT_EQ(ScaleLength(2, 120), 3) << "2.5 rounds away from zero";
    MainLayout l = ComputeMainLayout(984, 711, 120);
    EXPECT_EQ(l.tabClean.width, 200);
    EXPECT_EQ(l.tabClean.height, 60);
    EXPECT_EQ(l.contentWidth, 984 - 200 - 50);
    MainLayout big = ComputeMainLayout(1184, 861, 144);
    EXPECT_EQ(big.tabLarge.y, 72);
    EXPECT_EQ(big.warningBar.x, 240);
    EXPECT_EQ(big.clean.x, 1184 - 225 - 60);
    EXPECT_EQ(big.combo.x, 240 + 195);
}

TEST(Layout, TheSpacePageFitsItsPartsSideBySideAtEveryScale) {
    auto inside = [](const LayoutRect& r, const LayoutRect& page) {
        return r.x >= page.x && r.y >= page.y && r.x + r.width <= page.x + page.width && r.y + r.height <= page.y + page.height;
    };
    for (int dpi : {96, 120, 144, 192}) {
        // The smallest window the minimum track size allows, and a large one.
        for (int scale : {0, 1}) {
            const int W = ScaleLength(scale ? 1400 : 684, dpi), H = ScaleLength(scale ? 900 : 411, dpi);
            const MainLayout l = ComputeMainLayout(W, H, dpi);
            const LayoutRect content{l.page.x, l.warningBar.height, l.page.width, l.statusBand.y - l.warningBar.height};
            for (const LayoutRect& r : {l.analyzeButton, l.spaceStatus, l.spacePath, l.spaceExport, l.spaceTypes, l.spaceUp,
                                        l.spaceOpen, l.spaceDelete, l.spaceList, l.treemap})
                EXPECT_TRUE(inside(r, content)) << dpi << " dpi, " << W << "x" << H << ": " << r.x << "," << r.y;
            EXPECT_LE(l.spaceList.x + l.spaceList.width, l.treemap.x) << dpi << ": the list and the treemap apart";
            EXPECT_LE(l.spacePath.x + l.spacePath.width, l.spaceExport.x) << dpi << ": the path clear of 导出";
            EXPECT_LE(l.spaceExport.x + l.spaceExport.width, l.spaceTypes.x);
            EXPECT_LE(l.spaceTypes.x + l.spaceTypes.width, l.spaceUp.x);
            EXPECT_LE(l.spaceUp.x + l.spaceUp.width, l.spaceOpen.x);
            EXPECT_LE(l.spaceOpen.x + l.spaceOpen.width, l.spaceDelete.x);
            EXPECT_LE(l.analyzeButton.y + l.analyzeButton.height, l.spaceUp.y);
            EXPECT_EQ(l.tabSpace.y, l.tabLarge.y + l.tabLarge.height) << "the third tab under the second";
        }
    }
}

class Rows : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        DeselectAllItems();
        for (CleanupGroup& g : g_CleanupGroups)
            for (int i = 0; i < g.itemCount; ++i) g.items[i].size.store(0);
    }
    static void Size(int g, int i, uint64_t bytes) { g_CleanupGroups[g].items[i].size.store(bytes); }
};

// The drive readout from an empty to a full drive: the text, the bar's used
// part in pixels, red only past 90 % used.
TEST(FreeSpace, TextAndBarFromEmptyToFull) {
    FreeSpaceReadout r;
    EXPECT_FALSE(DescribeFreeSpace(u'C', 5, 0, 200, &r));
    EXPECT_EQ(std::u16string(r.text), u"");
    const uint64_t total = 255409119232ull;  // 237.87 GB
    ASSERT_TRUE(DescribeFreeSpace(u'C', 25136710533ull, total, 200, &r));
    EXPECT_EQ(std::u16string(r.text), u"C: 可用 23.41 GB / 共 237.87 GB");
    EXPECT_EQ(r.usedWidth, 180);
    EXPECT_TRUE(r.nearlyFull) << "90.2 % used";
    ASSERT_TRUE(DescribeFreeSpace(u'D', 100, 1000, 200, &r));
    EXPECT_FALSE(r.nearlyFull) << "exactly 90 % used";
    EXPECT_EQ(r.usedWidth, 180);
    EXPECT_EQ(std::u16string(r.text), u"D: 可用 100 B / 共 1000 B");
    ASSERT_TRUE(DescribeFreeSpace(u'C', total, total, 200, &r));
    EXPECT_EQ(r.usedWidth, 0);
    ASSERT_TRUE(DescribeFreeSpace(u'C', 0, total, 200, &r));
    EXPECT_EQ(r.usedWidth, 200);
    EXPECT_EQ(std::u16string(r.text), u"C: 可用 0 B / 共 237.87 GB");
    ASSERT_TRUE(DescribeFreeSpace(u'C', ~0ull, ~0ull - 1, 200, &r));
    EXPECT_EQ(r.usedWidth, 0) << "free beyond the total";
}

TEST_F(Rows, TagsEncodeAndDecode) {
    EXPECT_EQ(HeaderTag(3), static_cast<int32_t>(0x80000003u));
    EXPECT_TRUE(TagIsHeader(HeaderTag(3)));
    EXPECT_EQ(TagGroup(HeaderTag(3)), 3);
    EXPECT_EQ(ItemTag(4, 20), (4 << 16) | 20);
    EXPECT_FALSE(TagIsHeader(ItemTag(4, 20)));
    EXPECT_EQ(TagGroup(ItemTag(4, 20)), 4);
    EXPECT_EQ(TagItem(ItemTag(4, 20)), 20);
    int g = -1, i = -1;
    EXPECT_TRUE(TagNamesItem(ItemTag(4, 20), &g, &i));
    EXPECT_FALSE(TagNamesItem(ItemTag(4, 21), &g, &i)) << "group 4 has 21 items";
    EXPECT_FALSE(TagNamesItem(ItemTag(5, 0), &g, &i));
    EXPECT_FALSE(TagNamesGroup(-1, &g)) << "a message row is no group";
    EXPECT_TRUE(TagIsHeader(-1));
    EXPECT_FALSE(TagSelected(-1));
}

TEST_F(Rows, GroupsAndItemsLargestFirstTiesInCatalogueOrder) {
    Size(1, 7, 100);
    Size(1, 2, 300);
    Size(1, 5, 100);
    Size(3, 0, 500);
    Size(4, 20, 250);
    Size(4, 0, 250);
    int32_t expanded[32] = {1, 1, 1, 1, 1};
    std::vector<CatalogueRow> rows = CatalogueRows(expanded, 32);
    std::vector<int32_t> tags;
    for (const CatalogueRow& r : rows) tags.push_back(r.tag);
    // Groups 1 and 4 tie at 500 with group 3: catalogue order 1, 3, 4.
    std::vector<int32_t> expected = {HeaderTag(1), ItemTag(1, 2), ItemTag(1, 5), ItemTag(1, 7),
                                     HeaderTag(3), ItemTag(3, 0),
                                     HeaderTag(4), ItemTag(4, 0), ItemTag(4, 20)};
    EXPECT_EQ(tags, expected);
    EXPECT_EQ(rows[0].size, 500u);
    expanded[1] = 0;
    EXPECT_EQ(CatalogueRows(expanded, 32).size(), 6u);
    Reset();
    EXPECT_TRUE(CatalogueRows(expanded, 32).empty()) << "nothing measured, nothing listed";
}

TEST_F(Rows, TotalCountsTickedItemsEvenWhenHidden) {
    Size(0, 0, 1000);
    Size(0, 1, 0);
    ToggleGroupSelection(0);
    Size(0, 1, 24);  // measured later; still ticked by the group
    EXPECT_EQ(SelectedTotal(), 1024u);
    EXPECT_TRUE(TagSelected(HeaderTag(0)));
    ToggleItemSelection(0, 0);
    EXPECT_FALSE(TagSelected(HeaderTag(0)));
    EXPECT_EQ(SelectedTotal(), 24u);
}

TEST_F(Rows, LogColours) {
    EXPECT_EQ(LogLineColour(0), 0x147814u);
    EXPECT_EQ(LogLineColour(2), 0x1E1EC8u);
    for (int t : {1, 3, 5, 6}) EXPECT_EQ(LogLineColour(t), 0x0078B4u);
    EXPECT_EQ(LogLineColour(4), 0x808080u) << "a location this machine does not have is no warning";
    EXPECT_EQ(LogLineColour(-1), 0x202020u);
    EXPECT_EQ(LogLineColour(7), 0x202020u);
}

class LargeResults : public ::testing::Test {
protected:
    void SetUp() override {
        entries = static_cast<LargeFileEntry*>(std::calloc(4, sizeof(LargeFileEntry)));
        Set(0, u"C:\\\\b.iso", 10);
        Set(1, u"C:\\\\B.iso", 1ull << 63);
        Set(2, u"C:\\\\中文.iso", (1ull << 63) + 5);
        Set(3, u"C:\\\\a.iso", 10);
        g_pLargeFiles.store(entries);
        g_nLargeFiles.store(4);
    }
    void TearDown() override {
        g_nLargeFiles.store(0);
        std::free(g_pLargeFiles.exchange(nullptr));
    }
    void Set(int i, const char16_t* path, uint64_t size) {
        std::memcpy(entries[i].path, path, (std::char_traits<char16_t>::length(path) + 1) * sizeof(char16_t));
        entries[i].size = size;
    }
    LargeFileEntry* entries = nullptr;
};

TEST_F(LargeResults, PathsCompareWithoutCaseAndSizesUnsigned) {
    LargeSort sort = {-1, 0};
    EXPECT_EQ(CompareLargeFiles(entries[0], entries[3], sort), 0) << "unsorted until the first click";
    ChooseLargeSortColumn(&sort, kLargeColumnPath);
    EXPECT_EQ(sort.descending, 0);
    EXPECT_EQ(CompareLargeFiles(entries[1], entries[0], sort), 0) << "B.iso and b.iso";
    EXPECT_EQ(CompareLargeFiles(entries[3], entries[1], sort), -1) << "a.iso before B.iso";
    EXPECT_EQ(CompareLargeFiles(entries[2], entries[3], sort), 1) << "Chinese after ASCII";
    ChooseLargeSortColumn(&sort, kLargeColumnSize);
    EXPECT_EQ(sort.descending, 1) << "the first click on a size sorts largest first";
    EXPECT_EQ(CompareLargeFiles(entries[1], entries[0], sort), -1) << "2^63 is large, not negative";
    EXPECT_EQ(CompareLargeFiles(entries[1], entries[2], sort), 1);
    EXPECT_EQ(CompareLargeFiles(entries[0], entries[3], sort), 0);
    ChooseLargeSortColumn(&sort, kLargeColumnSize);
    EXPECT_EQ(sort.descending, 0);
    EXPECT_EQ(CompareLargeFiles(entries[1], entries[0], sort), 1);
    ChooseLargeSortColumn(&sort, kLargeColumnPath);
    EXPECT_EQ(sort.descending, 0) << "the path column starts ascending";
    entries[0].space = 4096;
    entries[1].space = 0;  // sparse
    ChooseLargeSortColumn(&sort, kLargeColumnSpace);
    EXPECT_EQ(CompareLargeFiles(entries[0], entries[1], sort), -1) << "the space taken, largest first";
    entries[0].modified = 2;
    entries[1].modified = 1;
    ChooseLargeSortColumn(&sort, kLargeColumnModified);
    EXPECT_EQ(CompareLargeFiles(entries[0], entries[1], sort), -1) << "the time, newest first";
    ChooseLargeSortColumn(&sort, kLargeColumnAction);
    EXPECT_EQ(CompareLargeFiles(entries[1], entries[0], sort), 0) << "the action column compares equal";
}

// A drive's root sorted by path as Windows orders it: case folded to upper
// (so '_' follows the letters), "C:\windows" beside "C:\Windows.old"
// rather than after every capital, and the same for Latin-1, Greek and
// Cyrillic names.
int PathOrder(const char16_t* a, const char16_t* b) {
    LargeFileEntry x = {}, y = {};
    std::char_traits<char16_t>::copy(x.path, a, std::char_traits<char16_t>::length(a) + 1);
    std::char_traits<char16_t>::copy(y.path, b, std::char_traits<char16_t>::length(b) + 1);
    return CompareLargeFiles(x, y, LargeSort{kLargeColumnPath, 0});
}

TEST(LargeSortOrder, PathsAsWindowsOrdersThem) {
    const char16_t* const sorted[] = {u"C:\\hiberfil.sys", u"C:\\pagefile.sys", u"C:\\windows",
                                      u"C:\\Windows.old", u"C:\\Windows.old\\a", u"C:\\zz", u"C:\\_build"};
    const int n = sizeof sorted / sizeof sorted[0];
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const int expected = i < j ? -1 : (i > j ? 1 : 0);
            EXPECT_EQ(PathOrder(sorted[i], sorted[j]), expected) << i << " against " << j;
        }
    }
    EXPECT_EQ(PathOrder(u"C:\\ÉTÉ", u"C:\\été"), 0);
    EXPECT_EQ(PathOrder(u"ÿ", u"Ÿ"), 0);
    EXPECT_EQ(PathOrder(u"Ωμέγα", u"ΩΜέΓΑ"), 0);
    EXPECT_EQ(PathOrder(u"Москва", u"МОСКВА"), 0);
    EXPECT_EQ(PathOrder(u"Łódź", u"łÓDŹ"), 0);
    EXPECT_EQ(PathOrder(u"中文", u"中文"), 0);
    EXPECT_EQ(PathOrder(u"÷", u"×"), 1) << "the signs have no case";
}

TEST_F(LargeResults, RemovingRecordsKeepsTheArrayContiguous) {
    EXPECT_TRUE(RemoveLargeFileRecord(0));
    EXPECT_EQ(g_nLargeFiles.load(), 3);
    EXPECT_EQ(std::u16string(entries[0].path), u"C:\\\\B.iso");
    EXPECT_EQ(std::u16string(entries[2].path), u"C:\\\\a.iso");
    EXPECT_TRUE(RemoveLargeFileRecord(2));
    EXPECT_EQ(g_nLargeFiles.load(), 2);
    EXPECT_EQ(std::u16string(entries[1].path), u"C:\\\\中文.iso");
    EXPECT_FALSE(RemoveLargeFileRecord(2));
    EXPECT_FALSE(RemoveLargeFileRecord(-1));
}

TEST(LargeFolder, FolderOfAStoredPath) {
    char16_t folder[260];
    ASSERT_TRUE(LargeFileFolder(u"C:\\\\big.iso", folder));
    EXPECT_EQ(std::u16string(folder), u"C:\\");
    ASSERT_TRUE(LargeFileFolder(u"C:\\\\Users\\x\\big.iso", folder));
    EXPECT_EQ(std::u16string(folder), u"C:\\\\Users\\x");
    EXPECT_FALSE(LargeFileFolder(u"nofolder", folder));
    // Acted on literally: "big." must never become "big".
    char16_t literal[300];
    ASSERT_TRUE(LargeFileLiteralPath(u"C:\\\\data\\big.", literal, 300));
    EXPECT_EQ(std::u16string(literal), u"\\\\?\\C:\\data\\big.");
    ASSERT_TRUE(LargeFileLiteralPath(u"\\\\srv\\share\\\\x ", literal, 300));
    EXPECT_EQ(std::u16string(literal), u"\\\\?\\UNC\\srv\\share\\x ");
    EXPECT_FALSE(LargeFileLiteralPath(u"C:\\\\data\\big.", literal, 12));
    EXPECT_FALSE(LargeFilePathMayBeCut(u"C:\\\\data\\big."));
    EXPECT_TRUE(LargeFilePathMayBeCut(std::u16string(259, u'x').c_str()));
}

}  // namespace

// The question before a run names each ticked item of the user's own files
// with its size and what is lost, and says when Return must answer 否;
// without one it is the plain question.
TEST(CleanQuestion, NamesWhatIsLostForEachTickedCautionItem) {
    DeselectAllItems();
    char16_t text[1024];
    EXPECT_FALSE(AnyItemTicked());
    ToggleItemSelection(1, 7);  // NPM
    EXPECT_TRUE(AnyItemTicked());
    EXPECT_FALSE(CleanQuestionText(3 * 1048576, text, 1024));
    EXPECT_EQ(std::u16string(text), u"确认清理约 3.00 MB 的垃圾文件？\n\n正在使用的文件将自动跳过。");
    ToggleItemSelection(1, 1);   // QQ
    ToggleItemSelection(4, 20);  // Downloads, whose name says it already
    g_CleanupGroups[1].items[1].size.store(12 * 1048576);
    g_CleanupGroups[4].items[20].size.store(2048);
    EXPECT_TRUE(CleanQuestionText(15 * 1048576, text, 1024));
    EXPECT_EQ(std::u16string(text),
              u"确认清理约 15.00 MB 的垃圾文件？\n\n正在使用的文件将自动跳过。"
              u"\n\n注意：以下勾选的项目是你自己的文件，将被永久删除，不会进入回收站："
              u"\n「QQ 缓存(慎用)」12.00 MB：QQ 收到的文件和聊天图片、视频"
              u"\n「下载文件夹(慎用)」2.00 KB：你的下载文件夹中的文件");
    // Too small a buffer still says that Return must answer 否.
    EXPECT_TRUE(CleanQuestionText(15 * 1048576, text, 120));
    DeselectAllItems();
    g_CleanupGroups[1].items[1].size.store(0);
    g_CleanupGroups[4].items[20].size.store(0);
}

// A group's tick claims the whole row's size for the total: while any of
// its items is unticked (the user's own files among them, which 全选 leaves
// alone) the box is partial, never ticked.
TEST(GroupTick, TickedOnlyWhenEveryItemIs) {
    DeselectAllItems();
    EXPECT_EQ(GroupTickState(4), GROUP_TICK_NONE);
    ToggleItemSelection(4, 20);  // Downloads alone
    EXPECT_EQ(GroupTickState(4), GROUP_TICK_SOME);
    DeselectAllItems();
    SelectAllItems();
    EXPECT_FALSE(ItemSelected(g_CleanupGroups[4].items[20]));
    EXPECT_EQ(GroupTickState(4), GROUP_TICK_SOME) << "全选 leaves Downloads unticked";
    for (int i = 0; i < g_CleanupGroups[4].itemCount; ++i)
        if (!ItemSelected(g_CleanupGroups[4].items[i])) ToggleItemSelection(4, i);
    EXPECT_EQ(GroupTickState(4), GROUP_TICK_ALL);
    ToggleItemSelection(4, 2);
    EXPECT_EQ(GroupTickState(4), GROUP_TICK_SOME);
    ToggleGroupSelection(4);
    EXPECT_EQ(GroupTickState(4), GROUP_TICK_ALL) << "a click on the partial box ticks the rest";
    ToggleGroupSelection(4);
    EXPECT_EQ(GroupTickState(4), GROUP_TICK_NONE);
    ToggleGroupSelection(4);
    EXPECT_EQ(GroupTickState(4), GROUP_TICK_SOME) << "a group's click ticks its ordinary items only";
    // Every group 全选 ticks whole shows a tick.
    DeselectAllItems();
    SelectAllItems();
    for (int g = 0; g < kGroupCount; ++g) {
        bool anyCaution = false;
        for (int i = 0; i < g_CleanupGroups[g].itemCount; ++i) anyCaution |= g_CleanupGroups[g].items[i].caution != 0;
        EXPECT_EQ(GroupTickState(g), anyCaution ? GROUP_TICK_SOME : GROUP_TICK_ALL) << "group " << g;
    }
    DeselectAllItems();
}

// Which of a page's controls its phase leaves enabled.
TEST(PagePhase, CleanupControlsFollowThePhase) {
    struct Case {
        CleanupPhase phase;
        bool log;
        bool clean, rescan, selectAll, preview;
    };
    const Case cases[] = {
        {CLEANUP_MEASURING, false, false, false, true, true},   // 开始清理 waits for the sizes
        {CLEANUP_MEASURING, true, false, false, true, false},   // measured again under a run's log
        {CLEANUP_IDLE, false, true, true, true, true},
        {CLEANUP_PREPARING, false, false, false, false, true},  // the ticks about to be confirmed stay
        {CLEANUP_CLEANING, true, false, false, false, false},
        {CLEANUP_SHOWING_LOG, true, false, true, true, false},  // only 重新扫描 brings 开始清理 back
    };
    for (const Case& c : cases) {
        const CleanupEnabled e = CleanupEnabledIn(c.phase, c.log, true);
        EXPECT_EQ(e.clean, c.clean) << c.phase;
        EXPECT_EQ(e.rescan, c.rescan) << c.phase;
        EXPECT_EQ(e.selectAll, c.selectAll) << c.phase;
        EXPECT_EQ(e.preview, c.preview) << c.phase;
        EXPECT_FALSE(CleanupEnabledIn(c.phase, c.log, false).preview) << "查看文件 needs an item row";
        EXPECT_EQ(CleanupTicksFixed(c.phase), !c.selectAll) << c.phase;
    }
}

TEST(PagePhase, ScansStartOnlyWhenTheLastHasEnded) {
    EXPECT_TRUE(ScanStartEnabled(SCAN_IDLE));
    EXPECT_FALSE(ScanStartEnabled(SCAN_RUNNING));
    EXPECT_FALSE(ScanStartEnabled(SCAN_STOPPING)) << "a stopped worker may still publish";
    const SpaceEnabled none = SpaceEnabledIn(SCAN_IDLE, false, true);
    EXPECT_TRUE(none.analyze);
    EXPECT_FALSE(none.up);
    EXPECT_FALSE(none.open);
    const SpaceEnabled inside = SpaceEnabledIn(SCAN_RUNNING, true, false);
    EXPECT_FALSE(inside.analyze);
    EXPECT_TRUE(inside.up) << "the old tree stays browsable during a new analysis";
    EXPECT_TRUE(inside.open);
    EXPECT_FALSE(SpaceEnabledIn(SCAN_STOPPING, true, true).up) << "no folder above the root";
}

TEST(LargeFolder, FilesWindowsHoldsAreTheRootsOnly) {
    EXPECT_TRUE(IsFileWindowsHolds(u"C:\\pagefile.sys"));
    EXPECT_TRUE(IsFileWindowsHolds(u"D:\\HIBERFIL.SYS"));
    EXPECT_TRUE(IsFileWindowsHolds(u"C:\\swapfile.sys"));
    EXPECT_FALSE(IsFileWindowsHolds(u"C:\\old\\pagefile.sys"));
    EXPECT_FALSE(IsFileWindowsHolds(u"C:\\pagefile.sys.bak"));
    EXPECT_FALSE(IsFileWindowsHolds(u"C:\\pagefile.sy"));
}

// The row's parts where the drawing puts them: a click on the drawn expander
// or tick box hits it, at every scale, and the text starts after the box.
TEST(Layout, CleanupRowPartsWhereTheyAreDrawn) {
    for (int dpi : {96, 120, 144, 192}) {
        for (bool header : {true, false}) {
            const CleanupRowGeometry g = CleanupRowGeometryAt(header, dpi);
            EXPECT_EQ(CleanupRowPartAt(header, dpi, g.tickLeft + g.box / 2), ROW_PART_TICK) << dpi;
            EXPECT_EQ(CleanupRowPartAt(header, dpi, g.textLeft + ScaleLength(20, dpi)), ROW_PART_NONE) << dpi;
            EXPECT_GT(g.textLeft, g.tickLeft + g.box);
            if (header) {
                EXPECT_EQ(CleanupRowPartAt(true, dpi, g.expanderLeft + g.box / 2), ROW_PART_EXPANDER) << dpi;
                EXPECT_LT(g.expanderLeft + g.box, g.tickLeft) << "the expander before the tick";
            } else {
                EXPECT_EQ(CleanupRowPartAt(false, dpi, ScaleLength(3, dpi) + g.box / 2), ROW_PART_NONE) << "no expander";
                EXPECT_LT(g.branchX, g.tickLeft);
            }
        }
    }
    // The 96-DPI design: the GUI tests click 11 (expander), 34 (group tick), 56 (item tick).
    EXPECT_EQ(CleanupRowPartAt(true, 96, 11), ROW_PART_EXPANDER);
    EXPECT_EQ(CleanupRowPartAt(true, 96, 34), ROW_PART_TICK);
    EXPECT_EQ(CleanupRowPartAt(false, 96, 56), ROW_PART_TICK);
}

// The one place that makes and reads "\\?\" forms: made from a drive or a
// share path with Win32's clean-ups, read back to the plain form.
TEST(LongPaths, MadeAndReadBack) {
    char16_t out[64];
    auto longForm = [&](const char16_t* path) {
        EXPECT_NE(WindowsLongForm(path, out, 64), 0u);
        return std::u16string(out);
    };
    auto plainForm = [&](const char16_t* path) {
        Text16CopyTruncated(out, 64, path);
        WindowsPlainForm(out);
        return std::u16string(out);
    };
    EXPECT_EQ(longForm(u"C:\\\\data\\big."), u"\\\\?\\C:\\data\\big.");
    EXPECT_EQ(longForm(u"c:/a//b/"), u"\\\\?\\c:\\a\\b\\");
    EXPECT_EQ(longForm(u"\\\\server\\share\\x"), u"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(longForm(u"\\\\?\\C:\\x"), u"\\\\?\\C:\\x");
    EXPECT_EQ(longForm(u"relative\\x"), u"relative\\x");
    EXPECT_EQ(WindowsLongForm(u"C:\\abcdef", out, 8), 0u) << "does not fit";
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(plainForm(u"\\\\?\\C:\\a"), u"C:\\a");
    EXPECT_EQ(plainForm(u"\\\\?\\UNC\\s\\x"), u"\\\\s\\x");
    EXPECT_EQ(plainForm(u"\\\\.\\C:"), u"C:");
    EXPECT_EQ(plainForm(u"\\\\?\\Volume{1}\\x"), u"\\\\?\\Volume{1}\\x");
    EXPECT_EQ(plainForm(u"C:\\a"), u"C:\\a");
}

namespace {

PreviewFile PreviewOf(const char16_t* path, uint64_t size) {
    PreviewFile file{};
    file.size = size;
    Text16CopyTruncated(file.path, kPathUnits, path);
    return file;
}

// A fixed-pitch measure: 7 pixels a unit, "…" as wide as one.
int SevenEach(const char16_t*, int units, void*) { return units * 7; }

}  // namespace

// The rows' order after header clicks: every order a total one, the summary
// rows (indexes past the files) last whichever way it runs.
TEST(PreviewSortOrder, HeaderClicksAndSummaryRowsLast) {
    const PreviewFile files[] = {PreviewOf(u"C:\\t\\b.bin", 30), PreviewOf(u"C:\\t\\A.bin", 10),
                                 PreviewOf(u"C:\\t\\c.bin", 30), PreviewOf(u"C:\\t\\_z.bin", 20)};
    auto order = [&files](const PreviewSort& sort) {
        std::vector<intptr_t> rows = {-1, 0, 1, 2, 3, 4};
        std::sort(rows.begin(), rows.end(),
                  [&](intptr_t a, intptr_t b) { return ComparePreviewRows(files, 4, a, b, sort) < 0; });
        return rows;
    };
    PreviewSort sort = kPreviewFirstSort;
    // Largest first; equal sizes by path, the way round of the order.
    EXPECT_EQ(order(sort), (std::vector<intptr_t>{2, 0, 3, 1, -1, 4}));
    ChoosePreviewSortColumn(&sort, kPreviewColumnSize);
    EXPECT_EQ(order(sort), (std::vector<intptr_t>{1, 3, 0, 2, -1, 4}));
    // A new column: paths A to Z without case, '_' after the letters.
    ChoosePreviewSortColumn(&sort, kPreviewColumnFile);
    EXPECT_TRUE(sort.ascending);
    EXPECT_EQ(order(sort), (std::vector<intptr_t>{1, 0, 2, 3, -1, 4}));
    ChoosePreviewSortColumn(&sort, kPreviewColumnFile);
    EXPECT_EQ(order(sort), (std::vector<intptr_t>{3, 2, 0, 1, -1, 4}));
    ChoosePreviewSortColumn(&sort, kPreviewColumnSize);
    EXPECT_FALSE(sort.ascending);
}

TEST(PreviewPath, ShortenedInTheMiddleKeepingTheName) {
    const char16_t* longPath = u"C:\\Users\\someone\\AppData\\Local\\Packages\\cache\\deep\\deeper\\photo-0001.jpg";
    char16_t out[kPathUnits];
    // Wide enough: the whole path.
    int units = ShortenPathMiddle(longPath, 1000, SevenEach, nullptr, out, kPathUnits);
    EXPECT_EQ(std::u16string(out), longPath);
    EXPECT_EQ(units, static_cast<int>(Text16Length(longPath)));
    for (int width : {70 * 7, 40 * 7, 25 * 7, 20 * 7}) {
        SCOPED_TRACE(width);
        units = ShortenPathMiddle(longPath, width, SevenEach, nullptr, out, kPathUnits);
        const std::u16string shown(out);
        EXPECT_LE(SevenEach(out, units, nullptr), width);
        // The start of the path, the mark, the name whole, nothing lost but the middle.
        EXPECT_EQ(shown.substr(0, 3), u"C:\\");
        EXPECT_NE(shown.find(u"\u2026\\"), std::u16string::npos);
        EXPECT_EQ(shown.substr(shown.size() - 15), u"\\photo-0001.jpg");
        EXPECT_EQ(std::u16string(longPath).find(shown.substr(0, shown.find(u'\u2026'))), 0u);
        // As much of the start as fits: one more unit would not.
        EXPECT_GT(SevenEach(out, units + 1, nullptr), width);
    }
    // Narrower than the name: the name stays whole after the mark.
    ShortenPathMiddle(longPath, 5 * 7, SevenEach, nullptr, out, kPathUnits);
    EXPECT_EQ(std::u16string(out), u"\u2026\\photo-0001.jpg");
}
