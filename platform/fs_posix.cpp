// The file-system seam on Linux, for native tests and benchmarks.
//
// Paths arrive in the Windows form ('\' separators) and are used with '/'.
// A listing reads the directory through its descriptor and looks at each
// entry relative to it (d_type first, fstatat only when the size or the kind
// is needed): no full-path lookup per entry. Symbolic links are reported as
// reparse points, with the directory bit when they point at a directory,
// and size 0; nothing here ever changes a link's target.
#include "platform/fs.h"

#include "platform/expand.h"
#include "platform/text16.h"
#include "platform/wildcard.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local uint32_t t_lastError = 0;

constexpr size_t kNativePathBytes = 4096 * 3 + 1;

uint32_t MapErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return FS_ERROR_ACCESS_DENIED;
    case EBUSY:
    case ETXTBSY:
        return FS_ERROR_SHARING_VIOLATION;
    case ENOENT:
        return FS_ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return FS_ERROR_PATH_NOT_FOUND;
    case ENOTEMPTY:
    case EEXIST:
        return FS_ERROR_DIR_NOT_EMPTY;
    case ENOMEM:
        return FS_ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
        return 206;  // ERROR_FILENAME_EXCED_RANGE
    default:
        return 0x20000000u | static_cast<uint32_t>(error);  // customer bit: never a Win32 code
    }
}

bool Fail(int error) {
    t_lastError = MapErrno(error);
    return false;
}

// UTF-16 Windows path to a native one; false when it cannot be represented.
bool NativePath(const char16_t* path, char* out) {
    if (!path || !Utf16ToUtf8(path, out, kNativePathBytes)) return false;
    for (char* p = out; *p; ++p) {
        if (*p == '\\') *p = '/';
    }
    return true;
}

uint32_t AttributesOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return FS_ATTR_DIRECTORY;
    uint32_t attributes = FS_ATTR_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) attributes |= FS_ATTR_READONLY;
    return attributes;
}

void SetSize(FsEntry* entry, uint64_t size) {
    entry->sizeHigh = static_cast<uint32_t>(size >> 32);
    entry->sizeLow = static_cast<uint32_t>(size);
}

}  // namespace

struct FsListing {
    DIR* dir;
    bool matchAll;
    bool directoriesOnly;
    char16_t pattern[260];
};

namespace {

// Fills entry from the next directory entry that matches; false at the end.
bool ReadMatching(FsListing* listing, FsEntry* entry) {
    int fd = dirfd(listing->dir);
    for (;;) {
        errno = 0;
        struct dirent* d = readdir(listing->dir);
        if (!d) {
            t_lastError = errno ? MapErrno(errno) : 18;  // ERROR_NO_MORE_FILES
            return false;
        }
        if (!Utf8ToUtf16(d->d_name, entry->name, 260)) continue;
        if (!listing->matchAll && !WildcardMatch(listing->pattern, entry->name)) continue;
        struct stat st;
        if (listing->directoriesOnly && d->d_type != DT_DIR && d->d_type != DT_LNK && d->d_type != DT_UNKNOWN) {
            entry->attributes = FS_ATTR_ARCHIVE;  // size not looked up
            SetSize(entry, 0);
            return true;
        }
        switch (d->d_type) {
        case DT_DIR:
            entry->attributes = FS_ATTR_DIRECTORY;
            SetSize(entry, 0);
            return true;
        case DT_LNK:
            entry->attributes = FS_ATTR_REPARSE_POINT | FS_ATTR_ARCHIVE;
            if (fstatat(fd, d->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) entry->attributes = FS_ATTR_REPARSE_POINT | FS_ATTR_DIRECTORY;
            SetSize(entry, 0);
            return true;
        default:
            if (fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished meanwhile
            if (S_ISLNK(st.st_mode)) {
                struct stat target;
                entry->attributes = FS_ATTR_REPARSE_POINT |
                    ((fstatat(fd, d->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode)) ? FS_ATTR_DIRECTORY : FS_ATTR_ARCHIVE);
                SetSize(entry, 0);
                return true;
            }
            entry->attributes = AttributesOf(st);
            SetSize(entry, S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size));
            return true;
        }
    }
}

}  // namespace

FsFind FsFindFirst(const char16_t* pattern, FsEntry* entry) { return FsFindFirstEx(pattern, entry, false); }

FsFind FsFindFirstEx(const char16_t* pattern, FsEntry* entry, bool directoriesOnly) {
    char native[kNativePathBytes];
    int split = pattern ? SplitSearchPattern(pattern) : -1;
    if (split < 0 || !NativePath(pattern, native)) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return nullptr;
    }
    // The native text keeps the separator positions of the UTF-16 one only
    // in units, so cut it at its own last '/'.
    char* slash = std::strrchr(native, '/');
    const char* dirPath = native;
    if (slash == native) {
        dirPath = "/";
    } else {
        *slash = 0;
    }
    const char16_t* namePattern = pattern + split + 1;
    if (Text16Length(namePattern) >= 260) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return nullptr;
    }
    int fd = open(dirPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno == ENOENT ? ENOTDIR : errno);
        return nullptr;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
        Fail(errno);
        close(fd);
        return nullptr;
    }
    FsListing* listing = new (std::nothrow) FsListing;
    if (!listing) {
        closedir(dir);
        t_lastError = FS_ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    listing->dir = dir;
    listing->matchAll = namePattern[0] == u'*' && namePattern[1] == 0;
    listing->directoriesOnly = directoriesOnly;
    Text16CopyTruncated(listing->pattern, 260, namePattern);
    if (!ReadMatching(listing, entry)) {
        closedir(dir);
        delete listing;
        t_lastError = FS_ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return listing;
}

bool FsFindNext(FsFind find, FsEntry* entry) { return find && ReadMatching(find, entry); }

void FsFindClose(FsFind find) {
    if (!find) return;
    closedir(find->dir);
    delete find;
}

uint32_t FsGetAttributes(const char16_t* path) {
    char native[kNativePathBytes];
    if (!NativePath(path, native)) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return FS_INVALID_ATTRIBUTES;
    }
    struct stat st;
    if (lstat(native, &st) != 0) {
        Fail(errno);
        return FS_INVALID_ATTRIBUTES;
    }
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        return FS_ATTR_REPARSE_POINT |
               ((stat(native, &target) == 0 && S_ISDIR(target.st_mode)) ? FS_ATTR_DIRECTORY : FS_ATTR_ARCHIVE);
    }
    return AttributesOf(st);
}

bool FsGetFileSize(const char16_t* path, uint64_t* size) {
    char native[kNativePathBytes];
    if (!NativePath(path, native)) return Fail(EINVAL);
    struct stat st;
    if (lstat(native, &st) != 0) return Fail(errno);
    *size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    return true;
}

bool FsSetAttributes(const char16_t* path, uint32_t attributes) {
    char native[kNativePathBytes];
    if (!NativePath(path, native)) return Fail(EINVAL);
    struct stat st;
    if (lstat(native, &st) != 0) return Fail(errno);
    // chmod would act on a link's target: a link keeps what it has.
    if (S_ISLNK(st.st_mode)) return true;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FS_ATTR_READONLY) ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    if (chmod(native, mode) != 0) return Fail(errno);
    return true;
}

bool FsDeleteFile(const char16_t* path) {
    char native[kNativePathBytes];
    if (!NativePath(path, native)) return Fail(EINVAL);
    struct stat st;
    if (lstat(native, &st) != 0) return Fail(errno);
    if (S_ISDIR(st.st_mode)) return Fail(EACCES);  // as DeleteFileW on a directory
    if (unlink(native) != 0) return Fail(errno);
    return true;
}

bool FsRemoveDirectory(const char16_t* path) {
    char native[kNativePathBytes];
    if (!NativePath(path, native)) return Fail(EINVAL);
    struct stat st;
    if (lstat(native, &st) != 0) return Fail(errno);
    if (S_ISLNK(st.st_mode)) {
        // Removing a directory link removes the link alone, as on Windows.
        struct stat target;
        if (stat(native, &target) != 0 || !S_ISDIR(target.st_mode)) {
            t_lastError = 267;  // ERROR_DIRECTORY
            return false;
        }
        if (unlink(native) != 0) return Fail(errno);
        return true;
    }
    if (!S_ISDIR(st.st_mode)) {
        t_lastError = 267;
        return false;
    }
    if (rmdir(native) != 0) return Fail(errno);
    return true;
}

uint32_t FsLastError() { return t_lastError; }

namespace {

const char16_t* LookupEnvironment(const char16_t* name, void* context) {
    char native[1024];
    if (!Utf16ToUtf8(name, native, sizeof native)) return nullptr;
    const char* value = std::getenv(native);
    char16_t* buffer = static_cast<char16_t*>(context);
    if (!value || !Utf8ToUtf16(value, buffer, 4096)) return nullptr;
    return buffer;
}

}  // namespace

bool FsExpandEnvironment(const char16_t* source, char16_t* dst, uint32_t capacity) {
    char16_t value[4096];
    return ExpandReferences(source, dst, capacity, LookupEnvironment, value);
}

uint32_t FsLogicalDriveStrings(char16_t* buffer, uint32_t capacity) {
    // Linux has no drive letters and no recycle bins of the Windows kind.
    if (buffer && capacity) buffer[0] = 0;
    return 0;
}

uint32_t FsDriveType(const char16_t*) { return 0; }

void FsEmptyRecycleBins() {}
