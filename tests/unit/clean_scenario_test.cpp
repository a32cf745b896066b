// Cleaning on the file system this binary is linked with (fake, posix on
// real files, Win32 under Wine on real files), and the containment suite:
// whatever links a location holds, nothing outside it changes.
#include "engine/clean.h"
#include "engine/guard.h"
#include "engine/measure.h"
#include "engine/paths.h"
#include "tests/support/items.h"
#include "tests/support/tree.h"

#include "platform/fs.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef __linux__
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <thread>
#include <vector>
#endif

namespace {

class CleanScenario : public ::testing::Test {
protected:
    void SetUp() override { TreeFresh(); }
    void TearDown() override { TreeRemove(); }
};

TEST_F(CleanScenario, ReadOnlyHiddenFileIsDeleted) {
    TreeFile(u"loc\\ro.tmp", 1000, FS_ATTR_READONLY | FS_ATTR_HIDDEN);
    TreeFile(u"loc\\sub\\ro2.tmp", 24, FS_ATTR_READONLY);
    TestItem item(TreePath(u"loc"), CM_CONTENTS);
    uint64_t freed = 0;
    EXPECT_EQ(CleanItem(&item.item, &freed), CS_DONE);
    EXPECT_EQ(freed, 1024u);
    EXPECT_FALSE(TreeExists(u"loc\\ro.tmp"));
    EXPECT_FALSE(TreeExists(u"loc\\sub"));
    EXPECT_TRUE(TreeExists(u"loc"));
}

TEST_F(CleanScenario, WholeDirectoryGoesAndFreedEqualsTheMeasurementBefore) {
    TreeFile(u"Windows.old\\Windows\\System32\\big.dll", 123456);
    TreeFile(u"Windows.old\\Users\\x.dat", 7, FS_ATTR_READONLY);
    TestItem item(TreePath(u"Windows.old"), CM_WHOLE_DIR);
    uint64_t before = MeasureItem(&item.item);
    EXPECT_EQ(before, 123463u);
    uint64_t freed = 0;
    EXPECT_EQ(CleanItem(&item.item, &freed), CS_DONE);
    EXPECT_EQ(freed, before);
    EXPECT_FALSE(TreeExists(u"Windows.old"));
    EXPECT_EQ(MeasureItem(&item.item), 0u);
}

TEST_F(CleanScenario, FileInUseAloneAndBesideDeletableFiles) {
    TreeFile(u"alone\\held.db", 500);
    TreeFile(u"mixed\\held.db", 500);
    TreeFile(u"mixed\\free.tmp", 300);
    TreeFile(u"whole\\sub\\held.db", 500);
    TreeFile(u"whole\\free.tmp", 1);
    if (!TreeHoldOpen(u"alone\\held.db")) GTEST_SKIP() << "open files can be deleted on " << TreeBackendName();
    ASSERT_TRUE(TreeHoldOpen(u"mixed\\held.db"));
    ASSERT_TRUE(TreeHoldOpen(u"whole\\sub\\held.db"));
    TestItem alone(TreePath(u"alone"), CM_CONTENTS);
    TestItem mixed(TreePath(u"mixed"), CM_CONTENTS);
    TestItem whole(TreePath(u"whole"), CM_WHOLE_DIR);
    uint64_t freed = 0;
    EXPECT_EQ(CleanItem(&alone.item, &freed), CS_IN_USE);
    EXPECT_EQ(freed, 0u);
    EXPECT_EQ(CleanItem(&mixed.item, &freed), CS_PARTIAL);
    EXPECT_EQ(freed, 300u);
    EXPECT_EQ(CleanItem(&whole.item, &freed), CS_PARTIAL);
    EXPECT_EQ(freed, 1u);
    EXPECT_TRUE(TreeExists(u"mixed\\held.db"));
    EXPECT_TRUE(TreeExists(u"whole\\sub\\held.db"));
    TreeReleaseHeld();
}

// A precious tree outside every location, with contents to compare.
void MakePrecious() {
    TreeFileContent(u"precious\\letter.txt", "do not lose me");
    TreeFileContent(u"precious\\cache\\photo.jpg", "irreplaceable");
    TreeFileContent(u"precious\\sub\\deep\\thesis.log", "years of work");
    TreeFile(u"precious\\big.tmp", 4096, FS_ATTR_READONLY);
}

struct ModeCase {
    int32_t mode;
    std::initializer_list<const char16_t*> patterns;
};

class Containment : public CleanScenario, public ::testing::WithParamInterface<int> {};

// The location holds junk beside links of every kind into the precious
// tree, at the top, below subfolders and where the patterns name them.
TEST_P(Containment, LinksInsideTheLocationLeaveTheirTargetsIntact) {
    MakePrecious();
    std::string manifest = TreeManifest(u"precious");
    TreeFile(u"loc\\junk.log", 10);
    TreeFile(u"loc\\acct\\cache\\junk.bin", 20);
    if (!TreeDirLink(u"loc\\linked.log", u"precious")) GTEST_SKIP() << "no directory links on " << TreeBackendName();
    ASSERT_TRUE(TreeDirLink(u"loc\\acct2", u"precious"));
    ASSERT_TRUE(TreeDirLink(u"loc\\acct\\sub", u"precious\\sub"));
    ASSERT_TRUE(TreeDirLink(u"loc\\acct3\\cache", u"precious\\cache"));
    bool fileLinks = TreeFileLink(u"loc\\letter.log", u"precious\\letter.txt");
    if (fileLinks) ASSERT_TRUE(TreeFileLink(u"loc\\acct\\cache\\big.tmp", u"precious\\big.tmp"));

    const char16_t* const subdirPatterns[] = {u"*\\cache", u"*\\sub", u"acct2\\cache", u"linked.log", u"acct\\sub\\deep"};
    TestItem contents(TreePath(u"loc"), CM_CONTENTS);
    TestItem files(TreePath(u"loc"), CM_MATCH_FILES, {u"*.log", u"acct*"});
    TestItem subdirs(TreePath(u"loc"), CM_MATCH_SUBDIRS,
                     {subdirPatterns[0], subdirPatterns[1], subdirPatterns[2], subdirPatterns[3], subdirPatterns[4]});
    TestItem whole(TreePath(u"loc"), CM_WHOLE_DIR);
    TestItem single(TreePath(u"loc\\letter.log"), CM_SINGLE_FILE);
    TestItem* items[] = {&contents, &whole, &files, &subdirs, &single};
    TestItem& item = *items[GetParam()];
    if (item.item.mode == CM_SINGLE_FILE && !fileLinks) GTEST_SKIP() << "no file links on " << TreeBackendName();

    uint64_t freed = 0;
    CleanStatus status = CleanItem(&item.item, &freed);
    EXPECT_EQ(TreeManifest(u"precious"), manifest) << "status " << status;
    EXPECT_LE(freed, 30u) << "freed bytes counted through a link";
    if (item.item.mode == CM_CONTENTS || item.item.mode == CM_WHOLE_DIR) {
        EXPECT_FALSE(TreeExists(u"loc\\junk.log"));
        if (TreeDirLinksRemovable()) EXPECT_FALSE(TreeExists(u"loc\\linked.log")) << "a directory link is removed as a link";
        EXPECT_EQ(freed, 30u);
    }
}

TEST_P(Containment, LocationThatIsItselfALinkIsNotEntered) {
    MakePrecious();
    std::string manifest = TreeManifest(u"precious");
    if (!TreeDirLink(u"redirected", u"precious")) GTEST_SKIP() << "no directory links on " << TreeBackendName();
    bool fileLink = TreeFileLink(u"redirected.txt", u"precious\\letter.txt");
    const int32_t modes[] = {CM_CONTENTS, CM_WHOLE_DIR, CM_MATCH_FILES, CM_MATCH_SUBDIRS, CM_SINGLE_FILE};
    int32_t mode = modes[GetParam()];
    if (mode == CM_SINGLE_FILE && !fileLink) GTEST_SKIP() << "no file links on " << TreeBackendName();
    // A trailing separator makes a path name the link's target: the check
    // must see the location as the variable names it, normalised.
    for (const char16_t* end : {u"", u"\\", u"\\.\\"}) {
        TestItem item(TreePath(mode == CM_SINGLE_FILE ? u"redirected.txt" : u"redirected") + end, mode,
                      {u"*", u"*\\deep", u"cache"});
        uint64_t freed = 99;
        EXPECT_EQ(CleanItem(&item.item, &freed), CS_NOTHING);
        EXPECT_EQ(freed, 0u);
        EXPECT_EQ(MeasureItem(&item.item), 0u);
        EXPECT_EQ(TreeManifest(u"precious"), manifest);
    }
    EXPECT_TRUE(TreeExists(mode == CM_SINGLE_FILE ? u"redirected.txt" : u"redirected"));
}

INSTANTIATE_TEST_SUITE_P(EveryMode, Containment, ::testing::Range(0, 5));

// A protected folder reached through a link on the way (as through
// "C:\Documents and Settings", on every Windows) or through a device-path
// spelling is refused by the guard, and nothing in it is measured or goes.
// Windows: the prefix's own profile and Documents; posix: $HOME pointed into
// the tree, through a link and through /proc/self/root.
bool Refused(const std::u16string& spelling) {
    char16_t location[kPathUnits];
    LocationRefusal reason = REFUSED_NONE;
    if (PrepareLocation(spelling.c_str(), location, &reason) != LOCATION_OK) return true;
    HeldFolder held;
    uint32_t error = 0;
    GuardState state = OpenGuardedLocation(location, false, false, &held, &error, &reason);
    if (state == GUARD_OK) FsCloseDir(held.dir, false);
    return state == GUARD_UNSAFE || state == GUARD_LINK;
}

TEST_F(CleanScenario, AProtectedFolderUnderAnotherSpellingIsRefused) {
    const std::string backend = TreeBackendName();
    if (backend == "fake") GTEST_SKIP() << "the fake's protected folders are tested on their own";
    std::vector<std::u16string> spellings;
    std::u16string allowed;
#ifdef _WIN32
    const char* profile = std::getenv("USERPROFILE");
    ASSERT_NE(profile, nullptr);
    std::u16string user(profile, profile + std::strlen(profile));
    size_t split = user.rfind(u'\\');
    ASSERT_NE(split, std::u16string::npos);
    if (!TreeDirLinkTo(u"Documents and Settings", user.substr(0, split))) GTEST_SKIP() << "no directory links";
    std::u16string through = TreePath(u"Documents and Settings") + user.substr(split);
    std::u16string slashes = u"//?/" + user + u"/Documents";
    for (char16_t& c : slashes) c = c == u'\\' ? u'/' : c;
    spellings = {through, through + u"\\Documents", u"\\\\?\\" + user + u"\\Documents", u"\\\\.\\" + user, slashes};
    // AppData itself holds the protected Local and Roaming: a folder below
    // them stays cleanable.
    allowed = TreeRoot();
    const char* savedHome = nullptr;
#else
    TreeFile(u"home\\Documents\\thesis.doc", 500);
    TreeFile(u"home\\notes.txt", 40);
    if (!TreeDirLink(u"alias", u"home")) GTEST_SKIP() << "no directory links";
    const std::u16string home = TreePath(u"home");
    const char* savedHome = std::getenv("HOME");
    std::string savedHomeText = savedHome ? savedHome : "";
    setenv("HOME", std::string(home.begin(), home.end()).c_str(), 1);
    spellings = {TreePath(u"alias"), TreePath(u"alias\\Documents"), u"/proc/self/root" + home,
                 u"/proc/self/root" + home + u"/Documents"};
    TreeFile(u"other\\x.tmp", 1);
    allowed = TreePath(u"other");
    const std::string manifest = TreeManifest(u"home");
#endif
    for (const std::u16string& spelling : spellings) {
        SCOPED_TRACE(std::string(spelling.begin(), spelling.end()));
        EXPECT_TRUE(Refused(spelling));
        TestItem item(spelling, CM_CONTENTS);
        EXPECT_EQ(MeasureItem(&item.item), 0u);
#ifndef _WIN32
        EXPECT_NE(CleanItem(&item.item, nullptr), CS_DONE);
#endif
    }
    EXPECT_FALSE(Refused(allowed)) << "a folder that is no protected one stays cleanable";
#ifndef _WIN32
    EXPECT_TRUE(Refused(TreeRoot())) << "an ancestor of a protected folder";
    EXPECT_EQ(TreeManifest(u"home"), manifest);
    if (savedHome) {
        setenv("HOME", savedHomeText.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
#endif
}

// Another process swaps a listed subfolder for a link between the listing
// and the open: the open of the name refuses it, removing the name removes
// the link alone or nothing, and a run cleans nothing outside. (Wine opens a
// Linux-side link's target on the handle; only the path shows the link.)
TEST_F(CleanScenario, ChildSwappedForALinkBetweenListingAndOpen) {
    TreeFile(u"loc\\sub\\a.tmp", 1);
    TreeDir(u"loc\\sub2");
    TreeFileContent(u"precious\\letter.txt", "keep");
    TreeDir(u"empty");
    const std::string manifest = TreeManifest(u"precious");
    FsDir dir = FsOpenDir(TreePath(u"loc").c_str(), false);
    ASSERT_NE(dir, nullptr);
    FsEntry entry;
    FsFind find = FsDirFindFirst(dir, u"sub", &entry, false);
    ASSERT_NE(find, nullptr);
    FsFindClose(find);
    ASSERT_EQ(entry.attributes & (FS_ATTR_DIRECTORY | FS_ATTR_REPARSE_POINT), FS_ATTR_DIRECTORY);
    if (!TreeSwapForLink(u"loc\\sub", u"precious") || !TreeSwapForLink(u"loc\\sub2", u"empty")) {
        FsCloseDir(dir, false);
        GTEST_SKIP() << "no links on " << TreeBackendName();
    }
    EXPECT_EQ(FsOpenSubdir(dir, u"sub", true), nullptr);
    EXPECT_EQ(FsLastError(), static_cast<uint32_t>(FS_ERROR_STOPPED_ON_SYMLINK));
    FsRemoveDirAt(dir, u"sub2");
    EXPECT_TRUE(TreeExists(u"empty")) << "removing the name removed the link's target";
    FsCloseDir(dir, false);
    TestItem item(TreePath(u"loc"), CM_CONTENTS);
    CleanItem(&item.item, nullptr);
    EXPECT_EQ(TreeManifest(u"precious"), manifest);
    EXPECT_TRUE(TreeExists(u"empty"));
}

#ifdef _WIN32
// What makes the walk's held folders safe on Windows: a folder held for
// removal is held without FILE_SHARE_DELETE, so no process can rename it or
// put a link in its place until it is let go.
TEST_F(CleanScenario, AHeldLocationCannotBeRenamedAway) {
    if (std::string(TreeBackendName()) != "win32") GTEST_SKIP() << "needs the real file system";
    TreeFile(u"loc\\a.tmp", 10);
    const std::u16string loc = TreePath(u"loc");
    const std::wstring from(loc.begin(), loc.end()), to = from + L".moved";
    FsDir dir = FsOpenDir(loc.c_str(), true);
    ASSERT_NE(dir, nullptr);
    EXPECT_FALSE(MoveFileExW(from.c_str(), to.c_str(), 0)) << "a held folder was renamed";
    FsCloseDir(dir, false);
    EXPECT_TRUE(MoveFileExW(from.c_str(), to.c_str(), 0)) << "the folder stayed locked";
}
#endif

// The read-only bit belongs to the file, not to one of its names: cleaning a
// hard link of a read-only file outside the location leaves the file
// outside read-only, whether or not the link inside could go.
TEST_F(CleanScenario, ReadOnlyFileWithAnotherHardLinkKeepsItsBit) {
    TreeFile(u"outside\\settings.ini", 4, FS_ATTR_READONLY);
    TreeDir(u"loc");
    if (!TreeHardLink(u"loc\\settings.ini", u"outside\\settings.ini")) GTEST_SKIP() << "no hard links";
    TreeFile(u"loc\\plain.tmp", 10, FS_ATTR_READONLY);
    const bool bits = TreeReadOnly(u"outside\\settings.ini");
    TestItem item(TreePath(u"loc"), CM_CONTENTS);
    CleanItem(&item.item, nullptr);
    EXPECT_FALSE(TreeExists(u"loc\\plain.tmp"));
    EXPECT_TRUE(TreeExists(u"outside\\settings.ini"));
    if (bits) EXPECT_TRUE(TreeReadOnly(u"outside\\settings.ini")) << "the bit was cleared through the hard link";
}

// A location that is itself a link is left alone in every mode: what lies
// behind it is not on the location's own path.
TEST_F(CleanScenario, ALocationThatIsALinkIsLeftAloneInEveryMode) {
    MakePrecious();
    std::string manifest = TreeManifest(u"precious");
    if (!TreeDirLink(u"loc\\link", u"precious")) GTEST_SKIP() << "no directory links on " << TreeBackendName();
    CleanTally tally = {0, 0, 0, 0, 0};
    const std::u16string link = TreePath(u"loc\\link");
    CleanAs(link.c_str(), CM_CONTENTS, &tally);
    CleanAs(link.c_str(), CM_MATCH_FILES, &tally, {u"*"});
    CleanAs(link.c_str(), CM_MATCH_SUBDIRS, &tally, {u"*\\deep"});
    CleanAs(link.c_str(), CM_MATCH_SUBDIRS, &tally, {u"sub\\deep"});
    EXPECT_EQ(tally.deleted + tally.otherError + tally.accessDenied, 0);
    EXPECT_EQ(SubdirPatternSize(link.c_str(), u"*\\deep", 0), 0u);
    EXPECT_EQ(SubdirPatternSize(link.c_str(), u"sub", 0), 0u);
    EXPECT_EQ(DirectorySize(link.c_str()), 0u);
    CleanAs(link.c_str(), CM_WHOLE_DIR, &tally);
    EXPECT_EQ(tally.deleted, 0);
    EXPECT_TRUE(TreeExists(u"loc\\link"));
    EXPECT_EQ(TreeManifest(u"precious"), manifest);
}

#if defined(__linux__) || defined(_WIN32)
// The swap races' trees: files 1 byte each in p\loc\sub, and files of
// the same names in "precious" and "precious\loc\sub", where a removal
// sent through a swapped-in link would land.
void SeedSwapRace(int files) {
    for (int i = 0; i < files; ++i) {
        std::u16string name = u"f" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                              std::u16string(1, static_cast<char16_t>(u'a' + i / 26));
        TreeFile(u"p\\loc\\sub\\" + name, 1);
        TreeFileContent(u"precious\\" + name, "keep");
        TreeFileContent(u"precious\\loc\\sub\\" + name, "keep");
    }
}
#endif

#ifdef __linux__
// A name that holds a backslash cannot exist on Windows; read as a path it
// would lead through the link beside it.
TEST_F(CleanScenario, NameWithABackslashIsNeverReadAsAPath) {
    if (TreeNativePath(u"").empty()) GTEST_SKIP() << "no such names on " << TreeBackendName();
    MakePrecious();
    std::string manifest = TreeManifest(u"precious");
    ASSERT_TRUE(TreeDirLink(u"loc\\x", u"precious"));
    int fd = open((TreeNativePath(u"loc") + "/x\\letter.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    TestItem item(TreePath(u"loc"), CM_MATCH_FILES, {u"*.txt"});
    CleanItem(&item.item, nullptr);
    EXPECT_EQ(TreeManifest(u"precious"), manifest);
}

// Another process swaps a folder for a link to "precious" while the program
// works: a subfolder at the first delete inside it, and the location's
// parent as soon as the location is first opened (between the guard's
// decision and the removal). Nothing outside the location changes.
TEST_F(CleanScenario, SubfolderSwappedForALinkDuringDeleteContents) {
    if (TreeNativePath(u"").empty()) GTEST_SKIP() << "no second process on " << TreeBackendName();
    for (int run = 0; run < 10; ++run) {
        const bool parentSwap = run % 2 == 1;
        TreeFresh();
        SeedSwapRace(300);
        std::string manifest = TreeManifest(u"precious");
        const std::string watched = TreeNativePath(parentSwap ? u"p\\loc" : u"p\\loc\\sub");
        const std::string swapped = TreeNativePath(parentSwap ? u"p" : u"p\\loc\\sub");
        int watch = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, watched.c_str(), parentSwap ? IN_OPEN : IN_DELETE), 0);
        std::thread swapper([&] {
            char events[4096];
            if (read(watch, events, sizeof events) <= 0) return;
            rename(swapped.c_str(), (swapped + ".moved").c_str());
            symlink(TreeNativePath(u"precious").c_str(), swapped.c_str());
        });
        if (parentSwap) {
            TestItem item(TreePath(u"p\\loc"), CM_CONTENTS);
            CleanItem(&item.item, nullptr);
        } else {
            CleanTally tally = {0, 0, 0, 0, 0};
            CleanAs(TreePath(u"p\\loc").c_str(), CM_CONTENTS, &tally);
        }
        swapper.join();
        close(watch);
        EXPECT_EQ(TreeManifest(u"precious"), manifest) << "run " << run;
    }
}

// A bind mount of an outside folder into the location, from the same
// device (so st_dev agrees): it is another mount, as a Windows mount point is
// a reparse point, and is not entered.
TEST_F(CleanScenario, ABindMountFromTheSameDeviceIsNotEntered) {
    if (TreeNativePath(u"").empty() || geteuid() != 0) GTEST_SKIP() << "no bind mounts on " << TreeBackendName();
    TreeFile(u"loc\\junk.tmp", 5);
    TreeDir(u"loc\\sub");
    TreeFileContent(u"outside\\thesis.doc", "keep");
    const std::string mountPoint = TreeNativePath(u"loc\\sub");
    if (std::system(("mount --bind '" + TreeNativePath(u"outside") + "' '" + mountPoint + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "mount --bind refused here";
    TestItem item(TreePath(u"loc"), CM_CONTENTS);
    CleanItem(&item.item, nullptr);
    const bool kept = TreeExists(u"outside\\thesis.doc");
    std::system(("umount '" + mountPoint + "'").c_str());
    EXPECT_TRUE(kept);
    EXPECT_FALSE(TreeExists(u"loc\\junk.tmp"));
}
#endif

#ifdef _WIN32
// The same race from Wine's Linux side, where the program deletes by handle
// but Wine removes a file marked for deletion by its path when the handle
// closes: a folder swapped for a link between the mark and the close would
// send the removal to the file of the same name outside. Half the trials
// swap the folder being emptied at its first delete, half the location's
// parent at its first open. NORVALE_RACE_TRIALS sets how many.
TEST_F(CleanScenario, FoldersSwappedDuringARunUnderWine) {
    const char* asked = std::getenv("NORVALE_RACE_TRIALS");
    const int trials = asked ? std::atoi(asked) : 10;
    int reached = 0;
    for (int run = 0; run < trials; ++run) {
        const bool parentSwap = run % 2 == 1;
        TreeFresh();
        SeedSwapRace(200);
        const std::string manifest = TreeManifest(u"precious");
        if (!TreeSwapOnEvent(parentSwap ? u"p\\loc" : u"p\\loc\\sub", parentSwap,
                             parentSwap ? u"p" : u"p\\loc\\sub", u"precious"))
            GTEST_SKIP() << "no second process on " << TreeBackendName();
        TestItem item(TreePath(u"p\\loc"), CM_CONTENTS);
        CleanItem(&item.item, nullptr);
        TreeSwapFinished();
        if (TreeManifest(u"precious") != manifest) ++reached;
        EXPECT_TRUE(TreeExists(parentSwap ? u"p.moved" : u"p\\loc\\sub.moved")) << "no swap in run " << run;
    }
    std::printf("swap race: %d of %d trials reached outside\n", reached, trials);
    EXPECT_EQ(reached, 0);
}
#endif

}  // namespace
