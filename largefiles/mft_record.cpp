#include "largefiles/mft_record.h"

#include <cstring>

namespace ntfs {

namespace {

bool PowerOfTwo(uint64_t v) { return v && !(v & (v - 1)); }

}  // namespace

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

bool ReadFacts(const uint8_t* record, uint32_t size, RecordFacts* facts) {
    // The names' strings are written over in place, so that reading many
    // records into one RecordFacts costs no allocation each.
    size_t names = 0;
    const bool inUse = ReadFactsWith(record, size, facts,
                                     [facts, &names](uint64_t parent, uint8_t nameSpace, const uint8_t* raw, uint8_t length) {
                                         if (names == facts->names.size()) facts->names.emplace_back();
                                         Name& name = facts->names[names++];
                                         name.parent = RecordOf(parent);
                                         name.parentSequence = SequenceOf(parent);
                                         name.nameSpace = nameSpace;
                                         name.text.resize(length);
                                         CopyNameUnits(&name.text[0], raw, length);
                                     });
    if (inUse) facts->names.resize(names);
    return inUse;
}

}  // namespace ntfs
