#include "largefiles/results.h"

#include "platform/fs.h"
#include "platform/fs_common.h"
#include "text/text16.h"

#include <cstdlib>
#include <cstring>

std::atomic<LargeFileEntry*> g_pLargeFiles{nullptr};
std::atomic<int32_t> g_nLargeFiles{0};

void PublishLargeFiles(LargeFileEntry* entries, int32_t count) {
    g_pLargeFiles.store(entries, std::memory_order_release);
    g_nLargeFiles.store(count, std::memory_order_release);
}

void ClearLargeFiles() {
    g_nLargeFiles.store(0, std::memory_order_release);
    std::free(g_pLargeFiles.exchange(nullptr));
}

bool IsFileWindowsHolds(const char16_t* path) {
    static const char16_t* const kHeld[] = {u"pagefile.sys", u"hiberfil.sys", u"swapfile.sys"};
    // Only in a drive's root: "X:\name".
    if (!path[0] || path[1] != u':' || path[2] != u'\\') return false;
    const char16_t* name = path + 3;
    for (const char16_t* held : kHeld) {
        size_t i = 0;
        for (; held[i] && name[i]; ++i) {
            char16_t c = name[i] >= u'A' && name[i] <= u'Z' ? static_cast<char16_t>(name[i] + 32) : name[i];
            if (c != held[i]) break;
        }
        if (!held[i] && !name[i]) return true;
    }
    return false;
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
    return WindowsLongForm(path, out, capacity) != 0;
}

ListedFileState ActOnListedFile(const LargeFileEntry& entry, bool remove) {
    if (entry.id == FS_NO_ID) return LISTED_FILE_CHANGED;  // nothing to vouch for it
    int last = -1;
    for (int i = 0; i < 260 && entry.path[i]; ++i) {
        if (entry.path[i] == u'\\') last = i;
    }
    if (last < 0) return LISTED_FILE_CHANGED;
    char16_t folder[260];
    std::memcpy(folder, entry.path, static_cast<size_t>(last) * sizeof(char16_t));
    folder[last] = 0;
    // "C:" is the drive's working folder; its root is "C:\".
    if (FsRootLength(folder) == 0 && last > 0 && folder[last - 1] == u':') {
        folder[last] = u'\\';
        folder[last + 1] = 0;
    }
    const char16_t* name = entry.path + last + 1;
    FsDir dir = FsOpenDir(folder, false);
    if (!dir) {
        uint32_t error = FsLastError();
        return (error == FS_ERROR_STOPPED_ON_SYMLINK || error == FS_ERROR_FILE_NOT_FOUND ||
                error == FS_ERROR_PATH_NOT_FOUND || error == FS_ERROR_DIRECTORY)
                   ? LISTED_FILE_CHANGED
                   : LISTED_FILE_FAILED;
    }
    FsEntry found;
    FsFind find = FsDirFindFirst(dir, name, &found, true);
    if (find) FsFindClose(find);
    const uint64_t size = (static_cast<uint64_t>(found.sizeHigh) << 32) | found.sizeLow;
    ListedFileState state = LISTED_FILE_OK;
    if (!find || !Text16Equal(found.name, name) || (found.attributes & (FS_ATTR_DIRECTORY | FS_ATTR_REPARSE_POINT)) ||
        !FsSameFileId(found.id, entry.id) || size != entry.size) {
        state = LISTED_FILE_CHANGED;
    } else if (remove && !FsDeleteListedFileAt(dir, name, found.id, entry.size)) {
        switch (FsLastError()) {
        case FS_ERROR_CHANGED:
        case FS_ERROR_FILE_NOT_FOUND:
        case FS_ERROR_PATH_NOT_FOUND:
            state = LISTED_FILE_CHANGED;
            break;
        case FS_ERROR_HARD_LINKED:
            state = LISTED_FILE_HARD_LINKED;
            break;
        case FS_ERROR_SHARING_VIOLATION:
        case FS_ERROR_LOCK_VIOLATION:
            state = LISTED_FILE_IN_USE;
            break;
        default:
            state = LISTED_FILE_FAILED;
            break;
        }
    }
    FsCloseDir(dir, false);
    return state;
}

bool RemoveLargeFileRecord(int32_t j) {
    int32_t count = g_nLargeFiles.load(std::memory_order_acquire);
    if (j < 0 || j >= count) return false;
    LargeFileEntry* entries = g_pLargeFiles.load(std::memory_order_acquire);
    for (int32_t k = j; k + 1 < count; ++k) entries[k] = entries[k + 1];
    g_nLargeFiles.store(count - 1, std::memory_order_release);
    return true;
}
