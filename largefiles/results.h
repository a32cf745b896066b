// The large-file results as data: ordering of rows, the folder of a
// result and removing a record. The list control and the dialogs live in
// ui/largefiles_page.cpp.
#pragma once

#include "largefiles/scanner.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Published by the scan worker: the pointer first, then the count (with
// release order); readers load the count first (acquire).
extern std::atomic<LargeFileEntry*> g_pLargeFiles;
extern std::atomic<int32_t> g_nLargeFiles;
extern std::atomic<int32_t> g_bLargeScanBusy;
extern int32_t g_nLargeSortColumn;      // -1 until the first header click
extern int32_t g_bLargeSortDescending;  // 0 ascending, 1 descending

// -1, 0 or 1 for two row tags (record indices) under the current sort
// column and direction; 0 for tags outside the records.
int CompareLargeFileRows(intptr_t tagA, intptr_t tagB, intptr_t unused);
// Header click on column c: same column flips, a new column starts ascending.
void ChooseLargeSortColumn(int32_t column);
// The folder of a stored path: everything before its last backslash, into a
// 260-unit buffer. False when there is no backslash.
bool LargeFileFolder(const char16_t* path, char16_t* folder);
// A stored path that fills all 259 units may have been cut by the walk: it
// may then name another file, or none.
bool LargeFilePathMayBeCut(const char16_t* path);
// The "\\?\" form of a stored path, its repeated separators collapsed. Win32
// takes it literally: a name that ends in a dot or a space keeps it ("big."
// is not "big"). False when it does not fit in capacity units.
bool LargeFileLiteralPath(const char16_t* path, char16_t* out, size_t capacity);
// Removes record j, moving the later ones down; false for a bad index.
bool RemoveLargeFileRecord(int32_t j);
