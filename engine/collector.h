// Files a walk hands over one by one, of which the largest are kept: what a
// preview lists. Memory stays bounded whatever the walk finds.
#pragma once

#include "engine/paths.h"

#include <atomic>
#include <cstdint>
#include <vector>

// At most this many files are kept, the largest.
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
    // Another thread's hold on a collection that runs (both optional): the
    // count so far, published as it grows, and a request to stop, which
    // the walk polls at every entry (what is kept is then partial).
    std::atomic<uint64_t>* found = nullptr;
    const std::atomic<bool>* stop = nullptr;
};

// Whether the collector has been asked to stop.
bool CollectingStopped(const FileCollector* collector);

// Counts one file, keeping it while it is among the largest.
void CollectFile(FileCollector* collector, const char16_t* path, uint64_t size);
// Sorts what is kept, largest first.
void FinishCollecting(FileCollector* collector);
