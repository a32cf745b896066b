// The file-system seam on Linux, for native tests and benchmarks.
//
// Paths arrive in the Windows form ('\' separators) and are used with '/'.
// A listing reads the directory through its descriptor and looks at each
// entry relative to it (d_type first, fstatat only when the size or the kind
// is needed): no full-path lookup per entry. Symbolic links are reported as
// reparse points, with the directory bit when they point at a directory,
// and size 0 (tag 0, so always a link); nothing here ever changes a link's
// target. A name that holds a backslash is never listed: no Windows name can
// hold one, and it would read as a path.
#include "platform/fs.h"

#include "platform/expand.h"
#include "text/text16.h"
#include "text/wildcard.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/stat.h>
#include <sys/syscall.h>
#endif

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

// st_mtim as FILETIME units; 0 for a time before 1601.
uint64_t FileTimeOf(const struct stat& st) {
    const int64_t seconds = static_cast<int64_t>(st.st_mtim.tv_sec) + static_cast<int64_t>(kFsUnixEpochSeconds);
    if (seconds < 0) return 0;
    return static_cast<uint64_t>(seconds) * 10000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100u;
}

void SetSize(FsEntry* entry, uint64_t size) {
    entry->sizeHigh = static_cast<uint32_t>(size >> 32);
    entry->sizeLow = static_cast<uint32_t>(size);
}

}  // namespace

struct FsListing {
    DIR* dir;
    bool ownsDir;          // false: the held folder's stream, closed with it
    bool matchAll;
    bool directoriesOnly;
    bool kindsOnly;        // no stat where d_type tells the kind
    char16_t pattern[260];
};

struct FsFolder {
    int fd;
    DIR* dir;           // made on the first listing, from a duplicate of fd
    int parentFd;       // the folder that holds it, for its removal
    bool ownsParent;    // opened by path: parentFd is this folder's own
    dev_t device;
    std::string name;   // native name in the parent
};

namespace {

// Fills entry from the next directory entry that matches; false at the end.
bool ReadMatching(FsListing* listing, FsEntry* entry) {
    int fd = dirfd(listing->dir);
    for (;;) {
        errno = 0;
        struct dirent* d = readdir(listing->dir);
        if (!d) {
            t_lastError = errno ? MapErrno(errno) : FS_ERROR_NO_MORE_FILES;
            return false;
        }
        if (std::strchr(d->d_name, '\\') || !Utf8ToUtf16(d->d_name, entry->name, 260)) continue;
        if (!listing->matchAll && !WildcardMatch(listing->pattern, entry->name)) continue;
        entry->reparseTag = 0;
        entry->id = static_cast<uint64_t>(d->d_ino);
        entry->space = FS_NO_SPACE;
        entry->links = 0;
        entry->modified = 0;
        struct stat st;
        if (listing->kindsOnly && d->d_type == DT_REG) {
            entry->attributes = FS_ATTR_ARCHIVE;
            SetSize(entry, 0);
            return true;
        }
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
            entry->space = static_cast<uint64_t>(st.st_blocks) * 512u;
            entry->links = static_cast<uint32_t>(st.st_nlink);
            entry->modified = FileTimeOf(st);
            return true;
        }
    }
}

FsFind BeginListing(FsListing* listing, DIR* dir, bool ownsDir, const char16_t* namePattern, bool directoriesOnly,
                    bool kindsOnly, FsEntry* entry) {
    listing->dir = dir;
    listing->ownsDir = ownsDir;
    listing->matchAll = namePattern[0] == u'*' && namePattern[1] == 0;
    listing->directoriesOnly = directoriesOnly;
    listing->kindsOnly = kindsOnly;
    Text16CopyTruncated(listing->pattern, 260, namePattern);
    if (!ReadMatching(listing, entry)) {
        if (ownsDir) closedir(dir);
        delete listing;
        t_lastError = FS_ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return listing;
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
    return BeginListing(listing, dir, true, namePattern, directoriesOnly, false, entry);
}

bool FsFindNext(FsFind find, FsEntry* entry) { return find && ReadMatching(find, entry); }

void FsFindClose(FsFind find) {
    if (!find) return;
    if (find->ownsDir) closedir(find->dir);
    delete find;
}

uint32_t FsLastError() { return t_lastError; }

namespace {

bool NativeName(const char16_t* name, char* out, size_t capacity) {
    if (!name || !name[0] || !Utf16ToUtf8(name, out, capacity)) return false;
    return std::strchr(out, '/') == nullptr && std::strchr(out, '\\') == nullptr;
}

#ifdef O_PATH
const int kPassThrough = O_PATH;  // needs search permission only
#else
const int kPassThrough = O_RDONLY;
#endif

// Opens the folder `name` in `at` without following a link. O_NOFOLLOW
// makes a link fail to open; the error is then told apart by what the name
// is, and fstat confirms what was opened.
int OpenFolderAt(int at, const char* name, int mode, struct stat* st) {
    int fd = openat(at, name, mode | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        struct stat link;
        if (error == ELOOP ||
            (error == ENOTDIR && fstatat(at, name, &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode))) {
            t_lastError = FS_ERROR_STOPPED_ON_SYMLINK;
        } else if (error == ENOTDIR) {
            t_lastError = FS_ERROR_DIRECTORY;
        } else {
            Fail(error);
        }
        return -1;
    }
    if (fstat(fd, st) != 0 || !S_ISDIR(st->st_mode)) {
        close(fd);
        t_lastError = FS_ERROR_DIRECTORY;
        return -1;
    }
    return fd;
}

FsDir MakeFolder(int fd, const struct stat& st, int parentFd, bool ownsParent, const char* name) {
    FsFolder* folder = new (std::nothrow) FsFolder{fd, nullptr, parentFd, ownsParent, st.st_dev, std::string()};
    if (!folder) {
        close(fd);
        if (ownsParent && parentFd >= 0) close(parentFd);
        t_lastError = FS_ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    folder->name = name;
    return folder;
}

}  // namespace

FsDir FsOpenDir(const char16_t* path, bool, const FsIdentity* above, bool* metAbove) {
    if (metAbove) *metAbove = false;
    char native[kNativePathBytes];
    if (!NativePath(path, native) || !native[0]) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return nullptr;
    }
    // From the root (or the working folder), one component at a time.
    int at = native[0] == '/' ? open("/", kPassThrough | O_DIRECTORY | O_CLOEXEC) : AT_FDCWD;
    if (native[0] == '/' && at < 0) {
        Fail(errno);
        return nullptr;
    }
    auto note = [&](int fd) {
        struct stat st;
        if (above && metAbove && fstat(fd, &st) == 0 &&
            FsSameIdentity(*above, FsIdentity{static_cast<uint64_t>(st.st_dev), 0, static_cast<uint64_t>(st.st_ino)}))
            *metAbove = true;
    };
    char* component = native;
    while (*component == '/') ++component;
    if (!*component) {
        // The root itself: it has no parent to be removed from.
        struct stat st;
        int fd = at >= 0 ? dup(at) : -1;
        if (at >= 0) close(at);
        if (fd < 0 || fstat(fd, &st) != 0) {
            Fail(errno);
            if (fd >= 0) close(fd);
            return nullptr;
        }
        return MakeFolder(fd, st, -1, false, ".");
    }
    if (at >= 0) note(at);
    for (;;) {
        char* end = component;
        while (*end && *end != '/') ++end;
        char* next = end;
        while (*next == '/') ++next;
        *end = 0;
        struct stat st;
        bool last = *next == 0;
        int fd = OpenFolderAt(at, component, last ? O_RDONLY : kPassThrough, &st);
        if (fd < 0) {
            if (!last && t_lastError == FS_ERROR_DIRECTORY) t_lastError = FS_ERROR_PATH_NOT_FOUND;
            if (!last && t_lastError == FS_ERROR_FILE_NOT_FOUND) t_lastError = FS_ERROR_PATH_NOT_FOUND;
            if (at >= 0) close(at);
            if (metAbove) *metAbove = false;
            return nullptr;
        }
        if (last) return MakeFolder(fd, st, at, true, component);
        note(fd);
        if (at >= 0) close(at);
        at = fd;
        component = next;
    }
}

namespace {

// A mount root: a bind mount of a folder of the same device has the same
// st_dev, so only the mount flag tells it from a plain folder. Where statx
// cannot say, st_dev alone decides.
bool IsMountRoot(int fd) {
#if defined(__linux__) && defined(STATX_ATTR_MOUNT_ROOT) && defined(SYS_statx)
    struct statx sx;
    if (syscall(SYS_statx, fd, "", AT_EMPTY_PATH, 0, &sx) == 0 && (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#else
    (void)fd;
#endif
    return false;
}

}  // namespace

FsDir FsOpenSubdir(FsDir dir, const char16_t* name, bool, uint64_t listed) {
    char native[260 * 3 + 1];
    if (!dir || !NativeName(name, native, sizeof native)) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return nullptr;
    }
    struct stat st;
    int fd = OpenFolderAt(dir->fd, native, O_RDONLY, &st);
    if (fd < 0) return nullptr;
    // A mount inside the location is another volume, as a Windows mount
    // point is a reparse point: not entered.
    if (st.st_dev != dir->device || IsMountRoot(fd)) {
        close(fd);
        t_lastError = FS_ERROR_STOPPED_ON_SYMLINK;
        return nullptr;
    }
    // Swapped since the listing (a rename between the two calls).
    if (listed != FS_NO_ID && static_cast<uint64_t>(st.st_ino) != listed) {
        close(fd);
        t_lastError = FS_ERROR_CHANGED;
        return nullptr;
    }
    return MakeFolder(fd, st, dir->fd, false, native);
}

bool FsDirIdentity(FsDir dir, FsIdentity* identity) {
    struct stat st;
    if (!dir || fstat(dir->fd, &st) != 0) return Fail(errno);
    *identity = FsIdentity{static_cast<uint64_t>(st.st_dev), 0, static_cast<uint64_t>(st.st_ino)};
    return true;
}

bool FsResolveFolder(const char16_t* path, char16_t* real, uint32_t capacity, FsIdentity* identity) {
    char native[kNativePathBytes];
    if (!NativePath(path, native)) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return false;
    }
    char* resolved = realpath(native, nullptr);
    if (!resolved) return Fail(errno == ENOENT ? ENOTDIR : errno);
    struct stat st;
    bool ok = stat(resolved, &st) == 0 || Fail(errno);
    if (ok && !S_ISDIR(st.st_mode)) {
        t_lastError = FS_ERROR_DIRECTORY;
        ok = false;
    }
    if (ok && real && !Utf8ToUtf16(resolved, real, capacity)) {
        t_lastError = FS_ERROR_FILENAME_EXCED_RANGE;
        ok = false;
    }
    std::free(resolved);
    if (ok) *identity = FsIdentity{static_cast<uint64_t>(st.st_dev), 0, static_cast<uint64_t>(st.st_ino)};
    return ok;
}

FsFind FsDirFindFirst(FsDir dir, const char16_t* pattern, FsEntry* entry, bool sizes) {
    if (!dir || !pattern || Text16Length(pattern) >= 260) {
        t_lastError = FS_ERROR_INVALID_NAME;
        return nullptr;
    }
    if (dir->dir) {
        rewinddir(dir->dir);
    } else {
        int copy = dup(dir->fd);
        if (copy < 0) {
            Fail(errno);
            return nullptr;
        }
        dir->dir = fdopendir(copy);
        if (!dir->dir) {
            Fail(errno);
            close(copy);
            return nullptr;
        }
    }
    FsListing* listing = new (std::nothrow) FsListing;
    if (!listing) {
        t_lastError = FS_ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    return BeginListing(listing, dir->dir, false, pattern, false, !sizes, entry);
}

bool FsDeleteFileAt(FsDir dir, const char16_t* name, bool, uint32_t* names) {
    // Unlinking needs no write permission on the file itself: nothing to clear.
    char native[260 * 3 + 1];
    if (!dir || !NativeName(name, native, sizeof native)) return Fail(EINVAL);
    struct stat st;
    if (names) *names = fstatat(dir->fd, native, &st, AT_SYMLINK_NOFOLLOW) == 0 ? static_cast<uint32_t>(st.st_nlink) : 0;
    if (unlinkat(dir->fd, native, 0) != 0) return Fail(errno);
    return true;
}

// Posix cannot delete through a descriptor: the check and the unlink are
// two calls on the held folder (the native backend serves tests and
// benchmarks only).
bool FsDeleteListedFileAt(FsDir dir, const char16_t* name, uint64_t id, uint64_t size) {
    char native[260 * 3 + 1];
    if (!dir || !NativeName(name, native, sizeof native)) return Fail(EINVAL);
    struct stat st;
    if (fstatat(dir->fd, native, &st, AT_SYMLINK_NOFOLLOW) != 0) return Fail(errno);
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_ino) != id || static_cast<uint64_t>(st.st_size) != size) {
        t_lastError = FS_ERROR_CHANGED;
        return false;
    }
    if (unlinkat(dir->fd, native, 0) != 0) return Fail(errno);
    return true;
}

bool FsRemoveDirAt(FsDir dir, const char16_t* name) {
    char native[260 * 3 + 1];
    if (!dir || !NativeName(name, native, sizeof native)) return Fail(EINVAL);
    struct stat st;
    if (fstatat(dir->fd, native, &st, AT_SYMLINK_NOFOLLOW) != 0) return Fail(errno);
    if (unlinkat(dir->fd, native, S_ISLNK(st.st_mode) ? 0 : AT_REMOVEDIR) != 0) return Fail(errno);
    return true;
}

bool FsCloseDir(FsDir dir, bool remove) {
    if (!dir) return !remove;
    if (dir->dir) closedir(dir->dir);
    close(dir->fd);
    bool removed = true;
    // rmdir never follows a link and removes nothing that holds anything:
    // whatever the name now stands for, no data goes with it.
    if (remove) {
        if (dir->parentFd < 0) {
            t_lastError = FS_ERROR_ACCESS_DENIED;
            removed = false;
        } else {
            removed = unlinkat(dir->parentFd, dir->name.c_str(), AT_REMOVEDIR) == 0 || Fail(errno);
        }
    }
    if (dir->ownsParent && dir->parentFd >= 0) close(dir->parentFd);
    delete dir;
    return removed;
}

uint32_t FsRootLength(const char16_t* path) { return path && (path[0] == u'\\' || path[0] == u'/') ? 1 : 0; }

bool FsNamesIgnoreCase() { return false; }

bool FsNamesEqual(const char16_t* a, const char16_t* b, uint32_t length) {
    return std::memcmp(a, b, length * sizeof(char16_t)) == 0;
}

uint32_t FsProtectedFolders(char16_t* buffer, uint32_t capacity) {
    static const char* const kBelowHome[] = {"", "/Desktop", "/Documents"};
    uint32_t out = 0;
    auto add = [&](const std::string& folder) {
        char16_t wide[4096];
        if (!Utf8ToUtf16(folder.c_str(), wide, 4096)) return true;
        size_t length = Text16Length(wide);
        if (out + length + 2 > capacity) return false;
        for (size_t i = 0; i < length; ++i) buffer[out++] = wide[i];
        buffer[out++] = 0;
        return true;
    };
    if (!buffer || capacity == 0) return FS_PROTECTED_INCOMPLETE;
    bool fits = add("/");
    const char* home = std::getenv("HOME");
    for (const char* below : kBelowHome) {
        if (fits && home && home[0] == '/') fits = add(std::string(home) + below);
    }
    if (!fits) return FS_PROTECTED_INCOMPLETE;
    buffer[out] = 0;
    return out;
}

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

// Linux has no Windows or ProgramData folder; the profile is $HOME, as the
// protected folders above have it.
bool FsSystemFolderPath(FsSystemFolder folder, char16_t* out, uint32_t capacity) {
    if (out && capacity) out[0] = 0;
    const char* home = std::getenv("HOME");
    if (folder != FS_FOLDER_PROFILE || !home || home[0] != '/' || !out || !Utf8ToUtf16(home, out, capacity)) {
        t_lastError = FS_ERROR_PATH_NOT_FOUND;
        if (out && capacity) out[0] = 0;
        return false;
    }
    return true;
}

bool FsProcessElevated() { return false; }

bool FsFileSpace(const char16_t* path, uint64_t* bytes) {
    char native[kNativePathBytes];
    struct stat st;
    if (!NativePath(path, native)) return Fail(EINVAL);
    if (lstat(native, &st) != 0) return Fail(errno);
    *bytes = static_cast<uint64_t>(st.st_blocks) * 512u;
    return true;
}

// Linux has no driver store.
int FsListDriverPackages(FsDriverPackage*, int) { return 0; }

bool FsRemoveDriverPackage(const char16_t*) {
    t_lastError = FS_ERROR_FILE_NOT_FOUND;
    return false;
}

bool FsVolumeUsedBytes(const char16_t* root, uint64_t* used) {
    char native[kNativePathBytes];
    struct statvfs st;
    if (!root || !NativePath(root, native) || statvfs(native, &st) != 0) return Fail(errno ? errno : ENOENT);
    *used = (static_cast<uint64_t>(st.f_blocks) - st.f_bfree) * st.f_frsize;
    return true;
}

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

bool FsCurrentUserSid(char16_t* out, uint32_t capacity) {
    if (out && capacity) out[0] = 0;
    return false;
}

void FsEmptyRecycleBins() {}

// Linux has no drive volumes to open: ERROR_NOT_SUPPORTED.
FsVolume FsOpenVolume(const char16_t*) {
    t_lastError = 50;
    return nullptr;
}

bool FsReadVolume(FsVolume, uint64_t, void*, size_t) {
    t_lastError = 50;
    return false;
}

void FsCloseVolume(FsVolume) {}
