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
#include <vector>

namespace {

using namespace ntfs;

// A name as the search keeps it: the folder it was written in (sequence << 48
// | record), its FinderNameKey there, and its units in the search's name
// pool (NUL-terminated).
struct Listed {
    uint64_t parent;
    uint64_t key;
    uint32_t at;
    uint16_t length;
};

struct Folder {
    uint16_t sequence = 0;
    bool reparse = false;
    bool named = false;
    // A result lies somewhere below: only these are listed and entered.
    bool marked = false;
    Listed name = {};
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
    uint32_t index;  // folder: into the folder table; file: into results
    const Listed* name;
};

// NTFS's order: by the volume's upcase table, then by units.
class Collation {
public:
    Collation(const std::vector<uint16_t>& upcase, const std::vector<char16_t>& names) : upcase_(upcase), names_(names) {}
    bool Less(const Listed& a, const Listed& b) const {
        const char16_t* x = &names_[a.at];
        const char16_t* y = &names_[b.at];
        const size_t common = std::min(a.length, b.length);
        for (size_t i = 0; i < common; ++i) {
            const uint16_t p = Up(x[i]), q = Up(y[i]);
            if (p != q) return p < q;
        }
        if (a.length != b.length) return a.length < b.length;
        return std::char_traits<char16_t>::compare(x, y, a.length) < 0;
    }
    bool Same(const Listed& a, const Listed& b) const {
        return a.length == b.length && std::char_traits<char16_t>::compare(&names_[a.at], &names_[b.at], a.length) == 0;
    }

private:
    uint16_t Up(char16_t c) const { return c < upcase_.size() ? upcase_[c] : static_cast<uint16_t>(c); }
    const std::vector<uint16_t>& upcase_;
    const std::vector<char16_t>& names_;
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

constexpr uint32_t kNoIndex = ~0u;

// The large-file list as a sink of the MFT's records. Reading keeps every
// folder (its name, 4 bytes of index per record) and every other file's
// name key; publishing lists and enters only the folders a result lies
// below, in the order and with the rules of the walk.
class Search : public RecordSink {
public:
    Search(uint64_t minimum, ScanProgressCallback progress, void* context)
        : minimum_(minimum), progress_(progress), context_(context) {}

    void Records(const MftName* names, size_t count) override {
        for (size_t i = 0; i < count; ++i) Record(names[i]);
    }
    bool Keys() const override { return true; }
    // Most records are files that are not results: each name a claim.
    void Expect(uint64_t records) override {
        claims_.reserve(static_cast<size_t>(records));
        if (records > index_.size()) index_.resize(static_cast<size_t>(records), kNoIndex);
    }
    void Progress(int32_t percent) override {
        if (progress_) progress_(percent, static_cast<int32_t>(folders_.size()), static_cast<int32_t>(results_.size()), context_);
    }
    // 0, -1 for memory, or kScanNotNtfs when the root was never seen.
    int32_t Publish(const char16_t* root, const std::vector<uint16_t>& upcase, LargeFileEntry** out, int32_t* count);

private:
    void Record(const MftName& name);
    Listed Keep(const MftName& name);
    Folder* Find(uint64_t number) {
        return number < index_.size() && index_[number] != kNoIndex ? &folders_[index_[number]] : nullptr;
    }
    // The folder a name was written in, while its record still holds it.
    Folder* ParentOf(const Listed& name) {
        Folder* folder = Find(RecordOf(name.parent));
        return folder && FinderParentIsCurrent(SequenceOf(name.parent), folder->sequence) ? folder : nullptr;
    }
    void MarkAbove(const Listed& name);
    std::vector<Child> LinkChildren();
    std::vector<LargeFileEntry> ListInWalkOrder(const char16_t* root, const std::vector<Child>& children,
                                                const std::vector<uint16_t>& upcase, const KeySet& claimed);
    // Of the children's keys, those a file that is not a result claims too.
    KeySet ClaimedChildren(const std::vector<Child>& children);

    uint64_t minimum_;
    ScanProgressCallback progress_;
    void* context_;
    std::vector<Folder> folders_;
    // Record number to folders_ index (kNoIndex: no folder).
    std::vector<uint32_t> index_;
    std::vector<char16_t> names_;
    std::vector<FileResult> results_;
    // The names of the files that are not results, by FinderNameKey: a
    // result or folder that claims one of them is not vouched for. 8 bytes
    // a name. Publish keeps of them only the keys a listed child has.
    std::vector<uint64_t> claims_;
};

Listed Search::Keep(const MftName& name) {
    // A name holds at most 255 units: a folder per record keeps the pool far below 2^32.
    const Listed kept{name.parent, name.key, static_cast<uint32_t>(names_.size()),
                      static_cast<uint16_t>(name.record.nameLength)};
    names_.insert(names_.end(), name.record.name, name.record.name + name.record.nameLength);
    names_.push_back(0);
    return kept;
}

void Search::Record(const MftName& name) {
    const FinderRecord& record = name.record;
    const uint64_t number = RecordOf(record.id);
    if (record.attributes & FS_ATTR_DIRECTORY) {
        if (number >= index_.size()) index_.resize(static_cast<size_t>(number + 1 + number / 2), kNoIndex);
        if (index_[number] == kNoIndex) {
            index_[number] = static_cast<uint32_t>(folders_.size());
            folders_.emplace_back();
        }
        Folder& folder = folders_[index_[number]];
        folder.sequence = SequenceOf(record.id);
        folder.reparse = (record.attributes & FS_ATTR_REPARSE_POINT) != 0;
        if (record.nameLength) {
            folder.name = Keep(name);
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
    results_.back().names.push_back(Keep(name));
}

// Marks the folders from a result's name up, to the root or to a folder
// already marked (which also ends a loop of damaged folders).
void Search::MarkAbove(const Listed& name) {
    const Listed* at = &name;
    for (Folder* folder = ParentOf(*at); folder && !folder->marked; folder = ParentOf(*at)) {
        folder->marked = true;
        if (!folder->named) break;
        at = &folder->name;
    }
}

// Every folder and every result under the marked folder its name says,
// when that folder is the one the name was written in (same sequence).
// Unmarked folders are listed too: their names count in their folder.
std::vector<Child> Search::LinkChildren() {
    std::vector<Child> children;
    for (const FileResult& result : results_)
        for (const Listed& name : result.names) MarkAbove(name);
    Folder* root = Find(kRootRecord);
    for (uint32_t i = 0; i < folders_.size(); ++i) {
        Folder& folder = folders_[i];
        if (&folder == root || !folder.named) continue;
        Folder* parent = ParentOf(folder.name);
        if (!parent || !parent->marked || parent == &folder) continue;
        parent->children.push_back(static_cast<uint32_t>(children.size()));
        children.push_back(Child{true, i, &folder.name});
    }
    for (size_t r = 0; r < results_.size(); ++r) {
        for (const Listed& name : results_[r].names) {
            Folder* parent = ParentOf(name);
            if (!parent) continue;
            parent->children.push_back(static_cast<uint32_t>(children.size()));
            children.push_back(Child{false, static_cast<uint32_t>(r), &name});
        }
    }
    return children;
}

// The results as the walk finds them: folders in its stack order, each
// folder's entries in NTFS collation order, with the walk's rules.
std::vector<LargeFileEntry> Search::ListInWalkOrder(const char16_t* root, const std::vector<Child>& children,
                                                    const std::vector<uint16_t>& upcase, const KeySet& claimed) {
    Collation collation(upcase, names_);
    std::vector<LargeFileEntry> found;
    struct Pending {
        uint32_t folder;
        int32_t depth;
        std::u16string path;
    };
    std::vector<Pending> stack;
    stack.push_back(Pending{index_[kRootRecord], 0, std::u16string(root)});
    while (!stack.empty()) {
        Pending node = std::move(stack.back());
        stack.pop_back();
        if (node.depth > kScanMaxDepth) continue;
        std::vector<uint32_t>& list = folders_[node.folder].children;
        const size_t length = node.path.size();
        if (length + 3 >= kScanPathUnits) continue;
        std::sort(list.begin(), list.end(),
                  [&](uint32_t a, uint32_t b) { return collation.Less(*children[a].name, *children[b].name); });
        // One folder cannot hold one name twice (finder.h): the folder's
        // other files count, whatever their size. Sorted, one name's
        // claims are neighbours.
        for (size_t at = 0; at < list.size(); ++at) {
            const Child& child = children[list[at]];
            const Listed& name = *child.name;
            if ((at > 0 && collation.Same(*children[list[at - 1]].name, name)) ||
                (at + 1 < list.size() && collation.Same(*children[list[at + 1]].name, name)) || claimed.Has(name.key))
                continue;
            const char16_t* text = &names_[name.at];
            const size_t base = node.path.back() == u'\\' ? length - 1 : length;
            if (IsScanSkippedName(text) || base + 1 + name.length >= kScanPathUnits) continue;
            if (child.folder) {
                const Folder& folder = folders_[child.index];
                // A folder with no result below is not entered.
                if (folder.reparse || !folder.marked) continue;
            }
            // A root keeps its own separator ("C:\\"): its children take no second.
            std::u16string path = node.path;
            if (path.empty() || path.back() != u'\\') path += u'\\';
            path.append(text, name.length);
            if (child.folder) {
                stack.push_back(Pending{child.index, node.depth + 1, std::move(path)});
                continue;
            }
            const FileResult& result = results_[child.index];
            LargeFileEntry entry;
            Text16CopyTruncated(entry.path, 260, path.c_str());
            entry.size = result.size;
            entry.id = result.reference;
            entry.space = result.space;
            entry.modified = result.modified;
            found.push_back(entry);
        }
        std::vector<uint32_t>().swap(list);
    }
    return found;
}

// The children are few (the marked folders' folders and the results), the
// claims many (every other file's names): the children's keys go in a set,
// each claim is looked up once, and what is left is the set of children a
// claim meets. A child's key is the one its name was written with, which
// is its folder's current one (LinkChildren checked the sequence).
KeySet Search::ClaimedChildren(const std::vector<Child>& children) {
    KeySet keys(children.size());
    for (const Child& child : children) keys.Add(child.name->key);
    KeySet claimed(children.size());
    for (uint64_t claim : claims_)
        if (keys.Has(claim)) claimed.Add(claim);
    std::vector<uint64_t>().swap(claims_);
    return claimed;
}

int32_t Search::Publish(const char16_t* root, const std::vector<uint16_t>& upcase, LargeFileEntry** out, int32_t* count) {
    Folder* top = Find(kRootRecord);
    if (!top) return kScanNotNtfs;
    top->marked = true;
    const std::vector<Child> children = LinkChildren();
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
