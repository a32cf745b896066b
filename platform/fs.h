// The file-system seam: the only way the engine and the large-file scanner
// reach the disk. Three implementations are chosen at link time:
//   platform/fs_win32.cpp   the real one (Win32 API)
//   platform/fs_posix.cpp   native builds, for tests and benchmarks
//   tests/fakefs/           an in-memory tree with fault injection
//
// Paths are UTF-16 with '\' as separator, as on Windows. Every failing call
// leaves a Win32 error code for FsLastError() on the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    FS_ATTR_READONLY = 0x01,
    FS_ATTR_HIDDEN = 0x02,
    FS_ATTR_SYSTEM = 0x04,
    FS_ATTR_DIRECTORY = 0x10,
    FS_ATTR_ARCHIVE = 0x20,
    FS_ATTR_NORMAL = 0x80,
    FS_ATTR_REPARSE_POINT = 0x400,
    FS_ATTR_OFFLINE = 0x1000,
    FS_ATTR_RECALL_ON_OPEN = 0x40000,
    FS_ATTR_RECALL_ON_DATA_ACCESS = 0x400000,
    FS_INVALID_ATTRIBUTES = 0xFFFFFFFFu,
};

// Win32 error codes that the callers tell apart.
enum : uint32_t {
    FS_ERROR_FILE_NOT_FOUND = 2,
    FS_ERROR_PATH_NOT_FOUND = 3,
    FS_ERROR_ACCESS_DENIED = 5,
    FS_ERROR_NOT_ENOUGH_MEMORY = 8,
    FS_ERROR_NO_MORE_FILES = 18,          // a listing that has shown every entry
    FS_ERROR_SHARING_VIOLATION = 32,
    FS_ERROR_LOCK_VIOLATION = 33,
    FS_ERROR_INVALID_NAME = 123,
    FS_ERROR_DIR_NOT_EMPTY = 145,
    FS_ERROR_FILENAME_EXCED_RANGE = 206,
    FS_ERROR_DIRECTORY = 267,             // not a folder
    FS_ERROR_STOPPED_ON_SYMLINK = 681,    // a link where a plain folder was asked for
    FS_ERROR_CHANGED = 0x20010000u,       // not the entry the listing showed (application bit 29, above errno values)
    FS_ERROR_HARD_LINKED = 0x20010001u,   // read-only, with other names that share the bit
};

enum : uint64_t { FS_NO_ID = 0 };

// Reparse tags that the callers tell apart. A tag with the name-surrogate bit
// makes the entry stand for another one (junctions, symbolic links, ...).
enum : uint32_t {
    FS_REPARSE_TAG_NAME_SURROGATE = 0x20000000u,
    FS_REPARSE_TAG_MOUNT_POINT = 0xA0000003u,
    FS_REPARSE_TAG_SYMLINK = 0xA000000Cu,
    FS_REPARSE_TAG_DEDUP = 0x80000013u,
    FS_REPARSE_TAG_WOF = 0x80000017u,
    FS_REPARSE_TAG_CLOUD = 0x9000001Au,  // and 0x9000101A ... 0x9000F01A
};

enum : uint32_t { FS_DRIVE_FIXED = 3 };

enum : uint32_t { FS_PROTECTED_INCOMPLETE = 0xFFFFFFFFu };

// One directory entry as a listing yields it. `name` holds at most 259 units
// and a terminator; "." and ".." are listed like any other name.
struct FsEntry {
    char16_t name[260];
    uint32_t attributes;
    uint32_t sizeHigh;
    uint32_t sizeLow;
    uint32_t reparseTag;  // meaningful only with FS_ATTR_REPARSE_POINT; 0 when unknown
    // The entry's file id as the listing of a held folder saw it (Win32: the
    // listing's 64-bit file id; posix: d_ino); FS_NO_ID when not known.
    uint64_t id;
    // Bytes the entry takes on the volume (allocation), FS_NO_SPACE when the
    // listing cannot tell; and its number of names (hard links), 0 when the
    // listing cannot tell (a Win32 listing never can).
    uint64_t space;
    uint32_t links;
    // Last write time in FILETIME units (100 ns since 1601-01-01 UTC), 0
    // when the listing cannot tell.
    uint64_t modified;
};
constexpr uint64_t FS_NO_SPACE = ~0ull;
// Seconds between 1601-01-01 (FILETIME's origin) and 1970-01-01 (Unix's).
constexpr uint64_t kFsUnixEpochSeconds = 11644473600ull;

// An entry whose data, or whose folder's listing, lies in a remote store (a
// cloud file "on demand", an archived file): opening it makes the system
// fetch it onto the drive that is full. Such an entry is measured from its
// directory entry alone, a folder of them is never entered, and a file of
// them is deleted without its data being recalled.
inline bool FsDataIsRemote(uint32_t attributes) {
    return (attributes & (FS_ATTR_OFFLINE | FS_ATTR_RECALL_ON_OPEN | FS_ATTR_RECALL_ON_DATA_ACCESS)) != 0;
}

// A link is a reparse entry that leads somewhere else: a name surrogate, or a
// tag that is 0 or not known to be a plain file's (compression, dedup, cloud
// placeholders and the like are data stored in place). A reparse folder is
// never entered whatever its tag; callers check the directory bit first.
bool FsIsLink(uint32_t attributes, uint32_t reparseTag);

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

uint32_t FsLastError();

// What makes a folder the folder it is, whatever path names it: the volume's
// serial number and the file id on Windows, st_dev and st_ino on posix.
struct FsIdentity {
    uint64_t volume;
    uint64_t high;
    uint64_t low;
};

inline bool FsSameIdentity(const FsIdentity& a, const FsIdentity& b) {
    return a.volume == b.volume && a.high == b.high && a.low == b.low;
}

// Whether a file id read now is the 64-bit id kept from earlier. An NTFS
// file reference read from the master file table carries the record's
// sequence in its top 16 bits; a volume that Wine reaches through ntfs-3g
// gives the record number alone, which a reused record (another sequence)
// can never show.
inline bool FsSameFileId(uint64_t now, uint64_t kept) {
    return now == kept || (now >> 48 == 0 && kept >> 48 != 0 && now == (kept & 0xFFFFFFFFFFFFull));
}

// ---- Folders held open ----
//
// Every walk that deletes reaches each entry through its parent folder held
// open, never through a full path that another process could re-point
// between two calls: a folder renamed and replaced by a link while the walk
// is inside it cannot lead the walk out of the location. (Win32: each folder
// is held without FILE_SHARE_DELETE, so it cannot be renamed or replaced, and
// every child is opened relative to its parent's handle, never following a
// reparse point. Posix: openat/unlinkat relative to the folder's descriptor,
// O_NOFOLLOW.)
typedef struct FsFolder* FsDir;

// Opens the folder at path one component at a time from its root, each
// relative to the folder before it, never following a link. Null when it
// cannot be opened: FS_ERROR_STOPPED_ON_SYMLINK when path or any folder on
// the way to it is a link (checked on what was opened), FS_ERROR_DIRECTORY
// when it is not a folder. With forRemoval the folder can later be removed
// through FsCloseDir. With `above`, *metAbove tells whether one of the
// folders opened on the way (the root included, the folder itself not) had
// that identity: each was the parent of the next when it was opened, so
// this is where the folder really lies, whatever its path says.
FsDir FsOpenDir(const char16_t* path, bool forRemoval, const FsIdentity* above = nullptr, bool* metAbove = nullptr);
// Opens the folder `name` inside dir, on the same terms. A name that holds a
// separator is refused (FS_ERROR_INVALID_NAME). A folder on another volume
// than dir (a mount) is refused like a link: a Windows mount point is a
// reparse point, and a posix bind mount (a mount root, even of the same
// device) is treated the same. With a `listed` id (FsEntry::id, not
// FS_NO_ID) the folder opened must be the one the listing showed: another
// one put in its place since then is refused (FS_ERROR_CHANGED).
FsDir FsOpenSubdir(FsDir dir, const char16_t* name, bool forRemoval, uint64_t listed = FS_NO_ID);
// Lists the entries of dir whose names match pattern (one name with '*' and
// '?' wildcards): kind, attribute bits and tag, and the size; without
// `sizes` a backend may leave the size and the time of files 0 (posix then
// skips the stat). Continue with FsFindNext, end with FsFindClose before dir. Null
// also when nothing matches (FS_ERROR_FILE_NOT_FOUND or 18). A name that
// holds '\' or '/' is never listed: no Windows name can hold one.
FsFind FsDirFindFirst(FsDir dir, const char16_t* pattern, FsEntry* entry, bool sizes);
// Deletes the file or file link `name` in dir; never a folder, never a link's
// target. With clearReadOnly the read-only bit of a file that is not a link
// is ignored by the deletion where the system can, or else cleared on the
// file's own handle and put back when the deletion fails; a file with other
// hard links keeps its bit (they share it) and fails with access denied.
// names (optional): the number of names the file had just before it went
// (1: its bytes went with it), 0 where that cannot be told.
bool FsDeleteFileAt(FsDir dir, const char16_t* name, bool clearReadOnly, uint32_t* names = nullptr);
// Deletes the file `name` in dir only when the file opened is the one that
// was listed: the same file id and the same length; otherwise nothing is
// deleted and FS_ERROR_CHANGED is left. The deletion goes through the handle
// that was checked. Read-only is handled as FsDeleteFileAt does with
// clearReadOnly, but a read-only file with other hard links fails with
// FS_ERROR_HARD_LINKED.
bool FsDeleteListedFileAt(FsDir dir, const char16_t* name, uint64_t id, uint64_t size);
// Removes the folder link `name` in dir (the link alone), or an empty folder.
bool FsRemoveDirAt(FsDir dir, const char16_t* name);
// Closes dir. With remove, first removes the folder it holds (which must be
// empty by then) and returns whether that worked; otherwise returns true.
bool FsCloseDir(FsDir dir, bool remove);


// The identity of the folder dir holds.
bool FsDirIdentity(FsDir dir, FsIdentity* identity);
// Opens the folder at path following every link, and gives its identity and
// the path it really has (every link resolved; on Windows the "\\?\" form
// the system reports). For the protected folders, whose real place counts.
// False with FS_ERROR_FILE_NOT_FOUND or FS_ERROR_PATH_NOT_FOUND when nothing
// is there.
bool FsResolveFolder(const char16_t* path, char16_t* real, uint32_t capacity, FsIdentity* identity);

// ---- Path syntax and the folders no location may be ----

// Units of the root that begins an absolute path ("C:" 3, "\server\share"
// up to its last separator; on posix "" 1), 0 for a path that is not
// absolute ("C:x", "\Temp" on Windows, relative names).
uint32_t FsRootLength(const char16_t* path);
// Whether two names that differ only in letter case name the same entry.
bool FsNamesIgnoreCase();
// Whether the first `length` units of a and b name the same thing by the
// system's rule for names (Windows: CompareStringOrdinal ignoring case, so
// beyond ASCII too; posix: exactly).
bool FsNamesEqual(const char16_t* a, const char16_t* b, uint32_t length);
// The folders that a cleaning location may neither be nor contain, as
// consecutive strings ending in an empty one (Windows: from the system, never
// from the environment). Returns the units written without the final
// terminator; 0 when there are none or no room. When the list cannot be
// read in full it returns FS_PROTECTED_INCOMPLETE, and the caller accepts no
// location at all.
uint32_t FsProtectedFolders(char16_t* buffer, uint32_t capacity);

// The folders a location may be built from where the system knows them,
// never from the environment (which a process of the user's can set for an
// elevated one). Windows: GetSystemWindowsDirectoryW, the ProgramData known
// folder, and the profile folder registered for the process token's user
// (GetUserProfileDirectoryW). False, with out empty, when the system has no
// answer or it does not fit.
enum FsSystemFolder { FS_FOLDER_WINDOWS, FS_FOLDER_PROGRAM_DATA, FS_FOLDER_PROFILE };
bool FsSystemFolderPath(FsSystemFolder folder, char16_t* out, uint32_t capacity);
// Whether the process runs with administrator rights: its token is an
// effective member of the Administrators group (an elevated token). The
// native backend never is.
bool FsProcessElevated();

// The bytes the file at path takes on its volume (Windows:
// GetCompressedFileSizeW, which counts a sparse or compressed file's real
// clusters; posix: its blocks). False when it cannot be read.
bool FsFileSpace(const char16_t* path, uint64_t* bytes);

// Bytes in use on the volume that holds root (its size less its free
// bytes), for a walk's percent. False when it cannot be read.
bool FsVolumeUsedBytes(const char16_t* root, uint64_t* used);

// Expands %NAME% references into dst. False, with dst empty, when the
// expansion fails or needs more than `capacity` units with the terminator.
bool FsExpandEnvironment(const char16_t* source, char16_t* dst, uint32_t capacity);

// The logical drives as consecutive "X:\" strings ending in an empty one,
// as GetLogicalDriveStringsW gives them. Returns the units written without
// the final terminator, 0 on failure or when there is no room.
uint32_t FsLogicalDriveStrings(char16_t* buffer, uint32_t capacity);
uint32_t FsDriveType(const char16_t* root);

// The string form ("S-1-5-21-...") of the security id of the user the process
// runs as: each drive's recycle bin holds one folder of that name per user.
// False, with out empty, when it cannot be read or does not fit.
bool FsCurrentUserSid(char16_t* out, uint32_t capacity);

// Empties the recycle bins of all drives without asking, showing progress or
// playing a sound: the bins of the user the process runs as, the only ones
// the system empties for it. The outcome is not reported.
void FsEmptyRecycleBins();

// ---- Driver packages in the driver store ----
//
// The store's folders are the system's: a package is removed through the
// system (Windows: SetupUninstallOEMInfW, which refuses one that a device
// uses), never by deleting its files.

// What an INF of a third-party package says of itself, as the store holds
// it. Texts are cut to fit.
struct FsDriverPackage {
    char16_t published[32];     // the name Windows gave it, "oem12.inf"
    char16_t original[64];      // the INF's own name, "nv_dispi.inf"
    char16_t provider[128];     // [Version] Provider, strings substituted
    char16_t driverClass[64];   // [Version] ClassGuid, else Class
    char16_t driverVer[64];     // [Version] DriverVer as written: "mm/dd/yyyy,a.b.c.d"
    char16_t storeFolder[260];  // its folder in the store; empty when not known
};

// Lists the third-party packages (oem*.inf) into out, at most capacity.
// Returns how many; 0 where there is no driver store (the native backend,
// Wine); -1 with the error when they cannot be listed.
int FsListDriverPackages(FsDriverPackage* out, int capacity);
// Removes the package `published` through the system. False with the error;
// FS_ERROR_SHARING_VIOLATION when a device still uses it.
bool FsRemoveDriverPackage(const char16_t* published);

// ---- A volume's sectors (the large-file search through the MFT) ----

typedef struct FsVolumeImpl* FsVolume;

// Opens the volume whose root is `root` ("C:\") to read its sectors. Null,
// with the error, where that cannot be done: on Windows without
// administrator rights; the native backend has no volumes.
FsVolume FsOpenVolume(const char16_t* root);
// Reads length bytes at byte offset: whole sectors, into a 4096-byte aligned
// buffer. False, with the error, unless all of them were read.
bool FsReadVolume(FsVolume volume, uint64_t offset, void* buffer, size_t length);
void FsCloseVolume(FsVolume volume);
