#include "largefiles/mft.h"

#include "text/text16.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr uint32_t kAttrStandardInformation = 0x10;
constexpr uint32_t kAttrAttributeList = 0x20;
constexpr uint32_t kAttrFileName = 0x30;
constexpr uint32_t kAttrData = 0x80;
constexpr uint32_t kAttrEnd = 0xFFFFFFFFu;

constexpr uint16_t kRecordInUse = 0x01;
constexpr uint16_t kRecordDirectory = 0x02;
constexpr uint32_t kFileReparsePoint = 0x400;
constexpr uint8_t kNamespaceDos = 2;

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

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (static_cast<uint32_t>(Le16(p + 2)) << 16); }
uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

uint64_t RecordOf(uint64_t reference) { return reference & 0xFFFFFFFFFFFFull; }
uint16_t SequenceOf(uint64_t reference) { return static_cast<uint16_t>(reference >> 48); }

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

struct Geometry {
    uint32_t sector;
    uint32_t cluster;
    uint32_t record;
    uint64_t mftLcn;
    uint64_t volumeBytes;
};

bool PowerOfTwo(uint64_t v) { return v && !(v & (v - 1)); }

bool ReadGeometry(const uint8_t* boot, Geometry* g) {
    if (std::memcmp(boot + 3, "NTFS    ", 8) != 0) return false;
    g->sector = Le16(boot + 0x0B);
    if (!PowerOfTwo(g->sector) || g->sector < 256 || g->sector > 4096) return false;
    const uint8_t perCluster = boot[0x0D];
    uint32_t sectors = 0;
    if (perCluster >= 1 && perCluster <= 128 && PowerOfTwo(perCluster)) {
        sectors = perCluster;
    } else if (perCluster >= 240 && perCluster <= 253) {
        sectors = 1u << (256 - perCluster);  // the large-cluster encoding
    } else {
        return false;
    }
    const uint64_t cluster = static_cast<uint64_t>(g->sector) * sectors;
    if (cluster > (2u << 20)) return false;
    g->cluster = static_cast<uint32_t>(cluster);
    const int8_t perRecord = static_cast<int8_t>(boot[0x40]);
    uint64_t record = 0;
    if (perRecord > 0) {
        record = cluster * static_cast<uint64_t>(perRecord);
    } else if (perRecord >= -31 && perRecord <= -9) {
        record = 1ull << (-perRecord);
    }
    if (!PowerOfTwo(record) || record < 1024 || record > 65536) return false;
    g->record = static_cast<uint32_t>(record);
    g->mftLcn = Le64(boot + 0x30);
    g->volumeBytes = Le64(boot + 0x28) * g->sector;
    return g->mftLcn != 0 && g->mftLcn < g->volumeBytes / g->cluster;
}

// Checks the record's update sequence and puts the saved units back (one per
// 512 bytes, whatever the sector size). False for a torn or foreign record.
bool ApplyFixups(uint8_t* record, uint32_t size) {
    if (std::memcmp(record, "FILE", 4) != 0) return false;
    const uint32_t offset = Le16(record + 4);
    const uint32_t count = Le16(record + 6);
    if ((offset & 1) || count != 1 + size / 512 || offset < 0x28 || offset + 2 * count > 510) return false;
    const uint16_t usn = Le16(record + offset);
    for (uint32_t i = 1; i < count; ++i) {
        uint8_t* tail = record + i * 512 - 2;
        if (Le16(tail) != usn) return false;
        std::memcpy(tail, record + offset + 2 * i, 2);
    }
    return true;
}

struct Run {
    uint64_t vcn;
    int64_t lcn;  // -1: a hole
    uint64_t length;
};

// Decodes a mapping-pairs array; the first LCN is relative to 0.
bool DecodeRuns(const uint8_t* p, const uint8_t* end, uint64_t vcn, uint64_t volumeClusters, std::vector<Run>* runs) {
    int64_t lcn = 0;
    while (p < end && *p) {
        const unsigned lengthBytes = *p & 0x0F;
        const unsigned offsetBytes = *p >> 4;
        ++p;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8 || static_cast<size_t>(end - p) < lengthBytes + offsetBytes)
            return false;
        uint64_t length = 0;
        for (unsigned i = 0; i < lengthBytes; ++i) length |= static_cast<uint64_t>(p[i]) << (8 * i);
        p += lengthBytes;
        if (length == 0 || length > volumeClusters || vcn + length < vcn) return false;
        if (offsetBytes) {
            uint64_t raw = 0;
            for (unsigned i = 0; i < offsetBytes; ++i) raw |= static_cast<uint64_t>(p[i]) << (8 * i);
            p += offsetBytes;
            if (offsetBytes < 8 && (raw >> (8 * offsetBytes - 1)) & 1) raw |= ~0ull << (8 * offsetBytes);
            const int64_t delta = static_cast<int64_t>(raw);
            if ((delta > 0 && lcn > INT64_MAX - delta) || (delta < 0 && lcn < INT64_MIN - delta)) return false;
            lcn += delta;
            if (lcn < 0 || static_cast<uint64_t>(lcn) >= volumeClusters || length > volumeClusters - lcn) return false;
            runs->push_back(Run{vcn, lcn, length});
        } else {
            runs->push_back(Run{vcn, -1, length});
        }
        vcn += length;
    }
    return true;
}

// One attribute of a record whose fixups are applied, its bounds checked.
struct Attribute {
    uint32_t type = 0;
    const uint8_t* at = nullptr;
    uint32_t length = 0;
    bool nonResident = false;
    uint8_t nameLength = 0;
    // resident
    const uint8_t* value = nullptr;
    uint32_t valueLength = 0;
    // non-resident
    uint64_t lowestVcn = 0;
    const uint8_t* runs = nullptr;
    const uint8_t* runsEnd = nullptr;
    uint64_t dataSize = 0;
    uint64_t initializedSize = 0;
    // What the stream takes on the volume: the clusters allocated, or for a
    // compressed or sparse stream the clusters it really holds.
    uint64_t space = 0;
};

class Attributes {
public:
    Attributes(const uint8_t* record, uint32_t size) : record_(record) {
        uint32_t used = Le32(record + 0x18);
        end_ = used < size ? used : size;
        next_ = Le16(record + 0x14);
    }
    // False at the end marker or at the first attribute that does not fit.
    bool Next(Attribute* a) {
        if (next_ + 8 > end_ || (next_ & 7)) return false;
        const uint8_t* p = record_ + next_;
        a->type = Le32(p);
        if (a->type == kAttrEnd) return false;
        a->length = Le32(p + 4);
        if (a->length < 0x18 || (a->length & 7) || a->length > end_ - next_) return false;
        a->at = p;
        a->nonResident = p[8] != 0;
        a->nameLength = p[9];
        const uint32_t nameOffset = Le16(p + 10);
        if (a->nameLength && nameOffset + 2u * a->nameLength > a->length) return false;
        if (!a->nonResident) {
            a->valueLength = Le32(p + 0x10);
            const uint32_t valueOffset = Le16(p + 0x14);
            if (valueOffset > a->length || a->valueLength > a->length - valueOffset) return false;
            a->value = p + valueOffset;
        } else {
            if (a->length < 0x40) return false;
            a->lowestVcn = Le64(p + 0x10);
            const uint32_t runsOffset = Le16(p + 0x20);
            if (runsOffset >= a->length) return false;
            a->runs = p + runsOffset;
            a->runsEnd = p + a->length;
            a->dataSize = Le64(p + 0x30);
            a->initializedSize = Le64(p + 0x38);
            const uint16_t flags = Le16(p + 0x0C);
            // The compressed size field exists when the header says so (a
            // compression unit) and for compressed or sparse streams.
            const bool packed = (flags & 0x8001) != 0 || p[0x22] != 0;
            a->space = packed && a->length >= 0x48 ? Le64(p + 0x40) : Le64(p + 0x28);
        }
        next_ += a->length;
        return true;
    }

private:
    const uint8_t* record_;
    uint32_t end_;
    uint32_t next_;
};

// A file's name in one folder.
struct Name {
    uint64_t parent;
    uint16_t parentSequence;
    uint8_t nameSpace;
    std::u16string text;
};

// A name Win32 can hold and that addresses a file, not "." or "..", a path
// (a separator) or a stream (':'): a damaged record can claim anything.
bool IsWin32Name(const std::u16string& name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    for (char16_t c : name) {
        if (c < 0x20 || c == u'\\' || c == u'/' || c == u':') return false;
    }
    return true;
}

std::u16string NameText(const uint8_t* raw, uint8_t length) {
    std::u16string text(length, u'\0');
    for (uint8_t i = 0; i < length; ++i) text[i] = static_cast<char16_t>(Le16(raw + 2 * i));
    return text;
}

// What one record says about its file. For an extension record, the names
// and the size it holds belong to `base`.
struct RecordFacts {
    uint16_t sequence;
    uint64_t base;
    uint16_t baseSequence;
    bool directory;
    bool reparse;
    bool hasList;
    bool hasSize;
    uint64_t size;
    uint64_t space;  // on the volume; 0 for data kept in the record
    std::vector<Name> names;
};

bool ReadFacts(const uint8_t* record, uint32_t size, RecordFacts* facts) {
    const uint16_t flags = Le16(record + 0x16);
    if (!(flags & kRecordInUse)) return false;
    facts->sequence = Le16(record + 0x10);
    const uint64_t base = Le64(record + 0x20);
    facts->base = RecordOf(base);
    facts->baseSequence = SequenceOf(base);
    facts->directory = (flags & kRecordDirectory) != 0;
    facts->reparse = false;
    facts->hasList = false;
    facts->hasSize = false;
    facts->size = 0;
    facts->space = 0;
    facts->names.clear();
    Attributes attributes(record, size);
    Attribute a;
    while (attributes.Next(&a)) {
        if (a.type == kAttrStandardInformation && !a.nonResident && a.valueLength >= 0x24) {
            facts->reparse = (Le32(a.value + 0x20) & kFileReparsePoint) != 0;
        } else if (a.type == kAttrAttributeList) {
            facts->hasList = true;
        } else if (a.type == kAttrFileName && !a.nonResident && a.valueLength >= 0x42) {
            const uint8_t length = a.value[0x40];
            if (0x42u + 2u * length > a.valueLength || length == 0) continue;
            const uint64_t parent = Le64(a.value);
            facts->names.push_back(Name{RecordOf(parent), SequenceOf(parent), a.value[0x41], NameText(a.value + 0x42, length)});
        } else if (a.type == kAttrData && a.nameLength == 0) {
            if (!a.nonResident) {
                facts->hasSize = true;
                facts->size = a.valueLength;
            } else if (a.lowestVcn == 0) {
                facts->hasSize = true;
                facts->size = a.dataSize;
                facts->space = a.space;
            }
        }
    }
    return true;
}

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
