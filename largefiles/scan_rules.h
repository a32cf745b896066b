// The rules both ways of reading a drive share: what the large-file search
// enters and how long a path it builds. The folder tree (space_tree.h) uses
// the path limit only: it leaves nothing out by name or depth.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for a path the walks build, terminator included.
constexpr size_t kScanPathUnits = 4096;
// The large-file search goes no deeper than this below the root (root 0).
constexpr int32_t kScanMaxDepth = 30;
// 0 as a minimum size means this.
constexpr uint64_t kScanDefaultMinimum = 10485760;  // 10 MiB

// The three folders the large-file search leaves out: exact and
// case-sensitive, so "$RECYCLE.BIN" is searched.
inline bool IsScanSkippedName(const char16_t* name) {
    auto equal = [](const char16_t* a, const char16_t* b) {
        while (*a && *a == *b) ++a, ++b;
        return *a == *b;
    };
    return equal(name, u"$Recycle.Bin") || equal(name, u"System Volume Information") || equal(name, u"Recovery");
}

inline bool IsDotName(const char16_t* name) {
    return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}
