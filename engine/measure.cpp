#include "engine/measure.h"

#include "engine/catalogue.h"
#include "engine/paths.h"
#include "platform/fs.h"
#include "platform/post.h"
#include "text/text16.h"

namespace {

inline uint64_t EntrySize(const FsEntry& entry) {
    return (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
}

// Measuring only reads, so its walks go by path: a link swapped in between
// two calls can at worst make a size wrong, never delete anything.

// A file entry's bytes: its listed size, 0 for a link. A reparse file that is
// not a link (compressed, deduplicated, a cloud placeholder) is a file.
inline uint64_t FileEntrySize(const FsEntry& entry) {
    return FsIsLink(entry.attributes, entry.reparseTag) ? 0 : EntrySize(entry);
}

// The walk below a directory already known not to be a link. One search
// handle and one path buffer per level; a link met inside counts 0.
uint64_t SizeBelow(const char16_t* dir) {
    char16_t path[kPathUnits];
    if (!MakeSearchPath(path, dir)) return 0;
    FsEntry entry;
    FsFind find = FsFindFirst(path, &entry);
    if (!find) return 0;
    // Room left for a child's name once "dir\" and the terminator are in.
    const size_t room = static_cast<size_t>(kPathUnits) - Text16Length(dir) - 2;
    uint64_t total = 0;
    do {
        if (IsDotEntry(entry.name)) continue;
        if (entry.attributes & FS_ATTR_DIRECTORY) {
            if (!(entry.attributes & FS_ATTR_REPARSE_POINT) && JoinPath(path, dir, entry.name)) total += SizeBelow(path);
        } else if (Text16Length(entry.name) <= room) {
            total += FileEntrySize(entry);
        }
    } while (FsFindNext(find, &entry));
    FsFindClose(find);
    return total;
}

bool IsLink(const char16_t* path) {
    uint32_t attributes = FsGetAttributes(path);
    return attributes != FS_INVALID_ATTRIBUTES && (attributes & FS_ATTR_REPARSE_POINT);
}

uint64_t MatchingFilesSize(const char16_t* location, const char16_t* pattern) {
    char16_t search[kPathUnits];
    if (!JoinPath(search, location, pattern)) return 0;
    FsEntry entry;
    FsFind find = FsFindFirst(search, &entry);
    if (!find) return 0;
    uint64_t total = 0;
    char16_t path[kPathUnits];
    do {
        if (IsDotEntry(entry.name)) continue;
        if (!JoinPath(path, location, entry.name)) continue;
        if (entry.attributes & FS_ATTR_DIRECTORY) {
            if (!(entry.attributes & FS_ATTR_REPARSE_POINT)) total += SizeBelow(path);
        } else {
            total += FileEntrySize(entry);
        }
    } while (FsFindNext(find, &entry));
    FsFindClose(find);
    return total;
}

}  // namespace

uint64_t DirectorySize(const char16_t* dir) {
    if (!dir || IsLink(dir)) return 0;
    return SizeBelow(dir);
}

uint64_t SubdirPatternSize(const char16_t* dir, const char16_t* pattern, int32_t depth) {
    if (depth > 10 || !dir || !pattern) return 0;
    // Deeper levels are only ever plain folders from a listing.
    if (depth == 0 && IsLink(dir)) return 0;
    if (pattern[0] == u'*' && pattern[1] == u'\\') {
        char16_t path[kPathUnits];
        if (!MakeSearchPath(path, dir)) return 0;
        FsEntry entry;
        FsFind find = FsFindFirst(path, &entry);
        if (!find) return 0;
        uint64_t total = 0;
        do {
            if (IsDotEntry(entry.name) || !(entry.attributes & FS_ATTR_DIRECTORY) ||
                (entry.attributes & FS_ATTR_REPARSE_POINT))
                continue;
            if (JoinPath(path, dir, entry.name)) total += SubdirPatternSize(path, pattern + 2, depth + 1);
        } while (FsFindNext(find, &entry));
        FsFindClose(find);
        return total;
    }
    char16_t path[kPathUnits];
    if (!JoinPath(path, dir, pattern)) return 0;
    if (RelativePathCrossesLink(dir, pattern, true)) return 0;
    return SizeBelow(path);
}

uint64_t RecycleBinSize() {
    char16_t drives[512];
    uint32_t length = FsLogicalDriveStrings(drives, 512);
    if (length == 0 || length >= 512) return 0;
    uint64_t total = 0;
    for (const char16_t* root = drives; *root; root += Text16Length(root) + 1) {
        if (FsDriveType(root) != FS_DRIVE_FIXED) continue;
        char16_t bin[kPathUnits];
        size_t rootLength = Text16Length(root);
        static const char16_t kBin[] = u"$Recycle.Bin";
        if (rootLength + sizeof kBin / sizeof kBin[0] > static_cast<size_t>(kPathUnits)) continue;
        for (size_t i = 0; i < rootLength; ++i) bin[i] = root[i];
        for (size_t i = 0; i < sizeof kBin / sizeof kBin[0]; ++i) bin[rootLength + i] = kBin[i];
        uint32_t attributes = FsGetAttributes(bin);
        if (attributes == FS_INVALID_ATTRIBUTES || !(attributes & FS_ATTR_DIRECTORY) ||
            (attributes & FS_ATTR_REPARSE_POINT))
            continue;
        total += SizeBelow(bin);
    }
    return total;
}

uint64_t MeasureItem(const CleanupItem* item) {
    if (!item) return 0;
    // The recycle bins are found through the drive list; the item's bare
    // name is not a location and is not looked up.
    if (item->mode == CM_RECYCLE_BIN) return RecycleBinSize();
    char16_t location[kPathUnits];
    if (PrepareLocation(item->path, location, nullptr) != LOCATION_OK) return 0;
    uint32_t attributes = FsGetAttributes(location);
    if (attributes == FS_INVALID_ATTRIBUTES || (attributes & FS_ATTR_REPARSE_POINT)) return 0;
    switch (item->mode) {
    case CM_CONTENTS:
    case CM_WHOLE_DIR:
        return SizeBelow(location);
    case CM_MATCH_FILES: {
        if (!item->patterns[0]) return SizeBelow(location);
        uint64_t total = 0;
        for (int i = 0; i < kMaxPatterns && item->patterns[i]; ++i) total += MatchingFilesSize(location, item->patterns[i]);
        return total;
    }
    case CM_MATCH_SUBDIRS: {
        if (!item->patterns[0]) return SizeBelow(location);
        uint64_t total = 0;
        for (int i = 0; i < kMaxPatterns && item->patterns[i]; ++i) total += SubdirPatternSize(location, item->patterns[i], 0);
        return total;
    }
    case CM_SINGLE_FILE: {
        uint64_t size = 0;
        return FsGetFileSize(location, &size) ? size : 0;
    }
    default:
        return 0;
    }
}

uint32_t SizeScanWorker(void* window) {
    int32_t total = 0;
    for (const CleanupGroup& group : g_CleanupGroups) total += group.itemCount;
    PostWindowMessage(window, MSG_MEASURE_BEGIN, static_cast<uintptr_t>(total), 0);
    int32_t measured = 0;
    for (CleanupGroup& group : g_CleanupGroups) {
        for (int32_t i = 0; i < group.itemCount; ++i) {
            group.items[i].size.store(MeasureItem(&group.items[i]), std::memory_order_relaxed);
            ++measured;
            PostWindowMessage(window, MSG_MEASURE_PROGRESS, static_cast<uintptr_t>(measured), 0);
        }
    }
    PostWindowMessage(window, MSG_MEASURE_FINISHED, 0, 0);
    return 0;
}

uint64_t MeasureSelectedItems() {
    uint64_t total = 0;
    for (CleanupGroup& group : g_CleanupGroups) {
        for (int32_t i = 0; i < group.itemCount; ++i) {
            CleanupItem& item = group.items[i];
            bool selected = ItemSelected(item);
            uint64_t size = selected ? MeasureItem(&item) : 0;
            item.size.store(size, std::memory_order_relaxed);
            total += size;
        }
    }
    return total;
}
