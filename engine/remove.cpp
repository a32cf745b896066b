#include "engine/remove.h"

#include "engine/paths.h"
#include "engine/walk.h"
#include "platform/fs.h"
#include "text/text16.h"

namespace {

void Count(CleanTally* tally, bool success) { TallyResult(tally, success ? 1 : 0, success ? 0 : FsLastError()); }

void CountError(CleanTally* tally, uint32_t error) { TallyResult(tally, 0, error); }

// A folder is walked only when "folder\*" fits.
bool FolderFits(size_t length) { return length + 2 < static_cast<size_t>(kPathUnits); }

// Opens a location that the walk keeps. Null, with nothing counted, for a
// location that is a link or lies behind one (never entered) and for one
// that is not there; a path too long to walk, or any other failure to open
// it, is counted by its code.
bool OpenLocation(const char16_t* dir, CleanTally* tally, HeldFolder* held) {
    held->length = Text16Length(dir);
    if (!FolderFits(held->length)) {
        CountError(tally, FS_ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    held->dir = FsOpenDir(dir, false);
    if (!held->dir) {
        uint32_t error = FsLastError();
        if (error != FS_ERROR_STOPPED_ON_SYMLINK && error != FS_ERROR_FILE_NOT_FOUND && error != FS_ERROR_PATH_NOT_FOUND)
            CountError(tally, error);
    }
    return held->dir != nullptr;
}

}  // namespace

void DeleteFileCounted(const char16_t* path, CleanTally* tally) {
    if (!path || !tally) return;
    size_t length = Text16Length(path);
    size_t parentLength = ParentLength(path, length);
    const char16_t* name = path + length;
    while (name > path && name[-1] != u'\\') --name;
    // The name is looked up as a listing pattern: it must match itself alone.
    bool wildcard = false;
    for (const char16_t* p = name; *p; ++p) wildcard = wildcard || *p == u'*' || *p == u'?';
    if (parentLength == 0 || length >= static_cast<size_t>(kPathUnits) || wildcard) {
        CountError(tally, FS_ERROR_INVALID_NAME);
        return;
    }
    char16_t parent[kPathUnits];
    Text16CopyTruncated(parent, parentLength + 1, path);
    // Attributes come from the folder's own listing of the one name.
    FsDir dir = FsOpenDir(parent, false);
    if (!dir) {
        Count(tally, false);
        return;
    }
    FsEntry entry;
    FsFind find = FsDirFindFirst(dir, name, &entry, false);
    if (!find) {
        Count(tally, false);
    } else {
        FsFindClose(find);
        bool readOnly = (entry.attributes & FS_ATTR_READONLY) && !FsIsLink(entry.attributes, entry.reparseTag);
        Count(tally, FsDeleteFileAt(dir, entry.name, readOnly));
    }
    FsCloseDir(dir, false);
}

void DeleteTree(const char16_t* dir, CleanTally* tally) {
    if (!dir || !tally) return;
    size_t length = Text16Length(dir);
    if (!FolderFits(length)) {
        CountError(tally, FS_ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    FsDir held = FsOpenDir(dir, true);
    if (!held) {
        if (FsLastError() != FS_ERROR_STOPPED_ON_SYMLINK) {
            Count(tally, false);
            return;
        }
        // A location that is a link goes as a link, removed through its
        // parent held open; one that lies behind a link is not touched.
        size_t parentLength = ParentLength(dir, length);
        char16_t parent[kPathUnits];
        FsDir above = nullptr;
        if (parentLength) {
            Text16CopyTruncated(parent, parentLength + 1, dir);
            above = FsOpenDir(parent, false);
        }
        if (above) {
            const char16_t* name = dir + (parentLength == FsRootLength(dir) ? parentLength : parentLength + 1);
            Count(tally, FsRemoveDirAt(above, name));
            FsCloseDir(above, false);
        }
        return;
    }
    Walk walk = {WALK_REMOVE, 0, tally, nullptr, {0}};
    WalkMatching(&walk, HeldFolder{held, length}, u"*", true);
    Count(tally, FsCloseDir(held, true));
}

void DeleteContents(const char16_t* dir, CleanTally* tally) { DeleteMatching(dir, u"*", tally); }

void DeleteMatching(const char16_t* dir, const char16_t* pattern, CleanTally* tally) {
    if (!dir || !pattern || !tally) return;
    HeldFolder held;
    if (!OpenLocation(dir, tally, &held)) return;
    Walk walk = {WALK_REMOVE, 0, tally, nullptr, {0}};
    WalkMatching(&walk, held, pattern, true);
    FsCloseDir(held.dir, false);
}

void DeleteSubdirPattern(const char16_t* dir, const char16_t* pattern, int32_t depth, CleanTally* tally) {
    if (!dir || !pattern || !tally || depth > 10) return;
    HeldFolder held;
    if (!OpenLocation(dir, tally, &held)) return;
    Walk walk = {WALK_REMOVE, 0, tally, nullptr, {0}};
    WalkFolderPattern(&walk, held, pattern, depth);
    FsCloseDir(held.dir, false);
}
