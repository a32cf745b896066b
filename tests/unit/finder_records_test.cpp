// The rules the MFT's two sinks share (finder.h), on made-up records fed to
// both, no image needed: a name written for a folder since deleted (a stale
// parent sequence), an extension record written for an earlier file in its
// base record, a name holding a separator. Neither the large-file list nor
// the space tree may show them; the sound records beside them are shown.
#include "largefiles/mft.h"
#include "largefiles/mft_reader.h"
#include "largefiles/space_scan.h"
#include "largefiles/space_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using ntfs::Name;
using ntfs::RecordFacts;

constexpr uint64_t MiB = 1048576;
constexpr uint16_t kRootSequence = 5;

RecordFacts Folder(uint16_t sequence, uint64_t parent, uint16_t parentSequence, const char16_t* name) {
    RecordFacts facts{};
    facts.sequence = sequence;
    facts.directory = true;
    if (name) facts.names.push_back(Name{parent, parentSequence, 1, name});
    return facts;
}

RecordFacts File(uint16_t sequence, uint64_t parent, uint16_t parentSequence, const char16_t* name, uint64_t size) {
    RecordFacts facts{};
    facts.sequence = sequence;
    facts.hasSize = true;
    facts.size = size;
    facts.space = size;
    if (name) facts.names.push_back(Name{parent, parentSequence, 1, name});
    return facts;
}

// A file whose names an attribute list keeps in an extension record.
std::vector<std::pair<uint64_t, RecordFacts>> Listed(uint64_t base, uint16_t sequence, uint64_t extension,
                                                     uint16_t writtenFor, const char16_t* name) {
    RecordFacts facts = File(sequence, 0, 0, nullptr, 3 * MiB);
    facts.hasList = true;
    RecordFacts part = File(1, ntfs::kRootRecord, kRootSequence, name, 0);
    part.hasSize = false;
    part.base = base;
    part.baseSequence = writtenFor;
    return {{base, facts}, {extension, part}};
}

struct Shown {
    std::vector<std::u16string> paths;  // the large-file list's
    uint64_t treeSize = 0;              // the tree's root
    uint32_t treeFiles = 0;
};

Shown Feed(const std::vector<std::pair<uint64_t, RecordFacts>>& records) {
    Shown shown;
    auto copy = records;
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    EXPECT_EQ(ScanRecordsLargeFiles(copy, u"C:\\", MiB, &entries, &count), 0);
    for (int32_t i = 0; i < count; ++i) shown.paths.push_back(entries[i].path);
    std::free(entries);
    copy = records;
    SpaceTree* raw = nullptr;
    EXPECT_EQ(ScanSpaceTreeRecords(copy, &raw), 0);
    std::unique_ptr<SpaceTree> tree(raw);
    if (tree) {
        shown.treeSize = tree->Folder(0).size;
        shown.treeFiles = tree->Folder(0).files;
    }
    return shown;
}

// The volume every case adds to: the root, folder "dir" (record 30,
// sequence 2) holding good.bin.
std::vector<std::pair<uint64_t, RecordFacts>> Volume() {
    return {{ntfs::kRootRecord, Folder(kRootSequence, ntfs::kRootRecord, kRootSequence, u".")},
            {30, Folder(2, ntfs::kRootRecord, kRootSequence, u"dir")},
            {31, File(1, 30, 2, u"good.bin", 2 * MiB)}};
}

TEST(FinderRecords, TheSoundVolumeIsShownByBothSinks) {
    auto records = Volume();
    const auto listed = Listed(40, 4, 41, 4, u"parts.bin");
    records.insert(records.end(), listed.begin(), listed.end());
    const Shown shown = Feed(records);
    EXPECT_EQ(shown.paths, (std::vector<std::u16string>{u"C:\\parts.bin", u"C:\\dir\\good.bin"}));
    EXPECT_EQ(shown.treeSize, 5 * MiB);
    EXPECT_EQ(shown.treeFiles, 2u);
}

TEST(FinderRecords, ANameWrittenForAnEarlierFolderInItsRecordIsShownByNeither) {
    auto records = Volume();
    records.push_back({32, File(1, 30, 1, u"stale.bin", 7 * MiB)});  // dir's record held sequence 1 then
    const Shown shown = Feed(records);
    EXPECT_EQ(shown.paths, (std::vector<std::u16string>{u"C:\\dir\\good.bin"}));
    EXPECT_EQ(shown.treeSize, 2 * MiB);
    EXPECT_EQ(shown.treeFiles, 1u);
}

TEST(FinderRecords, AnExtensionRecordWrittenForAnEarlierFileIsNotItsBasesPart) {
    auto records = Volume();
    const auto listed = Listed(40, 4, 41, 3, u"stale-part.bin");
    records.insert(records.end(), listed.begin(), listed.end());
    const Shown shown = Feed(records);
    EXPECT_EQ(shown.paths, (std::vector<std::u16string>{u"C:\\dir\\good.bin"}));
    EXPECT_EQ(shown.treeSize, 2 * MiB) << "a file without a name of its own is in no folder";
}

TEST(FinderRecords, ANameThatNoWin32FolderCanHoldIsShownByNeither) {
    for (const char16_t* bad : {u"dir\\good.bin", u"a/b.bin", u"x:stream", u"..", u"tab\there"}) {
        auto records = Volume();
        records.push_back({33, File(1, ntfs::kRootRecord, kRootSequence, bad, 4 * MiB)});
        records.push_back({34, Folder(1, ntfs::kRootRecord, kRootSequence, bad)});
        records.push_back({35, File(1, 34, 1, u"inside.bin", 6 * MiB)});
        const Shown shown = Feed(records);
        EXPECT_EQ(shown.paths, (std::vector<std::u16string>{u"C:\\dir\\good.bin"})) << std::string(bad, bad + 2);
        EXPECT_EQ(shown.treeSize, 2 * MiB);
    }
}

TEST(FinderRecords, ALongNameShadowsItsDosNameInOneFolder) {
    auto records = Volume();
    RecordFacts folder = Folder(1, ntfs::kRootRecord, kRootSequence, u"PROGRA~1");
    folder.names[0].nameSpace = ntfs::kNamespaceDos;
    folder.names.push_back(Name{ntfs::kRootRecord, kRootSequence, 1, u"Program Files"});
    records.push_back({36, folder});
    RecordFacts file = File(1, 36, 1, u"Setup Data.bin", 3 * MiB);
    file.names.push_back(Name{36, 1, ntfs::kNamespaceDos, u"SETUPD~1.BIN"});
    records.push_back({37, file});
    // A folder has one parent: a damaged one named in two takes its long name's.
    RecordFacts twice = Folder(1, ntfs::kRootRecord, kRootSequence, u"ELSEWH~1");
    twice.names[0].nameSpace = ntfs::kNamespaceDos;
    twice.names.push_back(Name{30, 2, 1, u"Elsewhere"});
    records.push_back({38, twice});
    records.push_back({39, File(1, 38, 1, u"big.bin", 4 * MiB)});
    const Shown shown = Feed(records);
    EXPECT_EQ(shown.paths, (std::vector<std::u16string>{u"C:\\dir\\good.bin", u"C:\\dir\\Elsewhere\\big.bin",
                                                         u"C:\\Program Files\\Setup Data.bin"}));
    EXPECT_EQ(shown.treeSize, 9 * MiB);
    EXPECT_EQ(shown.treeFiles, 3u);
}

// The search enters only folders with a result below, but every folder's
// name still counts in its own folder: an empty folder and a large file
// claiming one name are neither listed; a result beside them still is.
TEST(FinderRecords, AFolderWithNothingFoundStillClaimsItsName) {
    auto records = Volume();
    records.push_back({50, Folder(1, 30, 2, u"twin.bin")});
    records.push_back({51, File(1, 30, 2, u"twin.bin", 6 * MiB)});
    records.push_back({52, Folder(1, 30, 2, u"empty")});
    records.push_back({53, File(1, 52, 1, u"small.txt", 10)});
    const Shown shown = Feed(records);
    EXPECT_EQ(shown.paths, (std::vector<std::u16string>{u"C:\\dir\\good.bin"}));
}

// A parent reference is 48 bits off the disk: one past the MFT's records
// names no folder, and must not have a sink make room up to it.
TEST(FinderRecords, AParentPastTheMftIsNoFolder) {
    auto records = Volume();
    records.push_back({40, File(1, uint64_t{1} << 40, 1, u"far.bin", 5 * MiB)});
    records.push_back({41, Folder(1, uint64_t{1} << 44, 1, u"far")});
    records.push_back({42, File(1, 41, 1, u"below.bin", 6 * MiB)});
    const Shown shown = Feed(records);
    EXPECT_EQ(shown.paths, (std::vector<std::u16string>{u"C:\\dir\\good.bin"}));
    EXPECT_EQ(shown.treeSize, 2 * MiB);
}

// NTFS keeps at most 1024 links to a file, each with a DOS name at most:
// extension records giving one base more names than that are damage, and
// each name more was a path more to list (and a square more of time).
TEST(FinderRecords, ABaseTakesNoMoreNamesThanAFileCanHave) {
    auto records = Volume();
    RecordFacts base = File(4, 0, 0, nullptr, 3 * MiB);
    base.hasList = true;
    records.push_back({40, base});
    for (uint64_t r = 0; r < 300; ++r) {
        RecordFacts part = File(1, 0, 0, nullptr, 0);
        part.hasSize = false;
        part.base = 40;
        part.baseSequence = 4;
        for (int n = 0; n < 20; ++n) {
            const std::string text = "n" + std::to_string(r * 20 + n);
            part.names.push_back(Name{ntfs::kRootRecord, kRootSequence, 1, std::u16string(text.begin(), text.end())});
        }
        records.push_back({41 + r, part});
    }
    const Shown shown = Feed(records);
    EXPECT_EQ(shown.paths.size(), 2049u);
    EXPECT_EQ(shown.paths.back(), u"C:\\dir\\good.bin");
    EXPECT_EQ(shown.treeSize, 5 * MiB);
}

}  // namespace

// The check runs eight units at a time and then one by one: a refused unit
// must be seen at every place, in both parts, and no other unit refused.
TEST(FinderRecords, EveryRefusedUnitIsSeenWhereverItStands) {
    const char16_t refused[] = {u'\\', u'/', u':', 0x01, 0x1F, u'\t'};
    const char16_t accepted[] = {u' ', u'.', u'a', 0x7F, 0x4E2D, 0xFF1A, 0x8000, 0xFFFF, 0x5C5C};
    for (size_t length = 1; length <= 19; ++length) {
        for (size_t at = 0; at < length; ++at) {
            std::u16string name(length, u'x');
            for (char16_t unit : refused) {
                name[at] = unit;
                EXPECT_FALSE(FinderWin32Name(name.data(), name.size())) << "unit " << unit << " at " << at << " of " << length;
            }
            for (char16_t unit : accepted) {
                if (unit == u'.' && length == 1) continue;  // "." is a dot name
                name[at] = unit;
                EXPECT_TRUE(FinderWin32Name(name.data(), name.size())) << "unit " << unit << " at " << at << " of " << length;
            }
        }
    }
    EXPECT_FALSE(FinderWin32Name(u"..", 2));
    EXPECT_FALSE(FinderWin32Name(u"", 0));
    EXPECT_TRUE(FinderWin32Name(u"...", 3));
}
