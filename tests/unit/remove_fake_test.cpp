// Removal primitives and item status on the fake, where any call can fail
// with any code.
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "engine/measure.h"
#include "engine/paths.h"
#include "uimodel/cleanup_rows.h"
#include "tests/fakefs/fakefs.h"
#include "tests/support/items.h"

#include "platform/fs.h"

#include <gtest/gtest.h>

namespace {

CleanTally Zero() { return CleanTally{0, 0, 0, 0, 0}; }

void ExpectTally(const CleanTally& t, int deleted, int denied, int inUse, int notFound, int other) {
    EXPECT_EQ(t.deleted, deleted);
    EXPECT_EQ(t.accessDenied, denied);
    EXPECT_EQ(t.inUse, inUse);
    EXPECT_EQ(t.notFound, notFound);
    EXPECT_EQ(t.otherError, other);
}

class RemoveFake : public ::testing::Test {
protected:
    void SetUp() override { FakeFsReset(); }
    void TearDown() override { FakeFsReset(); }
};

TEST_F(RemoveFake, EveryCodeLandsInExactlyOneCounter) {
    struct Case {
        uint32_t code;
        int counter;  // 1 denied, 2 in use, 3 not found, 4 other
    } cases[] = {{5, 1}, {32, 2}, {33, 2}, {2, 3}, {3, 3}, {123, 3}, {145, 4}, {0, 4}, {1392, 4}};
    for (const Case& c : cases) {
        CleanTally t = Zero();
        TallyResult(&t, 0, c.code);
        int counts[5] = {t.deleted, t.accessDenied, t.inUse, t.notFound, t.otherError};
        for (int i = 0; i < 5; ++i) EXPECT_EQ(counts[i], i == c.counter ? 1 : 0) << "code " << c.code;
    }
    CleanTally t = Zero();
    TallyResult(&t, 1, 5);
    ExpectTally(t, 1, 0, 0, 0, 0);
    TallyResult(nullptr, 0, 5);
}

TEST_F(RemoveFake, CodesFromRealFailuresAreCounted) {
    const char16_t* files[] = {u"C:\\d\\denied", u"C:\\d\\busy", u"C:\\d\\locked", u"C:\\d\\gone", u"C:\\d\\odd"};
    const uint32_t codes[] = {5, 32, 33, 2, 1117};
    for (int i = 0; i < 5; ++i) {
        FakeFsAddFile(files[i], 10);
        FakeFsFail(FakeOp::DeleteFile, files[i], codes[i]);
    }
    FakeFsAddFile(u"C:\\d\\fine", 10);
    CleanTally t = Zero();
    CleanAs(u"C:\\d", CM_CONTENTS, &t);
    ExpectTally(t, 1, 1, 2, 1, 1);
}

TEST_F(RemoveFake, DeleteTreeWithOneInUseFileDeepDown) {
    FakeFsAddFile(u"C:\\root\\a\\b\\c\\locked.db", 1);
    FakeFsAddFile(u"C:\\root\\a\\b\\c\\free.db", 1);
    FakeFsAddFile(u"C:\\root\\a\\b\\x.txt", 1);
    FakeFsAddFile(u"C:\\root\\a\\side\\y.txt", 1);
    FakeFsAddFile(u"C:\\root\\top.txt", 1, FS_ATTR_READONLY | FS_ATTR_HIDDEN);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\root\\a\\b\\c\\locked.db", 32);
    CleanTally t = Zero();
    CleanAs(u"C:\\root", CM_WHOLE_DIR, &t);
    // Deleted: free.db, x.txt, y.txt, side, top.txt. Failed: c, b, a, root.
    ExpectTally(t, 5, 0, 1, 0, 4);
    EXPECT_TRUE(FakeFsExists(u"C:\\root\\a\\b\\c\\locked.db"));
    EXPECT_FALSE(FakeFsExists(u"C:\\root\\a\\side"));
    EXPECT_FALSE(FakeFsExists(u"C:\\root\\top.txt"));
}

TEST_F(RemoveFake, DeleteContentsNeverTriesTheRoot) {
    FakeFsAddFile(u"C:\\loc\\sub\\f", 1);
    FakeFsAddFile(u"C:\\loc\\g", 1);
    CleanTally t = Zero();
    CleanAs(u"C:\\loc", CM_CONTENTS, &t);
    ExpectTally(t, 3, 0, 0, 0, 0);
    EXPECT_TRUE(FakeFsExists(u"C:\\loc"));
    EXPECT_EQ(FakeFsCalls(FakeOp::RemoveDirectory, u"C:\\loc"), 0);

    FakeFsAddFile(u"C:\\loc2\\held", 1);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\loc2\\held", 32);
    t = Zero();
    CleanAs(u"C:\\loc2", CM_CONTENTS, &t);
    ExpectTally(t, 0, 0, 1, 0, 0);

    t = Zero();
    FakeFsAddDir(u"C:\\empty");
    CleanAs(u"C:\\empty", CM_CONTENTS, &t);
    CleanAs(u"C:\\missing", CM_CONTENTS, &t);
    CleanAs(u"C:\\loc2", CM_MATCH_FILES, &t, {u"*.none"});
    ExpectTally(t, 0, 0, 0, 0, 0);
    EXPECT_TRUE(FakeFsExists(u"C:\\loc2\\held"));
}

TEST_F(RemoveFake, UnlistableFolderReportsThroughItsOwnRemoval) {
    FakeFsAddFile(u"C:\\t\\locked\\f", 1);
    FakeFsFail(FakeOp::List, u"C:\\t\\locked", 5);
    CleanTally t = Zero();
    CleanAs(u"C:\\t", CM_WHOLE_DIR, &t);
    ExpectTally(t, 0, 0, 0, 0, 2);  // "locked" and "t" are not empty
}

TEST_F(RemoveFake, LiteralNamesAgainstStarLevels) {
    // "*\FileRecv" below three accounts, one without it.
    FakeFsAddFile(u"C:\\qq\\1\\FileRecv\\a", 1);
    FakeFsAddFile(u"C:\\qq\\2\\FileRecv\\b", 1);
    FakeFsAddFile(u"C:\\qq\\3\\Image\\c", 1);
    FakeFsAddFile(u"C:\\qq\\note.txt", 1);
    CleanTally t = Zero();
    CleanAs(u"C:\\qq", CM_MATCH_SUBDIRS, &t, {u"*\\FileRecv"});
    ExpectTally(t, 4, 0, 0, 0, 0);  // the account without one has nothing to clean
    EXPECT_FALSE(FakeFsExists(u"C:\\qq\\1\\FileRecv"));
    EXPECT_TRUE(FakeFsExists(u"C:\\qq\\3\\Image\\c"));

    // A literal path that is missing, or runs into a file, is nothing to clean.
    FakeFsAddDir(u"C:\\ding");
    FakeFsAddFile(u"C:\\ding\\file", 1);
    t = Zero();
    CleanAs(u"C:\\ding", CM_MATCH_SUBDIRS, &t, {u"global\\cache"});
    CleanAs(u"C:\\ding", CM_MATCH_SUBDIRS, &t, {u"file\\cache"});
    ExpectTally(t, 0, 0, 0, 0, 0);

    // The location's own listing failing counts by its code (a standard user
    // and C:\Windows\Temp needs administrator rights, not "nothing to clean").
    FakeFsFail(FakeOp::List, u"C:\\qq", 5);
    t = Zero();
    CleanAs(u"C:\\qq", CM_MATCH_SUBDIRS, &t, {u"*\\Image"});
    CleanAs(u"C:\\qq", CM_CONTENTS, &t);
    ExpectTally(t, 0, 2, 0, 0, 0);
    TestItem qq(u"C:\\qq", CM_MATCH_FILES, {u"*.txt"});
    EXPECT_EQ(CleanItem(&qq.item, nullptr), CS_NEED_ADMIN);

    // A literal that names a file deletes the file; a pattern with '*' matches.
    FakeFsAddFile(u"C:\\nv\\DXCache", 7);
    FakeFsAddFile(u"C:\\nv\\GL\\a.bin", 1);
    FakeFsAddFile(u"C:\\nv\\GL\\b.txt", 1);
    t = Zero();
    CleanAs(u"C:\\nv", CM_MATCH_SUBDIRS, &t, {u"DXCache"});
    CleanAs(u"C:\\nv\\GL", CM_MATCH_SUBDIRS, &t, {u"*.bin"});
    ExpectTally(t, 2, 0, 0, 0, 0);
    EXPECT_TRUE(FakeFsExists(u"C:\\nv\\GL\\b.txt"));
}

TEST_F(RemoveFake, MoreThanTenStarLevelsStopAtDepthTen) {
    std::u16string path = u"C:\\deep";
    for (int i = 0; i < 11; ++i) path += u"\\l";
    FakeFsAddFile((path + u"\\target\\f").c_str(), 5);
    std::u16string pattern;
    for (int i = 0; i < 11; ++i) pattern += u"*\\";
    pattern += u"target";
    CleanTally t = Zero();
    CleanAs(u"C:\\deep", CM_MATCH_SUBDIRS, &t, {pattern.c_str()});
    ExpectTally(t, 0, 0, 0, 0, 0);
    EXPECT_TRUE(FakeFsExists((path + u"\\target\\f").c_str()));
    CleanAs(u"C:\\deep\\l", CM_MATCH_SUBDIRS, &t, {pattern.c_str() + 2});
    ExpectTally(t, 2, 0, 0, 0, 0);
}

TEST_F(RemoveFake, PathsThatDoNotFitCountAsFailures) {
    std::u16string longName(252, u'n');  // "C:\\loc\\" + 252 = 259 units
    FakeFsAddFile((u"C:\\loc\\" + longName + u"\\f").c_str(), 1);  // the folder fits, its listing not
    FakeFsAddFile((u"C:\\loc\\" + longName + u"x").c_str(), 500);  // 260 units
    FakeFsAddFile(u"C:\\loc\\ok", 1);
    CleanTally t = Zero();
    CleanAs(u"C:\\loc", CM_CONTENTS, &t);
    ExpectTally(t, 1, 0, 0, 0, 2);
    EXPECT_TRUE(FakeFsExists((u"C:\\loc\\" + longName).c_str()));
    FakeFsAddFile(u"C:\\loc\\ok", 1);
    TestItem item(u"C:\\loc", CM_CONTENTS);
    EXPECT_EQ(CleanItem(&item.item, nullptr), CS_PARTIAL) << "a file left behind is not a success";
}

TEST_F(RemoveFake, StatusFromEveryKindOfTally) {
    EXPECT_EQ(StatusFromTally({3, 0, 0, 0, 0}), CS_DONE);
    EXPECT_EQ(StatusFromTally({3, 0, 1, 0, 0}), CS_PARTIAL);
    EXPECT_EQ(StatusFromTally({1, 0, 0, 0, 4}), CS_PARTIAL);
    EXPECT_EQ(StatusFromTally({0, 0, 0, 0, 0}), CS_NOTHING);
    EXPECT_EQ(StatusFromTally({0, 1, 5, 5, 5}), CS_NEED_ADMIN);
    EXPECT_EQ(StatusFromTally({0, 0, 1, 5, 5}), CS_IN_USE);
    EXPECT_EQ(StatusFromTally({0, 0, 0, 1, 5}), CS_NOT_FOUND);
    EXPECT_EQ(StatusFromTally({0, 0, 0, 0, 1}), CS_FAILED);
    EXPECT_EQ(std::u16string(CleanStatusTag(CS_DONE)), u"【已处理】");
    EXPECT_EQ(std::u16string(CleanStatusTag(CS_NEED_ADMIN)), u"【需管理员权限】");
    EXPECT_EQ(std::u16string(CleanStatusTag(CS_FAILED)), u"【清理失败】");
    EXPECT_EQ(std::u16string(CleanStatusTag(7)), u"【已处理】");
    EXPECT_EQ(std::u16string(CleanStatusTag(-1)), u"【已处理】");
}

TEST_F(RemoveFake, CleanItemOutcomes) {
    uint64_t freed = 99;
    EXPECT_EQ(CleanItem(nullptr, &freed), CS_FAILED);
    EXPECT_EQ(freed, 0u);

    TestItem missing(u"C:\\missing", CM_CONTENTS);
    freed = 99;
    EXPECT_EQ(CleanItem(&missing.item, &freed), CS_NOT_FOUND);
    EXPECT_EQ(freed, 0u);

    FakeFsAddDir(u"C:\\empty");
    TestItem empty(u"C:\\empty", CM_CONTENTS);
    EXPECT_EQ(CleanItem(&empty.item, &freed), CS_NOTHING);

    // Denied beside in use: access denied wins.
    FakeFsAddFile(u"C:\\sys\\a", 100);
    FakeFsAddFile(u"C:\\sys\\b", 200);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\sys\\a", 5);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\sys\\b", 32);
    TestItem sys(u"C:\\sys", CM_CONTENTS);
    EXPECT_EQ(CleanItem(&sys.item, &freed), CS_NEED_ADMIN);
    EXPECT_EQ(freed, 0u);

    FakeFsAddFile(u"C:\\ding\\other\\x", 1);
    TestItem ding(u"C:\\ding", CM_MATCH_SUBDIRS, {u"cache", u"global\\cache"});
    EXPECT_EQ(CleanItem(&ding.item, &freed), CS_NOTHING) << "no named folder exists: nothing failed";
    EXPECT_TRUE(FakeFsExists(u"C:\\ding\\other\\x"));

    FakeFsAddFile(u"C:\\odd\\x", 1);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\odd\\x", 1117);
    TestItem odd(u"C:\\odd", CM_CONTENTS);
    EXPECT_EQ(CleanItem(&odd.item, &freed), CS_FAILED);

    FakeFsAddFile(u"C:\\qq\\1\\FileRecv\\a", 10);
    FakeFsAddFile(u"C:\\qq\\2\\Image\\b", 20);
    TestItem qq(u"C:\\qq", CM_MATCH_SUBDIRS, {u"*\\FileRecv"});
    EXPECT_EQ(CleanItem(&qq.item, &freed), CS_DONE) << "an account without the folder is no failure";
    EXPECT_EQ(freed, 10u);

    FakeFsAddFile(u"C:\\one\\file.bin", 4096);
    TestItem single(u"C:\\one\\file.bin", CM_SINGLE_FILE);
    EXPECT_EQ(CleanItem(&single.item, &freed), CS_DONE);
    EXPECT_EQ(freed, 4096u);
    EXPECT_FALSE(FakeFsExists(u"C:\\one\\file.bin"));
}

TEST_F(RemoveFake, ExpansionThatDoesNotFitRemovesNothing) {
    std::u16string longValue = u"C:\\" + std::u16string(300, u'x');
    FakeFsSetEnv(u"LONGVAR", longValue.c_str());
    FakeFsAddFile(u"C:\\keep\\f", 1);
    TestItem item(u"%LONGVAR%", CM_CONTENTS);
    uint64_t freed = 5;
    EXPECT_EQ(CleanItem(&item.item, &freed), CS_NOT_FOUND);
    EXPECT_EQ(freed, 0u);
    EXPECT_EQ(FakeFsEntryCount(), 3);
}

TEST_F(RemoveFake, RecycleBinEmptyAndFull) {
    FakeFsAddDrive(u"C:\\", FS_DRIVE_FIXED);
    FakeFsAddDir(u"C:\\$Recycle.Bin\\S-1-5-21-7-1001");
    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1-5-21-7-1002\\$Rother", 9000);
    uint64_t freed = 7;
    EXPECT_EQ(CleanItem(&g_CleanupGroups[4].items[0], &freed), CS_NOTHING);
    EXPECT_EQ(freed, 0u);
    EXPECT_EQ(FakeFsRecycleEmptyCalls(), 1) << "the empty call is made all the same";

    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1-5-21-7-1001\\$R1", 3000);
    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1-5-21-7-1001\\$I1", 40);
    EXPECT_EQ(CleanItem(&g_CleanupGroups[4].items[0], &freed), CS_DONE);
    EXPECT_EQ(freed, 3040u);
    EXPECT_EQ(FakeFsRecycleEmptyCalls(), 2);

    // Bins that stay as full as before: the emptying failed, whatever it said.
    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1-5-21-7-1001\\$R2", 500);
    FakeFsFail(FakeOp::DeleteFile, u"C:\\$Recycle.Bin\\S-1-5-21-7-1001", 5);
    uint64_t remaining = 0;
    EXPECT_EQ(CleanItem(&g_CleanupGroups[4].items[0], &freed, &remaining), CS_FAILED);
    EXPECT_EQ(freed, 0u);
    EXPECT_EQ(remaining, 500u);
}

// Measuring and removal follow one set of rules: for every mode, what the
// list shows before a run is what the run frees, and nothing it counted is
// left. Among them a literal pattern that names a file (迅雷's "Profiles")
// and a wildcard below a literal folder; and a Firefox profile that lacks
// one of the named folders is cleaned without a failure.
TEST_F(RemoveFake, WhatIsMeasuredIsWhatARunFrees) {
    FakeFsAddFile(u"C:\\t\\a.tmp", 10);
    FakeFsAddFile(u"C:\\t\\b.log", 20, FS_ATTR_READONLY);
    FakeFsAddFile(u"C:\\t\\keep.txt", 40);
    FakeFsAddFile(u"C:\\t\\sub\\c.tmp", 80);
    FakeFsAddFile(u"C:\\t\\sub\\logs\\d.log", 160);
    FakeFsAddFile(u"C:\\t\\Profiles", 320);
    FakeFsAddFile(u"C:\\t\\Program\\cache\\e", 640);
    FakeFsAddLink(u"C:\\t\\sub\\link.log", u"C:\\precious", true);
    FakeFsAddFile(u"C:\\precious\\f", 5000);
    struct Case {
        int32_t mode;
        const char16_t* location;
        std::initializer_list<const char16_t*> patterns;
        uint64_t size;
    } const cases[] = {
        {CM_MATCH_FILES, u"C:\\t", {u"*.tmp", u"*.log"}, 30},
        {CM_MATCH_SUBDIRS, u"C:\\t", {u"Program\\cache", u"Profiles"}, 960},
        {CM_MATCH_SUBDIRS, u"C:\\t", {u"sub\\*.tmp", u"*\\logs"}, 240},
        {CM_SINGLE_FILE, u"C:\\t\\keep.txt", {}, 40},
        {CM_CONTENTS, u"C:\\t\\sub", {}, 0},
        {CM_WHOLE_DIR, u"C:\\t", {}, 0},
    };
    for (const Case& c : cases) {
        TestItem item(c.location, c.mode, c.patterns);
        SCOPED_TRACE(c.mode);
        uint64_t before = MeasureItem(&item.item);
        if (c.size) EXPECT_EQ(before, c.size);
        uint64_t freed = 0;
        CleanItem(&item.item, &freed);
        EXPECT_EQ(freed, before);
        EXPECT_EQ(MeasureItem(&item.item), 0u);
    }
    EXPECT_FALSE(FakeFsExists(u"C:\\t"));
    EXPECT_TRUE(FakeFsExists(u"C:\\precious\\f"));

    FakeFsSetEnv(u"LOCALAPPDATA", u"C:\\Users\\bob\\AppData\\Local");
    FakeFsAddFile(u"C:\\Users\\bob\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\x.default\\cache2\\entries\\1", 700);
    FakeFsAddFile(u"C:\\Users\\bob\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\x.default\\thumbnails\\t.png", 7);
    FakeFsAddFile(u"C:\\Users\\bob\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\x.default\\prefs.js", 1);
    CleanupItem& firefox = g_CleanupGroups[0].items[7];
    ASSERT_EQ(std::u16string(firefox.patterns[1]), u"*\\startupCache");
    EXPECT_EQ(MeasureItem(&firefox), 707u);
    uint64_t freed = 0;
    EXPECT_EQ(CleanItem(&firefox, &freed), CS_DONE) << "a profile without startupCache lacks nothing to clean";
    EXPECT_EQ(freed, 707u);
    EXPECT_TRUE(FakeFsExists(u"C:\\Users\\bob\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\x.default\\prefs.js"));
}

// Another process renames a folder of the location and puts a link to a
// precious folder in its place while the walk is inside it (right after the
// first delete there). Every mode goes on inside the folder it began, or
// stops; the precious files, named like the location's, all stay.
class SwapFake : public RemoveFake, public ::testing::WithParamInterface<int> {};

TEST_P(SwapFake, AFolderSwappedForALinkMidWalkLeadsNowhere) {
    const char16_t* const names[] = {u"a.tmp", u"b.tmp", u"c.tmp"};
    for (const char16_t* name : names) {
        FakeFsAddFile((std::u16string(u"C:\\loc\\sub\\") + name).c_str(), 10);
        FakeFsAddFile((std::u16string(u"C:\\precious\\") + name).c_str(), 1000);
    }
    FakeFsAddFile(u"C:\\loc\\top.tmp", 1);
    struct Mode {
        int32_t mode;
        const char16_t* location;
        std::initializer_list<const char16_t*> patterns;
        FakeOp trigger;
        const char16_t* triggerPath;
    } const modes[] = {
        {CM_CONTENTS, u"C:\\loc", {}, FakeOp::DeleteFile, u"C:\\loc\\sub\\a.tmp"},
        {CM_WHOLE_DIR, u"C:\\loc", {}, FakeOp::DeleteFile, u"C:\\loc\\sub\\a.tmp"},
        {CM_MATCH_FILES, u"C:\\loc", {u"s*"}, FakeOp::DeleteFile, u"C:\\loc\\sub\\a.tmp"},
        {CM_MATCH_SUBDIRS, u"C:\\loc", {u"sub", u"*\\x"}, FakeOp::DeleteFile, u"C:\\loc\\sub\\a.tmp"},
        {CM_SINGLE_FILE, u"C:\\loc\\sub\\b.tmp", {}, FakeOp::Open, u"C:\\loc\\sub"},
    };
    const Mode& m = modes[GetParam()];
    FakeFsSwapAfter(m.trigger, m.triggerPath, u"C:\\loc\\sub", u"C:\\precious");
    TestItem item(m.location, m.mode, m.patterns);
    CleanItem(&item.item, nullptr);
    for (const char16_t* name : names) {
        EXPECT_TRUE(FakeFsExists((std::u16string(u"C:\\precious\\") + name).c_str())) << "mode " << m.mode;
    }
    EXPECT_EQ(FakeFsCalls(FakeOp::DeleteFile, u"C:\\precious\\b.tmp"), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryMode, SwapFake, ::testing::Range(0, 5));

// Compressed (WOF), deduplicated and cloud files carry a reparse tag without
// being links: measured and removed as files, a read-only one included. A
// link of any tag, and a reparse folder of any tag, count nothing.
TEST_F(RemoveFake, ReparseFilesThatAreNotLinksAreFiles) {
    FakeFsAddFile(u"C:\\loc\\wof.dll", 1000, FS_ATTR_READONLY);
    FakeFsSetReparseTag(u"C:\\loc\\wof.dll", FS_REPARSE_TAG_WOF);
    FakeFsAddFile(u"C:\\loc\\sub\\dedup.vhd", 50);
    FakeFsSetReparseTag(u"C:\\loc\\sub\\dedup.vhd", FS_REPARSE_TAG_DEDUP);
    FakeFsAddFile(u"C:\\loc\\sub\\cloud.docx", 7);
    FakeFsSetReparseTag(u"C:\\loc\\sub\\cloud.docx", 0x9000601Au);
    FakeFsAddFile(u"C:\\loc\\untagged", 100000);
    FakeFsSetReparseTag(u"C:\\loc\\untagged", 0);
    FakeFsAddFile(u"C:\\loc\\unknown", 100000);
    FakeFsSetReparseTag(u"C:\\loc\\unknown", 0x80000099u);
    FakeFsAddFile(u"C:\\loc\\wofdir\\inside", 100000);
    FakeFsSetReparseTag(u"C:\\loc\\wofdir", FS_REPARSE_TAG_WOF);
    TestItem item(u"C:\\loc", CM_CONTENTS);
    TestItem files(u"C:\\loc", CM_MATCH_FILES, {u"*.dll"});
    EXPECT_EQ(MeasureItem(&item.item), 1057u);
    EXPECT_EQ(MeasureItem(&files.item), 1000u);
    uint64_t freed = 0;
    EXPECT_EQ(CleanItem(&item.item, &freed), CS_DONE);
    EXPECT_EQ(freed, 1057u);
    EXPECT_FALSE(FakeFsExists(u"C:\\loc\\wof.dll"));
    EXPECT_FALSE(FakeFsExists(u"C:\\loc\\wofdir")) << "a reparse folder goes as a link";
    EXPECT_EQ(FakeFsCalls(FakeOp::SetAttributes, u"C:\\loc\\untagged"), 0);
    EXPECT_TRUE(FsIsLink(FS_ATTR_REPARSE_POINT, FS_REPARSE_TAG_MOUNT_POINT));
    EXPECT_TRUE(FsIsLink(FS_ATTR_REPARSE_POINT, 0xA000001Du));  // a surrogate not named anywhere
    EXPECT_FALSE(FsIsLink(FS_ATTR_REPARSE_POINT, 0x9000F01Au));
    EXPECT_FALSE(FsIsLink(FS_ATTR_ARCHIVE, 0));
}

// TEMP and its kin can hold anything. A location that is not absolute, is a
// root, or is or contains a protected folder is never measured nor cleaned;
// the catalogue's own locations below the profile stay cleanable.
TEST_F(RemoveFake, UnsafeLocationsAreNeitherMeasuredNorCleaned) {
    FakeFsProtect(u"C:\\Windows");
    FakeFsProtect(u"C:\\Users\\bob");
    FakeFsProtect(u"C:\\Users\\bob\\Documents\\");
    FakeFsAddFile(u"C:\\Users\\bob\\Documents\\thesis.doc", 500);
    FakeFsAddFile(u"C:\\Users\\bob\\Downloads\\setup.exe", 70);
    FakeFsAddFile(u"C:\\Users\\bob\\AppData\\Local\\Temp\\x.tmp", 3);
    FakeFsAddFile(u"C:\\Temp\\y.tmp", 4);
    FakeFsAddFile(u"C:\\pagefile.sys", 4096);
    FakeFsSetSystemFolder(FS_FOLDER_PROFILE, u"C:\\Users\\bob");
    CleanupItem& userTemp = g_CleanupGroups[3].items[0];  // %TEMP%
    CleanupItem& downloads = g_CleanupGroups[4].items[20];
    ASSERT_EQ(std::u16string(userTemp.path), u"%TEMP%");
    ASSERT_EQ(std::u16string(downloads.path), u"%USERPROFILE%\\Downloads");
    const char16_t* const unsafe[] = {
        u"C:\\",  u"c:/users/BOB/", u"C:\\Users", u"C:\\Users\\bob\\AppData\\..\\.\\",
        u"C:\\Users\\bob.", u"C:\\Users\\bob\\Documents", u"\\Temp", u"Temp", u"C:Temp", u"",
    };
    const int before = FakeFsEntryCount();
    for (const char16_t* value : unsafe) {
        FakeFsSetEnv(u"TEMP", value);
        SCOPED_TRACE(std::string(value, value + std::char_traits<char16_t>::length(value)));
        EXPECT_EQ(MeasureItem(&userTemp), 0u);
        ToggleItemSelection(3, 0);
        EXPECT_EQ(MeasureSelectedItems(), 0u);
        ToggleItemSelection(3, 0);
        uint64_t freed = 9;
        EXPECT_EQ(CleanItem(&userTemp, &freed), CS_FAILED);
        EXPECT_EQ(freed, 0u);
        EXPECT_EQ(FakeFsEntryCount(), before);
    }
    // Other spellings of the same folders: decided by identity. An 8.3 name,
    // a second drive letter for the volume, letters in another case beyond
    // ASCII, device paths, and a link on the way ("Documents and Settings").
    FakeFsAddAlias(u"C:\\Users\\BOB~1", u"C:\\Users\\bob");
    FakeFsAddAlias(u"S:", u"C:");
    FakeFsAddDir(u"C:\\Users\\bob\\Mes \u00c9l\u00e9ments");
    FakeFsProtect(u"C:\\Users\\bob\\Mes \u00c9l\u00e9ments");
    FakeFsAddFile(u"C:\\Users\\bob\\Mes \u00c9l\u00e9ments\\lettre.doc", 20);
    FakeFsAddLink(u"C:\\Documents and Settings", u"C:\\Users", true);
    const int withAliases = FakeFsEntryCount();
    const char16_t* const spellings[] = {
        u"C:\\Users\\BOB~1\\Documents", u"S:\\Users\\bob\\Documents", u"S:\\Users", u"c:\\users\\bob\\mes \u00e9l\u00e9ments",
        u"\\\\?\\C:\\Users\\bob\\Documents", u"\\\\.\\C:\\Users\\bob", u"//?/C:/Windows", u"\\\\?\\C:\\",
        u"C:\\Documents and Settings\\bob", u"C:\\Documents and Settings\\bob\\AppData\\Local\\Temp",
    };
    for (const char16_t* value : spellings) {
        FakeFsSetEnv(u"TEMP", value);
        SCOPED_TRACE(std::string(value, value + std::char_traits<char16_t>::length(value)));
        EXPECT_EQ(MeasureItem(&userTemp), 0u);
        EXPECT_NE(CleanItem(&userTemp, nullptr), CS_DONE);
        EXPECT_EQ(FakeFsEntryCount(), withAliases);
    }
    // An alias of a folder that is no protected one is cleaned like it.
    FakeFsSetEnv(u"TEMP", u"S:\\Users\\BOB~1\\AppData\\Local\\Temp");
    EXPECT_EQ(MeasureItem(&userTemp), 3u);
    FakeFsSetEnv(u"TEMP", u"C:\\Users\\bob\\AppData\\Local\\Temp\\");
    EXPECT_EQ(MeasureItem(&userTemp), 3u);
    EXPECT_EQ(CleanItem(&userTemp, nullptr), CS_DONE);
    EXPECT_EQ(MeasureItem(&downloads), 70u);
    EXPECT_EQ(CleanItem(&downloads, nullptr), CS_DONE);
    EXPECT_TRUE(FakeFsExists(u"C:\\Users\\bob\\Documents\\thesis.doc"));
    EXPECT_TRUE(FakeFsExists(u"C:\\Users\\bob\\Downloads"));

    // When the protected folders cannot all be known, nothing is accepted.
    FakeFsAddFile(u"C:\\Users\\bob\\Downloads\\later.zip", 9);
    FakeFsBreakProtectedList();
    EXPECT_EQ(MeasureItem(&downloads), 0u);
    EXPECT_EQ(CleanItem(&downloads, nullptr), CS_FAILED);
    EXPECT_TRUE(FakeFsExists(u"C:\\Users\\bob\\Downloads\\later.zip"));
}

// Any process of the user's can set the environment an elevated Norvale
// starts with. The folders the system knows come from the system whatever
// the environment says; the ones that stay the user's choice (TEMP, APPDATA,
// LOCALAPPDATA) must lie inside the profile, by identity, when elevated.
TEST_F(RemoveFake, TheEnvironmentCannotSteerAnElevatedRun) {
    FakeFsSetElevated(true);
    FakeFsSetSystemFolder(FS_FOLDER_WINDOWS, u"C:\\Windows");
    FakeFsSetSystemFolder(FS_FOLDER_PROGRAM_DATA, u"C:\\ProgramData");
    FakeFsSetSystemFolder(FS_FOLDER_PROFILE, u"C:\\Users\\me");
    for (const char16_t* folder : {u"C:\\Windows", u"C:\\Program Files", u"C:\\ProgramData", u"C:\\Users", u"C:\\Users\\me"})
        FakeFsProtect(folder);
    // What each item really names, and the victims an attacker points at.
    const char16_t* const own[] = {u"C:\\Windows\\Temp\\a.tmp", u"C:\\Users\\me\\Downloads\\a.tmp",
                                   u"C:\\ProgramData\\Microsoft\\Windows\\WER\\a.tmp", u"C:\\Windows.old\\a.tmp",
                                   u"C:\\Users\\me\\AppData\\Local\\Temp\\a.tmp"};
    const char16_t* const victims[] = {u"C:\\Program Files\\SomeApp\\app.exe", u"C:\\Program Files\\SomeApp\\Temp\\plugin.dll",
                                       u"C:\\Users\\Other\\Downloads\\thesis.docx", u"C:\\ProgramData\\SomeVendor\\Windows.old\\licence.dat",
                                       u"C:\\Users\\Other\\AppData\\Local\\Microsoft\\Windows\\WER\\report.wer",
                                       u"C:\\Users\\Other\\AppData\\Roaming\\Microsoft\\Windows\\Recent\\x.lnk",
                                       u"D:\\Temp\\data.bin", u"C:\\Users\\Other\\CrashDumps\\keep.dmp"};
    for (const char16_t* file : victims) FakeFsAddFile(file, 1000);
    FakeFsAddDir(u"C:\\Users\\me");
    FakeFsAddAlias(u"C:\\Users\\ME~1", u"C:\\Users\\me");
    struct Case {
        int group, item;
        const char16_t* variable;
        const char16_t* value;
        uint64_t size;  // what the item then measures: only its own files
    } const cases[] = {
        {3, 0, u"TEMP", u"C:\\Program Files\\SomeApp", 0},
        {3, 0, u"TEMP", u"D:\\Temp", 0},
        {2, 3, u"LOCALAPPDATA", u"C:\\Users\\Other", 0},
        {4, 17, u"APPDATA", u"C:\\Users\\Other\\AppData\\Roaming", 0},
        {2, 1, u"WINDIR", u"C:\\Program Files\\SomeApp", 1},
        {4, 20, u"USERPROFILE", u"C:\\Users\\Other", 1},
        {4, 19, u"SYSTEMDRIVE", u"C:\\ProgramData\\SomeVendor", 1},
        {4, 9, u"PROGRAMDATA", u"C:\\Users\\Other\\AppData\\Local", 1},
        // Inside the profile, under any spelling, the user's choice holds.
        {3, 0, u"TEMP", u"C:\\Users\\ME~1\\AppData\\Local\\Temp", 1},
    };
    for (const Case& c : cases) {
        for (const char16_t* file : own) FakeFsAddFile(file, 1);
        CleanupItem& item = g_CleanupGroups[c.group].items[c.item];
        SCOPED_TRACE(std::string(item.path, item.path + std::char_traits<char16_t>::length(item.path)));
        FakeFsSetEnv(c.variable, c.value);
        SCOPED_TRACE(std::string(c.value, c.value + std::char_traits<char16_t>::length(c.value)));
        EXPECT_EQ(MeasureItem(&item), c.size);
        uint64_t freed = 0;
        CleanItem(&item, &freed);
        EXPECT_EQ(freed, c.size);
        FakeFsSetEnv(c.variable, u"");
    }
    for (const char16_t* file : victims) {
        EXPECT_TRUE(FakeFsExists(file)) << std::string(file, file + std::char_traits<char16_t>::length(file));
    }
    EXPECT_EQ(SourceOfVariable(u"SystemRoot"), VAR_WINDOWS);
    EXPECT_EQ(SourceOfVariable(u"tmp"), VAR_USER_CHOICE);
    EXPECT_EQ(SourceOfVariable(u"ALLUSERSPROFILE"), VAR_ENVIRONMENT);

    // With ordinary rights the user could delete those files anyway: the
    // choice is theirs, and the mode comes from the process, not the caller.
    FakeFsSetElevated(false);
    FakeFsSetEnv(u"TEMP", u"D:\\Temp");
    EXPECT_EQ(MeasureItem(&g_CleanupGroups[3].items[0]), 1000u);
    // Elevated, a profile the system cannot name confines everything.
    FakeFsSetElevated(true);
    FakeFsSetSystemFolder(FS_FOLDER_PROFILE, nullptr);
    FakeFsSetEnv(u"TEMP", u"C:\\Users\\me\\AppData\\Local\\Temp");
    FakeFsAddFile(u"C:\\Users\\me\\AppData\\Local\\Temp\\b.tmp", 1);
    EXPECT_EQ(MeasureItem(&g_CleanupGroups[3].items[0]), 0u);
    EXPECT_EQ(CleanItem(&g_CleanupGroups[3].items[0], nullptr), CS_FAILED);
}

// Between the listing and the open another process renames a folder of the
// location away and another plain folder (not a link) into its place. The
// walk opens only the folder the listing showed: the other one is neither
// entered nor removed, and the run says it did not finish.
TEST_F(RemoveFake, AFolderExchangedAfterTheListingIsNotEntered) {
    FakeFsAddFile(u"C:\\loc\\first.tmp", 1);
    FakeFsAddFile(u"C:\\loc\\sub\\a.tmp", 10);
    FakeFsAddFile(u"C:\\precious\\sub\\thesis.doc", 1000);
    FakeFsExchangeAfter(FakeOp::DeleteFile, u"C:\\loc\\first.tmp", u"C:\\loc\\sub", u"C:\\precious\\sub");
    TestItem item(u"C:\\loc", CM_CONTENTS);
    EXPECT_EQ(CleanItem(&item.item, nullptr), CS_PARTIAL);
    EXPECT_TRUE(FakeFsExists(u"C:\\loc\\sub\\thesis.doc"));
    EXPECT_FALSE(FakeFsExists(u"C:\\loc\\first.tmp"));

    // A folder pattern's level: measured as what the listing showed.
    FakeFsExchangeAfter(FakeOp::List, u"C:\\loc", u"C:\\loc\\sub", u"C:\\precious\\sub");
    TestItem pattern(u"C:\\loc", CM_MATCH_SUBDIRS, {u"sub\\*"});
    EXPECT_EQ(MeasureItem(&pattern.item), 0u);
}

}  // namespace
