// Measuring cases that need the fake: drives, fault injection, huge sizes
// and the worker's messages.
#include "engine/catalogue.h"
#include "engine/measure.h"
#include "tests/fakefs/fakefs.h"
#include "tests/support/items.h"

#include "platform/fs.h"
#include "engine/events.h"
#include "platform/post.h"
#include "platform/post_record.h"

#include <gtest/gtest.h>

namespace {

class MeasureFake : public ::testing::Test {
protected:
    void SetUp() override {
        FakeFsReset();
        PostRecorderReset();
        DeselectAllItems();
        for (CleanupGroup& group : g_CleanupGroups)
            for (int i = 0; i < group.itemCount; ++i) group.items[i].size.store(0);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(MeasureFake, RecycleBinsOfFixedDrivesOnly) {
    FakeFsAddDrive(u"C:\\", FS_DRIVE_FIXED);
    FakeFsAddDrive(u"D:\\", FS_DRIVE_FIXED);  // fixed, but without a recycle bin
    FakeFsAddDrive(u"E:\\", 2);               // removable
    FakeFsAddDrive(u"F:\\", 4);               // network
    FakeFsAddDrive(u"G:\\", FS_DRIVE_FIXED);
    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1-5-21-7-1001\\$R1.dat", 1000);
    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1-5-21-7-1001\\$I1.dat", 24);
    // Another account's bin: the system never empties it for this user.
    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1-5-21-7-1002\\$R2.dat", 3145729);
    FakeFsAddFile(u"C:\\$Recycle.Bin\\$R3.dat", 777);
    FakeFsAddFile(u"D:\\data.bin", 5000);
    FakeFsAddFile(u"E:\\$Recycle.Bin\\x.dat", 70000);
    FakeFsAddFile(u"F:\\$Recycle.Bin\\x.dat", 80000);
    FakeFsAddFile(u"G:\\$Recycle.Bin", 90000);  // a file, not a folder
    EXPECT_EQ(RecycleBinSize(), 1024u);
    // The item is measured through the drives, never through its bare name.
    EXPECT_EQ(MeasureItem(&g_CleanupGroups[4].items[0]), 1024u);
    // Whose bin is unknown: none is counted.
    FakeFsSetUserSid(u"");
    EXPECT_EQ(RecycleBinSize(), 0u);
    // The user's folder swapped for a link to another's is not followed.
    FakeFsSetUserSid(kFakeUserSid);
    FakeFsSwapNow(u"C:\\$Recycle.Bin\\S-1-5-21-7-1001", u"C:\\$Recycle.Bin\\S-1-5-21-7-1002");
    EXPECT_EQ(RecycleBinSize(), 0u);
}

TEST_F(MeasureFake, NoDrivesMeansNoRecycleBin) { EXPECT_EQ(RecycleBinSize(), 0u); }

TEST_F(MeasureFake, SizesNearTheTopOfSixtyFourBits) {
    FakeFsAddFile(u"C:\\big\\a", 1ull << 63);
    FakeFsAddFile(u"C:\\big\\sub\\b", (1ull << 63) - 1);
    EXPECT_EQ(DirectorySize(u"C:\\big"), UINT64_MAX);
    TestItem single(u"C:\\big\\a", CM_SINGLE_FILE);
    EXPECT_EQ(MeasureItem(&single.item), 1ull << 63);
    TestItem missingFile(u"C:\\big\\none", CM_SINGLE_FILE);
    EXPECT_EQ(MeasureItem(&missingFile.item), 0u);
}

TEST_F(MeasureFake, UnreadableSubfolderAddsNothingAndTheWalkGoesOn) {
    FakeFsAddFile(u"C:\\loc\\a\\one", 1);
    FakeFsAddFile(u"C:\\loc\\locked\\secret", 1000);
    FakeFsAddFile(u"C:\\loc\\z\\two", 2);
    FakeFsFail(FakeOp::List, u"C:\\loc\\locked", FS_ERROR_ACCESS_DENIED);
    EXPECT_EQ(DirectorySize(u"C:\\loc"), 3u);
}

TEST_F(MeasureFake, ExpansionThatFailsOrDoesNotFitMeasuresZero) {
    FakeFsAddFile(u"C:\\Users\\me\\AppData\\Local\\CrashDumps\\d.dmp", 4096);
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\Users\\me\\AppData\\Local");
    TestItem ok(u"%LOCALAPPDATA%\\CrashDumps", CM_CONTENTS);
    EXPECT_EQ(MeasureItem(&ok.item), 4096u);
    FakeFsSetEnv(u"LOCALAPPDATA", (u"C:\\" + std::u16string(300, u'x')).c_str());
    EXPECT_EQ(MeasureItem(&ok.item), 0u);
    TestItem unknown(u"%NO_SUCH_VARIABLE%\\CrashDumps", CM_CONTENTS);
    EXPECT_EQ(MeasureItem(&unknown.item), 0u);
}

TEST_F(MeasureFake, PatternWithoutChildAndDepthBeyondTen) {
    FakeFsAddDir(u"C:\\ding\\other");
    TestItem ding(u"C:\\ding", CM_MATCH_SUBDIRS, {u"cache", u"global\\cache"});
    EXPECT_EQ(MeasureItem(&ding.item), 0u);
    // Eleven "*\" levels: the last one would be depth 11 and is not followed.
    std::u16string path = u"C:\\deep";
    for (int i = 0; i < 11; ++i) path += u"\\l";
    FakeFsAddFile((path + u"\\target\\f").c_str(), 5);
    std::u16string pattern;
    for (int i = 0; i < 11; ++i) pattern += u"*\\";
    EXPECT_EQ(SubdirPatternSize(u"C:\\deep", (pattern + u"target").c_str(), 0), 0u);
    EXPECT_EQ(SubdirPatternSize(u"C:\\deep\\l", (pattern.substr(2) + u"target").c_str(), 0), 5u);
}

TEST_F(MeasureFake, WorkerPostsCountThenEachItemOnceThenDone) {
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    FakeFsAddFile(u"C:\\L\\npm-cache\\_cacache\\blob", 12345);
    void* window = reinterpret_cast<void*>(static_cast<uintptr_t>(0x1234));
    EXPECT_EQ(SizeScanWorker(window), 0u);
    ASSERT_EQ(PostRecorderCount(), 46u);
    RecordedMessage first = PostRecorderAt(0);
    EXPECT_EQ(first.message, MSG_MEASURE_BEGIN);
    EXPECT_EQ(first.wParam, 44u);
    EXPECT_EQ(first.window, window);
    for (size_t i = 1; i <= 44; ++i) {
        RecordedMessage m = PostRecorderAt(i);
        EXPECT_EQ(m.message, MSG_MEASURE_PROGRESS);
        EXPECT_EQ(m.wParam, i);
    }
    EXPECT_EQ(PostRecorderAt(45).message, MSG_MEASURE_FINISHED);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[7]), 12345u);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[8]), 0u);
}

// Measured side by side or one by one: the same sizes, and the same
// messages in the same order.
TEST_F(MeasureFake, OneThreadOrEightMeasureAndPostAlike) {
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    FakeFsSetEnv(u"TEMP", u"C:\\T");
    for (int i = 0; i < 50; ++i) {
        const std::u16string n(1, static_cast<char16_t>(u'a' + i % 26));
        FakeFsAddFile((u"C:\\L\\npm-cache\\" + n + n + std::u16string(1, static_cast<char16_t>(u'0' + i / 26))).c_str(), 100 + i);
        FakeFsAddFile((u"C:\\L\\pip\\cache\\d" + n + std::u16string(1, static_cast<char16_t>(u'0' + i / 26)) + u"\\f").c_str(), 7);
        FakeFsAddFile((u"C:\\T\\t" + n + std::u16string(1, static_cast<char16_t>(u'0' + i / 26))).c_str(), 1000);
    }
    auto run = [](int32_t threads) {
        PostRecorderReset();
        EXPECT_EQ(MeasureCatalogue(nullptr, threads), 0u);
        std::vector<uint64_t> seen;
        for (size_t i = 0; i < PostRecorderCount(); ++i) {
            seen.push_back(PostRecorderAt(i).message);
            seen.push_back(PostRecorderAt(i).wParam);
        }
        for (const CleanupGroup& group : g_CleanupGroups)
            for (int32_t i = 0; i < group.itemCount; ++i) seen.push_back(ItemSize(group.items[i]));
        return seen;
    };
    const std::vector<uint64_t> one = run(1);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[7]), 50u * 100u + 49u * 50u / 2u);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[8]), 50u * 7u);
    for (int round = 0; round < 3; ++round) EXPECT_EQ(run(8), one) << "round " << round;
}

TEST_F(MeasureFake, MeasureSelectedItemsLeavesTheUnselectedAsMeasured) {
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    FakeFsAddFile(u"C:\\L\\npm-cache\\a", 100);
    FakeFsAddFile(u"C:\\L\\pip\\cache\\b", 200);
    SizeScanWorker(nullptr);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[8]), 200u);
    EXPECT_EQ(MeasureSelectedItems(), 0u);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[8]), 200u) << "declining changes no unticked size";
    ToggleItemSelection(1, 7);
    FakeFsAddFile(u"C:\\L\\npm-cache\\c", 1);
    EXPECT_EQ(MeasureSelectedItems(), 101u);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[7]), 101u);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[8]), 200u);
}

}  // namespace
