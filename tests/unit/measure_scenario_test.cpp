// Measuring on the file system this binary is linked with: the fake, the
// posix backend or Win32 under Wine. Same scenarios, same expectations.
#include "engine/measure.h"
#include "engine/paths.h"
#include "tests/support/items.h"
#include "tests/support/tree.h"

#include "platform/fs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

class MeasureScenario : public ::testing::Test {
protected:
    void SetUp() override { TreeFresh(); }
    void TearDown() override { TreeRemove(); }
};

TEST_F(MeasureScenario, EmptyAndMissingFoldersMeasureZero) {
    TreeDir(u"empty");
    EXPECT_EQ(DirectorySize(TreePath(u"empty").c_str()), 0u);
    EXPECT_EQ(DirectorySize(TreePath(u"missing").c_str()), 0u);
    TestItem missing(TreePath(u"missing"), CM_CONTENTS);
    EXPECT_EQ(MeasureItem(&missing.item), 0u);
    EXPECT_EQ(MeasureItem(nullptr), 0u);
    TreeFile(u"plain.txt", 77);
    EXPECT_EQ(DirectorySize(TreePath(u"plain.txt").c_str()), 0u) << "a file is not a directory";
}

TEST_F(MeasureScenario, HiddenSystemAndReadOnlyFilesAreCounted) {
    TreeFile(u"loc\\hidden.dat", 100, FS_ATTR_HIDDEN);
    TreeFile(u"loc\\system.dat", 200, FS_ATTR_SYSTEM);
    TreeFile(u"loc\\readonly.dat", 300, FS_ATTR_READONLY);
    TreeFile(u"loc\\sub\\deeper\\plain.dat", 400);
    TreeFile(u"loc\\sub\\.dotted", 5000);
    EXPECT_EQ(DirectorySize(TreePath(u"loc").c_str()), 6000u);
    TestItem contents(TreePath(u"loc"), CM_CONTENTS);
    TestItem whole(TreePath(u"loc"), CM_WHOLE_DIR);
    EXPECT_EQ(MeasureItem(&contents.item), 6000u);
    EXPECT_EQ(MeasureItem(&whole.item), 6000u);
}

TEST_F(MeasureScenario, FilePatternThatMatchesAFolderCountsItsWholeContent) {
    TreeFile(u"loc\\a.log", 10);
    TreeFile(u"loc\\b.TMP", 20);
    TreeFile(u"loc\\c.txt", 40);
    TreeFile(u"loc\\old.log\\inside.bin", 100);
    TreeFile(u"loc\\old.log\\deeper\\more.bin", 1000);
    TestItem item(TreePath(u"loc"), CM_MATCH_FILES, {u"*.log", u"*.tmp"});
    EXPECT_EQ(MeasureItem(&item.item), 1130u);
    TestItem overlapping(TreePath(u"loc"), CM_MATCH_FILES, {u"a.*", u"*.log"});
    EXPECT_EQ(MeasureItem(&overlapping.item), 10u + 1100u) << "a file two patterns match counts once";
    TestItem noPatterns(TreePath(u"loc"), CM_MATCH_FILES);
    EXPECT_EQ(MeasureItem(&noPatterns.item), 1170u);
}

TEST_F(MeasureScenario, StarLevelVisitsEveryAccountFolder) {
    TreeFile(u"qq\\1001\\Image\\a.jpg", 1024);
    TreeFile(u"qq\\1002\\Image\\b.jpg", 2048);
    TreeFile(u"qq\\1003\\Image\\sub\\c.jpg", 3072);
    TreeFile(u"qq\\1004\\Video\\v.mp4", 9999);
    TreeFile(u"qq\\Image", 50000);  // a file at the star level is passed over
    EXPECT_EQ(SubdirPatternSize(TreePath(u"qq").c_str(), u"*\\Image", 0), 6144u);
    TestItem qq(TreePath(u"qq"), CM_MATCH_SUBDIRS, {u"*\\FileRecv", u"*\\Image", u"*\\Video"});
    EXPECT_EQ(MeasureItem(&qq.item), 6144u + 9999u);
    TestItem literal(TreePath(u"qq"), CM_MATCH_SUBDIRS, {u"1002\\Image", u"nothing\\here"});
    EXPECT_EQ(MeasureItem(&literal.item), 2048u);
}

TEST_F(MeasureScenario, PathThatDoesNotFitIsSkippedWhileSiblingsCount) {
    // A folder whose own path fits in 260 units, holding one file whose path
    // does not and one whose path does.
    size_t rootLength = TreeRoot().size();
    ASSERT_LT(rootLength, 200u);
    std::u16string folder(245 - rootLength, u'd');
    TreeFile(folder + u"\\" + std::u16string(30, u'f'), 1000);
    TreeFile(folder + u"\\short", 7);
    TreeFile(u"sibling.bin", 11);
    ASSERT_TRUE(TreeExists(folder + u"\\" + std::u16string(30, u'f')));
    EXPECT_EQ(DirectorySize(TreeRoot().c_str()), 18u);
}

TEST_F(MeasureScenario, LinksAreNeverFollowed) {
    TreeFile(u"precious\\big.bin", 500000);
    TreeFile(u"precious\\cache\\x.bin", 700000);
    TreeFile(u"loc\\own.bin", 10);
    TreeFile(u"loc\\sub\\own2.bin", 20);
    if (!TreeDirLink(u"loc\\linked", u"precious")) GTEST_SKIP() << "no directory links on " << TreeBackendName();
    ASSERT_TRUE(TreeDirLink(u"loc\\sub\\cache", u"precious\\cache"));
    ASSERT_TRUE(TreeDirLink(u"redirected", u"precious"));
    TreeFileLink(u"loc\\file.log", u"precious\\big.bin");

    EXPECT_EQ(DirectorySize(TreePath(u"loc").c_str()), 30u);
    EXPECT_EQ(DirectorySize(TreePath(u"redirected").c_str()), 0u) << "a location that is a link";
    TestItem redirected(TreePath(u"redirected"), CM_CONTENTS);
    EXPECT_EQ(MeasureItem(&redirected.item), 0u);
    TestItem files(TreePath(u"loc"), CM_MATCH_FILES, {u"*"});
    EXPECT_EQ(MeasureItem(&files.item), 30u);
    TestItem subdirs(TreePath(u"loc"), CM_MATCH_SUBDIRS, {u"sub\\cache", u"linked\\cache", u"*\\cache"});
    EXPECT_EQ(MeasureItem(&subdirs.item), 0u);
    EXPECT_EQ(SubdirPatternSize(TreePath(u"loc").c_str(), u"*\\cache", 0), 0u) << "a star level entered a link";
    EXPECT_EQ(SubdirPatternSize(TreeRoot().c_str(), u"*\\cache", 0), 700000u) << "the real folder still counts";
}

// The protected folders come from the system itself (known folders on
// Windows, $HOME on Linux): the profile and the Windows folder are refused,
// what lies below the profile is not. Only looked at, never measured.
TEST_F(MeasureScenario, TheSystemsOwnFoldersAreRefusedAsLocations) {
    const bool windows = std::string(TreeBackendName()) == "win32";
    if (!windows && std::string(TreeBackendName()) != "posix") GTEST_SKIP() << "no system folders on the fake";
    if (!windows && !std::getenv("HOME")) GTEST_SKIP() << "no HOME";
    char16_t location[kPathUnits];
    LocationRefusal reason = REFUSED_NONE;
    const char16_t* const refused[] = {windows ? u"%USERPROFILE%" : u"%HOME%", windows ? u"%SystemRoot%\\" : u"/",
                                       windows ? u"%USERPROFILE%\\Documents\\..\\Desktop" : u"%HOME%/Documents"};
    for (const char16_t* path : refused) {
        EXPECT_EQ(PrepareLocation(path, location, &reason), LOCATION_UNSAFE);
        EXPECT_NE(reason, REFUSED_NONE);
    }
    EXPECT_EQ(PrepareLocation(windows ? u"%USERPROFILE%\\Downloads" : u"%HOME%/Downloads", location, &reason), LOCATION_OK);
    EXPECT_EQ(PrepareLocation(windows ? u"%TEMP%" : u"/tmp", location, &reason), LOCATION_OK);
}

}  // namespace

#ifdef _WIN32
// Each drive's recycle bin holds a folder per account. Only the one of the
// user the program runs as is counted: the system empties no other for it.
TEST(RecycleBinScenario, OnlyTheRunningUsersBinCounts) {
    if (std::string(TreeBackendName()) != "win32") GTEST_SKIP() << "real bins only";
    char16_t sid[184];
    ASSERT_TRUE(FsCurrentUserSid(sid, 184));
    const std::wstring own = L"C:\\$Recycle.Bin\\" + std::wstring(reinterpret_cast<const wchar_t*>(sid));
    const std::wstring other = L"C:\\$Recycle.Bin\\S-1-5-21-11-12-13-1002";
    CreateDirectoryW(L"C:\\$Recycle.Bin", nullptr);
    if (!CreateDirectoryW(other.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        GTEST_SKIP() << "no rights to make another account's bin here";
    CreateDirectoryW(own.c_str(), nullptr);
    const uint64_t before = RecycleBinSize();
    auto write = [](const std::wstring& path, DWORD bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        std::string data(bytes, 'x');
        DWORD written = 0;
        WriteFile(file, data.data(), bytes, &written, nullptr);
        CloseHandle(file);
    };
    write(other + L"\\$Rnorvale-other.dat", 3 * 1048576 + 1);
    write(own + L"\\$Rnorvale-own.dat", 4096);
    const uint64_t after = RecycleBinSize();
    DeleteFileW((other + L"\\$Rnorvale-other.dat").c_str());
    RemoveDirectoryW(other.c_str());
    DeleteFileW((own + L"\\$Rnorvale-own.dat").c_str());
    EXPECT_EQ(after - before, 4096u);
}
#endif
