// The preview is the run's contract: for every way an item removes, the
// files it lists are exactly the files a run of that item deletes.
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "engine/measure.h"
#include "engine/preview.h"
#include "tests/fakefs/fakefs.h"
#include "tests/support/items.h"
#include "text/text16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>

namespace {

std::u16string Folded(const char16_t* path) {
    std::u16string out(path);
    for (char16_t& c : out) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    return out;
}

void Seed() {
    FakeFsReset();
    FakeFsAddFile(u"C:\\loc\\a.tmp", 10);
    FakeFsAddFile(u"C:\\loc\\b.log", 20);
    FakeFsAddFile(u"C:\\loc\\keep.txt", 30);
    FakeFsAddFile(u"C:\\loc\\sub\\c.tmp", 40);
    FakeFsAddFile(u"C:\\loc\\sub\\deep\\d.bin", 50);
    FakeFsAddFile(u"C:\\loc\\p1\\cache2\\e", 60);
    FakeFsAddFile(u"C:\\loc\\p1\\other\\f", 70);
    FakeFsAddFile(u"C:\\outside\\x", 1000);
    FakeFsAddLink(u"C:\\loc\\shortcut", u"C:\\outside\\x", false);
    FakeFsAddLink(u"C:\\loc\\p1\\junction", u"C:\\outside", true);
    FakeFsAddDrive(u"C:\\", FS_DRIVE_FIXED);
    FakeFsAddFile(u"C:\\$Recycle.Bin\\S-1-5-21-7-1001\\$Rabc.doc", 80);
    FakeFsAddFile(u"C:\\store\\old_pkg\\old.sys", 90);
    FsDriverPackage package{};
    Text16CopyTruncated(package.published, 32, u"oem1.inf");
    Text16CopyTruncated(package.original, 64, u"x.inf");
    Text16CopyTruncated(package.driverVer, 64, u"01/01/2020,1.0.0.0");
    Text16CopyTruncated(package.storeFolder, 260, u"C:\\store\\old_pkg");
    FakeFsAddDriverPackage(package, false);
    Text16CopyTruncated(package.published, 32, u"oem2.inf");
    Text16CopyTruncated(package.driverVer, 64, u"01/01/2024,2.0.0.0");
    Text16CopyTruncated(package.storeFolder, 260, u"C:\\store\\new_pkg");
    FakeFsAddDriverPackage(package, false);
    FakeFsAddFile(u"C:\\store\\new_pkg\\new.sys", 100);
}

TEST(Preview, ListsExactlyWhatARunDeletesInEveryMode) {
    struct Case {
        int32_t mode;
        std::initializer_list<const char16_t*> patterns;
        size_t files;
    } const cases[] = {
        {CM_CONTENTS, {}, 8},
        {CM_WHOLE_DIR, {}, 8},
        {CM_MATCH_FILES, {u"*.tmp", u"*.log", u"s*"}, 5},
        {CM_MATCH_SUBDIRS, {u"*\\cache2", u"sub\\deep", u"missing\\x"}, 2},
        {CM_RECYCLE_BIN, {}, 1},
        {CM_DRIVER_PACKAGES, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Seed();
        TestItem item(u"C:\\loc", c.mode, c.patterns);
        FileCollector preview;
        CollectItemFiles(item.item, &preview);
        std::set<std::u16string> listed;
        for (const PreviewFile& file : preview.largest) listed.insert(Folded(file.path));
        EXPECT_EQ(preview.count, c.files);
        EXPECT_EQ(listed.size(), c.files) << "a file listed twice";
        EXPECT_EQ(preview.bytes, MeasureItem(&item.item));
        EXPECT_TRUE(std::is_sorted(preview.largest.begin(), preview.largest.end(),
                                   [](const PreviewFile& a, const PreviewFile& b) { return a.size > b.size; }));

        std::vector<std::u16string> before = FakeFsFiles();
        CleanItem(&item.item, nullptr);
        std::vector<std::u16string> after = FakeFsFiles();
        std::set<std::u16string> removed(before.begin(), before.end());
        for (const std::u16string& kept : after) removed.erase(kept);
        EXPECT_EQ(listed, removed);
    }
}

// More files than the list holds: the largest are kept, all are counted.
TEST(Preview, KeepsTheLargestAndCountsTheRest) {
    FakeFsReset();
    for (int i = 0; i < kPreviewMostFiles + 200; ++i)
        FakeFsAddFile((u"C:\\many\\f" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                       std::u16string(1, static_cast<char16_t>(u'a' + (i / 26) % 26)) +
                       std::u16string(1, static_cast<char16_t>(u'a' + i / 676)))
                          .c_str(),
                      static_cast<uint64_t>(i + 1));
    TestItem item(u"C:\\many", CM_CONTENTS);
    FileCollector preview;
    CollectItemFiles(item.item, &preview);
    ASSERT_EQ(preview.largest.size(), static_cast<size_t>(kPreviewMostFiles));
    EXPECT_EQ(preview.count, static_cast<uint64_t>(kPreviewMostFiles + 200));
    EXPECT_EQ(preview.largest.front().size, static_cast<uint64_t>(kPreviewMostFiles + 200));
    EXPECT_EQ(preview.largest.back().size, 201u);
    const uint64_t n = kPreviewMostFiles + 200;
    EXPECT_EQ(preview.bytes, n * (n + 1) / 2);
    FakeFsReset();
}

// The window reads the count while the walk runs, and its 关闭 stops the walk
// at the next entry, however deep.
TEST(Preview, PublishesItsCountAndStopsWhenAsked) {
    FakeFsReset();
    for (int d = 0; d < 10; ++d)
        for (int f = 0; f < 10; ++f)
            FakeFsAddFile((u"C:\\many\\d" + std::u16string(1, static_cast<char16_t>(u'0' + d)) + u"\\f" +
                           std::u16string(1, static_cast<char16_t>(u'0' + f)))
                              .c_str(),
                          1);
    TestItem item(u"C:\\many", CM_CONTENTS);
    std::atomic<uint64_t> found{0};
    std::atomic<bool> stop{false};
    FileCollector preview;
    preview.found = &found;
    preview.stop = &stop;
    CollectItemFiles(item.item, &preview);
    EXPECT_EQ(found.load(), 100u);
    EXPECT_EQ(preview.count, 100u);

    stop.store(true);
    found.store(0);
    CollectItemFiles(item.item, &preview);
    EXPECT_LE(preview.count, 1u);
    EXPECT_EQ(found.load(), preview.count);
    FakeFsReset();
}

}  // namespace
