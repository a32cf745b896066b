// The large-file results as data: the folder of a result and removing a
// record. The list, its order and the dialogs live in ui/largefiles/.
#pragma once

#include "largefiles/scanner.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Published by the scan worker: the pointer first, then the count (with
// release order); readers load the count first (acquire). Written by the
// functions below alone. How they are listed and sorted is the window's.
extern std::atomic<LargeFileEntry*> g_pLargeFiles;
extern std::atomic<int32_t> g_nLargeFiles;
// The scan worker's result, pointer before count.
void PublishLargeFiles(LargeFileEntry* entries, int32_t count);
// Frees the results (none may be published into them meanwhile).
void ClearLargeFiles();

// pagefile.sys, hiberfil.sys and swapfile.sys in a drive's root: Windows
// holds them, and only its own settings make them smaller.
bool IsFileWindowsHolds(const char16_t* path);
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
// What became of a listed file when the user acts on its row.
enum ListedFileState {
    LISTED_FILE_OK,           // it is the file listed (and, when asked, it is deleted)
    LISTED_FILE_CHANGED,      // gone, or another file or a link is in its place: nothing done
    LISTED_FILE_HARD_LINKED,  // read-only with other hard links: kept, to keep theirs
    LISTED_FILE_IN_USE,       // the system holds it (a sharing or lock violation)
    LISTED_FILE_FAILED,       // anything else; the platform's code is left for FsLastError
};
// Finds the listed file again the guard's way, never by its path read
// afresh: its folder opened one component at a time from the root without
// following a link, the file looked up in that folder's listing, and acted
// on only when it has the id and the size the scan recorded. With remove it
// is then deleted through the handle that was checked once more.
ListedFileState ActOnListedFile(const LargeFileEntry& entry, bool remove);

// Removes record j, moving the later ones down; false for a bad index.
bool RemoveLargeFileRecord(int32_t j);
