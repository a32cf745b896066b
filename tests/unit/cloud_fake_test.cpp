// Cloud files "on demand" (and archived ones): whatever looks at them, a
// measurement, a preview, a cleaning run, the large-file search or the
// space view, works from the directory entry alone. The fake counts every
// open that would make Windows fetch such a file or folder.
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "engine/measure.h"
#include "engine/preview.h"
#include "largefiles/scanner.h"
#include "largefiles/space_scan.h"
#include "tests/fakefs/fakefs.h"
#include "tests/support/items.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr uint64_t MiB = 1048576;

void Seed() {
    FakeFsReset();
    FakeFsAddDrive(u"C:\\", FS_DRIVE_FIXED);
    FakeFsAddFile(u"C:\\loc\\cloud.bin", 200 * MiB, FS_ATTR_RECALL_ON_DATA_ACCESS);
    FakeFsAddFile(u"C:\\loc\\archived.bin", 150 * MiB, FS_ATTR_OFFLINE);
    FakeFsAddDir(u"C:\\loc\\online", FS_ATTR_RECALL_ON_OPEN);
    FakeFsAddFile(u"C:\\loc\\online\\inside.bin", 300 * MiB);
    FakeFsAddFile(u"C:\\loc\\plain.tmp", 10);
}

TEST(CloudFake, NothingLooksInsideACloudEntry) {
    Seed();
    TestItem item(u"C:\\loc", CM_CONTENTS);
    // Measured from the listing: the files' sizes, the folder not entered.
    EXPECT_EQ(MeasureItem(&item.item), 350 * MiB + 10);
    FileCollector collected;
    CollectItemFiles(item.item, &collected);
    EXPECT_EQ(collected.count, 3u);

    LargeFileEntry* found = nullptr;
    int32_t count = 0;
    ASSERT_EQ(ScanLargeFiles(u"C:\\", 100 * MiB, &found, &count, nullptr, nullptr, nullptr), 0);
    std::unique_ptr<LargeFileEntry, void (*)(void*)> owned(found, std::free);
    ASSERT_EQ(count, 2) << "the files inside the cloud folder are not looked for";
    // Their data is not on the drive: they take what the listing says.
    for (int32_t i = 0; i < count; ++i) EXPECT_EQ(found[i].space, 0u);

    SpaceTree* tree = nullptr;
    ASSERT_EQ(ScanSpaceTreeWalk(u"C:\\", 0, &tree, nullptr, nullptr, nullptr), 0);
    delete tree;
    EXPECT_EQ(FakeFsRecalls(), 0);
}

TEST(CloudFake, ACleaningRunDeletesTheEntriesAndLeavesTheFolder) {
    Seed();
    TestItem item(u"C:\\loc", CM_CONTENTS);
    uint64_t freed = 0;
    CleanItem(&item.item, &freed);
    EXPECT_FALSE(FakeFsExists(u"C:\\loc\\cloud.bin"));
    EXPECT_FALSE(FakeFsExists(u"C:\\loc\\archived.bin"));
    EXPECT_FALSE(FakeFsExists(u"C:\\loc\\plain.tmp"));
    EXPECT_TRUE(FakeFsExists(u"C:\\loc\\online\\inside.bin"));
    EXPECT_EQ(FakeFsRecalls(), 0);
}

}  // namespace
