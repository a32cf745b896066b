#include "largefiles/results.h"

#include "text/text16.h"

#include <cstring>

std::atomic<LargeFileEntry*> g_pLargeFiles{nullptr};
std::atomic<int32_t> g_nLargeFiles{0};
std::atomic<int32_t> g_bLargeScanBusy{0};
int32_t g_nLargeSortColumn = -1;
int32_t g_bLargeSortDescending = 0;

int CompareLargeFileRows(intptr_t tagA, intptr_t tagB, intptr_t) {
    int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    if (tagA < 0 || tagA >= count || tagB < 0 || tagB >= count) return 0;
    const LargeFileEntry* entries = g_pLargeFiles.load(std::memory_order_acquire);
    const LargeFileEntry& a = entries[tagA];
    const LargeFileEntry& b = entries[tagB];
    int result = 0;
    if (g_nLargeSortColumn == 0) {
        for (size_t i = 0;; ++i) {
            uint16_t ua = a.path[i], ub = b.path[i];
            if (ua != ub) {
                result = ua < ub ? -1 : 1;
                break;
            }
            if (ua == 0) break;
        }
    } else if (g_nLargeSortColumn == 1) {
        result = a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
    }
    return g_bLargeSortDescending == 1 ? -result : result;
}

void ChooseLargeSortColumn(int32_t column) {
    if (column == g_nLargeSortColumn) {
        g_bLargeSortDescending = g_bLargeSortDescending ? 0 : 1;
    } else {
        g_nLargeSortColumn = column;
        g_bLargeSortDescending = 0;
    }
}

bool LargeFileFolder(const char16_t* path, char16_t* folder) {
    int last = -1;
    for (int i = 0; i < 260 && path[i]; ++i) {
        if (path[i] == u'\\') last = i;
    }
    if (last < 0) return false;
    std::memcpy(folder, path, static_cast<size_t>(last) * sizeof(char16_t));
    folder[last] = 0;
    // A file directly in the root keeps the root's own backslash: "C:\\x"
    // gives "C:\".
    return true;
}

bool LargeFilePathMayBeCut(const char16_t* path) { return Text16Length(path) >= 259; }

bool LargeFileLiteralPath(const char16_t* path, char16_t* out, size_t capacity) {
    static const char16_t kDrive[] = u"\\\\?\\";
    static const char16_t kShare[] = u"\\\\?\\UNC";
    const bool share = path[0] == u'\\' && path[1] == u'\\';
    const char16_t* prefix = share ? kShare : kDrive;
    size_t outLength = Text16CopyTruncated(out, capacity, prefix);
    if (outLength != Text16Length(prefix)) return false;
    // A share keeps one of its two leading separators after "UNC".
    for (const char16_t* p = share ? path + 1 : path; *p; ++p) {
        if (*p == u'\\' && outLength > 0 && out[outLength - 1] == u'\\') continue;
        if (outLength + 1 >= capacity) return false;
        out[outLength++] = *p;
    }
    out[outLength] = 0;
    return true;
}

bool RemoveLargeFileRecord(int32_t j) {
    int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    if (j < 0 || j >= count) return false;
    LargeFileEntry* entries = g_pLargeFiles.load(std::memory_order_acquire);
    for (int32_t k = j; k + 1 < count; ++k) entries[k] = entries[k + 1];
    g_nLargeFiles.store(count - 1, std::memory_order_release);
    return true;
}
