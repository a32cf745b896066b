// libFuzzer target for the MFT reader. The volume is a small real NTFS image
// (NORVALE_FUZZ_BASE) with the input laid over it:
//   first byte even: the rest replaces the volume's first bytes (boot sector,
//                    MFT and beyond: whole small images);
//   first byte odd:  the second byte picks one of the MFT's first 64 records
//                    and the rest replaces that record.
// Both sinks read it: the large-file search and the space tree.
// Any outcome is fine; reading out of bounds, overflowing or leaking is not,
// and neither is listing a path no Win32 file can have (a component that is
// empty, "." or "..", or holds '/', ':' or a control character).
#include "largefiles/mft.h"
#include "largefiles/space_scan.h"
#include "largefiles/space_tree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> g_base;
uint64_t g_mftOffset = 0;
uint32_t g_recordSize = 1024;

struct Overlay {
    const uint8_t* bytes;
    size_t size;
    uint64_t at;
};

bool ReadVolume(void* volume, uint64_t offset, void* buffer, size_t length) {
    const Overlay* overlay = static_cast<const Overlay*>(volume);
    if (offset > g_base.size() || length > g_base.size() - offset) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    std::memcpy(out, g_base.data() + offset, length);
    const uint64_t from = overlay->at > offset ? overlay->at : offset;
    const uint64_t end = overlay->at + overlay->size < offset + length ? overlay->at + overlay->size : offset + length;
    if (from < end) std::memcpy(out + (from - offset), overlay->bytes + (from - overlay->at), end - from);
    return true;
}

void CheckListedPath(const char16_t* path) {
    const char16_t* component = path + 3;  // after "C:\\"
    for (const char16_t* p = component;; ++p) {
        if (*p == u'\\' || *p == 0) {
            const size_t length = static_cast<size_t>(p - component);
            const bool dots = (length == 1 && component[0] == u'.') ||
                              (length == 2 && component[0] == u'.' && component[1] == u'.');
            // The last component may be cut at 259 units: empty only there.
            if ((length == 0 && *p) || dots) std::abort();
            if (*p == 0) return;
            component = p + 1;
        } else if (*p < 0x20 || *p == u'/' || *p == u':') {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* path = std::getenv("NORVALE_FUZZ_BASE");
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) {
        std::fprintf(stderr, "NORVALE_FUZZ_BASE must name an NTFS image\n");
        std::exit(1);
    }
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) g_base.insert(g_base.end(), chunk, chunk + got);
    std::fclose(file);
    if (g_base.size() < 512) std::exit(1);
    // Where the overlay's records go: from the base's own boot sector.
    const uint32_t sector = g_base[0x0B] | (g_base[0x0C] << 8);
    const uint32_t cluster = sector * g_base[0x0D];
    uint64_t lcn = 0;
    for (int i = 7; i >= 0; --i) lcn = (lcn << 8) | g_base[0x30 + i];
    const int8_t perRecord = static_cast<int8_t>(g_base[0x40]);
    g_recordSize = perRecord < 0 ? 1u << -perRecord : perRecord * cluster;
    g_mftOffset = lcn * cluster;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    Overlay overlay;
    if (data[0] & 1) {
        overlay = {data + 2, size - 2 < g_recordSize ? size - 2 : g_recordSize, g_mftOffset + (data[1] % 64) * uint64_t{g_recordSize}};
    } else {
        overlay = {data + 1, size - 1, 0};
    }
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    if (ScanMftLargeFiles(ReadVolume, &overlay, u"C:\\", 1, &entries, &count, nullptr, nullptr, nullptr) == 0) {
        for (int32_t i = 0; i < count; ++i) CheckListedPath(entries[i].path);
        std::free(entries);
    }
    // The tree, the reader's other sink, over the same volume.
    SpaceTree* tree = nullptr;
    if (ScanSpaceTreeMft(ReadVolume, &overlay, &tree, nullptr, nullptr, nullptr) == 0) delete tree;
    return 0;
}
