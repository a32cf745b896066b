// The scanner on the file system this binary is linked with, with sparse
// files around the combo's thresholds.
#include "largefiles/scanner.h"
#include "tests/support/tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

class ScannerScenario : public ::testing::Test {
protected:
    void SetUp() override { TreeFresh(); }
    void TearDown() override { TreeRemove(); }

    std::vector<std::pair<std::u16string, uint64_t>> Scan(uint64_t minimum) {
        LargeFileEntry* entries = nullptr;
        int32_t count = 0;
        EXPECT_EQ(ScanLargeFiles(TreeRoot().c_str(), minimum, &entries, &count, nullptr, nullptr, nullptr), 0);
        std::vector<std::pair<std::u16string, uint64_t>> out;
        for (int32_t i = 0; i < count; ++i) out.emplace_back(entries[i].path + TreeRoot().size() + 1, entries[i].size);
        std::free(entries);
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(ScannerScenario, SparseFilesAroundTheThresholdsWithExactSizes) {
    const uint64_t mib = 1048576;
    TreeFile(u"at50.bin", 50 * mib);
    TreeFile(u"under50.bin", 50 * mib - 1);
    TreeFile(u"a\\b\\c\\at100.iso", 100 * mib);
    TreeFile(u"a\\over500.vhd", 500 * mib + 1);
    TreeFile(u"Recovery\\skip.wim", 600 * mib);
    TreeFile(u"a\\Recovery", 600 * mib);
    TreeFile(u"$RECYCLE.BIN\\gig.bin", 1024 * mib);
    TreeFile(u"ro\\readonly.bin", 60 * mib, 0x01);

    auto found = Scan(50 * mib);
    std::vector<std::pair<std::u16string, uint64_t>> expected = {
        {u"$RECYCLE.BIN\\gig.bin", 1024 * mib}, {u"a\\b\\c\\at100.iso", 100 * mib}, {u"a\\over500.vhd", 500 * mib + 1},
        {u"at50.bin", 50 * mib},                {u"ro\\readonly.bin", 60 * mib}};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(Scan(500 * mib).size(), 2u);
    EXPECT_EQ(Scan(1024 * mib).size(), 1u);
}

TEST_F(ScannerScenario, LinkToAFolderWithALargeFileIsNotFollowed) {
    TreeFile(u"outside\\huge.bin", 200 * 1048576ull);
    if (!TreeDirLink(u"inside\\link", u"outside")) GTEST_SKIP() << "no directory links on " << TreeBackendName();
    TreeFileLink(u"inside\\filelink.bin", u"outside\\huge.bin");
    auto found = Scan(1);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, u"outside\\huge.bin");
}

}  // namespace
