// What a run of one item would delete, file by file, gathered by the same
// walker and guard as the run itself: the preview is the run's contract.
#pragma once

#include "engine/paths.h"

#include <cstdint>
#include <vector>

struct CleanupItem;

// At most this many files are kept, the largest: memory stays bounded
// whatever the item holds.
constexpr int kPreviewMostFiles = 5000;

struct PreviewFile {
    uint64_t size;
    char16_t path[kPathUnits];
};

struct FileCollector {
    // While collecting a min-heap on size (the smallest kept file on top);
    // largest first once CollectItemFiles returns.
    std::vector<PreviewFile> largest;
    uint64_t count = 0;  // every file, kept or not
    uint64_t bytes = 0;  // their total
    bool failed = false;  // memory ran out: what is kept is not the largest
};

// Counts one file, keeping it while it is among the largest.
void CollectFile(FileCollector* collector, const char16_t* path, uint64_t size);

// Every file a run of the item would delete, largest first (at most
// kPreviewMostFiles of them), with the count and the bytes of all.
void CollectItemFiles(const CleanupItem& item, FileCollector* out);
