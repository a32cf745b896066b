// The file-system seam on Windows: thin wrappers over the Win32 calls.
#include "platform/fs.h"

#include "platform/fs_common.h"
#include "platform/system_win32.h"
#include "text/text16.h"
#include "text/wildcard.h"

#include <windows.h>
#include <winternl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <sddl.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

// A listing either by pattern (FindFirstFileExW) or of a held folder through
// its handle (GetFileInformationByHandleEx), which needs no path and no
// second open of the folder: that open would be refused while the folder is
// held with DELETE access by a walk that does not share deletion.
struct FsListing {
    HANDLE handle;  // the search handle; INVALID_HANDLE_VALUE for a held folder's listing
    HANDLE folder;  // the held folder, not owned
    DWORD offset;   // of the next record in buffer; kNoRecord when a new batch is needed
    bool restart;
    char16_t pattern[260];
    alignas(8) BYTE buffer[16 * 1024];
};

namespace {

void CopyEntry(const WIN32_FIND_DATAW& data, FsEntry* entry) {
    Text16CopyTruncated(entry->name, 260, Text16(data.cFileName));
    entry->attributes = data.dwFileAttributes;
    entry->sizeHigh = data.nFileSizeHigh;
    entry->sizeLow = data.nFileSizeLow;
    // dwReserved0 holds the tag only for reparse points.
    entry->reparseTag = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0;
    entry->id = FS_NO_ID;
    entry->space = FS_NO_SPACE;
    entry->links = 0;
    entry->modified = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// The "\\?\" form Win32 takes literally (see WindowsLongForm). Called for
// every folder a scan lists: the buffer is the path's own length and the
// prefix ("\\?\UNC" adds six units; collapsing separators only shortens).
std::wstring LongForm(const char16_t* path) {
    if (!path) return std::wstring();
    std::u16string out(Text16Length(path) + 8, u'\0');
    const size_t length = WindowsLongForm(path, &out[0], out.size());
    return std::wstring(WideText(out.c_str()), length);
}

FsFind BeginListing(const wchar_t* pattern, FsEntry* entry, bool directoriesOnly) {
    WIN32_FIND_DATAW data;
    HANDLE handle = FindFirstFileExW(pattern, FindExInfoBasic, &data,
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

}  // namespace

FsFind FsFindFirst(const char16_t* pattern, FsEntry* entry) { return FsFindFirstEx(pattern, entry, false); }

FsFind FsFindFirstEx(const char16_t* pattern, FsEntry* entry, bool directoriesOnly) {
    return BeginListing(LongForm(pattern).c_str(), entry, directoriesOnly);
}

namespace {

const DWORD kNoRecord = 0xFFFFFFFFu;

bool NextHeldEntry(FsListing* listing, FsEntry* entry) {
    for (;;) {
        if (listing->offset == kNoRecord) {
            FILE_INFO_BY_HANDLE_CLASS kind = listing->restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo;
            if (!GetFileInformationByHandleEx(listing->folder, kind, listing->buffer, sizeof listing->buffer)) return false;
            listing->restart = false;
            listing->offset = 0;
        }
        const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(listing->buffer + listing->offset);
        listing->offset = record->NextEntryOffset ? listing->offset + record->NextEntryOffset : kNoRecord;
        size_t units = record->FileNameLength / sizeof(WCHAR);
        if (units >= 260) continue;
        bool separator = false;
        for (size_t i = 0; i < units; ++i) {
            entry->name[i] = static_cast<char16_t>(record->FileName[i]);
            separator = separator || entry->name[i] == u'\\' || entry->name[i] == u'/';
        }
        entry->name[units] = 0;
        // No Windows name holds a separator; Wine shows such Linux names,
        // which would read as a path.
        if (separator) continue;
        if (!WildcardMatch(listing->pattern, entry->name)) continue;
        entry->attributes = record->FileAttributes;
        entry->sizeHigh = static_cast<uint32_t>(static_cast<uint64_t>(record->EndOfFile.QuadPart) >> 32);
        entry->sizeLow = static_cast<uint32_t>(record->EndOfFile.QuadPart);
        // For a reparse point the EA size field holds its tag.
        entry->reparseTag = (record->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? record->EaSize : 0;
        // A file system whose ids do not fit 64 bits (ReFS) gives all ones.
        const uint64_t id = static_cast<uint64_t>(record->FileId.QuadPart);
        entry->id = id == ~0ull ? static_cast<uint64_t>(FS_NO_ID) : id;
        entry->space = static_cast<uint64_t>(record->AllocationSize.QuadPart);
        entry->links = 0;
        entry->modified = static_cast<uint64_t>(record->LastWriteTime.QuadPart);
        return true;
    }
}

}  // namespace

bool FsFindNext(FsFind find, FsEntry* entry) {
    if (!find) return false;
    if (find->handle == INVALID_HANDLE_VALUE) return NextHeldEntry(find, entry);
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(find->handle, &data)) return false;
    CopyEntry(data, entry);
    return true;
}

void FsFindClose(FsFind find) {
    if (!find) return;
    if (find->handle != INVALID_HANDLE_VALUE) FindClose(find->handle);
    delete find;
}

uint32_t FsLastError() { return GetLastError(); }

// ---- Folders held open ----

struct FsFolder {
    HANDLE handle;
    DWORD attributes;
    DWORD removeError;  // why the folder cannot be removed through handle; 0 when it can
    std::wstring path;  // the "\\?\" form, for the check that Wine needs (see HidesLinks)
};

namespace {

// FileDispositionInfoEx (21): declared only for newer targets by some headers.
const FILE_INFO_BY_HANDLE_CLASS kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
const DWORD kListAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Others may read and write in a held folder, but not rename or replace it.
const DWORD kHoldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD kAllShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// NtCreateFile's values, spelled out: not every SDK's winternl.h has them.
const ULONG kObjCaseInsensitive = 0x40;
const ULONG kObjDontReparse = 0x1000;  // Windows 10 1803 and later
const ULONG kFileOpen = 1;
const ULONG kFileDirectoryFile = 0x1;
const ULONG kFileSynchronousIoNonalert = 0x20;
const ULONG kFileNonDirectoryFile = 0x40;
const ULONG kFileOpenForBackupIntent = 0x4000;
const ULONG kFileOpenReparsePoint = 0x200000;
// A cloud or archived file's data stays where it is: an open to delete it, or
// to read its attributes, fetches nothing.
const ULONG kFileOpenNoRecall = 0x400000;
const LONG kStatusInvalidParameter = static_cast<LONG>(0xC000000Du);
const LONG kStatusFileIsADirectory = static_cast<LONG>(0xC00000BAu);
const LONG kStatusReparsePointEncountered = static_cast<LONG>(0xC000050Bu);
const LONG kStatusStoppedOnSymlink = static_cast<LONG>(0x80000603u);

typedef LONG(NTAPI* NtCreateFileCall)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                      ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
typedef ULONG(NTAPI* StatusToErrorCall)(LONG);

struct NtCalls {
    NtCreateFileCall createFile;
    StatusToErrorCall toError;
    bool hidesLinks;
};

// ntdll is in every process; its calls are looked up once.
const NtCalls& Nt() {
    static const NtCalls calls = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        NtCalls found = {};
        if (ntdll) {
            found.createFile = reinterpret_cast<NtCreateFileCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
            found.toError = reinterpret_cast<StatusToErrorCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
            // Wine shows a Linux symbolic link as a plain folder on an open
            // handle (it opens the target); only the link's path attributes
            // tell. Windows shows the reparse point on the handle itself.
            found.hidesLinks = GetProcAddress(ntdll, "wine_get_version") != nullptr;
        }
        return found;
    }();
    return calls;
}

std::atomic<bool> g_dontReparse{true};

bool ValidName(const wchar_t* name) {
    if (!name || !name[0]) return false;
    for (const wchar_t* p = name; *p; ++p) {
        if (*p == L'\\' || *p == L'/') return false;
    }
    return !(name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)));
}

// Opens `name` (one component) inside the folder `parent` holds, never
// following a reparse point: the child is looked up relative to the handle,
// so no path that another process can re-point is parsed again. With
// folderOnly a reparse point is refused outright where the system can
// (OBJ_DONT_REPARSE); elsewhere the caller checks the opened handle.
HANDLE OpenRelative(HANDLE parent, const wchar_t* name, DWORD access, DWORD share, ULONG options, bool folderOnly) {
    const NtCalls& nt = Nt();
    if (!nt.createFile || !nt.toError) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(name);
    text.Length = static_cast<USHORT>(wcslen(name) * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    for (;;) {
        bool dontReparse = folderOnly && g_dontReparse.load(std::memory_order_relaxed);
        OBJECT_ATTRIBUTES object = {};
        object.Length = sizeof object;
        object.RootDirectory = parent;
        object.ObjectName = &text;
        object.Attributes = kObjCaseInsensitive | (dontReparse ? kObjDontReparse : 0);
        IO_STATUS_BLOCK status = {};
        HANDLE handle = nullptr;
        LONG result = nt.createFile(&handle, access | SYNCHRONIZE, &object, &status, nullptr, 0, share, kFileOpen,
                                    options | kFileSynchronousIoNonalert | kFileOpenForBackupIntent | kFileOpenReparsePoint |
                                        kFileOpenNoRecall,
                                    nullptr, 0);
        if (result >= 0 && result != kStatusStoppedOnSymlink) return handle;
        if (result >= 0) CloseHandle(handle);
        if (dontReparse && result == kStatusInvalidParameter) {
            g_dontReparse.store(false, std::memory_order_relaxed);  // older than 1803
            continue;
        }
        DWORD error = nt.toError(result);
        if (result == kStatusReparsePointEncountered || result == kStatusStoppedOnSymlink) error = FS_ERROR_STOPPED_ON_SYMLINK;
        if (result == kStatusFileIsADirectory) error = ERROR_ACCESS_DENIED;  // as DeleteFileW on a folder
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
}

bool CloseKeepingError(HANDLE handle, bool result) {
    DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return result;
}

std::atomic<bool> g_posixDelete{true};

// Whether a failed extended disposition means the system does not know it
// (before Windows 10 1709, file systems other than NTFS; Wine fails it with
// 87 or 3), so the plain disposition is the one to use.
bool ExtendedDispositionUnknown(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_PATH_NOT_FOUND;
}

// Marks the open entry for deletion. Where the system has it, with POSIX
// semantics (as DeleteFileW itself since Windows 10 1903): the name goes
// when this handle closes, even while another process still has the file
// open, and it is the entry this handle holds that goes, whatever its path
// names by then.
bool SetDeletion(HANDLE handle) {
    if (g_posixDelete.load(std::memory_order_relaxed)) {
        FILE_DISPOSITION_INFO_EX ex = {FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS};
        if (SetFileInformationByHandle(handle, kFileDispositionInfoEx, &ex, sizeof ex)) return true;
        if (!ExtendedDispositionUnknown(GetLastError())) return false;
        g_posixDelete.store(false, std::memory_order_relaxed);
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// Marks the open entry for deletion. A read-only entry that is not a link is
// deleted in spite of the bit where the system can (Windows 10 1809 and
// later); elsewhere the bit is cleared on this handle and put back when the
// deletion still fails. The bit belongs to the file, not to one of its
// names: a file with other hard links keeps it and is not deleted. A link's
// attributes are never touched.
bool MarkForDeletion(HANDLE handle, DWORD attributes, DWORD reparseTag, bool clearReadOnly) {
    if (!clearReadOnly || !(attributes & FILE_ATTRIBUTE_READONLY) || FsIsLink(attributes, reparseTag))
        return SetDeletion(handle);
    FILE_DISPOSITION_INFO_EX ex = {FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE |
                                   (g_posixDelete.load(std::memory_order_relaxed) ? FILE_DISPOSITION_FLAG_POSIX_SEMANTICS : 0u)};
    if (SetFileInformationByHandle(handle, kFileDispositionInfoEx, &ex, sizeof ex)) return true;
    DWORD error = GetLastError();
    if (!ExtendedDispositionUnknown(error)) return false;
    FILE_STANDARD_INFO standard;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (!GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) || standard.NumberOfLinks > 1)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    FILE_BASIC_INFO basic = {};
    DWORD kept = attributes & kSettableAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    basic.FileAttributes = kept ? kept : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic)) return false;
    if (SetDeletion(handle)) return true;
    error = GetLastError();
    basic.FileAttributes = attributes & kSettableAttributes;
    SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
    SetLastError(error);
    return false;
}

bool TagInfo(HANDLE handle, FILE_ATTRIBUTE_TAG_INFO* info) {
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, info, sizeof *info) != FALSE;
}

// Deletes the file `handle` was opened on (never following a link) and
// closes the handle; takes INVALID_HANDLE_VALUE as the failed open it is. A
// folder put in the file's place fails with 5, as DeleteFileW on a folder.
bool DeleteOpenedFile(HANDLE handle, bool clearReadOnly, uint32_t* names = nullptr) {
    if (handle == INVALID_HANDLE_VALUE) return false;
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!TagInfo(handle, &info)) return CloseKeepingError(handle, false);
    if (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return CloseKeepingError(handle, false);
    }
    // Asked on the handle that is deleted: the names of this very file.
    FILE_STANDARD_INFO standard;
    if (names)
        *names = GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)
                     ? static_cast<uint32_t>(standard.NumberOfLinks)
                     : 0;
    return CloseKeepingError(handle, MarkForDeletion(handle, info.FileAttributes, info.ReparseTag, clearReadOnly));
}

// Where handles hide links (Wine), the path's own attributes are asked too.
// That lookup can only add a refusal, so its being by path is harmless.
bool PathShowsLink(const std::wstring& path) {
    if (!Nt().hidesLinks) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Checks what `handle` (opened as a folder of `path`) really is, and holds
// it. Takes the handle in every case.
FsDir Hold(HANDLE handle, std::wstring path, DWORD removeError) {
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!TagInfo(handle, &info)) {
        CloseKeepingError(handle, false);
        return nullptr;
    }
    DWORD refusal = ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || PathShowsLink(path))
                        ? static_cast<DWORD>(FS_ERROR_STOPPED_ON_SYMLINK)
                    : !(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_DIRECTORY
                                                                        : 0;
    FsFolder* folder = refusal ? nullptr : new (std::nothrow) FsFolder;
    if (!folder) {
        CloseHandle(handle);
        SetLastError(refusal ? refusal : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    folder->handle = handle;
    folder->attributes = info.FileAttributes;
    folder->removeError = removeError;
    folder->path = std::move(path);
    return folder;
}

// Opens the folder `name` inside parent to be held: with the access its
// removal needs when asked and granted, else for listing only.
FsDir HoldChild(HANDLE parent, const std::wstring& parentPath, const wchar_t* name, bool forRemoval) {
    DWORD removeError = 0;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (forRemoval) {
        handle = OpenRelative(parent, name, kListAccess | DELETE | FILE_WRITE_ATTRIBUTES, kHoldShare,
                              kFileDirectoryFile, true);
        if (handle == INVALID_HANDLE_VALUE) removeError = GetLastError();
        if (removeError == FS_ERROR_STOPPED_ON_SYMLINK) return nullptr;
    }
    if (handle == INVALID_HANDLE_VALUE) handle = OpenRelative(parent, name, kListAccess, kHoldShare, kFileDirectoryFile, true);
    if (handle == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_DIRECTORY && PathShowsLink(parentPath + L"\\" + name)) SetLastError(FS_ERROR_STOPPED_ON_SYMLINK);
        return nullptr;
    }
    std::wstring path = parentPath;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return Hold(handle, path + name, removeError);
}


}  // namespace

namespace {

bool IdentityOf(HANDLE handle, FsIdentity* identity) {
    FILE_ID_INFO id;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        uint64_t parts[2];
        static_assert(sizeof parts == sizeof id.FileId.Identifier, "a file id has 128 bits");
        memcpy(parts, id.FileId.Identifier, sizeof parts);
        *identity = FsIdentity{id.VolumeSerialNumber, parts[1], parts[0]};
        return true;
    }
    // Before Windows 8: the 32-bit serial and the 64-bit index.
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return false;
    *identity = FsIdentity{info.dwVolumeSerialNumber, 0,
                           (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

}  // namespace

FsDir FsOpenDir(const char16_t* path, bool forRemoval, const FsIdentity* above, bool* metAbove) {
    if (metAbove) *metAbove = false;
    bool met = false;
    auto note = [&](HANDLE opened) {
        FsIdentity identity;
        if (above && IdentityOf(opened, &identity) && FsSameIdentity(identity, *above)) met = true;
    };
    if (!path) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    std::wstring form = LongForm(path);
    for (wchar_t& c : form) {
        if (c == L'/') c = L'\\';
    }
    size_t root = WindowsRootLength(Text16(form.c_str()));
    if (root == 0) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (form[root - 1] != L'\\') form.insert(root++, 1, L'\\');
    // The root by its path (a drive or share root is no link), then every
    // component relative to the folder before it.
    std::wstring held = form.substr(0, root);
    const bool rootOnly = form.find_first_not_of(L'\\', root) == std::wstring::npos;
    HANDLE handle = CreateFileW(held.c_str(), rootOnly ? kListAccess : FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                kAllShare, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (rootOnly) return Hold(handle, held, ERROR_ACCESS_DENIED);
    note(handle);
    size_t at = root;
    for (;;) {
        while (at < form.size() && form[at] == L'\\') ++at;
        size_t end = form.find(L'\\', at);
        if (end == std::wstring::npos) end = form.size();
        std::wstring name = form.substr(at, end - at);
        const bool last = form.find_first_not_of(L'\\', end) == std::wstring::npos;
        if (!ValidName(name.c_str())) {
            CloseHandle(handle);
            SetLastError(ERROR_INVALID_NAME);
            return nullptr;
        }
        if (last) {
            FsDir dir = HoldChild(handle, held, name.c_str(), forRemoval);
            if (dir && metAbove) *metAbove = met;
            return CloseKeepingError(handle, dir != nullptr) ? dir : nullptr;
        }
        FsDir step = HoldChild(handle, held, name.c_str(), false);
        CloseHandle(handle);
        if (!step) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_DIRECTORY) SetLastError(ERROR_PATH_NOT_FOUND);
            return nullptr;
        }
        handle = step->handle;
        held = std::move(step->path);
        delete step;
        note(handle);
        at = end;
    }
}

FsDir FsOpenSubdir(FsDir dir, const char16_t* name, bool forRemoval, uint64_t listed) {
    if (!dir || !name || !ValidName(WideText(name))) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    FsDir child = HoldChild(dir->handle, dir->path, WideText(name), forRemoval);
    if (!child || listed == FS_NO_ID) return child;
    // The listing's id is the 64-bit file reference; the handle's 128-bit id
    // carries it in its low half. Another folder renamed into the listed
    // name's place since the listing (or, under Wine, a link's target opened
    // through it) has another one.
    FsIdentity identity;
    if (!IdentityOf(child->handle, &identity)) {
        DWORD error = GetLastError();
        FsCloseDir(child, false);
        SetLastError(error);
        return nullptr;
    }
    if (identity.high != 0 || identity.low != listed) {
        FsCloseDir(child, false);
        SetLastError(FS_ERROR_CHANGED);
        return nullptr;
    }
    return child;
}

FsFind FsDirFindFirst(FsDir dir, const char16_t* pattern, FsEntry* entry, bool) {
    if (!dir || !pattern) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    FsListing* listing = new (std::nothrow) FsListing;
    if (!listing) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    listing->handle = INVALID_HANDLE_VALUE;
    listing->folder = dir->handle;
    listing->offset = kNoRecord;
    listing->restart = true;
    bool fits = Text16CopyTruncated(listing->pattern, 260, pattern) == Text16Length(pattern);
    if (!fits || !NextHeldEntry(listing, entry)) {
        DWORD error = fits ? GetLastError() : static_cast<DWORD>(ERROR_INVALID_NAME);
        delete listing;
        SetLastError(error == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : error);
        return nullptr;
    }
    return listing;
}

bool FsDeleteFileAt(FsDir dir, const char16_t* name, bool clearReadOnly, uint32_t* names) {
    if (!dir || !name || !ValidName(WideText(name))) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // A folder (or a folder link) put in the file's place fails to open with
    // 5, as DeleteFileW on a folder.
    DWORD access = DELETE | FILE_READ_ATTRIBUTES | (clearReadOnly ? FILE_WRITE_ATTRIBUTES : 0);
    return DeleteOpenedFile(OpenRelative(dir->handle, WideText(name), access, kAllShare, kFileNonDirectoryFile, false),
                            clearReadOnly, names);
}

bool FsDeleteListedFileAt(FsDir dir, const char16_t* name, uint64_t id, uint64_t size) {
    if (!dir || !name || !ValidName(WideText(name))) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    HANDLE handle = OpenRelative(dir->handle, WideText(name), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                 kAllShare, kFileNonDirectoryFile, false);
    if (handle == INVALID_HANDLE_VALUE) return false;
    FILE_ATTRIBUTE_TAG_INFO info;
    FILE_STANDARD_INFO standard;
    FsIdentity identity;
    if (!TagInfo(handle, &info) || !IdentityOf(handle, &identity) ||
        !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard))
        return CloseKeepingError(handle, false);
    const bool same = !(info.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                      identity.high == 0 && FsSameFileId(identity.low, id) &&
                      static_cast<uint64_t>(standard.EndOfFile.QuadPart) == size;
    if (!same) {
        SetLastError(FS_ERROR_CHANGED);
        return CloseKeepingError(handle, false);
    }
    if (MarkForDeletion(handle, info.FileAttributes, 0, true)) return CloseKeepingError(handle, true);
    if (GetLastError() == ERROR_ACCESS_DENIED && (info.FileAttributes & FILE_ATTRIBUTE_READONLY) && standard.NumberOfLinks > 1)
        SetLastError(FS_ERROR_HARD_LINKED);
    return CloseKeepingError(handle, false);
}

bool FsRemoveDirAt(FsDir dir, const char16_t* name) {
    if (!dir || !name || !ValidName(WideText(name))) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    HANDLE handle = OpenRelative(dir->handle, WideText(name), DELETE | FILE_READ_ATTRIBUTES, kAllShare, 0, false);
    if (handle == INVALID_HANDLE_VALUE) return false;
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!TagInfo(handle, &info)) return CloseKeepingError(handle, false);
    if (!(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return CloseKeepingError(handle, false);
    }
    // A handle that shows a plain folder where the path shows a link has
    // opened the link's target (Wine): removing it would remove that.
    if (!(info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && PathShowsLink(dir->path + L"\\" + WideText(name))) {
        SetLastError(FS_ERROR_STOPPED_ON_SYMLINK);
        return CloseKeepingError(handle, false);
    }
    return CloseKeepingError(handle, SetDeletion(handle));
}

bool FsCloseDir(FsDir dir, bool remove) {
    if (!dir) return !remove;
    bool removed = true;
    if (remove) {
        if (dir->removeError) {
            SetLastError(dir->removeError);
            removed = false;
        } else {
            removed = MarkForDeletion(dir->handle, dir->attributes, 0, true);
        }
    }
    CloseKeepingError(dir->handle, removed);
    delete dir;
    return removed;
}

bool FsDirIdentity(FsDir dir, FsIdentity* identity) {
    if (!dir) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return IdentityOf(dir->handle, identity);
}

bool FsResolveFolder(const char16_t* path, char16_t* real, uint32_t capacity, FsIdentity* identity) {
    if (!path) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    HANDLE handle = CreateFileW(LongForm(path).c_str(), FILE_READ_ATTRIBUTES, kAllShare, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!TagInfo(handle, &info)) return CloseKeepingError(handle, false);
    if (!(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return CloseKeepingError(handle, false);
    }
    if (!IdentityOf(handle, identity)) return CloseKeepingError(handle, false);
    if (real) {
        DWORD length = GetFinalPathNameByHandleW(handle, WideText(real), capacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0 || length >= capacity) {
            if (length) SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return CloseKeepingError(handle, false);
        }
    }
    CloseHandle(handle);
    return true;
}

uint32_t FsRootLength(const char16_t* path) { return WindowsRootLength(path); }

bool FsNamesIgnoreCase() { return true; }

bool FsNamesEqual(const char16_t* a, const char16_t* b, uint32_t length) {
    if (length == 0) return true;
    return CompareStringOrdinal(WideText(a), static_cast<int>(length), WideText(b), static_cast<int>(length), TRUE) ==
           CSTR_EQUAL;
}

namespace {

// The known folders by id, spelled out so that no GUID library is needed.
const GUID kProgramDataFolder = {0x62ab5d82, 0xfdc1, 0x4dc3, {0xa9, 0xdd, 0x07, 0x0d, 0x1d, 0x49, 0x5d, 0x97}};

const GUID kProtectedKnownFolders[] = {
    {0x905e63b6, 0xc1bf, 0x494e, {0xb2, 0x9c, 0x65, 0xb7, 0x32, 0xd3, 0xd2, 0x1a}},  // ProgramFiles
    {0x7c5a40ef, 0xa0fb, 0x4bfc, {0x87, 0x4a, 0xc0, 0xf2, 0xe0, 0xb9, 0xfa, 0x8e}},  // ProgramFilesX86
    kProgramDataFolder,
    {0x0762d272, 0xc50a, 0x4bb0, {0xa3, 0x82, 0x69, 0x7d, 0xcd, 0x72, 0x9b, 0x80}},  // UserProfiles
    {0x5e6c858f, 0x0e22, 0x4760, {0x9a, 0xfe, 0xea, 0x33, 0x17, 0xb6, 0x71, 0x73}},  // Profile
    {0xb4bfcc3a, 0xdb2c, 0x424c, {0xb0, 0x29, 0x7f, 0xe9, 0x9a, 0x87, 0xc6, 0x41}},  // Desktop
    {0xfdd39ad0, 0x238f, 0x46af, {0xad, 0xb4, 0x6c, 0x85, 0x48, 0x03, 0x69, 0xc7}},  // Documents
    {0xf1b32785, 0x6fba, 0x4fcf, {0x9d, 0x55, 0x7b, 0x8e, 0x7f, 0x15, 0x70, 0x91}},  // LocalAppData
    {0x3eb685db, 0x65f9, 0x4cf6, {0xa0, 0x3a, 0xe3, 0xef, 0x65, 0x72, 0x9f, 0x3d}},  // RoamingAppData
};

// The user's and the Public profile's other folders of personal files. Not
// every system defines each (3D Objects came with Windows 10 1709, OneDrive
// only where it is set up): one the system does not know is no folder to
// protect, and does not make the list incomplete.
const GUID kPersonalKnownFolders[] = {
    {0x33e28130, 0x4e1e, 0x4676, {0x83, 0x5a, 0x98, 0x39, 0x5c, 0x3b, 0xc3, 0xbb}},  // Pictures
    {0x4bd8d571, 0x6d19, 0x48d3, {0xbe, 0x97, 0x42, 0x22, 0x20, 0x08, 0x0e, 0x43}},  // Music
    {0x18989b1d, 0x99b5, 0x455b, {0x84, 0x1c, 0xab, 0x7c, 0x74, 0xe4, 0xdd, 0xfc}},  // Videos
    {0x1777f761, 0x68ad, 0x4d8a, {0x87, 0xbd, 0x30, 0xb7, 0x59, 0xfa, 0x33, 0xdd}},  // Favorites
    {0x56784854, 0xc6cb, 0x462b, {0x81, 0x69, 0x88, 0xe3, 0x50, 0xac, 0xb8, 0x82}},  // Contacts
    {0xbfb9d5e0, 0xc6a9, 0x404c, {0xb2, 0xb2, 0xae, 0x6d, 0xb6, 0xaf, 0x49, 0x68}},  // Links
    {0x4c5c32ff, 0xbb9d, 0x43b0, {0xb5, 0xb4, 0x2d, 0x72, 0xe5, 0x4e, 0xaa, 0xa4}},  // SavedGames
    {0x7d1d3a04, 0xdebb, 0x4115, {0x95, 0xcf, 0x2f, 0x29, 0xda, 0x29, 0x20, 0xda}},  // SavedSearches
    {0x31c0dd25, 0x9439, 0x4f12, {0xbf, 0x41, 0x7f, 0xf4, 0xed, 0xa3, 0x87, 0x22}},  // Objects3D
    {0xa52bba46, 0xe9e1, 0x435f, {0xb3, 0xd9, 0x28, 0xda, 0xa6, 0x48, 0xc0, 0xf6}},  // OneDrive
    {0xdfdf76a2, 0xc82a, 0x4d63, {0x90, 0x6a, 0x56, 0x44, 0xac, 0x45, 0x73, 0x85}},  // Public
    {0xed4824af, 0xdce4, 0x45a8, {0x81, 0xe2, 0xfc, 0x79, 0x65, 0x08, 0x36, 0x34}},  // PublicDocuments
    {0xc4aa340d, 0xf20f, 0x4863, {0xaf, 0xef, 0xf8, 0x7e, 0xf2, 0xe6, 0xba, 0x25}},  // PublicDesktop
    {0x3214fab5, 0x9757, 0x4298, {0xbb, 0x61, 0x92, 0xa9, 0xde, 0xaa, 0x44, 0xff}},  // PublicMusic
    {0xb6ebfb86, 0x6907, 0x413c, {0x9a, 0xf7, 0x4f, 0xc2, 0xab, 0xf0, 0x7c, 0xc5}},  // PublicPictures
    {0x2400183a, 0x6185, 0x49fb, {0xa2, 0xd8, 0x4a, 0x39, 0x2a, 0x60, 0x2b, 0xa3}},  // PublicVideos
    {0x3d644c9b, 0x1fb8, 0x4f30, {0x9b, 0x45, 0xf6, 0x70, 0x23, 0x5f, 0x79, 0xc0}},  // PublicDownloads
};

}  // namespace

uint32_t FsProtectedFolders(char16_t* buffer, uint32_t capacity) {
    if (!buffer || capacity == 0) return FS_PROTECTED_INCOMPLETE;
    uint32_t out = 0;
    bool fits = true;
    auto add = [&](const wchar_t* folder) {
        size_t length = folder ? wcslen(folder) : 0;
        if (length == 0) return;
        if (out + length + 2 > capacity) {
            fits = false;
            return;
        }
        for (size_t i = 0; i < length; ++i) buffer[out++] = static_cast<char16_t>(folder[i]);
        buffer[out++] = 0;
    };
    // Any folder that cannot be asked for makes the list incomplete: then no
    // location is accepted at all.
    wchar_t path[MAX_PATH];
    UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        add(path);
    } else {
        fits = false;
    }
    length = GetSystemDirectoryW(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        add(path);
    } else {
        fits = false;
    }
    for (const GUID& id : kProtectedKnownFolders) {
        PWSTR known = nullptr;
        if (SUCCEEDED(ShellKnownFolderPath(id, KF_FLAG_DONT_VERIFY, &known))) {
            add(known);
        } else {
            fits = false;
        }
        CoTaskMemFree(known);
    }
    for (const GUID& id : kPersonalKnownFolders) {
        PWSTR known = nullptr;
        if (SUCCEEDED(ShellKnownFolderPath(id, KF_FLAG_DONT_VERIFY, &known))) add(known);
        CoTaskMemFree(known);
    }
    if (!fits) return FS_PROTECTED_INCOMPLETE;
    buffer[out] = 0;
    return out;
}

namespace {

bool CopyOut(const wchar_t* text, char16_t* out, uint32_t capacity) {
    size_t length = text ? wcslen(text) : 0;
    if (length == 0 || length >= capacity) {
        out[0] = 0;
        SetLastError(length ? ERROR_FILENAME_EXCED_RANGE : ERROR_PATH_NOT_FOUND);
        return false;
    }
    for (size_t i = 0; i <= length; ++i) out[i] = static_cast<char16_t>(text[i]);
    return true;
}

// userenv.dll is no known DLL: only the system folder's will do.
typedef BOOL(WINAPI* ProfileDirectoryCall)(HANDLE, LPWSTR, LPDWORD);

bool ProfileDirectory(wchar_t* out, DWORD capacity) {
    static const ProfileDirectoryCall call = [] {
        HMODULE userenv = LoadSystemLibrary(L"userenv.dll");
        return userenv ? reinterpret_cast<ProfileDirectoryCall>(
                             reinterpret_cast<void*>(GetProcAddress(userenv, "GetUserProfileDirectoryW")))
                       : nullptr;
    }();
    HANDLE token = nullptr;
    if (!call || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = capacity;
    BOOL ok = call(token, out, &size);
    CloseHandle(token);
    return ok != FALSE;
}

}  // namespace

bool FsSystemFolderPath(FsSystemFolder folder, char16_t* out, uint32_t capacity) {
    if (!out || capacity == 0) return false;
    wchar_t path[MAX_PATH] = L"";
    switch (folder) {
    case FS_FOLDER_WINDOWS: {
        // The system's own Windows folder: on a terminal server
        // GetWindowsDirectoryW may name a per-user one.
        UINT length = GetSystemWindowsDirectoryW(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) path[0] = 0;
        return CopyOut(path, out, capacity);
    }
    case FS_FOLDER_PROGRAM_DATA: {
        PWSTR known = nullptr;
        bool ok = SUCCEEDED(ShellKnownFolderPath(kProgramDataFolder, KF_FLAG_DONT_VERIFY, &known)) &&
                  CopyOut(known, out, capacity);
        CoTaskMemFree(known);
        if (!ok) out[0] = 0;
        return ok;
    }
    case FS_FOLDER_PROFILE:
        if (!ProfileDirectory(path, MAX_PATH)) path[0] = 0;
        return CopyOut(path, out, capacity);
    }
    out[0] = 0;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

bool FsFileSpace(const char16_t* path, uint64_t* bytes) {
    DWORD high = 0;
    DWORD low = GetCompressedFileSizeW(LongForm(path).c_str(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    *bytes = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

bool FsVolumeUsedBytes(const char16_t* root, uint64_t* used) {
    ULARGE_INTEGER available, total, free;
    if (!root || !GetDiskFreeSpaceExW(WideText(root), &available, &total, &free)) return false;
    if (total.QuadPart < free.QuadPart) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    *used = total.QuadPart - free.QuadPart;
    return true;
}

bool FsProcessElevated() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &administrators)) {
        if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
        FreeSid(administrators);
    }
    return member != FALSE;
}

bool FsCurrentUserSid(char16_t* out, uint32_t capacity) {
    if (!out || capacity == 0) return false;
    out[0] = 0;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    alignas(8) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    const bool read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length) != FALSE;
    CloseHandle(token);
    if (!read) return false;
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return false;
    const size_t units = wcslen(text);
    const bool fits = units < capacity;
    if (fits) memcpy(out, text, (units + 1) * sizeof(wchar_t));
    LocalFree(text);
    return fits;
}

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
    ShellEmptyRecycleBin(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
}

// ---- A volume's sectors ----

struct FsVolumeImpl {
    HANDLE handle;
};

FsVolume FsOpenVolume(const char16_t* root) {
    if (!root || !root[0] || root[1] != u':') {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    // "\\.\X:" is the volume; with a trailing backslash it would be its root folder.
    wchar_t device[] = L"\\\\.\\X:";
    device[4] = static_cast<wchar_t>(root[0]);
    // Overlapped: the MFT reader's threads each have a read outstanding at
    // once (a handle opened for synchronous reads would queue them one at a
    // time on its file object).
    HANDLE handle = CreateFileW(device, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    FsVolume volume = new (std::nothrow) FsVolumeImpl{handle};
    if (!volume) {
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return volume;
}

bool FsReadVolume(FsVolume volume, uint64_t offset, void* buffer, size_t length) {
    if (!volume || !buffer) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    // Each call its own event: two threads may be reading at once.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    bool ok = true;
    while (ok && length) {
        const DWORD part = static_cast<DWORD>(length < (1u << 30) ? length : (1u << 30));
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        at.hEvent = done;
        DWORD got = 0;
        if (!ReadFile(volume->handle, out, part, nullptr, &at) && GetLastError() != ERROR_IO_PENDING) {
            ok = false;
            break;
        }
        if (!GetOverlappedResult(volume->handle, &at, &got, TRUE)) {
            ok = false;
            break;
        }
        if (got != part) {
            SetLastError(ERROR_HANDLE_EOF);
            ok = false;
            break;
        }
        out += part;
        offset += part;
        length -= part;
    }
    const DWORD error = GetLastError();
    CloseHandle(done);
    SetLastError(error);
    return ok;
}

void FsCloseVolume(FsVolume volume) {
    if (!volume) return;
    CloseHandle(volume->handle);
    delete volume;
}
