#include "largefiles/mft.h"

#include "largefiles/mft_record.h"

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
constexpr uint64_t kRootRecord = 5;
constexpr uint64_t kUpCaseRecord = 10;
constexpr uint64_t kFirstUserRecord = 24;  // below: metafiles, except the root

// The walk's limits (scanner.cpp).
constexpr size_t kScanPathUnits = 4096;
constexpr int32_t kMaxDepth = 30;
constexpr uint64_t kDefaultMinimum = 10485760;

constexpr size_t kChunkBytes = 4u << 20;
constexpr size_t kAlignment = 4096;
constexpr size_t kMaxAttributeList = 0x40000;


// A buffer at a 4096-byte boundary, as unbuffered volume reads need.
class AlignedBuffer {
public:
    ~AlignedBuffer() { std::free(raw_); }
    bool Reserve(size_t bytes) {
        if (bytes <= size_) return true;
        std::free(raw_);
        size_ = 0;
        raw_ = static_cast<uint8_t*>(std::malloc(bytes + kAlignment));
        if (!raw_) return false;
        size_ = bytes;
        return true;
    }
    uint8_t* Data() const {
        uintptr_t at = reinterpret_cast<uintptr_t>(raw_);
        return reinterpret_cast<uint8_t*>((at + kAlignment - 1) & ~static_cast<uintptr_t>(kAlignment - 1));
    }

private:
    uint8_t* raw_ = nullptr;
    size_t size_ = 0;
};

// Reads the volume's clusters behind a byte range of a run-mapped stream.
class StreamReader {
public:
    StreamReader(VolumeReader read, void* volume, const Geometry& g) : read_(read), volume_(volume), g_(g) {}

    // Reads bytes [offset, offset + length) of the stream; offset and length
    // are multiples of the cluster size. Holes read as zeros.
    bool Read(const std::vector<Run>& runs, uint64_t offset, size_t length, uint8_t* out) const {
        const uint64_t cluster = g_.cluster;
        uint64_t vcn = offset / cluster;
        uint64_t clusters = length / cluster;
        while (clusters) {
            const Run* run = Find(runs, vcn);
            if (!run) return false;
            uint64_t within = vcn - run->vcn;
            uint64_t take = std::min<uint64_t>(run->length - within, clusters);
            const size_t bytes = static_cast<size_t>(take * cluster);
            if (run->lcn < 0) {
                std::memset(out, 0, bytes);
            } else if (!read_(volume_, (static_cast<uint64_t>(run->lcn) + within) * cluster, out, bytes)) {
                return false;
            }
            out += bytes;
            vcn += take;
            clusters -= take;
        }
        return true;
    }

    // Reads one record of the MFT (the runs map the MFT) into out, which
    // holds a whole cluster or record, whichever is larger.
    bool ReadRecord(const std::vector<Run>& mft, uint64_t number, uint8_t* out) const {
        if (number > (UINT64_MAX - g_.cluster) / g_.record) return false;  // no real MFT is that long
        const uint64_t byte = number * g_.record;
        const uint64_t start = byte / g_.cluster * g_.cluster;
        const uint64_t span = (byte + g_.record - start + g_.cluster - 1) / g_.cluster * g_.cluster;
        if (!Read(mft, start, static_cast<size_t>(span), out)) return false;
        if (start != byte) std::memmove(out, out + (byte - start), g_.record);
        return ApplyFixups(out, g_.record);
    }

private:
    static const Run* Find(const std::vector<Run>& runs, uint64_t vcn) {
        for (const Run& run : runs) {
            if (vcn >= run.vcn && vcn - run.vcn < run.length) return &run;
        }
        return nullptr;
    }

    VolumeReader read_;
    void* volume_;
    Geometry g_;
};

// The unnamed $DATA of the record in `record` (fixups applied), with the
// extents an attribute list puts elsewhere, found through `mft`, or, for the
// MFT itself (mft null), through the part of it decoded so far.
// initialized: the stream's initialized length.
bool StreamRuns(const StreamReader& reader, const Geometry& g, const std::vector<Run>* mft, uint8_t* record,
                uint8_t* scratch, std::vector<Run>* runs, uint64_t* initialized) {
    const uint64_t volumeClusters = g.volumeBytes / g.cluster;
    std::vector<uint8_t> list;
    bool haveFirst = false;
    Attributes attributes(record, g.record);
    Attribute a;
    while (attributes.Next(&a)) {
        if (a.type == kAttrData && a.nameLength == 0 && a.nonResident) {
            if (!DecodeRuns(a.runs, a.runsEnd, a.lowestVcn, volumeClusters, runs)) return false;
            if (a.lowestVcn == 0) {
                haveFirst = true;
                *initialized = a.initializedSize;
            }
        } else if (a.type == kAttrAttributeList) {
            if (!a.nonResident) {
                list.assign(a.value, a.value + a.valueLength);
            } else if (a.lowestVcn == 0 && a.dataSize <= kMaxAttributeList) {
                std::vector<Run> listRuns;
                if (!DecodeRuns(a.runs, a.runsEnd, 0, volumeClusters, &listRuns)) return false;
                const size_t bytes = static_cast<size_t>((a.dataSize + g.cluster - 1) / g.cluster * g.cluster);
                AlignedBuffer buffer;
                if (!buffer.Reserve(bytes) || !reader.Read(listRuns, 0, bytes, buffer.Data())) return false;
                list.assign(buffer.Data(), buffer.Data() + a.dataSize);
            } else {
                return false;
            }
        }
    }
    if (!haveFirst) return false;
    // The other extents, in the order the list keeps them (by lowest VCN):
    // each one's record lies in the part of the MFT known so far.
    const uint64_t self = Le32(record + 0x2C);
    for (size_t at = 0; at + 0x1A <= list.size();) {
        const uint8_t* entry = list.data() + at;
        const uint16_t length = Le16(entry + 4);
        if (length < 0x1A || at + length > list.size()) break;
        at += length;
        const uint64_t lowest = Le64(entry + 8);
        const uint64_t holder = RecordOf(Le64(entry + 0x10));
        if (Le32(entry) != kAttrData || entry[6] != 0 || lowest == 0 || holder == self) continue;
        if (!reader.ReadRecord(mft ? *mft : *runs, holder, scratch)) return false;
        Attributes extension(scratch, g.record);
        bool found = false;
        while (extension.Next(&a)) {
            if (a.type == kAttrData && a.nameLength == 0 && a.nonResident && a.lowestVcn == lowest) {
                if (!DecodeRuns(a.runs, a.runsEnd, lowest, volumeClusters, runs)) return false;
                found = true;
            }
        }
        if (!found) return false;
    }
    std::sort(runs->begin(), runs->end(), [](const Run& x, const Run& y) { return x.vcn < y.vcn; });
    return true;
}

struct Folder {
    uint16_t sequence = 0;
    bool reparse = false;
    bool named = false;
    Name name;
    std::vector<uint32_t> children;  // indices into the child table
};

struct FileResult {
    uint64_t size;
    uint64_t space;
    uint64_t reference;  // the NTFS file id: sequence in the top 16 bits, record number below
    std::vector<Name> names;
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

bool IsSkippedName(const std::u16string& name) {
    return name == u"$Recycle.Bin" || name == u"System Volume Information" || name == u"Recovery";
}

// Per parent, the names a listing shows: a DOS name only where the file has
// no other name in that folder.
void DropShadowedDosNames(std::vector<Name>* names) {
    std::vector<Name> kept;
    for (const Name& name : *names) {
        if (name.nameSpace == kNamespaceDos) {
            bool other = false;
            for (const Name& n : *names) other = other || (n.parent == name.parent && n.nameSpace != kNamespaceDos);
            if (other) continue;
        }
        kept.push_back(name);
    }
    names->swap(kept);
}

class Search {
public:
    Search(uint64_t minimum, ScanProgressCallback progress, ScanCancelledCallback cancelled, void* context)
        : minimum_(minimum), progress_(progress), cancelled_(cancelled), context_(context) {}

    int32_t Scan(VolumeReader read, void* volume, const char16_t* root, LargeFileEntry** out, int32_t* count);

private:
    void Take(uint64_t number, RecordFacts& facts);
    void Keep(uint64_t number, RecordFacts& facts);
    bool Publish(const char16_t* root, LargeFileEntry** out, int32_t* count);
    void AttachExtensions();
    std::vector<Child> LinkChildren();
    std::vector<LargeFileEntry> ListInWalkOrder(const char16_t* root, const std::vector<Child>& children);
    void Report(int32_t percent) {
        if (progress_) progress_(percent, static_cast<int32_t>(folders_.size()), static_cast<int32_t>(results_.size()), context_);
    }

    uint64_t minimum_;
    ScanProgressCallback progress_;
    ScanCancelledCallback cancelled_;
    void* context_;
    std::unordered_map<uint64_t, Folder> folders_;
    std::vector<FileResult> results_;
    // Files whose names or size an attribute list may hold elsewhere, and
    // what extension records said of their bases: both rare.
    std::unordered_map<uint64_t, RecordFacts> listed_;
    std::unordered_map<uint64_t, std::vector<RecordFacts>> extensions_;
    std::vector<uint16_t> upcase_;
};

void Search::Keep(uint64_t number, RecordFacts& facts) {
    if (number < kFirstUserRecord && number != kRootRecord) return;
    DropShadowedDosNames(&facts.names);
    if (facts.directory) {
        Folder& folder = folders_[number];
        folder.sequence = facts.sequence;
        folder.reparse = facts.reparse;
        for (Name& name : facts.names) {
            // A folder has one parent; its first long name is the one listed.
            if (number == kRootRecord) break;
            if (!folder.named || (folder.name.nameSpace == kNamespaceDos && name.nameSpace != kNamespaceDos)) {
                folder.name = std::move(name);
                folder.named = true;
            }
        }
        return;
    }
    if (facts.reparse || !facts.hasSize || facts.size < minimum_ || facts.names.empty()) return;
    results_.push_back(
        FileResult{facts.size, facts.space, (static_cast<uint64_t>(facts.sequence) << 48) | number, std::move(facts.names)});
}

void Search::Take(uint64_t number, RecordFacts& facts) {
    if (facts.base != 0) {
        // Of use only to a base still waiting for its parts; one seen
        // before without waiting was decided already.
        if (facts.base < number && !listed_.count(facts.base)) return;
        extensions_[facts.base].push_back(std::move(facts));
        return;
    }
    // Parts of a file may lie in extension records: it waits for them,
    // unless it is a small file whose size is known already.
    if (facts.hasList && (facts.directory || !facts.hasSize || facts.size >= minimum_)) {
        listed_[number] = std::move(facts);
        return;
    }
    Keep(number, facts);
}

// Attaches what extension records hold to their bases, checking that the
// base is the file they were written for, and keeps the results.
void Search::AttachExtensions() {
    for (auto& entry : listed_) {
        RecordFacts& facts = entry.second;
        auto found = extensions_.find(entry.first);
        if (found != extensions_.end()) {
            for (RecordFacts& extension : found->second) {
                if (extension.baseSequence != facts.sequence) continue;
                for (Name& name : extension.names) facts.names.push_back(std::move(name));
                if (extension.hasSize && !facts.hasSize) {
                    facts.hasSize = true;
                    facts.size = extension.size;
                    facts.space = extension.space;
                }
            }
        }
        Keep(entry.first, facts);
    }
    listed_.clear();
    extensions_.clear();
}

// Every folder and every result under the folder its name says, when that
// folder is the one the name was written in (same sequence) and the name is
// one Win32 can hold.
std::vector<Child> Search::LinkChildren() {
    std::vector<Child> children;
    auto parentOf = [this](const Name& name) -> Folder* {
        auto found = folders_.find(name.parent);
        if (found == folders_.end() || found->second.sequence != name.parentSequence) return nullptr;
        return &found->second;
    };
    for (auto& entry : folders_) {
        if (entry.first == kRootRecord || !entry.second.named) continue;
        Folder* parent = parentOf(entry.second.name);
        if (!parent || parent == &entry.second || !IsWin32Name(entry.second.name.text)) continue;
        parent->children.push_back(static_cast<uint32_t>(children.size()));
        children.push_back(Child{true, entry.first, 0, &entry.second.name.text});
    }
    for (size_t r = 0; r < results_.size(); ++r) {
        for (const Name& name : results_[r].names) {
            Folder* parent = parentOf(name);
            if (!parent || !IsWin32Name(name.text)) continue;
            parent->children.push_back(static_cast<uint32_t>(children.size()));
            children.push_back(Child{false, 0, static_cast<uint32_t>(r), &name.text});
        }
    }
    return children;
}

// The results as the walk finds them: folders in its stack order, each
// folder's entries in NTFS collation order, with the walk's rules.
std::vector<LargeFileEntry> Search::ListInWalkOrder(const char16_t* root, const std::vector<Child>& children) {
    Collation collation(upcase_);
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
        if (node.depth > kMaxDepth) continue;
        Folder& folder = folders_[node.record];
        const size_t length = node.path.size();
        if (length + 3 >= kScanPathUnits) continue;
        std::vector<uint32_t>& list = folder.children;
        std::sort(list.begin(), list.end(),
                  [&](uint32_t a, uint32_t b) { return collation.Less(*children[a].name, *children[b].name); });
        // One folder cannot hold one name twice: two records claiming it (one
        // of them damaged) are neither vouched for.
        std::unordered_map<std::u16string, int> claims;
        for (uint32_t index : list) ++claims[*children[index].name];
        for (uint32_t index : list) {
            const Child& child = children[index];
            if (claims[*child.name] > 1) continue;
            const std::u16string& name = *child.name;
            const size_t base = node.path.back() == u'\\' ? length - 1 : length;
            if (IsSkippedName(name) || base + 1 + name.size() >= kScanPathUnits) continue;
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
            found.push_back(entry);
        }
        std::vector<uint32_t>().swap(list);
    }
    return found;
}

bool Search::Publish(const char16_t* root, LargeFileEntry** out, int32_t* count) {
    AttachExtensions();
    const std::vector<Child> children = LinkChildren();
    if (folders_.find(kRootRecord) == folders_.end()) return false;
    const std::vector<LargeFileEntry> found = ListInWalkOrder(root, children);
    LargeFileEntry* array = static_cast<LargeFileEntry*>(std::calloc(found.empty() ? 1 : found.size(), sizeof(LargeFileEntry)));
    if (!array) return false;
    if (!found.empty()) std::memcpy(array, found.data(), found.size() * sizeof(LargeFileEntry));
    *out = array;
    *count = static_cast<int32_t>(found.size());
    return true;
}

int32_t Search::Scan(VolumeReader read, void* volume, const char16_t* root, LargeFileEntry** out, int32_t* count) {
    AlignedBuffer boot;
    if (!boot.Reserve(4096) || !read(volume, 0, boot.Data(), 4096)) return kScanNotNtfs;
    Geometry g;
    if (!ReadGeometry(boot.Data(), &g)) return kScanNotNtfs;
    StreamReader reader(read, volume, g);

    // Record 0 is read through a map of just its own clusters; its $DATA
    // then maps the whole MFT.
    const size_t recordSpan = std::max<size_t>(g.record, g.cluster);
    AlignedBuffer first, scratch;
    if (!first.Reserve(recordSpan) || !scratch.Reserve(recordSpan)) return -1;
    std::vector<Run> bootstrap = {Run{0, static_cast<int64_t>(g.mftLcn), (recordSpan + g.cluster - 1) / g.cluster}};
    if (!reader.ReadRecord(bootstrap, 0, first.Data())) return kScanNotNtfs;
    std::vector<Run> mft;
    uint64_t initialized = 0;
    if (!StreamRuns(reader, g, nullptr, first.Data(), scratch.Data(), &mft, &initialized)) return kScanNotNtfs;
    if (mft.empty() || mft[0].vcn != 0 || mft[0].lcn != static_cast<int64_t>(g.mftLcn)) return kScanNotNtfs;
    const uint64_t records = initialized / g.record;
    if (records <= kFirstUserRecord) return kScanNotNtfs;
    // An MFT is never sparse and never holds more records than its volume
    // has room for: such a map would have the reader fill zeros for hours.
    // (DecodeRuns already refuses a run past the volume.)
    if (records > g.volumeBytes / g.record) return kScanNotNtfs;
    uint64_t mapped = 0;
    for (const Run& run : mft) {
        if (run.lcn < 0) return kScanNotNtfs;
        mapped += run.length;
    }
    if (mapped < (initialized + g.cluster - 1) / g.cluster) return kScanNotNtfs;

    // $UpCase, for the listing order.
    {
        if (!reader.ReadRecord(mft, kUpCaseRecord, scratch.Data())) return kScanNotNtfs;
        std::vector<Run> runs;
        uint64_t bytes = 0;
        if (!StreamRuns(reader, g, &mft, scratch.Data(), first.Data(), &runs, &bytes) || bytes < 2 || bytes > 131072)
            return kScanNotNtfs;
        const size_t span = static_cast<size_t>((bytes + g.cluster - 1) / g.cluster * g.cluster);
        AlignedBuffer table;
        if (!table.Reserve(span)) return -1;
        if (!reader.Read(runs, 0, span, table.Data())) return kScanNotNtfs;
        upcase_.resize(static_cast<size_t>(bytes / 2));
        for (size_t i = 0; i < upcase_.size(); ++i) upcase_[i] = Le16(table.Data() + 2 * i);
    }

    const uint64_t totalBytes = records * g.record;
    const size_t chunk = static_cast<size_t>(std::max<uint64_t>(kChunkBytes / g.cluster * g.cluster, g.cluster));
    AlignedBuffer buffer;
    if (!buffer.Reserve(chunk)) return -1;
    RecordFacts facts;
    Report(0);
    {
        for (uint64_t start = 0; start < totalBytes; start += chunk) {
            if (cancelled_ && cancelled_()) {
                LargeFileEntry* empty = static_cast<LargeFileEntry*>(std::calloc(1, sizeof(LargeFileEntry)));
                if (!empty) return -1;
                *out = empty;
                *count = 0;
                Report(100);
                return 0;
            }
            const uint64_t left = totalBytes - start;
            const size_t bytes = static_cast<size_t>(std::min<uint64_t>(chunk, (left + g.cluster - 1) / g.cluster * g.cluster));
            if (!reader.Read(mft, start, bytes, buffer.Data())) return kScanNotNtfs;
            const uint64_t firstRecord = start / g.record;
            const uint64_t inChunk = std::min<uint64_t>(bytes / g.record, records - firstRecord);
            for (uint64_t i = 0; i < inChunk; ++i) {
                uint8_t* record = buffer.Data() + i * g.record;
                if (!ApplyFixups(record, g.record) || !ReadFacts(record, g.record, &facts)) continue;
                Take(firstRecord + i, facts);
            }
            Report(static_cast<int32_t>((firstRecord + inChunk) * 99 / records));
        }
        if (!Publish(root, out, count)) return folders_.count(kRootRecord) ? -1 : kScanNotNtfs;
    }
    Report(100);
    return 0;
}

}  // namespace

int32_t ScanMftLargeFiles(VolumeReader read, void* volume, const char16_t* root, uint64_t minimumSize,
                          LargeFileEntry** outEntries, int32_t* outCount, ScanProgressCallback progress,
                          ScanCancelledCallback cancelled, void* context) {
    if (!read || !root || !outEntries || !outCount) return kScanNotNtfs;
    try {
        Search search(minimumSize ? minimumSize : kDefaultMinimum, progress, cancelled, context);
        return search.Scan(read, volume, root, outEntries, outCount);
    } catch (const std::bad_alloc&) {
        return -1;  // nothing was published: the array is the last allocation
    }
}
