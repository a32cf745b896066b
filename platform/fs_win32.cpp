// The file-system seam on Windows: thin wrappers over the Win32 calls.
#include "platform/fs.h"

#include "platform/text16.h"

#include <windows.h>
#include <shellapi.h>

#include <new>

struct FsListing {
    HANDLE handle;
};

namespace {

void CopyEntry(const WIN32_FIND_DATAW& data, FsEntry* entry) {
    Text16CopyTruncated(entry->name, 260, Text16(data.cFileName));
    entry->attributes = data.dwFileAttributes;
    entry->sizeHigh = data.nFileSizeHigh;
    entry->sizeLow = data.nFileSizeLow;
}

}  // namespace

FsFind FsFindFirst(const char16_t* pattern, FsEntry* entry) { return FsFindFirstEx(pattern, entry, false); }

FsFind FsFindFirstEx(const char16_t* pattern, FsEntry* entry, bool directoriesOnly) {
    WIN32_FIND_DATAW data;
    HANDLE handle = FindFirstFileExW(WideText(pattern), FindExInfoBasic, &data,
                                     directoriesOnly ? FindExSearchLimitToDirectories : FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    FsListing* listing = new (std::nothrow) FsListing;
    if (!listing) {
        FindClose(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    listing->handle = handle;
    CopyEntry(data, entry);
    return listing;
}

bool FsFindNext(FsFind find, FsEntry* entry) {
    if (!find) return false;
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(find->handle, &data)) return false;
    CopyEntry(data, entry);
    return true;
}

void FsFindClose(FsFind find) {
    if (!find) return;
    FindClose(find->handle);
    delete find;
}

uint32_t FsGetAttributes(const char16_t* path) { return GetFileAttributesW(WideText(path)); }

bool FsGetFileSize(const char16_t* path, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WideText(path), GetFileExInfoStandard, &data)) return false;
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool FsSetAttributes(const char16_t* path, uint32_t attributes) {
    return SetFileAttributesW(WideText(path), attributes) != FALSE;
}

bool FsDeleteFile(const char16_t* path) { return DeleteFileW(WideText(path)) != FALSE; }

bool FsRemoveDirectory(const char16_t* path) { return RemoveDirectoryW(WideText(path)) != FALSE; }

uint32_t FsLastError() { return GetLastError(); }

bool FsExpandEnvironment(const char16_t* source, char16_t* dst, uint32_t capacity) {
    if (!dst || capacity == 0) return false;
    DWORD needed = source ? ExpandEnvironmentStringsW(WideText(source), WideText(dst), capacity) : 0;
    if (needed == 0 || needed > capacity) {
        dst[0] = 0;
        return false;
    }
    return true;
}

uint32_t FsLogicalDriveStrings(char16_t* buffer, uint32_t capacity) {
    DWORD length = GetLogicalDriveStringsW(capacity, WideText(buffer));
    return length < capacity ? length : 0;
}

uint32_t FsDriveType(const char16_t* root) { return GetDriveTypeW(WideText(root)); }

void FsEmptyRecycleBins() {
    SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
}
