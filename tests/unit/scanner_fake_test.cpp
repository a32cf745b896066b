// The large-file scanner on the fake: entry rules, progress schedule,
// cancellation, growth and publication.
#include "largefiles/results.h"
#include "largefiles/scanner.h"
#include "tests/fakefs/fakefs.h"

#include "platform/fs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

typedef std::tuple<int32_t, int32_t, int32_t> Report;

struct ScanRun {
    std::vector<Report> reports;
    std::vector<std::pair<std::u16string, uint64_t>> results;
    int32_t result = 99;
    bool published = false;
};

std::function<void(const Report&)> g_onReport;
std::function<bool()> g_cancel;

void Record(int32_t percent, int32_t directories, int32_t files, void* context) {
    ScanRun* run = static_cast<ScanRun*>(context);
    run->reports.emplace_back(percent, directories, files);
    if (g_onReport) g_onReport(run->reports.back());
}

bool Cancelled() { return g_cancel && g_cancel(); }

std::u16string Num(int value) {
    std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

ScanRun Scan(const char16_t* root, uint64_t minimum) {
    ScanRun run;
    LargeFileEntry* entries = reinterpret_cast<LargeFileEntry*>(static_cast<uintptr_t>(1));
    int32_t count = -7;
    run.result = ScanLargeFiles(root, minimum, &entries, &count, Record, Cancelled, &run);
    if (count != -7) {
        run.published = true;
        EXPECT_NE(entries, nullptr);
        for (int32_t i = 0; i < count; ++i) run.results.emplace_back(entries[i].path, entries[i].size);
        std::free(entries);
    }
    return run;
}

class ScannerFake : public ::testing::Test {
protected:
    void SetUp() override {
        FakeFsReset();
        g_onReport = nullptr;
        g_cancel = nullptr;
        SetScanReallocForTesting(nullptr);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(ScannerFake, MinimumIsInclusiveAndZeroMeansTenMebibytes) {
    FakeFsAddFile(u"C:\\at.bin", 1000);
    FakeFsAddFile(u"C:\\below.bin", 999);
    ScanRun run = Scan(u"C:\\", 1000);
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].first, u"C:\\at.bin") << "one separator below a root that ends in one";
    EXPECT_EQ(run.results[0].second, 1000u);

    FakeFsAddFile(u"C:\\ten.bin", 10485760);
    FakeFsAddFile(u"C:\\almost.bin", 10485759);
    run = Scan(u"C:\\", 0);
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].first, u"C:\\ten.bin");
}

TEST_F(ScannerFake, EachResultCarriesItsListingsLastWriteTime) {
    FakeFsAddFile(u"C:\\dated\\known.bin", 2000);
    FakeFsSetModified(u"C:\\dated\\known.bin", 134100000000000000ull);
    FakeFsAddFile(u"C:\\unknown.bin", 3000);
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    ASSERT_EQ(ScanLargeFiles(u"C:\\", 1000, &entries, &count, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::u16string(entries[0].path), u"C:\\unknown.bin");
    EXPECT_EQ(entries[0].modified, 0u);
    EXPECT_EQ(std::u16string(entries[1].path), u"C:\\dated\\known.bin");
    EXPECT_EQ(entries[1].modified, 134100000000000000ull);
    std::free(entries);
}

TEST_F(ScannerFake, SkippedNamesAreExactAndApplyAtEveryDepth) {
    const uint64_t big = 1ull << 40;
    FakeFsAddFile(u"C:\\Recovery\\a.wim", big);
    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1\\b.iso", big);
    FakeFsAddFile(u"C:\\System Volume Information\\c.dat", big);
    FakeFsAddFile(u"C:\\data\\deep\\Recovery", big);  // a file of that name
    FakeFsAddFile(u"C:\\data\\deep\\System Volume Information\\x", big);
    // The fake ignores letter case, so the upper-case name lives elsewhere.
    FakeFsAddFile(u"C:\\old\\$RECYCLE.BIN\\S-1\\found.iso", big);
    FakeFsAddFile(u"C:\\data\\recovery\\found2.iso", big);
    FakeFsAddFile(u"C:\\pagefile.sys", big, FS_ATTR_HIDDEN | FS_ATTR_SYSTEM);
    FakeFsAddFile(u"C:\\data\\linked.iso", big, FS_ATTR_REPARSE_POINT);
    FakeFsAddFile(u"C:\\target\\inside.iso", big);
    FakeFsAddLink(u"C:\\data\\junction", u"C:\\target", true);
    ScanRun run = Scan(u"C:\\", 1);
    std::vector<std::u16string> paths;
    for (const auto& r : run.results) paths.push_back(r.first);
    std::vector<std::u16string> expected = {u"C:\\pagefile.sys", u"C:\\target\\inside.iso",
                                            u"C:\\old\\$RECYCLE.BIN\\S-1\\found.iso", u"C:\\data\\recovery\\found2.iso"};
    EXPECT_EQ(paths, expected);
}

TEST_F(ScannerFake, DiscoveryOrderIsOwnFilesThenLastListedSubtreeFirst) {
    FakeFsAddFile(u"C:\\r\\a\\a1", 5);
    FakeFsAddFile(u"C:\\r\\f1", 5);
    FakeFsAddFile(u"C:\\r\\b\\b1", 5);
    FakeFsAddFile(u"C:\\r\\b\\sub\\b2", 5);
    FakeFsAddFile(u"C:\\r\\f2", 5);
    ScanRun run = Scan(u"C:\\r", 5);
    std::vector<std::u16string> paths;
    for (const auto& r : run.results) paths.push_back(r.first);
    std::vector<std::u16string> expected = {u"C:\\r\\f1", u"C:\\r\\f2", u"C:\\r\\b\\b1", u"C:\\r\\b\\sub\\b2",
                                            u"C:\\r\\a\\a1"};
    EXPECT_EQ(paths, expected);
}

TEST_F(ScannerFake, ThirtyLevelsAreSearchedTheThirtyFirstIsNot) {
    std::u16string path = u"C:\\r";
    for (int depth = 1; depth <= 31; ++depth) {
        path += u"\\d";
        FakeFsAddFile((path + u"\\at" + std::u16string(1, static_cast<char16_t>(u'A' + depth % 26))).c_str(), 50);
    }
    ScanRun run = Scan(u"C:\\r", 50);
    EXPECT_EQ(run.results.size(), 30u);
    EXPECT_EQ(run.reports.back(), Report(100, 31, 30)) << "depths 0 to 30 are searched";
}

// One pass: the percent is the share of the drive's used bytes met, never
// runs backwards, stays below 100 until the end (also when the drive holds
// more than it said), and folders are reported every 50th.
TEST_F(ScannerFake, PercentIsTheUsedBytesMetAndNeverRunsBackwards) {
    // 4 folders of 1000 bytes (on the fake, 4096 bytes taken each) and 120
    // empty ones listed after them, so searched first.
    for (int i = 0; i < 4; ++i) FakeFsAddFile((u"C:\\r\\a" + Num(i) + u"\\f").c_str(), 1000);
    for (int i = 0; i < 120; ++i) FakeFsAddDir((u"C:\\r\\e" + Num(i)).c_str());
    FakeFsSetUsedBytes(4 * 4096);
    ScanRun run = Scan(u"C:\\r", 1);
    ASSERT_GE(run.reports.size(), 6u);
    for (size_t i = 1; i < run.reports.size(); ++i) {
        EXPECT_GE(std::get<0>(run.reports[i]), std::get<0>(run.reports[i - 1])) << "report " << i;
        EXPECT_GE(std::get<1>(run.reports[i]), std::get<1>(run.reports[i - 1])) << "report " << i;
    }
    std::vector<Report> expected = {Report(0, 1, 0),  Report(0, 50, 0),  Report(0, 100, 0), Report(25, 123, 1),
                                    Report(50, 124, 2), Report(75, 125, 3), Report(100, 125, 4)};
    EXPECT_EQ(run.reports, expected) << "the folder after a file's folder says its bytes";

    FakeFsSetUsedBytes(4096);  // less than the drive holds
    run = Scan(u"C:\\r", 1);
    for (size_t i = 0; i + 1 < run.reports.size(); ++i) EXPECT_LE(std::get<0>(run.reports[i]), 99);
    EXPECT_EQ(std::get<0>(run.reports[run.reports.size() - 2]), 99);
    EXPECT_EQ(run.reports.back(), Report(100, 125, 4));
}

TEST_F(ScannerFake, RootWithoutSubfoldersAndUnlistableRoot) {
    FakeFsAddFile(u"C:\\only\\x", 3);
    ScanRun run = Scan(u"C:\\only", 1);
    std::vector<Report> expected = {Report(0, 1, 0), Report(100, 1, 1)};
    EXPECT_EQ(run.reports, expected);

    FakeFsFail(FakeOp::List, u"C:\\locked", 5);
    FakeFsAddDir(u"C:\\locked");
    run = Scan(u"C:\\locked", 1);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.published);
    EXPECT_TRUE(run.results.empty());
    EXPECT_EQ(run.reports.back(), Report(100, 1, 0));

    LargeFileEntry* entries = nullptr;
    int32_t count = -3;
    EXPECT_EQ(ScanLargeFiles(nullptr, 1, &entries, &count, Record, Cancelled, nullptr), 0);
    EXPECT_EQ(count, -3) << "a null root touches nothing";
}

TEST_F(ScannerFake, CancelledAtOnceStillPublishes) {
    FakeFsAddFile(u"C:\\r\\big", 100);
    g_cancel = [] { return true; };
    ScanRun run = Scan(u"C:\\r", 1);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.published);
    EXPECT_TRUE(run.results.empty());
    std::vector<Report> expected = {Report(100, 0, 0)};
    EXPECT_EQ(run.reports, expected);
}

TEST_F(ScannerFake, CancelledDuringTheWalkKeepsWhatWasFound) {
    FakeFsAddFile(u"C:\\r\\a\\one", 100);
    FakeFsAddFile(u"C:\\r\\b\\two", 100);
    FakeFsAddFile(u"C:\\r\\c\\three", 100);
    static int polls;
    polls = 0;
    // Polls: one before each entry and one as each folder ends: the root's
    // three entries and its end, then c's entry and end; the poll before
    // b's entry cancels.
    g_cancel = [] { return ++polls > 6; };
    ScanRun run = Scan(u"C:\\r", 1);
    EXPECT_TRUE(run.published);
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].first, u"C:\\r\\c\\three");
}

// The results do not depend on the threads that list: the same rows in the
// same order with one thread as with eight, over a tree wide and deep
// enough for the workers to run ahead of the list.
TEST_F(ScannerFake, OneThreadOrEightFindTheSameRowsInTheSameOrder) {
    for (int i = 0; i < 40; ++i) {
        for (int j = 0; j < 6; ++j) FakeFsAddFile((u"C:\\w\\d" + Num(i) + u"\\s" + Num(j) + u"\\f" + Num(i * j)).c_str(), 10 + j);
        FakeFsAddFile((u"C:\\w\\d" + Num(i) + u"\\own").c_str(), 12);
    }
    auto rows = [](int32_t threads) {
        LargeFileEntry* entries = nullptr;
        int32_t count = 0;
        EXPECT_EQ(ScanLargeFiles(u"C:\\w", 12, &entries, &count, nullptr, nullptr, nullptr, threads), 0);
        std::vector<std::pair<std::u16string, uint64_t>> out;
        for (int32_t i = 0; i < count; ++i) out.emplace_back(entries[i].path, entries[i].size);
        std::free(entries);
        return out;
    };
    const auto one = rows(1);
    ASSERT_EQ(one.size(), 40u * 5u);
    EXPECT_EQ(one.front().first, u"C:\\w\\d39\\own");
    for (int round = 0; round < 5; ++round) EXPECT_EQ(rows(8), one) << "round " << round;
}

std::vector<size_t> g_growths;
int g_failGrowth = -1;
void* CountingRealloc(void* p, size_t bytes) {
    g_growths.push_back(bytes / sizeof(LargeFileEntry));
    if (static_cast<int>(g_growths.size()) == g_failGrowth) return nullptr;
    return std::realloc(p, bytes);
}

TEST_F(ScannerFake, RoomDoublesAtTheSixtyFifthAndHundredTwentyNinthResult) {
    for (int i = 0; i < 129; ++i) FakeFsAddFile((u"C:\\r\\f" + Num(i)).c_str(), 7);
    g_growths.clear();
    g_failGrowth = -1;
    SetScanReallocForTesting(CountingRealloc);
    ScanRun run = Scan(u"C:\\r", 7);
    EXPECT_EQ(run.results.size(), 129u);
    EXPECT_EQ(g_growths, (std::vector<size_t>{128, 256}));
}

TEST_F(ScannerFake, FailedGrowthSkipsTheRestOfThatFolderOnly) {
    FakeFsAddFile(u"C:\\r\\a\\later", 7);
    for (int i = 0; i < 70; ++i) FakeFsAddFile((u"C:\\r\\b\\f" + Num(i)).c_str(), 7);
    g_growths.clear();
    g_failGrowth = 1;
    SetScanReallocForTesting(CountingRealloc);
    ScanRun run = Scan(u"C:\\r", 7);
    // Folder b (listed last, searched first) fills 64 records; the 65th
    // cannot be stored; folder a then grows the array and is recorded.
    ASSERT_EQ(run.results.size(), 65u);
    EXPECT_EQ(run.results[63].first, u"C:\\r\\b\\f63");
    EXPECT_EQ(run.results[64].first, u"C:\\r\\a\\later");
    EXPECT_EQ(g_growths.size(), 2u);
}

TEST_F(ScannerFake, LongPathIsStoredAsItsFirst259Units) {
    std::u16string dir = u"C:\\" + std::u16string(200, u'x');
    std::u16string file = dir + u"\\" + std::u16string(96, u'y');
    FakeFsAddFile(file.c_str(), 11);
    ScanRun run = Scan(u"C:\\", 11);
    ASSERT_EQ(run.results.size(), 1u);
    ASSERT_EQ(file.size(), 300u);
    EXPECT_EQ(run.results[0].first, file.substr(0, 259));
}

TEST_F(ScannerFake, ComboSelectionToMinimum) {
    EXPECT_EQ(MinimumSizeForSelection(0), 52428800u);
    EXPECT_EQ(MinimumSizeForSelection(1), 104857600u);
    EXPECT_EQ(MinimumSizeForSelection(2), 524288000u);
    EXPECT_EQ(MinimumSizeForSelection(3), 1073741824u);
    EXPECT_EQ(MinimumSizeForSelection(-1), 104857600u);
    EXPECT_EQ(MinimumSizeForSelection(4), 104857600u);
}

// 删除 and 打开 act only on the file the scan listed. A folder on the way
// swapped for a link to another folder with a file of the same name and
// size, or the file replaced by another of the same size, and nothing is
// deleted; the listed file itself still goes.
TEST_F(ScannerFake, ActingOnAListedFileTakesOnlyThatFile) {
    const uint64_t big = 60ull << 20;
    auto listed = [](const char16_t* path) {
        LargeFileEntry* entries = nullptr;
        int32_t count = 0;
        EXPECT_EQ(ScanLargeFiles(u"C:\\", 50ull << 20, &entries, &count, nullptr, nullptr, nullptr), 0);
        LargeFileEntry found{};
        for (int32_t i = 0; i < count; ++i) {
            if (std::u16string(entries[i].path) == path) found = entries[i];
        }
        std::free(entries);
        EXPECT_NE(found.id, static_cast<uint64_t>(FS_NO_ID)) << "no identity taken";
        return found;
    };
    FakeFsAddFile(u"C:\\advlf\\dir\\big.bin", big);
    FakeFsAddFile(u"C:\\outside\\big.bin", big);
    LargeFileEntry entry = listed(u"C:\\advlf\\dir\\big.bin");
    FakeFsSwapNow(u"C:\\advlf\\dir", u"C:\\outside");
    EXPECT_EQ(ActOnListedFile(entry, false), LISTED_FILE_CHANGED);
    EXPECT_EQ(ActOnListedFile(entry, true), LISTED_FILE_CHANGED);
    EXPECT_TRUE(FakeFsExists(u"C:\\outside\\big.bin"));

    FakeFsReset();
    FakeFsAddFile(u"C:\\advlf\\dir\\big.bin", big);
    entry = listed(u"C:\\advlf\\dir\\big.bin");
    FakeFsSwapNow(u"C:\\advlf\\dir\\big.bin", u"C:\\advlf\\dir\\big.bin");  // moved aside...
    FakeFsAddFile(u"C:\\advlf\\dir\\big.bin", big);                          // ...and another put in its place
    EXPECT_EQ(ActOnListedFile(entry, true), LISTED_FILE_CHANGED);
    EXPECT_TRUE(FakeFsExists(u"C:\\advlf\\dir\\big.bin"));

    FakeFsReset();
    FakeFsAddFile(u"C:\\advlf\\dir\\big.bin", big);
    entry = listed(u"C:\\advlf\\dir\\big.bin");
    EXPECT_EQ(ActOnListedFile(entry, false), LISTED_FILE_OK);
    EXPECT_EQ(ActOnListedFile(entry, true), LISTED_FILE_OK);
    EXPECT_FALSE(FakeFsExists(u"C:\\advlf\\dir\\big.bin"));
    EXPECT_EQ(ActOnListedFile(entry, true), LISTED_FILE_CHANGED) << "gone";
}

}  // namespace
