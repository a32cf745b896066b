// The preview window's list as data: the order of its rows under a header
// click, and a path shortened in its middle to fit a column.
#pragma once

#include "engine/collector.h"

#include <cstddef>
#include <cstdint>

// The list's columns: the file's path, its size.
enum { kPreviewColumnFile = 0, kPreviewColumnSize = 1 };

struct PreviewSort {
    int32_t column;
    bool ascending;
};

// The order the window opens with: largest first.
constexpr PreviewSort kPreviewFirstSort = {kPreviewColumnSize, false};

// Header click: the same column flips; a new one starts with paths A to Z
// and sizes largest first.
void ChoosePreviewSortColumn(PreviewSort* sort, int32_t column);

// -1, 0 or 1 for two rows given as indexes into files; an index outside
// (the summary rows "还有 …" and "回收站中的文件") sorts after every file
// whichever way the order runs. Equal sizes fall back on the paths.
int ComparePreviewRows(const PreviewFile* files, size_t count, intptr_t a, intptr_t b, const PreviewSort& sort);

// Width of units of text, in the caller's unit (pixels).
typedef int (*MeasureText)(const char16_t* text, int units, void* context);

// Writes path into out (capacity units), cut in its middle with "…" until
// it is at most maxWidth wide: the start of the path and its last component
// (the file name) stay. A name too wide alone is kept whole after the "…".
// Returns the units written.
int ShortenPathMiddle(const char16_t* path, int maxWidth, MeasureText measure, void* context, char16_t* out,
                      int capacity);
