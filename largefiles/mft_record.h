// The MFT's records as bytes: the boot sector's geometry, update sequences,
// mapping pairs, attributes and what one record says of its file. No I/O
// here; the search (largefiles/mft.cpp) reads the volume and decides what
// to list. Everything checks its bounds: the bytes come from a disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace ntfs {

constexpr uint32_t kAttrStandardInformation = 0x10;
constexpr uint32_t kAttrAttributeList = 0x20;
constexpr uint32_t kAttrFileName = 0x30;
constexpr uint32_t kAttrData = 0x80;
constexpr uint32_t kAttrReparsePoint = 0xC0;
constexpr uint32_t kAttrEnd = 0xFFFFFFFFu;

constexpr uint16_t kRecordInUse = 0x01;
constexpr uint16_t kRecordDirectory = 0x02;
constexpr uint32_t kFileReparsePoint = 0x400;
constexpr uint8_t kNamespaceDos = 2;  // kFinderDosNameSpace

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | (static_cast<uint32_t>(Le16(p + 2)) << 16); }
inline uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

inline uint64_t RecordOf(uint64_t reference) { return reference & 0xFFFFFFFFFFFFull; }
inline uint16_t SequenceOf(uint64_t reference) { return static_cast<uint16_t>(reference >> 48); }

struct Geometry {
    uint32_t sector;
    uint32_t cluster;
    uint32_t record;
    uint64_t mftLcn;
    uint64_t volumeBytes;
};

struct Run {
    uint64_t vcn;
    int64_t lcn;  // -1: a hole
    uint64_t length;
};

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

// What one record says about its file. For an extension record, the names
// and the size it holds belong to `base`.
struct RecordFacts {
    uint16_t sequence;
    uint64_t base;
    uint16_t baseSequence;
    bool directory;
    bool reparse;
    uint32_t reparseTag;  // 0 when the record holds none it can read
    bool hasList;
    bool hasSize;
    uint64_t size;
    uint64_t space;  // on the volume; 0 for data kept in the record
    // $STANDARD_INFORMATION's last write time (FILETIME units), 0 when the
    // record holds none: the one Win32 listings show, not $FILE_NAME's copy.
    uint64_t modified;
    std::vector<Name> names;
};

bool ReadGeometry(const uint8_t* boot, Geometry* g);

// Checks the record's update sequence and puts the saved units back (one per
// 512 bytes, whatever the sector size). False for a torn or foreign record.
bool ApplyFixups(uint8_t* record, uint32_t size);

// Decodes a mapping-pairs array; the first LCN is relative to 0.
bool DecodeRuns(const uint8_t* p, const uint8_t* end, uint64_t vcn, uint64_t volumeClusters, std::vector<Run>* runs);

// The units of a name as the record keeps them (little-endian) into out.
inline void CopyNameUnits(char16_t* out, const uint8_t* raw, uint8_t length) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // On disk as in memory: one copy, every name of the volume passes here.
    std::memcpy(out, raw, 2u * length);
#else
    for (uint8_t i = 0; i < length; ++i) out[i] = static_cast<char16_t>(Le16(raw + 2 * i));
#endif
}

// Reads what the record (fixups applied) says of its file into *facts,
// leaving facts->names as they are: each name goes to
// onName(parent reference, name space, raw units, length) instead, in the
// record's order. False for a record not in use.
template <typename OnName>
bool ReadFactsWith(const uint8_t* record, uint32_t size, RecordFacts* facts, OnName onName) {
    const uint16_t flags = Le16(record + 0x16);
    if (!(flags & kRecordInUse)) return false;
    facts->sequence = Le16(record + 0x10);
    const uint64_t base = Le64(record + 0x20);
    facts->base = RecordOf(base);
    facts->baseSequence = SequenceOf(base);
    facts->directory = (flags & kRecordDirectory) != 0;
    facts->reparse = false;
    facts->reparseTag = 0;
    facts->hasList = false;
    facts->hasSize = false;
    facts->size = 0;
    facts->space = 0;
    facts->modified = 0;
    Attributes attributes(record, size);
    Attribute a;
    while (attributes.Next(&a)) {
        if (a.type == kAttrStandardInformation && !a.nonResident && a.valueLength >= 0x24) {
            facts->modified = Le64(a.value + 0x08);
            facts->reparse = (Le32(a.value + 0x20) & kFileReparsePoint) != 0;
        } else if (a.type == kAttrAttributeList) {
            facts->hasList = true;
        } else if (a.type == kAttrReparsePoint && !a.nonResident && a.valueLength >= 4) {
            facts->reparseTag = Le32(a.value);
        } else if (a.type == kAttrFileName && !a.nonResident && a.valueLength >= 0x42) {
            const uint8_t length = a.value[0x40];
            if (0x42u + 2u * length > a.valueLength || length == 0) continue;
            onName(Le64(a.value), a.value[0x41], a.value + 0x42, length);
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

// The same, the names into facts->names.
bool ReadFacts(const uint8_t* record, uint32_t size, RecordFacts* facts);

// Per parent, the names a listing shows: a DOS name only where the file has
// no other name in that folder. In place, keeping the order; the count
// kept. N has parent (a record number) and nameSpace.
template <typename N>
size_t KeepListedNames(N* names, size_t count) {
    auto shadowed = [names, count](const N& name) {
        if (name.nameSpace != kNamespaceDos) return false;
        for (size_t i = 0; i < count; ++i)
            if (names[i].parent == name.parent && names[i].nameSpace != kNamespaceDos) return true;
        return false;
    };
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (shadowed(names[i])) continue;
        if (kept != i) std::swap(names[kept], names[i]);
        ++kept;
    }
    return kept;
}

}  // namespace ntfs
