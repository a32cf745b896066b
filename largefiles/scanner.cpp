#include "largefiles/scanner.h"

#include "largefiles/scan_rules.h"
#include "platform/fs.h"
#include "text/format.h"
#include "text/text16.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr int32_t kFirstRoom = 64;

void* (*g_scanRealloc)(void*, size_t) = std::realloc;

// The large-file list as a sink of the walk (finder.h).
struct ListSink {
    uint64_t minimum;
    LargeFileEntry* array;
    int32_t room;
    int32_t found;
    bool full;       // the array could not grow: the rest of this folder is left out
    uint64_t used;   // the drive's bytes in use; 0 when not known
    int32_t visited;
    int32_t lastPercent;
    ScanProgressCallback progress;
    void* context;
    FinderTotals totals;
};

// The percent is the share of the drive's used bytes met so far: it only
// grows, and stays below 100 until the walk is over.
int32_t ListPercent(const ListSink& sink) {
    if (!sink.used) return 0;
    const uint64_t met = sink.totals.bytes.load(std::memory_order_relaxed);
    return met >= sink.used ? 99 : static_cast<int32_t>(met * 100 / sink.used);
}

// Folders to search: no link, none of the three names, no deeper than 30
// levels, and room for the path and a listing's "\*".
bool ListEnters(const FinderRecord& record, int32_t depth, size_t pathUnits) {
    return !(record.attributes & FS_ATTR_REPARSE_POINT) && !IsScanSkippedName(record.name) && depth < kScanMaxDepth &&
           pathUnits + 3 < kScanPathUnits;
}

void ListFolder(void* self, uint32_t, int32_t) {
    ListSink* sink = static_cast<ListSink*>(self);
    sink->full = false;
    sink->visited++;
    const int32_t percent = ListPercent(*sink);
    if (sink->progress && (sink->visited % 50 == 0 || percent != sink->lastPercent))
        sink->progress(percent, sink->visited, sink->found, sink->context);
    sink->lastPercent = percent;
}

void ListFailed(void*, uint32_t, uint32_t) {}

uint32_t ListEntry(void* self, uint32_t, const char16_t* folderPath, size_t folderUnits, int32_t,
                   const FinderRecord& record) {
    ListSink* sink = static_cast<ListSink*>(self);
    if ((record.attributes & (FS_ATTR_DIRECTORY | FS_ATTR_REPARSE_POINT)) || IsScanSkippedName(record.name)) return 0;
    sink->totals.Add(sink->totals.files, 1);
    sink->totals.Add(sink->totals.bytes, record.space == FS_NO_SPACE ? record.size : record.space);
    if (record.size < sink->minimum || sink->full) return 0;
    // A root keeps its own separator ("C:\"): its children take no second.
    size_t base = folderUnits;
    if (base > 0 && folderPath[base - 1] == u'\\') --base;
    if (base + 1 + record.nameLength >= kScanPathUnits) return 0;
    if (sink->found == sink->room) {
        const size_t grown = static_cast<size_t>(sink->room) * 2;
        void* bigger = g_scanRealloc(sink->array, grown * sizeof(LargeFileEntry));
        if (!bigger) {
            sink->full = true;
            return 0;
        }
        sink->array = static_cast<LargeFileEntry*>(bigger);
        sink->room = static_cast<int32_t>(grown);
    }
    std::u16string path(folderPath, base);
    path += u'\\';
    path.append(record.name, record.nameLength);
    LargeFileEntry& entry = sink->array[sink->found];
    Text16CopyTruncated(entry.path, 260, path.c_str());
    entry.size = record.size;
    entry.id = record.id;
    entry.modified = record.modified;
    // What GetCompressedFileSize says: asked for the results alone, one
    // call per listed file, none for the thousands that are smaller. A cloud
    // file is not opened (that would fetch it): it takes what its listing
    // says, or nothing, its data being elsewhere.
    if (FsDataIsRemote(record.attributes)) {
        entry.space = record.space == FS_NO_SPACE ? 0 : record.space;
    } else if (!FsFileSpace(path.c_str(), &entry.space)) {
        entry.space = record.size;
    }
    sink->found++;
    return 0;
}

}  // namespace

void SetScanReallocForTesting(void* (*reallocate)(void*, size_t)) {
    g_scanRealloc = reallocate ? reallocate : std::realloc;
}

uint64_t MinimumSizeForSelection(intptr_t selection) {
    switch (selection) {
    case 0:
        return 52428800ull;
    case 1:
        return 104857600ull;
    case 2:
        return 524288000ull;
    case 3:
        return 1073741824ull;
    default:
        return 104857600ull;
    }
}

int32_t ScanLargeFiles(const char16_t* root, uint64_t minimumSize, LargeFileEntry** outEntries, int32_t* outCount,
                       ScanProgressCallback progress, ScanCancelledCallback cancelled, void* context, int32_t threads) {
    if (!root) return 0;
    if (minimumSize == 0) minimumSize = kScanDefaultMinimum;
    Trace(u"[大文件扫描] 开始, root=%s, minSize=%llu", root, static_cast<unsigned long long>(minimumSize));
    ListSink state{minimumSize, static_cast<LargeFileEntry*>(std::calloc(kFirstRoom, sizeof(LargeFileEntry))),
                   kFirstRoom, 0, false, 0, 0, -1, progress, context, {}};
    if (!state.array) return -1;
    if (!FsVolumeUsedBytes(root, &state.used)) state.used = 0;
    const FinderSink sink{&state, FINDER_SUBFOLDERS_AFTER, ListEnters, ListEntry, ListFolder, ListFailed};
    try {
        FinderWalk(root, threads, sink, cancelled);
    } catch (const std::bad_alloc&) {
        std::free(state.array);
        return -1;
    }
    if (progress) progress(100, state.visited, state.found, context);
    *outEntries = state.array;
    *outCount = state.found;
    return 0;
}
