// The space view's deletions and listings on the fake: only what the scan
// listed, found again from the root without passing a link; the guard's
// protected folders refused; a folder partly deleted says what remains.
#include "largefiles/space_files.h"
#include "largefiles/space_scan.h"
#include "largefiles/space_tree.h"
#include "tests/fakefs/fakefs.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr uint64_t MiB = 1048576;

std::unique_ptr<SpaceTree> Scan() {
    SpaceTree* tree = nullptr;
    EXPECT_EQ(ScanSpaceTreeWalk(u"C:\\", 0, &tree, nullptr, nullptr, nullptr), 0);
    return std::unique_ptr<SpaceTree>(tree);
}

uint32_t Path(const SpaceTree& tree, std::initializer_list<const char16_t*> names) {
    uint32_t at = 0;
    for (const char16_t* name : names) {
        uint32_t found = kNoFolder;
        for (uint32_t child : tree.Children(at))
            if (std::u16string(tree.Name(tree.Folder(child).name)) == name) found = child;
        if (found == kNoFolder) return kNoFolder;
        at = found;
    }
    return at;
}

class SpaceDeleteFake : public ::testing::Test {
protected:
    void SetUp() override { FakeFsReset(); }
    void TearDown() override { FakeFsReset(); }
};

TEST_F(SpaceDeleteFake, AFolderGoesWholeOrSaysWhatRemains) {
    FakeFsAddFile(u"C:\\data\\victim\\x.bin", 3 * MiB);
    FakeFsAddFile(u"C:\\data\\victim\\z.txt", 10);
    FakeFsAddFile(u"C:\\data\\victim\\sub\\y.bin", MiB);
    FakeFsAddFile(u"C:\\data\\keep\\k.bin", 2 * MiB);
    FakeFsAddFile(u"C:\\data\\stuck\\in-use.bin", 2 * MiB);
    FakeFsAddFile(u"C:\\data\\stuck\\free.bin", MiB);
    FakeFsAddFile(u"C:\\data\\stuck\\deep\\held.bin", 3 * MiB);
    FakeFsAddFile(u"C:\\data\\stuck\\deep\\gone.txt", 10);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\data\\stuck\\in-use.bin", FS_ERROR_SHARING_VIOLATION);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\data\\stuck\\deep\\held.bin", FS_ERROR_SHARING_VIOLATION);
    const auto tree = Scan();
    const uint32_t victim = Path(*tree, {u"data", u"victim"}), stuck = Path(*tree, {u"data", u"stuck"});
    ASSERT_NE(victim, kNoFolder);
    ASSERT_NE(stuck, kNoFolder);

    const SpaceDeletion whole = DeleteSpaceFolder(*tree, u"C:\\", victim);
    EXPECT_EQ(whole.state, SPACE_ITEM_OK);
    EXPECT_EQ(whole.tally.deleted, 5) << "three files, sub and victim";
    EXPECT_EQ(whole.remains, nullptr);
    EXPECT_FALSE(FakeFsExists(u"C:\\data\\victim"));
    EXPECT_TRUE(FakeFsExists(u"C:\\data\\keep\\k.bin"));

    const uint64_t dataBefore = tree->Folder(Path(*tree, {u"data"})).size;
    const uint32_t filesBefore = tree->Folder(0).files;
    const SpaceDeletion part = DeleteSpaceFolder(*tree, u"C:\\", stuck);
    EXPECT_EQ(part.state, SPACE_ITEM_PARTLY) << part.state;
    EXPECT_EQ(part.tally.inUse, 2);
    EXPECT_EQ(part.files, 2u);
    EXPECT_EQ(part.size, 5 * MiB);
    EXPECT_TRUE(FakeFsExists(u"C:\\data\\stuck\\deep\\held.bin"));
    EXPECT_FALSE(FakeFsExists(u"C:\\data\\stuck\\free.bin"));
    // What remains keeps its shape: the folder below and each file by name,
    // found again by identity for a later deletion.
    ASSERT_NE(part.remains, nullptr);
    tree->ReplaceContents(stuck, *part.remains);
    EXPECT_EQ(tree->Folder(Path(*tree, {u"data"})).size, dataBefore - MiB - 10) << "what was freed, and no more";
    EXPECT_EQ(tree->Folder(0).files, filesBefore - 2) << "free.bin and gone.txt";
    EXPECT_EQ(tree->Folder(stuck).files, 2u);
    ASSERT_EQ(tree->Folder(stuck).kept.size(), 1u);
    EXPECT_EQ(std::u16string(tree->Name(tree->Folder(stuck).kept[0].name)), u"in-use.bin");
    const uint32_t deep = Path(*tree, {u"data", u"stuck", u"deep"});
    ASSERT_NE(deep, kNoFolder);
    EXPECT_EQ(tree->Folder(stuck).folders, 1u);
    EXPECT_EQ(tree->Folder(deep).size, 3 * MiB);
    ASSERT_EQ(tree->Folder(deep).kept.size(), 1u);
    EXPECT_EQ(std::u16string(tree->Name(tree->Folder(deep).kept[0].name)), u"held.bin");
    EXPECT_EQ(CheckSpaceFolder(*tree, u"C:\\", deep).state, SPACE_ITEM_OK);

    // Where no such scan could be made, the counts stand in for the contents.
    const auto again = Scan();
    const uint32_t stuckAgain = Path(*again, {u"data", u"stuck"});
    again->ShrinkFolder(stuckAgain, MiB, MiB, 1, 1, 0);
    EXPECT_EQ(again->Folder(stuckAgain).restFiles, 1u);
    EXPECT_EQ(again->Folder(0).size, 3 * MiB) << "k.bin and what the counts say";
}

// Another folder put in the partly deleted one's place before what remains
// is scanned: its contents are not shown as the folder's; the counts are.
TEST_F(SpaceDeleteFake, WhatRemainsIsScannedOnlyInTheFolderDeletedFrom) {
    FakeFsAddFile(u"C:\\data\\stuck\\in-use.bin", 2 * MiB);
    FakeFsAddFile(u"C:\\data\\stuck\\free.bin", MiB);
    FakeFsAddFile(u"C:\\data\\other\\o1.bin", 5 * MiB);
    FakeFsAddFile(u"C:\\data\\other\\o2.bin", 5 * MiB);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\data\\stuck\\in-use.bin", FS_ERROR_SHARING_VIOLATION);
    FakeFsExchangeAfter(FakeOp::RemoveDirectory, u"C:\\data\\stuck", u"C:\\data\\stuck", u"C:\\data\\other");
    const auto tree = Scan();
    const uint32_t stuck = Path(*tree, {u"data", u"stuck"});
    ASSERT_NE(stuck, kNoFolder);
    const SpaceDeletion part = DeleteSpaceFolder(*tree, u"C:\\", stuck);
    ASSERT_EQ(part.state, SPACE_ITEM_PARTLY) << part.state;
    EXPECT_EQ(part.files, 1u);
    EXPECT_EQ(part.size, 2 * MiB);
    EXPECT_EQ(part.remains, nullptr) << "o1.bin and o2.bin are not what remains";
}

// Every file of a folder, the small ones summed in the tree included, is
// listed from the disk; one of them deleted leaves the tree's sums right.
TEST_F(SpaceDeleteFake, AFoldersFilesAreListedAndOneDeletedByIdentity) {
    for (int i = 1; i <= 40; ++i) {
        const std::u16string name = u"C:\\photos\\IMG_" + std::u16string(1, static_cast<char16_t>(u'A' + i / 10)) +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".jpg";
        FakeFsAddFile(name.c_str(), static_cast<uint64_t>(i) * 1000);
    }
    FakeFsAddDir(u"C:\\photos\\album");
    const auto tree = Scan();
    const uint32_t photos = Path(*tree, {u"photos"});
    ASSERT_EQ(tree->Folder(photos).restFiles, 40u);
    std::vector<SpaceListedFile> listed;
    uint32_t error = 0;
    ASSERT_EQ(ListSpaceFiles(*tree, u"C:\\", photos, &listed, &error), SPACE_ITEM_OK);
    ASSERT_EQ(listed.size(), 40u) << "files only, not the folder";
    EXPECT_EQ(listed[0].size, 40000u) << "largest first";
    EXPECT_EQ(listed[0].name, u"IMG_E0.jpg");

    const SpaceListedFile& top = listed[0];
    // Another length than listed: not the file listed.
    EXPECT_EQ(DeleteSpaceFile(*tree, u"C:\\", photos, top.name.c_str(), top.id, top.size + 1).state, SPACE_ITEM_CHANGED);
    ASSERT_EQ(DeleteSpaceFile(*tree, u"C:\\", photos, top.name.c_str(), top.id, top.size).state, SPACE_ITEM_OK);
    EXPECT_FALSE(FakeFsExists(u"C:\\photos\\IMG_E0.jpg"));
    const uint64_t before = tree->Folder(0).size;
    RemoveDeletedFile(tree.get(), photos, top.name.c_str(), top.id, top.size, top.space);
    EXPECT_EQ(tree->Folder(photos).restFiles, 39u);
    EXPECT_EQ(tree->Folder(0).size, before - 40000);
}

// A folder put in the scanned one's place (the same name, another folder),
// or a link to another folder: "changed", and nothing anywhere is deleted.
TEST_F(SpaceDeleteFake, AnItemSwappedSinceTheScanIsChangedAndNothingIsDeleted) {
    FakeFsAddFile(u"C:\\d\\victim\\v.bin", 2 * MiB);
    FakeFsAddFile(u"C:\\d\\files\\f.bin", 2 * MiB);
    FakeFsAddFile(u"C:\\d\\outside\\f.bin", 2 * MiB);
    const auto tree = Scan();
    const uint32_t victim = Path(*tree, {u"d", u"victim"}), files = Path(*tree, {u"d", u"files"});
    ASSERT_NE(victim, kNoFolder);
    const SpaceFile f = tree->Folder(files).kept.at(0);

    // The scanned victim deleted by someone else and made again.
    FsDir parent = FsOpenDir(u"C:\\d", false);
    FsDir old = FsOpenSubdir(parent, u"victim", true);
    ASSERT_TRUE(FsDeleteFileAt(old, u"v.bin", false));
    ASSERT_TRUE(FsCloseDir(old, true));
    FsCloseDir(parent, false);
    FakeFsAddFile(u"C:\\d\\victim\\v.bin", 2 * MiB);
    EXPECT_EQ(CheckSpaceFolder(*tree, u"C:\\", victim).state, SPACE_ITEM_CHANGED);
    EXPECT_EQ(DeleteSpaceFolder(*tree, u"C:\\", victim).state, SPACE_ITEM_CHANGED);
    std::vector<SpaceListedFile> listed;
    uint32_t error = 0;
    EXPECT_EQ(ListSpaceFiles(*tree, u"C:\\", victim, &listed, &error), SPACE_ITEM_CHANGED);
    EXPECT_TRUE(FakeFsExists(u"C:\\d\\victim\\v.bin"));

    FakeFsSwapNow(u"C:\\d\\files", u"C:\\d\\outside");
    EXPECT_EQ(DeleteSpaceFolder(*tree, u"C:\\", files).state, SPACE_ITEM_CHANGED);
    EXPECT_EQ(DeleteSpaceFile(*tree, u"C:\\", files, u"f.bin", f.id, f.size).state, SPACE_ITEM_CHANGED);
    EXPECT_TRUE(FakeFsExists(u"C:\\d\\outside\\f.bin"));
}

// A name that Win32 path parsing would change ("x." is "x" there) is
// reached as itself: the one listed goes, its neighbour stays.
TEST_F(SpaceDeleteFake, ANameEndingInADotIsDeletedAsItself) {
    FakeFsAddFile(u"C:\\d\\x.\\dotted.bin", MiB);
    FakeFsAddFile(u"C:\\d\\x\\plain.bin", MiB);
    FakeFsAddFile(u"C:\\d\\100%TEMP%\\p.bin", MiB);
    const auto tree = Scan();
    ASSERT_NE(Path(*tree, {u"d", u"x."}), kNoFolder);
    EXPECT_EQ(DeleteSpaceFolder(*tree, u"C:\\", Path(*tree, {u"d", u"x."})).state, SPACE_ITEM_OK);
    EXPECT_EQ(DeleteSpaceFolder(*tree, u"C:\\", Path(*tree, {u"d", u"100%TEMP%"})).state, SPACE_ITEM_OK);
    EXPECT_FALSE(FakeFsExists(u"C:\\d\\x.\\dotted.bin"));
    EXPECT_TRUE(FakeFsExists(u"C:\\d\\x\\plain.bin"));
}

TEST_F(SpaceDeleteFake, ProtectedFoldersAndTheFoldersAboveThemAreRefused) {
    FakeFsAddFile(u"C:\\Windows\\w.dll", MiB);
    FakeFsAddFile(u"C:\\Users\\me\\Downloads\\big.iso", 2 * MiB);
    FakeFsProtect(u"C:\\Windows");
    FakeFsProtect(u"C:\\Users\\me");
    const auto tree = Scan();
    const uint32_t refused[] = {Path(*tree, {u"Windows"}), Path(*tree, {u"Users"}), Path(*tree, {u"Users", u"me"})};
    for (uint32_t folder : refused) {
        const SpaceDeletion check = CheckSpaceFolder(*tree, u"C:\\", folder);
        EXPECT_EQ(check.state, SPACE_ITEM_PROTECTED) << folder;
        EXPECT_EQ(check.refusal, REFUSED_PROTECTED) << folder;
    }
    EXPECT_EQ(DeleteSpaceFolder(*tree, u"C:\\", Path(*tree, {u"Users"})).state, SPACE_ITEM_PROTECTED);
    EXPECT_TRUE(FakeFsExists(u"C:\\Users\\me\\Downloads\\big.iso"));
    EXPECT_EQ(CheckSpaceFolder(*tree, u"C:\\", Path(*tree, {u"Users", u"me", u"Downloads"})).state, SPACE_ITEM_OK);
}

// The walk reports every file it deleted: the 文件类型 rows lose exactly
// those, whether the folder went whole or in part, a file of two names once.
TEST_F(SpaceDeleteFake, AFoldersDeletionLowersTheTypesByTheFilesItDeleted) {
    FakeFsAddFile(u"C:\\d\\victim\\a.iso", 3 * MiB);
    FakeFsAddFile(u"C:\\d\\victim\\sub\\b.ISO", 1000);
    FakeFsAddFile(u"C:\\d\\victim\\c.txt", 10);
    FakeFsAddFile(u"C:\\d\\keep.iso", 2 * MiB);
    FakeFsAddFile(u"C:\\d\\stuck\\held.iso", MiB);
    FakeFsAddFile(u"C:\\d\\stuck\\free.log", 20);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\d\\stuck\\held.iso", FS_ERROR_SHARING_VIOLATION);
    // A second name of a.iso in the folder: the scan counted the file once,
    // and its deletion takes it off once.
    FakeFsAddHardLink(u"C:\\d\\victim\\sub\\twin.iso", u"C:\\d\\victim\\a.iso");
    // A file with one name in the folder and one outside: its bytes stay, so
    // does its row (the listing, as a Win32 one, cannot tell its names).
    FakeFsAddFile(u"C:\\d\\victim\\shared.iso", 4 * MiB);
    FakeFsAddHardLink(u"C:\\d\\outside.iso", u"C:\\d\\victim\\shared.iso");
    const auto tree = Scan();
    auto row = [&tree](const std::u16string& ext) {
        for (const SpaceExtensionSum& sum : tree->ExtensionSums())
            if (!sum.other && sum.ext == ext) return sum;
        return SpaceExtensionSum{};
    };
    // What stays of .iso: keep.iso and, held open, held.iso (both kept by name).
    const uint64_t staysSpace = 2 * MiB + 4 * MiB + tree->Folder(Path(*tree, {u"d", u"stuck"})).kept.at(0).space;
    const SpaceExtensionSum iso = row(u"iso");
    ASSERT_EQ(iso.files, 5u);
    ASSERT_EQ(row(u"txt").files, 1u);

    const SpaceDeletion whole = DeleteSpaceFolder(*tree, u"C:\\", Path(*tree, {u"d", u"victim"}));
    ASSERT_EQ(whole.state, SPACE_ITEM_OK);
    tree->RemoveExtensionSums(whole.deleted);
    EXPECT_EQ(row(u"iso").files, 3u);
    EXPECT_EQ(row(u"iso").size, 2 * MiB + MiB + 4 * MiB);
    EXPECT_EQ(row(u"iso").space, staysSpace);
    EXPECT_EQ(row(u"txt").files, 0u) << "the row gone";

    const SpaceDeletion part = DeleteSpaceFolder(*tree, u"C:\\", Path(*tree, {u"d", u"stuck"}));
    ASSERT_EQ(part.state, SPACE_ITEM_PARTLY);
    tree->RemoveExtensionSums(part.deleted);
    EXPECT_EQ(row(u"log").files, 0u);
    const SpaceExtensionSum left = row(u"iso");
    EXPECT_EQ(left.files, 3u) << "the file held open was not deleted";
    EXPECT_EQ(left.size, 2 * MiB + MiB + 4 * MiB);
    EXPECT_EQ(left.space, staysSpace);
}

// A small file grown since the scan, deleted from its folder's summary
// row, then the folder itself: at every step each folder sums exactly what
// the tree still holds below it.
TEST_F(SpaceDeleteFake, AGrownFileDeletedFromTheSummaryLeavesEveryFolderSummingWhatRemains) {
    FakeFsAddFile(u"C:\\d\\f\\big.bin", 5 * MiB);
    FakeFsAddFile(u"C:\\d\\f\\a.txt", 10);
    FakeFsAddFile(u"C:\\d\\f\\b.txt", 20);
    FakeFsAddFile(u"C:\\d\\other.bin", 2 * MiB);
    const auto tree = Scan();
    const uint32_t d = Path(*tree, {u"d"}), f = Path(*tree, {u"d", u"f"});
    ASSERT_NE(f, kNoFolder);
    auto own = [&tree](uint32_t folder) {
        const SpaceFolder& at = tree->Folder(folder);
        uint64_t size = at.restSize;
        for (const SpaceFile& file : at.kept) size += file.size;
        for (uint32_t child : tree->Children(folder)) size += tree->Folder(child).size;
        return size;
    };
    FakeFsAddFile(u"C:\\d\\f\\a.txt", 1000);
    std::vector<SpaceListedFile> listed;
    uint32_t error = 0;
    ASSERT_EQ(ListSpaceFiles(*tree, u"C:\\", f, &listed, &error), SPACE_ITEM_OK);
    ASSERT_EQ(listed.at(1).name, u"a.txt");
    const SpaceListedFile grown = listed[1];
    ASSERT_EQ(DeleteSpaceFile(*tree, u"C:\\", f, grown.name.c_str(), grown.id, grown.size).state, SPACE_ITEM_OK);
    RemoveDeletedFile(tree.get(), f, grown.name.c_str(), grown.id, grown.size, grown.space);
    for (uint32_t folder : {f, d, 0u}) EXPECT_EQ(tree->Folder(folder).size, own(folder)) << folder;
    EXPECT_EQ(tree->Folder(0).size, 7 * MiB) << "big.bin, other.bin and what the rest still holds";

    ASSERT_EQ(DeleteSpaceFolder(*tree, u"C:\\", f).state, SPACE_ITEM_OK);
    tree->RemoveFolder(f);
    EXPECT_EQ(tree->Folder(d).size, 2 * MiB);
    EXPECT_EQ(tree->Folder(0).size, 2 * MiB);
    EXPECT_EQ(tree->Folder(0).files, 1u);
}

}  // namespace
