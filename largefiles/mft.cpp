#include "largefiles/mft.h"

#include "largefiles/finder.h"
#include "largefiles/mft_reader.h"
#include "largefiles/scan_rules.h"

#include "text/text16.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using namespace ntfs;

// A name and the folder it was written in (sequence << 48 | record).
struct Listed {
    uint64_t parent;
    std::u16string text;
};

struct Folder {
    uint16_t sequence = 0;
    bool reparse = false;
    bool named = false;
    Listed name;
    std::vector<uint32_t> children;  // indices into the child table
};

struct FileResult {
    uint64_t size;
    uint64_t space;
    uint64_t reference;  // the NTFS file id: sequence in the top 16 bits, record number below
    uint64_t modified;
    std::vector<Listed> names;
};

// Files and folders in one folder, as its listing would show them.
struct Child {
    bool folder;
    uint64_t record;       // folder
    uint32_t result;       // file: index into results
    const std::u16string* name;
};

class Collation {
public:
    explicit Collation(const std::vector<uint16_t>& upcase) : upcase_(upcase) {}
    bool Less(const std::u16string& a, const std::u16string& b) const {
        const size_t common = std::min(a.size(), b.size());
        for (size_t i = 0; i < common; ++i) {
            const uint16_t x = Up(a[i]), y = Up(b[i]);
            if (x != y) return x < y;
        }
        if (a.size() != b.size()) return a.size() < b.size();
        return a < b;
    }

private:
    uint16_t Up(char16_t c) const { return c < upcase_.size() ? upcase_[c] : static_cast<uint16_t>(c); }
    const std::vector<uint16_t>& upcase_;
};

// A set of name keys, open addressing (0 is empty; a key of 0 is kept as 1).
struct KeySet {
    std::vector<uint64_t> slots;
    explicit KeySet(size_t keys) {
        size_t size = 64;
        while (size < keys * 2) size <<= 1;
        slots.assign(size, 0);
    }
    static uint64_t Stored(uint64_t key) { return key ? key : 1; }
    size_t Slot(uint64_t key) const { return static_cast<size_t>(key) & (slots.size() - 1); }
    void Add(uint64_t key) {
        key = Stored(key);
        size_t at = Slot(key);
        while (slots[at] && slots[at] != key) at = (at + 1) & (slots.size() - 1);
        slots[at] = key;
    }
    bool Has(uint64_t key) const {
        key = Stored(key);
        for (size_t at = Slot(key); slots[at]; at = (at + 1) & (slots.size() - 1))
            if (slots[at] == key) return true;
        return false;
    }
};

// The large-file list as a sink of the MFT's records.
class Search : public RecordSink {
public:
    Search(uint64_t minimum, ScanProgressCallback progress, void* context)
        : minimum_(minimum), progress_(progress), context_(context) {}

    void Records(const MftName* names, size_t count) override {
        for (size_t i = 0; i < count; ++i) Record(names[i]);
    }
    bool Keys() const override { return true; }
    // Most records are files that are not results: each name a claim.
    void Expect(uint64_t records) override { claims_.reserve(static_cast<size_t>(records)); }
    void Progress(int32_t percent) override {
        if (progress_) progress_(percent, static_cast<int32_t>(folders_.size()), static_cast<int32_t>(results_.size()), context_);
    }
    // 0, -1 for memory, or kScanNotNtfs when the root was never seen.
    int32_t Publish(const char16_t* root, const std::vector<uint16_t>& upcase, LargeFileEntry** out, int32_t* count);

private:
    void Record(const MftName& name);
    std::vector<Child> LinkChildren();
    std::vector<LargeFileEntry> ListInWalkOrder(const char16_t* root, const std::vector<Child>& children,
                                                const std::vector<uint16_t>& upcase, const KeySet& claimed);
    // Of the children's keys, those a file that is not a result claims too.
    KeySet ClaimedChildren(const std::vector<Child>& children);

    uint64_t minimum_;
    ScanProgressCallback progress_;
    void* context_;
    std::unordered_map<uint64_t, Folder> folders_;
    std::vector<FileResult> results_;
    // The names of the files that are not results, by FinderNameKey: a
    // result or folder that claims one of them is not vouched for. 8 bytes
    // a name. Publish keeps of them only the keys a folder's child has.
    std::vector<uint64_t> claims_;
};


uint64_t ClaimKey(uint64_t folder, uint16_t sequence, const std::u16string& name) {
    return FinderNameKey((static_cast<uint64_t>(sequence) << 48) | folder, name.data(), name.size());
}

void Search::Record(const MftName& name) {
    const uint64_t parent = name.parent;
    const FinderRecord& record = name.record;
    const uint64_t number = RecordOf(record.id);
    if (record.attributes & FS_ATTR_DIRECTORY) {
        Folder& folder = folders_[number];
        folder.sequence = SequenceOf(record.id);
        folder.reparse = (record.attributes & FS_ATTR_REPARSE_POINT) != 0;
        if (record.nameLength) {
            folder.name = Listed{parent, std::u16string(record.name, record.nameLength)};
            folder.named = true;
        }
        return;
    }
    if (!record.nameLength) return;
    if ((record.attributes & FS_ATTR_REPARSE_POINT) || record.size < minimum_) {
        // Not listed, but its names are taken in their folders.
        claims_.push_back(name.key);
        return;
    }
    // A file's names come one after another.
    if (results_.empty() || results_.back().reference != record.id)
        results_.push_back(FileResult{record.size, record.space, record.id, record.modified, {}});
    results_.back().names.push_back(Listed{parent, std::u16string(record.name, record.nameLength)});
}

// Every folder and every result under the folder its name says, when that
// folder is the one the name was written in (same sequence).
std::vector<Child> Search::LinkChildren() {
    std::vector<Child> children;
    auto parentOf = [this](const Listed& name) -> Folder* {
        auto found = folders_.find(RecordOf(name.parent));
        if (found == folders_.end() || !FinderParentIsCurrent(SequenceOf(name.parent), found->second.sequence)) return nullptr;
        return &found->second;
    };
    for (auto& entry : folders_) {
        if (entry.first == kRootRecord || !entry.second.named) continue;
        Folder* parent = parentOf(entry.second.name);
        if (!parent || parent == &entry.second) continue;
        parent->children.push_back(static_cast<uint32_t>(children.size()));
        children.push_back(Child{true, entry.first, 0, &entry.second.name.text});
    }
    for (size_t r = 0; r < results_.size(); ++r) {
        for (const Listed& name : results_[r].names) {
            Folder* parent = parentOf(name);
            if (!parent) continue;
            parent->children.push_back(static_cast<uint32_t>(children.size()));
            children.push_back(Child{false, 0, static_cast<uint32_t>(r), &name.text});
        }
    }
    return children;
}

// The results as the walk finds them: folders in its stack order, each
// folder's entries in NTFS collation order, with the walk's rules.
std::vector<LargeFileEntry> Search::ListInWalkOrder(const char16_t* root, const std::vector<Child>& children,
                                                    const std::vector<uint16_t>& upcase, const KeySet& claimed) {
    Collation collation(upcase);
    std::vector<LargeFileEntry> found;
    struct Pending {
        uint64_t record;
        int32_t depth;
        std::u16string path;
    };
    std::vector<Pending> stack;
    stack.push_back(Pending{kRootRecord, 0, std::u16string(root)});
    while (!stack.empty()) {
        Pending node = std::move(stack.back());
        stack.pop_back();
        if (node.depth > kScanMaxDepth) continue;
        Folder& folder = folders_[node.record];
        const size_t length = node.path.size();
        if (length + 3 >= kScanPathUnits) continue;
        std::vector<uint32_t>& list = folder.children;
        std::sort(list.begin(), list.end(),
                  [&](uint32_t a, uint32_t b) { return collation.Less(*children[a].name, *children[b].name); });
        // One folder cannot hold one name twice (finder.h): the folder's
        // other files count, whatever their size. Sorted, one name's
        // claims are neighbours.
        for (size_t at = 0; at < list.size(); ++at) {
            const Child& child = children[list[at]];
            if ((at > 0 && *children[list[at - 1]].name == *child.name) ||
                (at + 1 < list.size() && *children[list[at + 1]].name == *child.name) ||
                claimed.Has(ClaimKey(node.record, folder.sequence, *child.name)))
                continue;
            const std::u16string& name = *child.name;
            const size_t base = node.path.back() == u'\\' ? length - 1 : length;
            if (IsScanSkippedName(name.c_str()) || base + 1 + name.size() >= kScanPathUnits) continue;
            // A root keeps its own separator ("C:\\"): its children take no second.
            std::u16string path = node.path;
            if (path.empty() || path.back() != u'\\') path += u'\\';
            path += name;
            if (child.folder) {
                if (folders_[child.record].reparse) continue;
                stack.push_back(Pending{child.record, node.depth + 1, std::move(path)});
                continue;
            }
            LargeFileEntry entry;
            Text16CopyTruncated(entry.path, 260, path.c_str());
            entry.size = results_[child.result].size;
            entry.id = results_[child.result].reference;
            entry.space = results_[child.result].space;
            entry.modified = results_[child.result].modified;
            found.push_back(entry);
        }
        std::vector<uint32_t>().swap(list);
    }
    return found;
}

// The children are few (folders and results), the claims many (every other
// file's names): the children's keys go in a set, each claim is looked up
// once, and what is left is the set of children a claim meets.
KeySet Search::ClaimedChildren(const std::vector<Child>& children) {
    KeySet keys(children.size());
    for (auto& entry : folders_)
        for (uint32_t index : entry.second.children)
            keys.Add(ClaimKey(entry.first, entry.second.sequence, *children[index].name));
    KeySet claimed(children.size());
    for (uint64_t claim : claims_)
        if (keys.Has(claim)) claimed.Add(claim);
    std::vector<uint64_t>().swap(claims_);
    return claimed;
}

int32_t Search::Publish(const char16_t* root, const std::vector<uint16_t>& upcase, LargeFileEntry** out, int32_t* count) {
    const std::vector<Child> children = LinkChildren();
    if (folders_.find(kRootRecord) == folders_.end()) return kScanNotNtfs;
    const KeySet claimed = ClaimedChildren(children);
    const std::vector<LargeFileEntry> found = ListInWalkOrder(root, children, upcase, claimed);
    LargeFileEntry* array = static_cast<LargeFileEntry*>(std::calloc(found.empty() ? 1 : found.size(), sizeof(LargeFileEntry)));
    if (!array) return -1;
    if (!found.empty()) std::memcpy(array, found.data(), found.size() * sizeof(LargeFileEntry));
    *out = array;
    *count = static_cast<int32_t>(found.size());
    return 0;
}

}  // namespace

namespace {

// The search over what read() delivers to the sink (0, or the reader's
// outcomes) and publishes as ScanMftLargeFiles does.
template <typename Read>
int32_t SearchRecords(Read read, const char16_t* root, uint64_t minimumSize, LargeFileEntry** outEntries,
                      int32_t* outCount, ScanProgressCallback progress, void* context) {
    try {
        Search search(minimumSize ? minimumSize : kScanDefaultMinimum, progress, context);
        std::vector<uint16_t> upcase;
        const int32_t outcome = read(&search, &upcase);
        if (outcome == kMftCancelled) {
            // A cancelled search publishes an empty array.
            LargeFileEntry* empty = static_cast<LargeFileEntry*>(std::calloc(1, sizeof(LargeFileEntry)));
            if (!empty) return -1;
            *outEntries = empty;
            *outCount = 0;
            search.Progress(100);
            return 0;
        }
        if (outcome != 0) return outcome;
        const int32_t published = search.Publish(root, upcase, outEntries, outCount);
        if (published != 0) return published;
        search.Progress(100);
        return 0;
    } catch (const std::bad_alloc&) {
        return -1;  // nothing was published: the array is the last allocation
    }
}

}  // namespace

int32_t ScanMftLargeFiles(VolumeReader read, void* volume, const char16_t* root, uint64_t minimumSize,
                          LargeFileEntry** outEntries, int32_t* outCount, ScanProgressCallback progress,
                          ScanCancelledCallback cancelled, void* context) {
    if (!read || !root || !outEntries || !outCount) return kScanNotNtfs;
    return SearchRecords(
        [&](RecordSink* sink, std::vector<uint16_t>* upcase) { return ReadMftRecords(read, volume, sink, upcase, cancelled); },
        root, minimumSize, outEntries, outCount, progress, context);
}

int32_t ScanRecordsLargeFiles(std::vector<std::pair<uint64_t, ntfs::RecordFacts>>& records, const char16_t* root,
                              uint64_t minimumSize, LargeFileEntry** outEntries, int32_t* outCount) {
    if (!root || !outEntries || !outCount) return kScanNotNtfs;
    return SearchRecords(
        [&](RecordSink* sink, std::vector<uint16_t>*) {
            DeliverRecords(records, sink);
            return 0;
        },
        root, minimumSize, outEntries, outCount, nullptr, nullptr);
}
