// The large-file list's order: which column sorts it and which way, and how
// two results compare under it.
#pragma once

#include "largefiles/scanner.h"

#include <cstdint>

// The list's columns: path, size, the space it takes, the last write, the actions.
enum { kLargeColumnPath = 0, kLargeColumnSize = 1, kLargeColumnSpace = 2, kLargeColumnModified = 3, kLargeColumnAction = 4 };

struct LargeSort {
    int32_t column;      // -1 until the first header click
    int32_t descending;  // 0 ascending, 1 descending
};

// -1, 0 or 1 for two paths as Windows orders them (see below).
int ComparePathsIgnoringCase(const char16_t* a, const char16_t* b);
// -1, 0 or 1 for two results under the sort; the action column (and none)
// compares equal. Paths compare as Windows orders them: by code unit after
// folding case to upper the way its ordinal ignore-case comparison does, so
// "C:\windows" sorts beside "C:\Windows.old" and '_' after the letters.
int CompareLargeFiles(const LargeFileEntry& a, const LargeFileEntry& b, const LargeSort& sort);
// Header click on a column: the same column flips; a new column starts
// ascending, a size column largest first, the time newest first.
void ChooseLargeSortColumn(LargeSort* sort, int32_t column);
