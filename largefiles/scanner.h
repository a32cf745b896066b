// The large-file scanner: two depth-first walks of a drive with the same
// rules. The counting pass counts the directories to search (the first 5
// percent of the progress); the search pass collects every file at or above
// the minimum size, in discovery order (the remaining 95 percent).
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
};

// The progress callback's context: overwritten on every report.
struct ScanProgress {
    int32_t percent;
    int32_t directories;
    int32_t files;
};

// One directory waiting on the walk's stack.
struct ScanDirNode {
    char16_t* path;  // owned heap copy
    int32_t depth;   // root 0
    ScanDirNode* next;
};

typedef void (*ScanProgressCallback)(int32_t percent, int32_t directories, int32_t files, void* context);
typedef bool (*ScanCancelledCallback)();

// Searches root (used unchanged; a drive root keeps its trailing '\') for
// files of at least minimumSize bytes (0 means 10 MiB). At the end of a walk
// that ran through or was cancelled, stores the heap array (caller frees
// with free()) and then the count, and returns 0. Returns -1, publishing
// nothing, when memory for the walk cannot be had. A null root returns 0 and
// touches nothing.
int32_t ScanLargeFiles(const char16_t* root, uint64_t minimumSize, LargeFileEntry** outEntries, int32_t* outCount,
                       ScanProgressCallback progress, ScanCancelledCallback cancelled, void* context);

// The minimum-size combo's selection to bytes (anything unknown: 100 MiB).
uint64_t MinimumSizeForSelection(intptr_t selection);

// Tests replace the allocator behind the result array's growth to make it
// fail; null restores realloc.
void SetScanReallocForTesting(void* (*reallocate)(void*, size_t));
