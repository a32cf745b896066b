// The file-system seam: the only way the engine and the large-file scanner
// reach the disk. Three implementations are chosen at link time:
//   platform/fs_win32.cpp   the real one (Win32 API)
//   platform/fs_posix.cpp   native builds, for tests and benchmarks
//   tests/fakefs/           an in-memory tree with fault injection
//
// Paths are UTF-16 with '\' as separator, as on Windows. Every failing call
// leaves a Win32 error code for FsLastError() on the calling thread.
#pragma once

#include <cstdint>

enum : uint32_t {
    FS_ATTR_READONLY = 0x01,
    FS_ATTR_HIDDEN = 0x02,
    FS_ATTR_SYSTEM = 0x04,
    FS_ATTR_DIRECTORY = 0x10,
    FS_ATTR_ARCHIVE = 0x20,
    FS_ATTR_NORMAL = 0x80,
    FS_ATTR_REPARSE_POINT = 0x400,
    FS_INVALID_ATTRIBUTES = 0xFFFFFFFFu,
};

// Win32 error codes that the callers tell apart.
enum : uint32_t {
    FS_ERROR_FILE_NOT_FOUND = 2,
    FS_ERROR_PATH_NOT_FOUND = 3,
    FS_ERROR_ACCESS_DENIED = 5,
    FS_ERROR_NOT_ENOUGH_MEMORY = 8,
    FS_ERROR_SHARING_VIOLATION = 32,
    FS_ERROR_LOCK_VIOLATION = 33,
    FS_ERROR_INVALID_NAME = 123,
    FS_ERROR_DIR_NOT_EMPTY = 145,
};

enum : uint32_t { FS_DRIVE_FIXED = 3 };

// One directory entry as a listing yields it. `name` holds at most 259 units
// and a terminator; "." and ".." are listed like any other name.
struct FsEntry {
    char16_t name[260];
    uint32_t attributes;
    uint32_t sizeHigh;
    uint32_t sizeLow;
};

typedef struct FsListing* FsFind;

// Begins listing the entries that match `pattern` ("dir\*" or "dir\*.log";
// '*' and '?' wildcards in the last component only, matched without regard
// to letter case). Null when the listing cannot begin, also when nothing
// matches.
FsFind FsFindFirst(const char16_t* pattern, FsEntry* entry);
// The same, with a hint that the caller looks only at directories: a backend
// may then report other entries without their size (a Win32 listing passes
// FindExSearchLimitToDirectories, the posix one skips their stat).
FsFind FsFindFirstEx(const char16_t* pattern, FsEntry* entry, bool directoriesOnly);
bool FsFindNext(FsFind find, FsEntry* entry);
void FsFindClose(FsFind find);

// FS_INVALID_ATTRIBUTES on failure. A link reports its own attributes
// (reparse bit set), never its target's.
uint32_t FsGetAttributes(const char16_t* path);
// Length of the file `path` names (not following a link).
bool FsGetFileSize(const char16_t* path, uint64_t* size);
bool FsSetAttributes(const char16_t* path, uint32_t attributes);
// Deletes a file, or a link to a file; never a directory.
bool FsDeleteFile(const char16_t* path);
// Removes an empty directory, or a directory link itself (never its target).
bool FsRemoveDirectory(const char16_t* path);
uint32_t FsLastError();

// Expands %NAME% references into dst. False, with dst empty, when the
// expansion fails or needs more than `capacity` units with the terminator.
bool FsExpandEnvironment(const char16_t* source, char16_t* dst, uint32_t capacity);

// The logical drives as consecutive "X:\" strings ending in an empty one,
// as GetLogicalDriveStringsW gives them. Returns the units written without
// the final terminator, 0 on failure or when there is no room.
uint32_t FsLogicalDriveStrings(char16_t* buffer, uint32_t capacity);
uint32_t FsDriveType(const char16_t* root);

// Empties the recycle bins of all drives without asking, showing progress or
// playing a sound. The outcome is not reported.
void FsEmptyRecycleBins();
