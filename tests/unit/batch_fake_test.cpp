// The batch run's records and messages, read from the message recorder.
#include "engine/batch.h"
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "engine/measure.h"
#include "uimodel/cleanup_rows.h"
#include "tests/fakefs/fakefs.h"

#include "platform/fs.h"
#include "engine/events.h"
#include "platform/post.h"
#include "platform/post_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class BatchFake : public ::testing::Test {
protected:
    void SetUp() override {
        FakeFsReset();
        PostRecorderReset();
        // What a run says it is doing has a test of its own.
        PostRecorderIgnore(MSG_CLEAN_ACTIVITY);
        DeselectAllItems();
        FixCleanSelection();
    }
    void TearDown() override {
        // Records the test did not take are released here.
        for (size_t i = 0; i < PostRecorderCount(); ++i) {
            RecordedMessage m = PostRecorderAt(i);
            if (m.message == MSG_CLEAN_PROGRESS) FreeCleanProgress(reinterpret_cast<CleanProgress*>(m.wParam));
        }
        PostRecorderReset();
        DeselectAllItems();
        FakeFsReset();
    }
};

TEST_F(BatchFake, NothingSelectedFinishesAtOnce) {
    void* window = reinterpret_cast<void*>(static_cast<uintptr_t>(77));
    EXPECT_EQ(CleanWorker(window), 0u);
    ASSERT_EQ(PostRecorderCount(), 1u);
    EXPECT_EQ(PostRecorderAt(0).message, MSG_CLEAN_FINISHED);
    EXPECT_EQ(PostRecorderAt(0).window, window);
}

// 全选 ticks every item but the six whose files are the user's own.
TEST_F(BatchFake, AllSelectedGivesARecordPerOrdinaryItemInCatalogueOrder) {
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    FakeFsSetSystemFolder(FS_FOLDER_PROFILE, u"C:\\U");
    FakeFsAddFile(u"C:\\L\\npm-cache\\blob", 5000);
    FakeFsAddFile(u"C:\\U\\Downloads\\setup.exe", 100);
    SelectAllItems();
    FixCleanSelection();
    CleanWorker(nullptr);
    ASSERT_EQ(PostRecorderCount(), 39u);
    EXPECT_TRUE(FakeFsExists(u"C:\\U\\Downloads\\setup.exe"));
    std::vector<std::u16string> expected;
    for (const CleanupGroup& group : g_CleanupGroups)
        for (int i = 0; i < group.itemCount; ++i)
            if (!group.items[i].caution) expected.push_back(group.items[i].name);
    ASSERT_EQ(expected.size(), 38u);
    for (size_t i = 0; i < 38; ++i) {
        RecordedMessage m = PostRecorderAt(i);
        ASSERT_EQ(m.message, MSG_CLEAN_PROGRESS);
        const CleanProgress* p = reinterpret_cast<const CleanProgress*>(m.wParam);
        EXPECT_EQ(p->index, static_cast<int32_t>(i + 1));
        EXPECT_EQ(p->total, 38);
        EXPECT_EQ(std::u16string(p->name), expected[i]);
    }
    // Group 4's first item, the recycle bin, comes after the 19 ordinary items of groups 0 to 3.
    const CleanProgress* recycle = reinterpret_cast<const CleanProgress*>(PostRecorderAt(19).wParam);
    EXPECT_EQ(std::u16string(recycle->name), u"清空回收站");
    EXPECT_EQ(recycle->status, CS_NOTHING);
    const CleanProgress* npm = reinterpret_cast<const CleanProgress*>(PostRecorderAt(11).wParam);
    EXPECT_EQ(std::u16string(npm->name), u"NPM 缓存");
    EXPECT_EQ(npm->status, CS_DONE);
    EXPECT_EQ(npm->freed, 5000u);
    const CleanProgress* missing = reinterpret_cast<const CleanProgress*>(PostRecorderAt(0).wParam);
    EXPECT_EQ(missing->status, CS_NOT_FOUND);
    EXPECT_EQ(missing->freed, 0u);
    EXPECT_EQ(PostRecorderAt(38).message, MSG_CLEAN_FINISHED);
}

TEST_F(BatchFake, SelectedButUnmeasuredItemIsCleanedToo) {
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    FakeFsAddFile(u"C:\\L\\pip\\cache\\wheel", 300);
    ToggleItemSelection(1, 8);  // its size is still 0: hidden in the list
    FixCleanSelection();
    RunBatchClean(nullptr);
    ASSERT_EQ(PostRecorderCount(), 1u);
    const CleanProgress* p = reinterpret_cast<const CleanProgress*>(PostRecorderAt(0).wParam);
    EXPECT_EQ(p->index, 1);
    EXPECT_EQ(p->total, 1);
    EXPECT_EQ(p->freed, 300u);
    EXPECT_FALSE(FakeFsExists(u"C:\\L\\pip\\cache\\wheel"));
}

// The user confirmed NPM alone, then pressed "全选" during the run: the run
// cleans NPM alone, and what it freed comes off NPM's size.
TEST_F(BatchFake, TheRunCleansWhatWasConfirmedAndLowersItsSize) {
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    FakeFsSetSystemFolder(FS_FOLDER_PROFILE, u"C:\\U");
    FakeFsAddFile(u"C:\\L\\npm-cache\\blob", 5000);
    FakeFsAddFile(u"C:\\L\\npm-cache\\held", 200);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\L\\npm-cache\\held", 32);
    FakeFsAddFile(u"C:\\U\\Downloads\\document.pdf", 100);
    FakeFsAddFile(u"C:\\L\\pip\\cache\\wheel", 300);
    ToggleItemSelection(1, 7);
    ToggleItemSelection(1, 8);
    EXPECT_EQ(MeasureSelectedItems(), 5500u);
    FixCleanSelection();
    SelectAllItems();            // widening during the run
    ToggleItemSelection(1, 8);   // and narrowing
    RunBatchClean(nullptr);
    ASSERT_EQ(PostRecorderCount(), 2u);
    const CleanProgress* pip = reinterpret_cast<const CleanProgress*>(PostRecorderAt(1).wParam);
    EXPECT_EQ(std::u16string(pip->name), u"Pip 缓存");
    EXPECT_EQ(pip->total, 2);
    EXPECT_TRUE(FakeFsExists(u"C:\\U\\Downloads\\document.pdf"));
    EXPECT_FALSE(FakeFsExists(u"C:\\L\\pip\\cache\\wheel"));
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[7]), 200u) << "what is left";
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[8]), 0u);
}

// %TEMP% and %LOCALAPPDATA%\Temp name one folder; %WINDIR%\Temp is taken
// whole by one item and by pattern by the other. Each byte counts once in the
// estimate, the total and the run; the covered items go last and find nothing.
TEST_F(BatchFake, ItemsReachingOneFolderCountItsBytesOnce) {
    FakeFsSetSystemFolder(FS_FOLDER_WINDOWS, u"C:\\W");
    FakeFsSetEnv(u"TEMP", u"C:\\T");
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    FakeFsAddFile(u"C:\\W\\Temp\\setup.log", 10);
    FakeFsAddFile(u"C:\\W\\Temp\\cab.bin", 1000);
    FakeFsAddFile(u"C:\\T\\x.tmp", 500);
    FakeFsAddDir(u"C:\\L");
    FakeFsAddAlias(u"C:\\L\\Temp", u"C:\\T");
    ToggleGroupSelection(2);  // both 临时文件 items, Prefetch, CrashDumps
    ToggleGroupSelection(3);  // 用户 TEMP, LocalAppData Temp
    EXPECT_EQ(MeasureSelectedItems(), 1510u);
    EXPECT_EQ(ItemSize(g_CleanupGroups[3].items[1]), 500u) << "each row keeps its own size";
    EXPECT_EQ(SelectedTotal(), 1510u);
    // Each group's row counts its shared folder once too: with every item
    // ticked the rows add up to the total.
    EXPECT_EQ(GroupTotal(2), 1010u);
    EXPECT_EQ(GroupTotal(3), 500u);
    FixCleanSelection();
    RunBatchClean(nullptr);
    std::vector<std::u16string> names;
    uint64_t freed = 0;
    for (size_t i = 0; i < PostRecorderCount(); ++i) {
        const CleanProgress* p = reinterpret_cast<const CleanProgress*>(PostRecorderAt(i).wParam);
        names.push_back(p->name);
        freed += p->freed;
        if (i >= 4) EXPECT_EQ(p->status, CS_NOTHING) << i;
    }
    EXPECT_EQ(freed, 1510u);
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0], u"临时文件");
    EXPECT_EQ(names[3], u"用户 TEMP");
    EXPECT_EQ(names[4], u"临时文件");
    EXPECT_EQ(names[5], u"LocalAppData Temp");
    EXPECT_EQ(SelectedTotal(), 0u);
}

TEST_F(BatchFake, LongNamesAreCutTo127Units) {
    std::u16string name(128, u'名');
    PostCleanProgress(3, 9, name.c_str(), 42, CS_PARTIAL, nullptr);
    PostCleanProgress(4, 9, nullptr, 0, CS_DONE, nullptr);
    ASSERT_EQ(PostRecorderCount(), 2u);
    const CleanProgress* p = reinterpret_cast<const CleanProgress*>(PostRecorderAt(0).wParam);
    EXPECT_EQ(std::u16string(p->name), name.substr(0, 127));
    EXPECT_EQ(p->index, 3);
    EXPECT_EQ(p->total, 9);
    EXPECT_EQ(p->freed, 42u);
    EXPECT_EQ(p->status, CS_PARTIAL);
    EXPECT_EQ(std::u16string(reinterpret_cast<const CleanProgress*>(PostRecorderAt(1).wParam)->name), u"");
}

TEST_F(BatchFake, FailedPostsAreFreedBySenderAndTheRunStillEnds) {
    // Under AddressSanitizer a record that nobody frees fails the run.
    PostRecorderFailMessage(MSG_CLEAN_PROGRESS);
    SelectAllItems();
    FixCleanSelection();
    CleanWorker(nullptr);
    ASSERT_EQ(PostRecorderCount(), 1u);
    EXPECT_EQ(PostRecorderAt(0).message, MSG_CLEAN_FINISHED);
}

// The status line follows the run: each item says it has begun before its
// result comes, with its name (the catalogue's own text) and nothing deleted
// yet; deletions are reported while it runs.
TEST_F(BatchFake, EachItemSaysItHasBegunBeforeItsResult) {
    PostRecorderReset();
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    for (int i = 0; i < 50; ++i) FakeFsAddFile((u"C:\\L\\npm-cache\\f" + std::u16string(1, static_cast<char16_t>(u'A' + i))).c_str(), 1);
    ToggleItemSelection(1, 7);
    ToggleItemSelection(1, 8);
    FixCleanSelection();
    RunBatchClean(nullptr);
    std::vector<uint32_t> kinds;
    for (size_t i = 0; i < PostRecorderCount(); ++i) {
        RecordedMessage m = PostRecorderAt(i);
        if (i == 0 || m.message != kinds.back()) kinds.push_back(m.message);
        if (m.message == MSG_CLEAN_ACTIVITY && kinds.size() == 1) {
            EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(m.wParam)), u"NPM 缓存");
            EXPECT_EQ(m.lParam, 0);
        }
    }
    EXPECT_EQ(kinds, (std::vector<uint32_t>{MSG_CLEAN_ACTIVITY, MSG_CLEAN_PROGRESS, MSG_CLEAN_ACTIVITY, MSG_CLEAN_PROGRESS}));
}

// A measurement that ends during a run rewrites which folder each item
// reaches. The run keeps what was known when the user confirmed: every
// confirmed item is cleaned and reported, the covered one after the other.
// (The covered item is passed over first; keys forgotten after that, while
// a later item is cleaned, must not lose it.)
TEST_F(BatchFake, KeysRewrittenDuringARunLoseNoItem) {
    FakeFsSetEnv(u"TEMP", u"C:\\T");
    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\L");
    FakeFsAddFile(u"C:\\T\\x.tmp", 500);
    FakeFsAddFile(u"C:\\L\\Microsoft\\Windows\\Explorer\\thumbcache_1.db", 7);
    FakeFsAddAlias(u"C:\\L\\Temp", u"C:\\T");
    ToggleGroupSelection(3);     // 用户 TEMP and LocalAppData Temp: one folder
    ToggleItemSelection(4, 11);  // 缩略图, cleaned after both are first looked at
    MeasureSelectedItems();
    FixCleanSelection();
    static int progress;
    progress = 0;
    PostRecorderOnPost([](uint32_t message) {
        if (message != MSG_CLEAN_PROGRESS || ++progress != 2) return;
        for (CleanupGroup& group : g_CleanupGroups)
            for (int32_t i = 0; i < group.itemCount; ++i) group.items[i].folderKey.store(-1);
    });
    RunBatchClean(nullptr);
    PostRecorderOnPost(nullptr);
    std::vector<std::u16string> names;
    for (size_t i = 0; i < PostRecorderCount(); ++i) {
        RecordedMessage m = PostRecorderAt(i);
        if (m.message == MSG_CLEAN_PROGRESS) names.push_back(reinterpret_cast<const CleanProgress*>(m.wParam)->name);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"用户 TEMP", u"缩略图", u"LocalAppData Temp"}));
}

}  // namespace
