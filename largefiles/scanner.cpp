#include "largefiles/scanner.h"

#include "largefiles/scan_rules.h"
#include "platform/fs.h"
#include "text/format.h"
#include "text/text16.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kFirstRoom = 64;

void* (*g_scanRealloc)(void*, size_t) = std::realloc;

ScanDirNode* NewNode(const char16_t* path, size_t length, int32_t depth) {
    ScanDirNode* node = static_cast<ScanDirNode*>(std::malloc(sizeof(ScanDirNode)));
    if (!node) return nullptr;
    node->path = static_cast<char16_t*>(std::malloc((length + 1) * sizeof(char16_t)));
    if (!node->path) {
        std::free(node);
        return nullptr;
    }
    std::memcpy(node->path, path, length * sizeof(char16_t));
    node->path[length] = 0;
    node->depth = depth;
    node->next = nullptr;
    return node;
}

void FreeNode(ScanDirNode* node) {
    std::free(node->path);
    std::free(node);
}

void FreeStack(ScanDirNode* top) {
    while (top) {
        ScanDirNode* next = top->next;
        FreeNode(top);
        top = next;
    }
}

struct Walk {
    char16_t* pattern;  // kScanPathUnits
    char16_t* child;    // kScanPathUnits
    ScanDirNode* stack;
    ScanCancelledCallback cancelled;
    bool Cancelled() const { return cancelled && cancelled(); }
};

// What a pass does with each file entry; the counting pass has none.
struct Results {
    uint64_t minimum;
    LargeFileEntry* array;
    int32_t room;
    int32_t found;
};

// The id of the file `name` in the folder held (or opened now, at the
// folder's first result) as the folder's own listing gives it: the walk's
// listing by path carries none. FS_NO_ID when it cannot be read.
uint64_t ListedFileId(const char16_t* folder, FsDir* held, const char16_t* name) {
    if (!*held) *held = FsOpenDir(folder, false);
    if (!*held) return FS_NO_ID;
    FsEntry entry;
    FsFind find = FsDirFindFirst(*held, name, &entry, false);
    if (!find) return FS_NO_ID;
    FsFindClose(find);
    return Text16Equal(entry.name, name) ? entry.id : static_cast<uint64_t>(FS_NO_ID);
}

// Lists one directory (steps 3 to 5 of handling a node), pushing the
// subdirectories and, with results, testing the files.
void ListDirectory(Walk& walk, const ScanDirNode& node, Results* results) {
    size_t length = Text16Length(node.path);
    if (length + 3 >= kScanPathUnits) return;
    // A root keeps its own separator ("C:\"): its children take no second.
    if (length > 0 && node.path[length - 1] == u'\\') --length;
    std::memcpy(walk.pattern, node.path, length * sizeof(char16_t));
    walk.pattern[length] = u'\\';
    walk.pattern[length + 1] = u'*';
    walk.pattern[length + 2] = 0;
    FsEntry entry;
    FsFind find = FsFindFirstEx(walk.pattern, &entry, results == nullptr);
    if (!find) return;
    std::memcpy(walk.child, node.path, length * sizeof(char16_t));
    walk.child[length] = u'\\';
    FsDir held = nullptr;
    do {
        if (walk.Cancelled()) break;
        if (IsDotName(entry.name) || IsScanSkippedName(entry.name) || (entry.attributes & FS_ATTR_REPARSE_POINT)) continue;
        bool directory = (entry.attributes & FS_ATTR_DIRECTORY) != 0;
        // A cloud folder's listing would be fetched: not entered.
        if (directory && FsDataIsRemote(entry.attributes)) continue;
        if (!directory && !results) continue;
        size_t nameLength = Text16Length(entry.name);
        if (length + 1 + nameLength >= kScanPathUnits) continue;
        std::memcpy(walk.child + length + 1, entry.name, (nameLength + 1) * sizeof(char16_t));
        size_t childLength = length + 1 + nameLength;
        if (directory) {
            ScanDirNode* pushed = NewNode(walk.child, childLength, node.depth + 1);
            if (!pushed) continue;  // that subdirectory is left out
            pushed->next = walk.stack;
            walk.stack = pushed;
            continue;
        }
        uint64_t size = (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
        if (size < results->minimum) continue;
        if (results->found == results->room) {
            size_t grown = static_cast<size_t>(results->room) * 2;
            void* bigger = g_scanRealloc(results->array, grown * sizeof(LargeFileEntry));
            if (!bigger) break;  // the rest of this directory is left out
            results->array = static_cast<LargeFileEntry*>(bigger);
            results->room = static_cast<int32_t>(grown);
        }
        LargeFileEntry& record = results->array[results->found];
        Text16CopyTruncated(record.path, 260, walk.child);
        record.size = size;
        record.id = ListedFileId(node.path, &held, entry.name);
        // Asked for the results alone: one more call per listed file, none
        // for the thousands that are smaller.
        // A cloud file's space is read from its listing alone: opening it
        // would fetch it. Its data is elsewhere, so it takes what the listing
        // says, or nothing.
        if (FsDataIsRemote(entry.attributes)) {
            record.space = entry.space == FS_NO_SPACE ? 0 : entry.space;
        } else if (!FsFileSpace(walk.child, &record.space)) {
            record.space = size;
        }
        results->found++;
    } while (FsFindNext(find, &entry));
    FsFindClose(find);
    if (held) FsCloseDir(held, false);
}

// The next directory to handle, or null when the pass is over: polls for
// cancellation before each node (a cancelled pass drops the whole stack)
// and frees, uncounted, the nodes deeper than 30 levels.
ScanDirNode* NextNode(Walk& walk) {
    while (walk.stack) {
        if (walk.Cancelled()) {
            FreeStack(walk.stack);
            walk.stack = nullptr;
            return nullptr;
        }
        ScanDirNode* node = walk.stack;
        walk.stack = node->next;
        if (node->depth <= kScanMaxDepth) return node;
        FreeNode(node);
    }
    return nullptr;
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
                       ScanProgressCallback progress, ScanCancelledCallback cancelled, void* context) {
    if (!root) return 0;
    if (minimumSize == 0) minimumSize = kScanDefaultMinimum;
    Trace(u"[大文件扫描] 开始, root=%s, minSize=%llu", root, static_cast<unsigned long long>(minimumSize));
    auto report = [&](int32_t percent, int32_t directories, int32_t files) {
        if (progress) progress(percent, directories, files, context);
    };

    size_t rootLength = Text16Length(root);
    Walk walk{static_cast<char16_t*>(std::malloc(kScanPathUnits * sizeof(char16_t))),
              static_cast<char16_t*>(std::malloc(kScanPathUnits * sizeof(char16_t))), nullptr, cancelled};
    walk.stack = (walk.pattern && walk.child) ? NewNode(root, rootLength, 0) : nullptr;
    if (!walk.stack) {
        std::free(walk.pattern);
        std::free(walk.child);
        return -1;
    }

    // Counting pass.
    int32_t counted = 0;
    int32_t lastReport = 0;
    while (ScanDirNode* node = NextNode(walk)) {
        counted++;
        if (counted - lastReport >= 500) {
            report(counted > 20000 ? 5 : counted * 5 / 20000, counted, 0);
            lastReport = counted;
        }
        ListDirectory(walk, *node, nullptr);
        FreeNode(node);
    }
    int32_t total = counted ? counted : 1;
    report(5, total, 0);

    Results results{minimumSize, static_cast<LargeFileEntry*>(std::calloc(kFirstRoom, sizeof(LargeFileEntry))),
                    kFirstRoom, 0};
    walk.stack = results.array ? NewNode(root, rootLength, 0) : nullptr;
    if (!walk.stack) {
        std::free(results.array);
        std::free(walk.pattern);
        std::free(walk.child);
        return -1;
    }

    // Search pass.
    int32_t visited = 0;
    int32_t lastPercent = 0;
    while (ScanDirNode* node = NextNode(walk)) {
        visited++;
        int64_t percent = 5 + static_cast<int64_t>(visited) * 95 / total;
        if (percent > 100) percent = 100;
        if (visited % 50 == 0 || percent != lastPercent) {
            report(static_cast<int32_t>(percent), visited, results.found);
            lastPercent = static_cast<int32_t>(percent);
        }
        ListDirectory(walk, *node, &results);
        FreeNode(node);
    }

    std::free(walk.pattern);
    std::free(walk.child);
    report(100, visited, results.found);
    *outEntries = results.array;
    *outCount = results.found;
    return 0;
}
