// The MFT reader on real NTFS volumes made by mkntfs and filled through an
// ntfs-3g mount, against the walk over the same volume mounted again.
#include "largefiles/mft.h"
#include "largefiles/scanner.h"
#include "largefiles/space_scan.h"
#include "text/text16.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const uint64_t kMinimum = 1048576;

struct Found {
    std::u16string path;
    uint64_t size;
    uint64_t space = 0;
    uint64_t modified = 0;
};

bool ReadImage(void* volume, uint64_t offset, void* buffer, size_t length) {
    int fd = *static_cast<int*>(volume);
    return pread(fd, buffer, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
}

std::vector<Found> Take(LargeFileEntry* entries, int32_t count) {
    std::vector<Found> out;
    for (int32_t i = 0; i < count; ++i) out.push_back(Found{entries[i].path, entries[i].size, entries[i].space, entries[i].modified});
    std::free(entries);
    return out;
}

std::u16string Utf16(const std::string& text) {
    std::vector<char16_t> out(text.size() + 1);
    Utf8ToUtf16(text.c_str(), out.data(), out.size());
    return out.data();
}

std::string Utf8(const std::u16string& text) {
    std::vector<char> out(text.size() * 3 + 1);
    Utf16ToUtf8(text.c_str(), out.data(), out.size());
    return out.data();
}

// Case folding as the volume's $UpCase does it for the names used here.
char16_t Up(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c;
}

bool CollatesBefore(const std::u16string& a, const std::u16string& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (Up(a[i]) != Up(b[i])) return Up(a[i]) < Up(b[i]);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

std::vector<std::u16string> Components(const std::u16string& path) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == u'\\') {
            parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// The walk's order when each listing comes in collation order: a folder's
// files as listed, then its subfolders, the last listed first.
bool WalkOrder(const Found& x, const Found& y) {
    std::vector<std::u16string> a = Components(x.path), b = Components(y.path);
    size_t k = 0;
    while (k < a.size() && k < b.size() && a[k] == b[k]) ++k;
    const bool aFile = k + 1 == a.size(), bFile = k + 1 == b.size();
    if (aFile != bFile) return aFile;
    if (aFile) return CollatesBefore(a[k], b[k]);
    return CollatesBefore(b[k], a[k]);
}

class MftImage : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        char dir[] = "/tmp/norvale-ntfs-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        image_ = dir_ + "/volume.img";
        const std::string command = std::string("bash '") + NORVALE_SOURCE_DIR + "/tests/ntfs/make-image.sh' '" + image_ +
                                    "' " + std::to_string(GetParam()) + " >/dev/null 2>&1";
        int status = std::system(command.c_str());
        if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mkntfs, ntfs-3g or FUSE mount here";
        ASSERT_EQ(status, 0) << command;
    }
    void TearDown() override {
        if (!mount_.empty()) std::system(("umount '" + mount_ + "' 2>/dev/null; rmdir '" + mount_ + "'").c_str());
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    int32_t Read(const char16_t* root, std::vector<Found>* found, ScanCancelledCallback cancelled = nullptr) {
        int fd = open(image_.c_str(), O_RDONLY);
        EXPECT_GE(fd, 0);
        LargeFileEntry* entries = nullptr;
        int32_t count = -7;
        int32_t result = ScanMftLargeFiles(ReadImage, &fd, root, 1, &entries, &count, nullptr, cancelled, nullptr);
        close(fd);
        if (result == 0) *found = Take(entries, count);
        return result;
    }

    std::string Mount() {
        mount_ = dir_ + "/mnt";
        std::system(("mkdir -p '" + mount_ + "' && ntfs-3g -o ro '" + image_ + "' '" + mount_ + "'").c_str());
        return mount_;
    }

    std::string dir_, image_, mount_;
};

TEST_P(MftImage, FindsWhatTheWalkFindsInTheWalksOrder) {
    const std::string mount = Mount();
    const std::u16string root = Utf16(mount);
    std::vector<Found> read;
    ASSERT_EQ(Read(root.c_str(), &read), 0);
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    // Every file with a byte in it: small sizes kept in the record too.
    ASSERT_EQ(ScanLargeFiles(root.c_str(), 1, &entries, &count, nullptr, nullptr, nullptr), 0);
    std::vector<Found> walked = Take(entries, count);

    std::map<std::string, uint64_t> fromMft, fromWalk;
    for (const Found& f : read) fromMft[Utf8(f.path.substr(root.size()))] = f.size;
    for (const Found& f : walked) fromWalk[Utf8(f.path.substr(root.size()))] = f.size;
    for (const auto& f : fromMft) {
        auto w = fromWalk.find(f.first);
        if (w == fromWalk.end()) ADD_FAILURE() << "only the reader found " << f.first;
        else if (w->second != f.second) ADD_FAILURE() << f.first << ": " << f.second << " read, " << w->second << " walked";
    }
    for (const auto& w : fromWalk) {
        if (!fromMft.count(w.first)) ADD_FAILURE() << "only the walk found " << w.first;
    }
    // $STANDARD_INFORMATION's last write is what ntfs-3g gives as st_mtim.
    std::map<std::string, uint64_t> writtenWalked;
    for (const Found& f : walked) writtenWalked[Utf8(f.path.substr(root.size()))] = f.modified;
    for (const Found& f : read) {
        const std::string path = Utf8(f.path.substr(root.size()));
        EXPECT_GT(f.modified, 130000000000000000ull) << path << ": a time after 2012";
        EXPECT_EQ(f.modified, writtenWalked[path]) << path;
    }

    EXPECT_EQ(fromMft.count("\\$RECYCLE.BIN\\found.bin"), 1u);
    EXPECT_EQ(fromMft.count("\\recovery\\found.bin"), 1u);
    EXPECT_EQ(fromMft.count("\\target\\behind.bin"), 1u);
    EXPECT_EQ(fromMft.count("\\reparse-file.bin"), 0u) << "a reparse point that is no link";
    EXPECT_EQ(fromMft["\\sparse\\five.bin"], 5368709120u);
    EXPECT_EQ(fromMft["\\streams\\big-with-stream.bin"], 2097152u);
    EXPECT_EQ(fromMft["\\streams\\small-with-stream.bin"], 1u) << "the stream is no part of the size";
    EXPECT_EQ(fromMft["\\small.txt"], 5u);
    EXPECT_EQ(fromMft["\\under.bin"], 1048575u);
    EXPECT_EQ(fromMft.count("\\links\\b\\other-name.bin"), 1u);
    EXPECT_EQ(fromMft.count("\\many\\link-with-a-long-name-to-fill-the-record-400.bin"), 1u) << "names in extension records";
    EXPECT_EQ(fromMft.count("\\emoji\\😀 smile.bin"), 1u);
    EXPECT_EQ(fromMft.count("\\deep\\d1\\d2\\d3\\d4\\d5\\d6\\d7\\d8\\d9\\d10\\d11\\d12\\d13\\d14\\d15\\d16\\d17\\d18\\d19\\d20"
                            "\\d21\\d22\\d23\\d24\\d25\\d26\\d27\\d28\\d29\\f29.bin"),
              1u);
    EXPECT_EQ(fromMft.size(), 56u + 401u) << "the set changed: review the image";

    std::vector<Found> expected = read;
    std::stable_sort(expected.begin(), expected.end(), WalkOrder);
    for (size_t i = 0; i < read.size(); ++i) {
        ASSERT_EQ(Utf8(read[i].path), Utf8(expected[i].path)) << "position " << i;
    }
}

struct TreeRow {
    uint64_t size;
    uint32_t files, folders;
    uint8_t flags;
    uint64_t modified;
};

// Every folder of the tree by its path below the root.
void Flatten(const SpaceTree& tree, uint32_t folder, const std::string& path, std::map<std::string, TreeRow>* out) {
    const SpaceFolder& f = tree.Folder(folder);
    (*out)[path] = TreeRow{f.size, f.files, f.folders, f.flags, f.modified};
    for (uint32_t child : tree.Children(folder))
        Flatten(tree, child, path + "\\" + Utf8(tree.Name(tree.Folder(child).name)), out);
}

TEST_P(MftImage, TheTreeFromTheMftIsTheWalksTree) {
    const std::string mount = Mount();
    int fd = open(image_.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    SpaceTree* read = nullptr;
    ASSERT_EQ(ScanSpaceTreeMft(ReadImage, &fd, &read, nullptr, nullptr, nullptr), 0);
    close(fd);
    SpaceTree* walked = nullptr;
    ASSERT_EQ(ScanSpaceTreeWalk(Utf16(mount).c_str(), 0, &walked, nullptr, nullptr, nullptr), 0);
    std::map<std::string, TreeRow> fromMft, fromWalk;
    Flatten(*read, 0, "", &fromMft);
    Flatten(*walked, 0, "", &fromWalk);
    delete read;
    delete walked;

    // links\a\linked.bin is links\b\other-name.bin: each way counts it once,
    // under the name it meets first, so only their parent must agree.
    auto compared = [](const std::string& path) { return path.rfind("\\links\\", 0) != 0; };
    // reparse-file.bin is a deduplicated file: the MFT reads its tag and
    // counts it; ntfs-3g shows a reparse point it cannot follow as a
    // symbolic link, which the walk counts as 0 (a Windows listing gives
    // the tag, and the walk there counts it too).
    ASSERT_EQ(fromMft[""].size, fromWalk[""].size + 2u * 1048576u);
    fromWalk[""].size = fromMft[""].size;
    for (const auto& m : fromMft) {
        if (!compared(m.first)) continue;
        auto w = fromWalk.find(m.first);
        if (w == fromWalk.end()) {
            ADD_FAILURE() << "only the MFT has " << m.first;
            continue;
        }
        EXPECT_EQ(m.second.size, w->second.size) << m.first;
        EXPECT_EQ(m.second.files, w->second.files) << m.first;
        EXPECT_EQ(m.second.folders, w->second.folders) << m.first;
        EXPECT_EQ(m.second.flags, w->second.flags) << m.first;
        // The newest file below: reparse-file.bin, counted by the MFT alone,
        // may be the root's newest.
        if (!m.first.empty()) EXPECT_EQ(m.second.modified, w->second.modified) << m.first;
    }
    for (const auto& w : fromWalk) {
        if (compared(w.first) && !fromMft.count(w.first)) ADD_FAILURE() << "only the walk has " << w.first;
    }
    EXPECT_EQ(fromMft["\\junction"].flags, SPACE_LINK);
    EXPECT_EQ(fromMft["\\many"].size, 2u * 1048576u) << "400 names of one file count once";
    EXPECT_EQ(fromMft["\\deep"].folders, 34u) << "no depth limit";
    EXPECT_EQ(fromMft["\\links"].size, 4u * 1048576u);
}

// The committed images (tests/ntfs/make-fixtures.sh made them, with what the
// walk found on each mounted): no FUSE needed.
class MftFixture : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        base_ = std::string(NORVALE_SOURCE_DIR) + "/tests/ntfs/" + GetParam();
        char image[] = "/tmp/norvale-fixture-XXXXXX";
        int fd = mkstemp(image);
        ASSERT_GE(fd, 0);
        close(fd);
        image_ = image;
        ASSERT_EQ(std::system(("xz -dc '" + base_ + ".img.xz' > '" + image_ + "'").c_str()), 0);
    }
    void TearDown() override { unlink(image_.c_str()); }

    int32_t Read(std::vector<Found>* found, ScanCancelledCallback cancelled = nullptr) {
        int fd = open(image_.c_str(), O_RDONLY);
        LargeFileEntry* entries = nullptr;
        int32_t count = 0;
        const uint64_t minimum = std::string(GetParam()).rfind("fragmented", 0) == 0 ? 1 : kMinimum;
        reports_.clear();
        auto progress = [](int32_t percent, int32_t folders, int32_t files, void* context) {
            static_cast<std::vector<std::vector<int32_t>>*>(context)->push_back({percent, folders, files});
        };
        const int32_t result =
            ScanMftLargeFiles(ReadImage, &fd, u"C:\\", minimum, &entries, &count, progress, cancelled, &reports_);
        close(fd);
        if (result == 0) *found = Take(entries, count);
        return result;
    }

    std::string base_, image_;
    std::vector<std::vector<int32_t>> reports_;  // percent, folders, files
};

TEST_P(MftFixture, ReadsWhatTheWalkFoundInTheWalksOrder) {
    std::vector<Found> read;
    ASSERT_EQ(Read(&read), 0);
    // Progress: the percent of records read climbs to 99 while reading, then 100.
    ASSERT_GE(reports_.size(), 2u);
    for (size_t i = 1; i + 1 < reports_.size(); ++i) {
        EXPECT_LE(reports_[i - 1][0], reports_[i][0]);
        EXPECT_LE(reports_[i][0], 99);
    }
    EXPECT_EQ(reports_.back()[0], 100);
    EXPECT_GT(reports_.back()[1], 0) << "folders seen";
    std::vector<std::string> lines;
    for (const Found& f : read) lines.push_back(std::to_string(f.size) + "\t" + Utf8(f.path));
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> expected;
    FILE* file = std::fopen((base_ + ".expected").c_str(), "r");
    ASSERT_NE(file, nullptr);
    char line[2048];
    while (std::fgets(line, sizeof line, file)) expected.push_back(std::string(line, std::strcspn(line, "\n")));
    std::fclose(file);
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i], expected[i]);

    std::vector<Found> ordered = read;
    std::stable_sort(ordered.begin(), ordered.end(), WalkOrder);
    for (size_t i = 0; i < read.size(); ++i) ASSERT_EQ(Utf8(read[i].path), Utf8(ordered[i].path)) << "position " << i;
}

// The scenario images' files were made with truncate: sparse, they take no
// clusters while their length says megabytes or gigabytes. The fragmented
// image's files hold written data, its sparse-large.bin excepted: they take
// at least their length.
TEST_P(MftFixture, SpaceIsWhatAFileTakesNotItsLength) {
    std::vector<Found> read;
    ASSERT_EQ(Read(&read), 0);
    const bool written = std::string(GetParam()).rfind("fragmented", 0) == 0;
    size_t sparse = 0;
    for (const Found& f : read) {
        sparse += f.space < f.size ? 1 : 0;
        if (written && Utf8(f.path).find("sparse") == std::string::npos) EXPECT_GE(f.space, f.size) << Utf8(f.path);
        if (written && Utf8(f.path).find("sparse") != std::string::npos) EXPECT_LT(f.space, f.size);
    }
    if (!written) EXPECT_GT(sparse, read.size() / 2) << "space is the allocated size, not the length";
}

TEST_P(MftFixture, ACancelledReadPublishesAnEmptyArray) {
    std::vector<Found> read = {Found{u"stale", 1}};
    ASSERT_EQ(Read(&read, [] { return true; }), 0);
    EXPECT_TRUE(read.empty());
}

INSTANTIATE_TEST_SUITE_P(Images, MftFixture, ::testing::Values("scenario-1024", "scenario-4096", "fragmented-1024"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name;
                             for (const char* c = info.param; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

INSTANTIATE_TEST_SUITE_P(RecordSizes, MftImage, ::testing::Values(512, 4096),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 512 ? std::string("Records1024") : std::string("Records4096");
                         });

// Damaged volumes made by tests/ntfs/make-crafted.py from scenario-1024.
// The reader lists only what it can vouch for: a $MFT with a sparse run, or
// one claiming more records than its volume has room for, is no MFT (the
// reader once filled a hole with zeros for hours), and two records that
// claim one name in one folder are neither listed, whatever their sizes.
int32_t ReadCrafted(const char* name, std::vector<Found>* found) {
    char image[] = "/tmp/norvale-crafted-XXXXXX";
    int fd = mkstemp(image);
    if (fd < 0) return 99;
    close(fd);
    const std::string source = std::string(NORVALE_SOURCE_DIR) + "/tests/ntfs/" + name + ".img.xz";
    if (std::system(("xz -dc '" + source + "' > '" + image + "'").c_str()) != 0) return 98;
    fd = open(image, O_RDONLY);
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    const int32_t result = ScanMftLargeFiles(ReadImage, &fd, u"C:\\", kMinimum, &entries, &count, nullptr, nullptr, nullptr);
    close(fd);
    unlink(image);
    if (result == 0) *found = Take(entries, count);
    return result;
}

TEST(MftCrafted, ASparseMftIsNoMftToTrust) {
    std::vector<Found> found;
    EXPECT_EQ(ReadCrafted("crafted-hang", &found), kScanNotNtfs);
}

TEST(MftCrafted, AnMftLargerThanItsVolumeIsNoMftToTrust) {
    std::vector<Found> found;
    EXPECT_EQ(ReadCrafted("crafted-overclaim", &found), kScanNotNtfs);
    EXPECT_TRUE(found.empty());
}

// Its records lie past the image's end: no sink may take room for them
// (2^38 records) before a read fails.
TEST(MftCrafted, AnMftPastTheDisksEndIsNoMftToTrust) {
    std::vector<Found> found;
    EXPECT_EQ(ReadCrafted("crafted-overlong", &found), kScanNotNtfs);
    char image[] = "/tmp/norvale-crafted-XXXXXX";
    int fd = mkstemp(image);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string source = std::string(NORVALE_SOURCE_DIR) + "/tests/ntfs/crafted-overlong.img.xz";
    ASSERT_EQ(std::system(("xz -dc '" + source + "' > '" + image + "'").c_str()), 0);
    fd = open(image, O_RDONLY);
    SpaceTree* tree = nullptr;
    EXPECT_EQ(ScanSpaceTreeMft(ReadImage, &fd, &tree, nullptr, nullptr, nullptr), kScanNotNtfs);
    delete tree;
    close(fd);
    unlink(image);
}

TEST(MftCrafted, TwoRecordsClaimingOneNameAreNeitherListed) {
    std::vector<Found> found;
    ASSERT_EQ(ReadCrafted("crafted-collision", &found), 0);
    size_t others = 0;
    for (const Found& f : found) {
        EXPECT_NE(Utf8(f.path), "C:\\case\\Abc.bin");
        EXPECT_NE(Utf8(f.path), "C:\\case\\ABD.bin");
        // exact.bin's record claims the name of under.bin, below the minimum.
        EXPECT_NE(Utf8(f.path), "C:\\under.bin") << "a false file at " << f.size << " bytes";
        EXPECT_NE(Utf8(f.path), "C:\\exact.bin");
        others += Utf8(f.path).rfind("C:\\case\\", 0) == 0 ? 1 : 0;
    }
    EXPECT_GT(found.size(), 10u) << "the rest of the volume is still listed";
    EXPECT_GT(others, 0u) << "the folder's other files are still listed";
}

}  // namespace
