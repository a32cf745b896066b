// The large-file search's own rules, on top of the finder's shared ones
// (finder.h): what it leaves out by name and its default minimum.
#pragma once

#include "largefiles/finder.h"

#include <cstddef>
#include <cstdint>

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
