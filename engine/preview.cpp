#include "engine/preview.h"

#include "engine/catalogue.h"
#include "engine/measure.h"
#include "engine/walk.h"
#include "text/text16.h"

#include <algorithm>
#include <new>

namespace {

bool Larger(const PreviewFile& a, const PreviewFile& b) { return a.size > b.size; }

}  // namespace

void CollectFile(FileCollector* collector, const char16_t* path, uint64_t size) {
    collector->count++;
    collector->bytes += size;
    std::vector<PreviewFile>& heap = collector->largest;
    if (heap.size() == static_cast<size_t>(kPreviewMostFiles)) {
        if (size <= heap.front().size) return;
        std::pop_heap(heap.begin(), heap.end(), Larger);
        heap.pop_back();
    }
    PreviewFile file;
    file.size = size;
    Text16CopyTruncated(file.path, kPathUnits, path);
    try {
        heap.push_back(file);
    } catch (const std::bad_alloc&) {
        collector->failed = true;
        return;
    }
    std::push_heap(heap.begin(), heap.end(), Larger);
}

void CollectItemFiles(const CleanupItem& item, FileCollector* out) {
    out->largest.clear();
    out->count = 0;
    out->bytes = 0;
    out->failed = false;
    // Room for the most it keeps, at once: growth by doubling would hold up
    // to twice that.
    try {
        out->largest.reserve(static_cast<size_t>(kPreviewMostFiles));
    } catch (const std::bad_alloc&) {
        out->failed = true;
    }
    Walk walk = {WALK_COLLECT, 0, nullptr, out, {0}};
    WalkItemTargets(item, &walk);
    std::sort_heap(out->largest.begin(), out->largest.end(), Larger);
}
