#include "uimodel/large_rows.h"

namespace {

// Upper case for the scripts that have it in the first blocks of the Basic
// Multilingual Plane; everything else (CJK among it) stays as it is.
char16_t UpperUnit(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c < 0x80) return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    // Latin Extended-A: pairs, upper case first, in two runs; the dotted
    // and dotless i (0x130, 0x131) have no partner here.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return static_cast<char16_t>(c & ~1u);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return static_cast<char16_t>((c & 1u) ? c : c - 1);
    // Greek: the accented vowels fold to their capitals; the final sigma
    // (0x3C2) has none.
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 63);
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);                 // Cyrillic
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 32);  // full-width Latin
    return c;
}

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

int ComparePathsIgnoringCase(const char16_t* a, const char16_t* b) {
    for (size_t i = 0;; ++i) {
        const char16_t ua = UpperUnit(a[i]), ub = UpperUnit(b[i]);
        if (ua != ub) return ua < ub ? -1 : 1;
        if (ua == 0) return 0;
    }
}

int CompareLargeFiles(const LargeFileEntry& a, const LargeFileEntry& b, const LargeSort& sort) {
    int result = 0;
    if (sort.column == kLargeColumnPath) {
        result = ComparePathsIgnoringCase(a.path, b.path);
    } else if (sort.column == kLargeColumnSize) {
        result = Order(a.size, b.size);
    } else if (sort.column == kLargeColumnSpace) {
        result = Order(a.space, b.space);
    } else if (sort.column == kLargeColumnModified) {
        result = Order(a.modified, b.modified);
    }
    return sort.descending == 1 ? -result : result;
}

void ChooseLargeSortColumn(LargeSort* sort, int32_t column) {
    if (column == sort->column) {
        sort->descending = sort->descending ? 0 : 1;
        return;
    }
    sort->column = column;
    // Someone who sorts by size wants the largest first; by time, the newest.
    sort->descending = (column == kLargeColumnSize || column == kLargeColumnSpace || column == kLargeColumnModified) ? 1 : 0;
}
