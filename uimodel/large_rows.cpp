#include "uimodel/large_rows.h"

namespace {

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int ComparePaths(const char16_t* a, const char16_t* b) {
    for (size_t i = 0;; ++i) {
        const uint16_t ua = a[i], ub = b[i];
        if (ua != ub) return ua < ub ? -1 : 1;
        if (ua == 0) return 0;
    }
}

}  // namespace

int CompareLargeFiles(const LargeFileEntry& a, const LargeFileEntry& b, const LargeSort& sort) {
    int result = 0;
    if (sort.column == kLargeColumnPath) {
        result = ComparePaths(a.path, b.path);
    } else if (sort.column == kLargeColumnSize) {
        result = Order(a.size, b.size);
    } else if (sort.column == kLargeColumnSpace) {
        result = Order(a.space, b.space);
    }
    return sort.descending == 1 ? -result : result;
}

void ChooseLargeSortColumn(LargeSort* sort, int32_t column) {
    if (column == sort->column) {
        sort->descending = sort->descending ? 0 : 1;
        return;
    }
    sort->column = column;
    // Someone who sorts by size wants the largest first.
    sort->descending = (column == kLargeColumnSize || column == kLargeColumnSpace) ? 1 : 0;
}
