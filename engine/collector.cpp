#include "engine/collector.h"

#include "text/text16.h"

#include <algorithm>
#include <new>

namespace {

bool Larger(const PreviewFile& a, const PreviewFile& b) { return a.size > b.size; }

}  // namespace

void CollectFile(FileCollector* collector, const char16_t* path, uint64_t size) {
    collector->count++;
    collector->bytes += size;
    if (collector->found) collector->found->store(collector->count, std::memory_order_relaxed);
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

bool CollectingStopped(const FileCollector* collector) {
    return collector && collector->stop && collector->stop->load(std::memory_order_relaxed);
}

void FinishCollecting(FileCollector* collector) {
    std::sort_heap(collector->largest.begin(), collector->largest.end(), Larger);
}
