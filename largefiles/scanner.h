// The large-file scanner: one walk of a drive (the finder's, finder.h) that
// collects every file at or above the minimum size, in discovery order: a
// folder's own files in its listing's order, then its subfolders, the last
// listed first. The percent is the share of the drive's used bytes met so
// far (as on the space view): it never runs backwards, and is 100 at the end.
#pragma once

#include <cstddef>
#include <cstdint>

struct LargeFileEntry {
    char16_t path[260];  // as built by the walk, cut to 259 units
    uint64_t size;       // bytes, from the listing
    // The file's identity when it was listed: the id its folder's listing
    // gives (on NTFS the file reference: record number and sequence);
    // FS_NO_ID when it could not be read. Acting on the row checks it.
    uint64_t id;
    // Bytes it takes on the volume (less than size when sparse or
    // compressed, more when the last cluster is partly used).
    uint64_t space;
    // Last write, FILETIME units (100 ns since 1601, UTC); 0 when not known.
    uint64_t modified;
};

// The progress callback's context: overwritten on every report.
struct ScanProgress {
    int32_t percent;
    int32_t directories;
    int32_t files;
};

typedef void (*ScanProgressCallback)(int32_t percent, int32_t directories, int32_t files, void* context);
typedef bool (*ScanCancelledCallback)();

// Searches root (used unchanged; a drive root keeps its trailing '\') for
// files of at least minimumSize bytes (0 means 10 MiB). At the end of a walk
// that ran through or was cancelled, stores the heap array (caller frees
// with free()) and then the count, and returns 0. Returns -1, publishing
// nothing, when memory for the walk cannot be had. A null root returns 0 and
// touches nothing. threads: the walk's listing threads (0: the default);
// the results do not depend on them. Progress: (percent, folders searched,
// results so far) at every 50th folder and whenever the percent moves.
int32_t ScanLargeFiles(const char16_t* root, uint64_t minimumSize, LargeFileEntry** outEntries, int32_t* outCount,
                       ScanProgressCallback progress, ScanCancelledCallback cancelled, void* context,
                       int32_t threads = 0);

// The minimum-size combo's selection to bytes (anything unknown: 100 MiB).
uint64_t MinimumSizeForSelection(intptr_t selection);

// Tests replace the allocator behind the result array's growth to make it
// fail; null restores realloc.
void SetScanReallocForTesting(void* (*reallocate)(void*, size_t));
