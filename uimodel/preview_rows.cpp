#include "uimodel/preview_rows.h"

#include "text/text16.h"
#include "uimodel/large_rows.h"

void ChoosePreviewSortColumn(PreviewSort* sort, int32_t column) {
    if (sort->column == column) {
        sort->ascending = !sort->ascending;
        return;
    }
    sort->column = column;
    sort->ascending = column == kPreviewColumnFile;
}

int ComparePreviewRows(const PreviewFile* files, size_t count, intptr_t a, intptr_t b, const PreviewSort& sort) {
    const bool fileA = a >= 0 && static_cast<size_t>(a) < count, fileB = b >= 0 && static_cast<size_t>(b) < count;
    if (!fileA || !fileB) return fileA == fileB ? (a < b ? -1 : a > b ? 1 : 0) : (fileA ? -1 : 1);
    const PreviewFile& x = files[a];
    const PreviewFile& y = files[b];
    int result = 0;
    if (sort.column == kPreviewColumnSize) result = x.size < y.size ? -1 : x.size > y.size ? 1 : 0;
    if (result == 0) result = ComparePathsIgnoringCase(x.path, y.path);
    return sort.ascending ? result : -result;
}

int ShortenPathMiddle(const char16_t* path, int maxWidth, MeasureText measure, void* context, char16_t* out,
                      int capacity) {
    if (capacity <= 0) return 0;
    const int length = static_cast<int>(Text16Length(path));
    if (measure(path, length, context) <= maxWidth || length + 2 > capacity) {
        return static_cast<int>(Text16CopyTruncated(out, static_cast<size_t>(capacity), path));
    }
    // The tail kept: from the last separator on, so the name reads whole.
    int tail = length;
    while (tail > 0 && path[tail - 1] != u'\\' && path[tail - 1] != u'/') --tail;
    // A bare name has no middle to cut.
    if (tail == 0) return static_cast<int>(Text16CopyTruncated(out, static_cast<size_t>(capacity), path));
    --tail;
    // The longest start that still fits beside "…" and the tail, found by
    // halving; widths grow with the units taken. Fewer units than the tail
    // starts at keep what is written within length + 1.
    int low = 0, high = tail - 1 > 0 ? tail - 1 : 0;
    auto build = [&](int head) {
        int at = 0;
        for (int i = 0; i < head; ++i) out[at++] = path[i];
        out[at++] = u'\u2026';
        for (int i = tail; i < length; ++i) out[at++] = path[i];
        out[at] = 0;
        return at;
    };
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        const int units = build(mid);
        if (measure(out, units, context) <= maxWidth) low = mid;
        else high = mid - 1;
    }
    return build(low);
}
