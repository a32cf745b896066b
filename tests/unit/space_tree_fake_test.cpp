// The folder tree's sums and counts, read by the walk on the fake: links,
// hard links, a folder that cannot be read, a deep nest, and the files a
// folder keeps by name.
#include "largefiles/space_scan.h"
#include "largefiles/space_tree.h"
#include "uimodel/space_rows.h"
#include "tests/fakefs/fakefs.h"

#include "platform/fs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint64_t MiB = 1048576;

std::unique_ptr<SpaceTree> Walk(const char16_t* root) {
    SpaceTree* tree = nullptr;
    EXPECT_EQ(ScanSpaceTreeWalk(root, 0, &tree, nullptr, nullptr, nullptr), 0);
    return std::unique_ptr<SpaceTree>(tree);
}

// The child of folder with that name (kNoFolder when none).
uint32_t Child(const SpaceTree& tree, uint32_t folder, const std::u16string& name) {
    for (uint32_t child : tree.Children(folder))
        if (tree.Name(tree.Folder(child).name) == name) return child;
    return kNoFolder;
}

uint32_t Path(const SpaceTree& tree, std::initializer_list<const char16_t*> names) {
    uint32_t at = 0;
    for (const char16_t* name : names) {
        at = Child(tree, at, name);
        if (at == kNoFolder) break;
    }
    return at;
}

class SpaceTreeFake : public ::testing::Test {
protected:
    void SetUp() override { FakeFsReset(); }
    void TearDown() override { FakeFsReset(); }
};

TEST_F(SpaceTreeFake, SumsCountEachFileOnceAndNeverEnterALink) {
    FakeFsAddFile(u"C:\\a\\big.bin", 5 * MiB);
    FakeFsAddFile(u"C:\\a\\small1.txt", 1000);
    FakeFsAddFile(u"C:\\a\\small2.txt", 3000);
    FakeFsAddFile(u"C:\\a\\deep\\movie.mp4", 20 * MiB);
    // One file under two names, in two folders: counted once.
    FakeFsAddHardLink(u"C:\\b\\same-movie.mp4", u"C:\\a\\deep\\movie.mp4");
    FakeFsAddFile(u"C:\\elsewhere\\huge.iso", 700 * MiB);
    FakeFsAddLink(u"C:\\b\\junction", u"C:\\elsewhere", true);
    FakeFsAddLink(u"C:\\b\\file-link", u"C:\\elsewhere\\huge.iso", false);
    const auto tree = Walk(u"C:\\b");
    ASSERT_TRUE(tree);
    const SpaceFolder& root = tree->Folder(0);
    EXPECT_EQ(root.size, 20 * MiB) << "a link counts nothing and its target is not entered";
    const uint32_t junction = Child(*tree, 0, u"junction");
    ASSERT_NE(junction, kNoFolder) << "a link is shown as itself";
    EXPECT_EQ(tree->Folder(junction).flags & SPACE_LINK, SPACE_LINK);
    EXPECT_EQ(tree->Folder(junction).size, 0u);
    EXPECT_EQ(tree->Folder(junction).firstChild, kNoFolder);

    const auto all = Walk(u"C:\\");
    const SpaceFolder& drive = all->Folder(0);
    EXPECT_EQ(drive.size, 5 * MiB + 1000 + 3000 + 20 * MiB + 700 * MiB) << "the second name of movie.mp4 counted again";
    EXPECT_EQ(all->ExtraNames(), 1u);
    EXPECT_EQ(drive.files, 6u) << "five files and a file link: a second name is no second file";
    EXPECT_EQ(drive.folders, 5u) << "a, deep, b, elsewhere and the junction";
    const uint32_t a = Path(*all, {u"a"});
    ASSERT_NE(a, kNoFolder);
    const SpaceFolder& folder = all->Folder(a);
    EXPECT_EQ(folder.size, 5 * MiB + 4000 + 20 * MiB) << "a folder holds its subfolders' bytes";
    EXPECT_EQ(folder.restFiles, 2u) << "the small files are one sum";
    EXPECT_EQ(folder.restSize, 4000u);
    EXPECT_EQ(folder.space, 5 * MiB + 8192 + 20 * MiB) << "occupied space from the listing, by clusters";
    ASSERT_EQ(folder.kept.size(), 1u);
    EXPECT_EQ(std::u16string(all->Name(folder.kept[0].name)), u"big.bin");
}

TEST_F(SpaceTreeFake, AFolderThatCannotBeReadIsMarkedAndTheRestCounts) {
    FakeFsAddFile(u"C:\\Users\\Other\\secret.bin", 9 * MiB);
    FakeFsAddFile(u"C:\\Users\\Me\\mine.bin", 2 * MiB);
    FakeFsFail(FakeOp::Open, u"C:\\Users\\Other", FS_ERROR_ACCESS_DENIED);
    const auto tree = Walk(u"C:\\");
    const uint32_t other = Path(*tree, {u"Users", u"Other"});
    ASSERT_NE(other, kNoFolder) << "a denied folder is still listed";
    EXPECT_EQ(tree->Folder(other).flags & SPACE_DENIED, SPACE_DENIED);
    EXPECT_EQ(tree->Folder(0).size, 2 * MiB);
    EXPECT_EQ(tree->Folder(Path(*tree, {u"Users", u"Me"})).flags, 0);
}

// A folder's 修改时间 is its newest file's, however deep, kept by name or
// summed: a folder's own time (set here to the newest of all) never counts.
TEST_F(SpaceTreeFake, TheNewestWriteBelowAFolderRisesToEveryFolderAbove) {
    const uint64_t old = 130000000000000000ull, mid = old + 1, newest = old + 2, later = old + 3;
    FakeFsAddFile(u"C:\\a\\b\\c\\new.txt", 10);
    FakeFsSetModified(u"C:\\a\\b\\c\\new.txt", newest);
    FakeFsAddFile(u"C:\\a\\big.bin", 5 * MiB);
    FakeFsSetModified(u"C:\\a\\big.bin", mid);
    FakeFsAddFile(u"C:\\a\\old.txt", 10);
    FakeFsSetModified(u"C:\\a\\old.txt", old);
    FakeFsAddFile(u"C:\\z\\x.bin", 10);
    FakeFsSetModified(u"C:\\z\\x.bin", old);
    FakeFsSetModified(u"C:\\z", later);
    // 33 large files: the first listed, the smallest and the newest, is kept
    // until the 33rd comes, then moves to the rest.
    for (int i = 0; i <= static_cast<int>(kSpaceKeptFiles); ++i) {
        const std::u16string name = u"C:\\many\\f" + std::u16string(1, static_cast<char16_t>(u'a' + i / 10)) +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".bin";
        FakeFsAddFile(name.c_str(), (8 + i) * MiB);
        FakeFsSetModified(name.c_str(), i == 0 ? newest : old);
    }
    const auto tree = Walk(u"C:\\");
    const uint32_t a = Path(*tree, {u"a"}), c = Path(*tree, {u"a", u"b", u"c"}), many = Path(*tree, {u"many"});
    ASSERT_NE(c, kNoFolder);
    for (uint32_t folder : {c, Path(*tree, {u"a", u"b"}), a, 0u}) EXPECT_EQ(tree->Folder(folder).modified, newest) << folder;
    EXPECT_EQ(tree->Folder(Path(*tree, {u"z"})).modified, old) << "the folder's own time is not its files'";
    EXPECT_EQ(tree->Folder(many).restModified, newest) << "a kept file moved to the rest keeps its time there";
    EXPECT_EQ(tree->Folder(many).modified, newest);

    // The rows of a: the folder b, the kept big.bin, the rest (old.txt), each its own time.
    std::vector<SpaceRow> rows = SpaceRowsOf(*tree, a, 0);
    SortSpaceRows(*tree, a, &rows, SPACE_COL_MODIFIED, true);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].kind, SPACE_ROW_REST);
    EXPECT_EQ(rows[0].modified, old);
    EXPECT_EQ(rows[1].kind, SPACE_ROW_FILE);
    EXPECT_EQ(rows[1].modified, mid);
    EXPECT_EQ(rows[2].kind, SPACE_ROW_FOLDER);
    EXPECT_EQ(rows[2].modified, newest);
}

TEST_F(SpaceTreeFake, FortyLevelsDownStillCountAndKeptFilesAreTheLargest) {
    std::u16string path = u"C:\\n";
    for (int level = 1; level < 40; ++level) path += u"\\n";
    FakeFsAddFile((path + u"\\bottom.bin").c_str(), 3 * MiB);
    for (int i = 0; i < 40; ++i) {
        std::u16string name = u"C:\\many\\f" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                              std::u16string(1, static_cast<char16_t>(u'a' + i / 26)) + u".bin";
        FakeFsAddFile(name.c_str(), (i + 1) * MiB);
    }
    const auto tree = Walk(u"C:\\");
    uint32_t at = 0;
    for (int level = 0; level < 40; ++level) at = Child(*tree, at, u"n");
    ASSERT_NE(at, kNoFolder) << "no depth limit";
    EXPECT_EQ(tree->Folder(at).size, 3 * MiB);
    EXPECT_EQ(tree->Folder(Child(*tree, 0, u"n")).folders, 39u);

    const SpaceFolder& many = tree->Folder(Child(*tree, 0, u"many"));
    ASSERT_EQ(many.kept.size(), kSpaceKeptFiles);
    EXPECT_EQ(many.kept.front().size, 40 * MiB);
    EXPECT_EQ(many.kept.back().size, 9 * MiB) << "the 32 largest, largest first";
    EXPECT_EQ(many.restFiles, 8u);
    EXPECT_EQ(many.restLarge, 8u) << "the rest are not small files";
    EXPECT_EQ(many.restSize, (1 + 8) * 8 / 2 * MiB);
    EXPECT_EQ(many.size, 40 * 41 / 2 * MiB);
}

// The tree does not depend on the threads that list: with one thread and
// with eight, the same folders in the same places with the same sums, the
// same kept names (ties among equal sizes included), and each file with
// several names charged to the same one, the first in the walk's order.
TEST_F(SpaceTreeFake, OneThreadOrEightBuildTheSameTree) {
    for (int i = 0; i < 30; ++i) {
        const std::u16string dir = u"C:\\t\\d" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                                   std::u16string(1, static_cast<char16_t>(u'a' + i / 26));
        for (int j = 0; j < 40; ++j) {
            const std::u16string name = dir + u"\\s" + std::u16string(1, static_cast<char16_t>(u'a' + j % 5)) + u"\\f" +
                                        std::u16string(1, static_cast<char16_t>(u'A' + j));
            FakeFsAddFile(name.c_str(), (j % 3 + 1) * MiB);  // many equal sizes: ties for the kept 32
        }
        if (i > 0) FakeFsAddHardLink((dir + u"\\shared.bin").c_str(), u"C:\\t\\dAa\\sa\\fA");
    }
    FakeFsFail(FakeOp::Open, u"C:\\t\\dCa\\sb", FS_ERROR_ACCESS_DENIED);
    auto describe = [](int32_t threads) {
        SpaceTree* raw = nullptr;
        EXPECT_EQ(ScanSpaceTreeWalk(u"C:\\t", 0, &raw, nullptr, nullptr, nullptr, threads), 0);
        std::unique_ptr<SpaceTree> tree(raw);
        std::string text;
        auto narrow = [](const char16_t* name) { return std::string(name, name + std::char_traits<char16_t>::length(name)); };
        for (uint32_t i = 0; tree && i < tree->FolderCount(); ++i) {
            const SpaceFolder& f = tree->Folder(i);
            text += narrow(tree->Name(f.name)) + "<" + std::to_string(f.flags) + " " + std::to_string(f.size) + " " +
                    std::to_string(f.space) + " " + std::to_string(f.files) + " " + std::to_string(f.parent);
            for (const SpaceFile& file : f.kept) text += " " + narrow(tree->Name(file.name));
            text += ">";
        }
        if (tree) text += std::to_string(tree->ExtraNames());
        return text;
    };
    const std::string one = describe(1);
    // The running totals a reader on another thread sees end at the tree's.
    FinderTotals totals;
    SpaceTree* raw = nullptr;
    ASSERT_EQ(ScanSpaceTreeWalk(u"C:\\t", 0, &raw, nullptr, nullptr, nullptr, 4, &totals), 0);
    std::unique_ptr<SpaceTree> tree(raw);
    EXPECT_EQ(totals.folders.load(), tree->Folder(0).folders);
    EXPECT_EQ(totals.files.load(), tree->Folder(0).files + tree->ExtraNames()) << "every name met";
    // Bytes met go by name: each second name of the shared 1 MiB file adds its bytes again.
    EXPECT_EQ(totals.bytes.load(), tree->Folder(0).space + tree->ExtraNames() * MiB);
    ASSERT_GT(one.size(), 1000u);
    for (int round = 0; round < 5; ++round) EXPECT_EQ(describe(8), one) << "round " << round;
}

// The live fill while a walk runs: each snapshot holds the root's folders
// met with what lay below them so far (a nested file counts for the root's
// folder it lies in), never more than the finished tree's, and a folder
// the walk is done with shows its whole sums.
int g_nLivePolls = 0;
std::vector<std::unique_ptr<SpaceTree>> g_liveSnapshots;

TEST_F(SpaceTreeFake, LiveSnapshotsShowTheRootsFoldersWithWhatWasMetBelowThem) {
    for (int i = 0; i < 600; ++i) {
        const std::u16string n = std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + std::u16string(1, static_cast<char16_t>(u'a' + i / 26));
        FakeFsAddFile((u"C:\\r\\a\\" + std::u16string(i % 2 ? u"deep\\" : u"") + n).c_str(), 1000);
        FakeFsAddFile((u"C:\\r\\b\\" + n).c_str(), 2000);
    }
    FakeFsAddFile(u"C:\\r\\own.txt", 7);
    g_nLivePolls = 0;
    g_liveSnapshots.clear();
    // Polled between entries: two pauses of more than the interval make two
    // snapshots at known places, whatever the machine's speed.
    auto cancelled = [] {
        if (++g_nLivePolls == 350 || g_nLivePolls == 800) std::this_thread::sleep_for(std::chrono::milliseconds(kSpaceLiveMs + 50));
        return false;
    };
    auto live = [](SpaceTree* snapshot, void*) { g_liveSnapshots.emplace_back(snapshot); };
    SpaceTree* raw = nullptr;
    ASSERT_EQ(ScanSpaceTreeWalk(u"C:\\r", 0, &raw, nullptr, cancelled, nullptr, 1, nullptr, live), 0);
    std::unique_ptr<SpaceTree> tree(raw);
    ASSERT_GE(g_liveSnapshots.size(), 2u);
    bool sawOneWhole = false;
    uint64_t before = 0;
    for (const auto& snapshot : g_liveSnapshots) {
        uint64_t sum = 0;
        for (uint32_t child : snapshot->Children(0)) {
            const std::u16string name = snapshot->Name(snapshot->Folder(child).name);
            const SpaceFolder& met = snapshot->Folder(child);
            const SpaceFolder& whole = tree->Folder(Child(*tree, 0, name));
            ASSERT_TRUE(name == u"a" || name == u"b");
            EXPECT_LE(met.size, whole.size);
            EXPECT_LE(met.files, whole.files);
            EXPECT_EQ(met.size, met.files * (name == u"a" ? 1000u : 2000u)) << "each file counted where it lies";
            if (met.size == whole.size && met.files == whole.files && met.folders == whole.folders) sawOneWhole = true;
            sum += met.size;
        }
        EXPECT_EQ(snapshot->Folder(0).size, sum + snapshot->Folder(0).restSize);
        EXPECT_GE(snapshot->Folder(0).size, before) << "the running sums never go back";
        EXPECT_LT(snapshot->Folder(0).size, tree->Folder(0).size);
        before = snapshot->Folder(0).size;
    }
    EXPECT_TRUE(sawOneWhole) << "a folder the walk finished shows all of it, its subfolder included";
    g_liveSnapshots.clear();
}

}  // namespace

namespace {

// Removing an item deleted from the disk: every folder above it loses
// exactly its bytes and counts, and it is gone from its folder.
TEST_F(SpaceTreeFake, RemovingAnItemTakesExactlyItsSumsFromEveryFolderAbove) {
    FakeFsAddFile(u"C:\\a\\b\\big.bin", 5 * MiB);
    FakeFsAddFile(u"C:\\a\\b\\small.txt", 1000);
    FakeFsAddFile(u"C:\\a\\b\\d\\deep.bin", 2 * MiB);
    FakeFsAddFile(u"C:\\a\\keep.bin", 3 * MiB);
    FakeFsAddFile(u"C:\\a\\note.txt", 700);
    FakeFsAddFile(u"C:\\other.bin", 4 * MiB);
    const auto tree = Walk(u"C:\\");
    const uint32_t a = Path(*tree, {u"a"}), b = Path(*tree, {u"a", u"b"});
    ASSERT_NE(b, kNoFolder);
    const SpaceFolder root0 = tree->Folder(0), a0 = tree->Folder(a), b0 = tree->Folder(b);
    ASSERT_EQ(b0.size, 7 * MiB + 1000);

    tree->RemoveFolder(b);
    for (const std::pair<uint32_t, const SpaceFolder*> above : {std::make_pair(0u, &root0), std::make_pair(a, &a0)}) {
        const SpaceFolder& now = tree->Folder(above.first);
        EXPECT_EQ(now.size, above.second->size - b0.size);
        EXPECT_EQ(now.space, above.second->space - b0.space);
        EXPECT_EQ(now.files, above.second->files - 3);
        EXPECT_EQ(now.folders, above.second->folders - 2) << "b and d";
    }
    EXPECT_EQ(Child(*tree, a, u"b"), kNoFolder);
    EXPECT_EQ(tree->Children(a).size(), 0u);

    ASSERT_EQ(tree->Folder(a).kept.size(), 1u);
    const SpaceFile keep = tree->Folder(a).kept[0];
    tree->RemoveFile(a, 0);
    EXPECT_TRUE(tree->Folder(a).kept.empty());
    EXPECT_EQ(tree->Folder(0).size, root0.size - b0.size - 3 * MiB);
    EXPECT_EQ(tree->Folder(0).space, root0.space - b0.space - keep.space);
    EXPECT_EQ(tree->Folder(a).files, 1u);

    tree->RemoveRestFile(a, u"note.txt", 700, 4096);
    EXPECT_EQ(tree->Folder(a).restFiles, 0u);
    EXPECT_EQ(tree->Folder(a).size, 0u);
    EXPECT_EQ(tree->Folder(0).size, 4 * MiB) << "other.bin alone";
    EXPECT_EQ(tree->Folder(0).files, 1u);
}

}  // namespace

namespace {

// The 文件类型 rows by extension ("其他" for the 其他 row).
std::map<std::u16string, SpaceExtensionSum> Types(const SpaceTree& tree) {
    std::map<std::u16string, SpaceExtensionSum> types;
    for (const SpaceExtensionSum& sum : tree.ExtensionSums()) types[sum.other ? u"其他" : sum.ext] = sum;
    return types;
}

// A file deleted leaves its extension's row exactly, never below 0, and a
// row at 0 files goes without losing any other row of the table.
TEST(SpaceTreeTypes, ADeletedFileLeavesItsExtensionsRowAndAnEmptyRowGoes) {
    SpaceTree tree;
    const uint32_t d = tree.AddFolder(0, u"d", 1, 0);
    tree.AddFile(d, u"a.iso", 5, 3 * MiB, 3 * MiB + 4096, 11, 1, 0);
    tree.AddFile(d, u"b.ISO", 5, 2 * MiB, 2 * MiB, 12, 1, 0);
    tree.AddFile(d, u"n.txt", 5, 100, 4096, 13, 1, 0);
    tree.AddFile(d, u"m.txt", 5, 200, 4096, 14, 1, 0);
    tree.AddFile(d, u"x.abcdefghijklmnopq", 19, 50, 4096, 15, 1, 0);  // 17 units: 其他
    // Enough rows that some share a probe run in the table.
    std::vector<std::u16string> many;
    for (int i = 0; i < 30; ++i) {
        many.push_back(u"f.e" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                       std::u16string(1, static_cast<char16_t>(u'a' + i / 26)));
        tree.AddFile(d, many.back().c_str(), many.back().size(), 10, 10, 100 + i, 1, 0);
    }
    tree.Finish();
    ASSERT_EQ(tree.Folder(d).kept.size(), 2u);
    ASSERT_EQ(Types(tree).size(), 33u);

    tree.RemoveFile(d, 0);  // a.iso, the largest
    SpaceExtensionSum iso = Types(tree).at(u"iso");
    EXPECT_EQ(iso.files, 1u);
    EXPECT_EQ(iso.size, 2 * MiB);
    EXPECT_EQ(iso.space, 2 * MiB);
    // Listed bytes larger than the scan counted: 0, not a wrap.
    tree.RemoveRestFile(d, u"n.txt", 500, 4096);
    const SpaceExtensionSum txt = Types(tree).at(u"txt");
    EXPECT_EQ(txt.files, 1u);
    EXPECT_EQ(txt.size, 0u);
    EXPECT_EQ(txt.space, 4096u);
    tree.RemoveRestFile(d, u"x.abcdefghijklmnopq", 50, 4096);
    EXPECT_EQ(Types(tree).count(u"其他"), 0u);

    for (size_t i = 0; i < many.size(); ++i) {
        tree.RemoveRestFile(d, many[i].c_str(), 10, 10);
        const auto types = Types(tree);
        EXPECT_EQ(types.size(), 2u + many.size() - i - 1);
        for (size_t j = i + 1; j < many.size(); ++j) {
            const std::u16string ext = many[j].substr(2);
            EXPECT_TRUE(tree.ExtensionCounted(ext.c_str())) << i << " " << j;
            EXPECT_EQ(types.count(ext) ? types.at(ext).files : 0u, 1u) << i << " " << j;
        }
    }
    tree.RemoveFile(d, 0);
    EXPECT_EQ(Types(tree).count(u"iso"), 0u);
    EXPECT_FALSE(tree.ExtensionCounted(u"iso"));
    EXPECT_EQ(tree.Folder(0).files, 1u) << "m.txt";
}

// Files deleted with a folder, summed by extension: each row loses them;
// an extension met after the rows ran out comes off 其他, one never
// counted (made after the analysis) off nothing.
TEST(SpaceTreeTypes, FilesDeletedWithAFolderLeaveTheirRowsOrTheOtherRow) {
    SpaceTree tree;
    const uint32_t d = tree.AddFolder(0, u"d", 1, 0);
    for (size_t i = 0; i < kSpaceMaxExtensions; ++i) {
        const std::u16string name = u"f." + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'a' + i / 26 % 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'a' + i / 676));
        tree.AddFile(d, name.c_str(), name.size(), 1, 1, 10 + i, 1, 0);
    }
    tree.AddFile(d, u"late.zzzz", 9, 700, 800, 5, 1, 0);
    tree.Finish();
    ASSERT_EQ(Types(tree).at(u"其他").files, 1u);
    ASSERT_EQ(Types(tree).at(u"aaa").files, 1u);

    std::vector<SpaceExtensionSum> deleted;
    SpaceSumDeletedFile(&deleted, u"late.zzzz", 9, 700, 800);
    SpaceSumDeletedFile(&deleted, u"F.AAA", 5, 1, 1);
    ASSERT_EQ(deleted.size(), 2u);
    tree.RemoveExtensionSums(deleted);
    EXPECT_EQ(Types(tree).count(u"其他"), 0u);
    EXPECT_EQ(Types(tree).count(u"aaa"), 0u);
    EXPECT_EQ(Types(tree).size(), kSpaceMaxExtensions - 1);

    SpaceTree few;
    const uint32_t e = few.AddFolder(0, u"e", 1, 0);
    few.AddFile(e, u"x.abcdefghijklmnopq", 19, 50, 60, 1, 1, 0);
    few.Finish();
    deleted.clear();
    SpaceSumDeletedFile(&deleted, u"new.zzzz", 8, 7, 7);
    few.RemoveExtensionSums(deleted);
    EXPECT_EQ(Types(few).at(u"其他").files, 1u) << "a file never counted leaves 其他 alone";
}

// A folder partly deleted whose remains could not be scanned, and into
// which more was written meanwhile than was deleted: it shows what the disk
// counted, and every folder above moves by the difference.
TEST(SpaceTreeShrink, AFolderThatGrewWhileItWasDeletedShowsWhatRemains) {
    SpaceTree tree;
    const uint32_t a = tree.AddFolder(0, u"a", 1, 0, 11);
    const uint32_t f = tree.AddFolder(a, u"f", 1, 0, 12);
    tree.AddFolder(f, u"g", 1, 0, 13);
    tree.AddFile(a, u"keep.bin", 8, 2 * MiB, 2 * MiB, 21, 1, 0);
    tree.AddFile(f, u"old.bin", 7, 3 * MiB, 3 * MiB, 22, 1, 0);
    tree.Finish();
    tree.ShrinkFolder(f, 5 * MiB, 5 * MiB, 4, 2, 2);
    const SpaceFolder& shrunk = tree.Folder(f);
    EXPECT_EQ(shrunk.size, 5 * MiB);
    EXPECT_EQ(shrunk.files, 4u);
    EXPECT_EQ(shrunk.folders, 2u);
    for (uint32_t above : {a, 0u}) {
        EXPECT_EQ(tree.Folder(above).size, 7 * MiB) << above;
        EXPECT_EQ(tree.Folder(above).space, 7 * MiB) << above;
        EXPECT_EQ(tree.Folder(above).files, 5u) << above;
    }
    EXPECT_EQ(tree.Folder(a).folders, 3u) << "f and the two counted in it";
    tree.RemoveFolder(f);
    EXPECT_EQ(tree.Folder(0).size, 2 * MiB);
    EXPECT_EQ(tree.Folder(0).files, 1u);
    EXPECT_EQ(tree.Folder(0).folders, 1u);
}

}  // namespace
