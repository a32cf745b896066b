#include "engine/remove.h"

#include "engine/paths.h"
#include "platform/fs.h"
#include "text/text16.h"

void TallyResult(CleanTally* tally, int32_t success, uint32_t error) {
    if (!tally) return;
    if (success) {
        tally->deleted++;
        return;
    }
    switch (error) {
    case FS_ERROR_ACCESS_DENIED:
        tally->accessDenied++;
        break;
    case FS_ERROR_SHARING_VIOLATION:
    case FS_ERROR_LOCK_VIOLATION:
        tally->inUse++;
        break;
    case FS_ERROR_FILE_NOT_FOUND:
    case FS_ERROR_PATH_NOT_FOUND:
    case FS_ERROR_INVALID_NAME:
        tally->notFound++;
        break;
    default:
        tally->otherError++;
        break;
    }
}

// Every walk below reaches an entry through its parent folder held open
// (FsDir), never through a full path: a folder that another process renames
// and replaces with a link while the walk is inside it cannot lead the walk
// out of the location. Full paths are still bounded by kPathUnits, so the
// walk tracks their lengths only.
namespace {

void Count(CleanTally* tally, bool success) { TallyResult(tally, success ? 1 : 0, success ? 0 : FsLastError()); }

void CountError(CleanTally* tally, uint32_t error) { TallyResult(tally, 0, error); }

bool IsNoMatch(uint32_t error) { return error == FS_ERROR_FILE_NOT_FOUND || error == 18; }  // 18: ERROR_NO_MORE_FILES

// Units of "dir\name" without the terminator.
size_t ChildLength(size_t dirLength, const char16_t* name) { return dirLength + 1 + Text16Length(name); }

// A folder is walked only when "folder\*" fits.
bool FolderFits(size_t length) { return length + 2 < static_cast<size_t>(kPathUnits); }

void RemoveListed(FsDir dir, size_t length, const char16_t* pattern, bool countListFailure, CleanTally* tally);

// One listed entry of dir. A folder link of any tag is removed as a link; a
// plain folder is opened (refused if it has become a link since the listing)
// and emptied, then removed through its own handle.
void RemoveEntry(FsDir dir, size_t dirLength, const FsEntry& entry, CleanTally* tally) {
    size_t length = ChildLength(dirLength, entry.name);
    if (length >= static_cast<size_t>(kPathUnits)) {
        CountError(tally, FS_ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    if (entry.attributes & FS_ATTR_DIRECTORY) {
        if (entry.attributes & FS_ATTR_REPARSE_POINT) {
            Count(tally, FsRemoveDirAt(dir, entry.name));
            return;
        }
        if (!FolderFits(length)) {
            CountError(tally, FS_ERROR_FILENAME_EXCED_RANGE);
            return;
        }
        FsDir child = FsOpenSubdir(dir, entry.name, true);
        if (!child) {
            Count(tally, false);
            return;
        }
        RemoveListed(child, length, u"*", false, tally);
        Count(tally, FsCloseDir(child, true));
        return;
    }
    bool readOnly = (entry.attributes & FS_ATTR_READONLY) && !FsIsLink(entry.attributes, entry.reparseTag);
    Count(tally, FsDeleteFileAt(dir, entry.name, readOnly));
}

// Hands every entry of dir that matches pattern to RemoveEntry. A listing
// that fails is counted only where asked (the location itself); below it,
// the folder's own removal reports it.
void RemoveListed(FsDir dir, size_t length, const char16_t* pattern, bool countListFailure, CleanTally* tally) {
    FsEntry entry;
    FsFind find = FsDirFindFirst(dir, pattern, &entry);
    if (!find) {
        uint32_t error = FsLastError();
        if (countListFailure && !IsNoMatch(error)) CountError(tally, error);
        return;
    }
    do {
        if (!IsDotEntry(entry.name)) RemoveEntry(dir, length, entry, tally);
    } while (FsFindNext(find, &entry));
    FsFindClose(find);
}

// Opens a location that the walk keeps (its length goes to length). Null,
// with nothing counted, for a link (never entered) and for a location that is
// not there; a path too long to walk, or any other failure to open it, is
// counted by its code.
FsDir OpenLocation(const char16_t* dir, size_t* length, CleanTally* tally) {
    *length = Text16Length(dir);
    if (!FolderFits(*length)) {
        CountError(tally, FS_ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    FsDir held = FsOpenDir(dir, false);
    if (!held) {
        uint32_t error = FsLastError();
        if (error != FS_ERROR_STOPPED_ON_SYMLINK && error != FS_ERROR_FILE_NOT_FOUND && error != FS_ERROR_PATH_NOT_FOUND)
            CountError(tally, error);
    }
    return held;
}

void SubdirPatternBelow(FsDir dir, size_t length, const char16_t* pattern, int32_t depth, bool top, CleanTally* tally);

}  // namespace

void DeleteFileCounted(const char16_t* path, CleanTally* tally) {
    if (!path || !tally) return;
    size_t length = Text16Length(path);
    size_t split = length;
    while (split > 0 && path[split - 1] != u'\\') --split;
    bool wildcard = false;
    for (size_t i = split; i < length; ++i) wildcard = wildcard || path[i] == u'*' || path[i] == u'?';
    // The name is looked up as a listing pattern: it must match itself alone.
    if (split < 2 || split == length || length >= static_cast<size_t>(kPathUnits) || wildcard) {
        CountError(tally, FS_ERROR_INVALID_NAME);
        return;
    }
    // The parent without its final separator, unless that is part of a root.
    char16_t parent[kPathUnits];
    Text16CopyTruncated(parent, split > FsRootLength(path) ? split : split + 1, path);
    const char16_t* name = path + split;
    // Attributes come from the folder's own listing of the one name.
    FsDir dir = FsOpenDir(parent, false);
    if (!dir) {
        Count(tally, false);
        return;
    }
    FsEntry entry;
    FsFind find = FsDirFindFirst(dir, name, &entry);
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
        // A location that is a link goes as a link; removing one never
        // follows it.
        if (FsLastError() == FS_ERROR_STOPPED_ON_SYMLINK) {
            Count(tally, FsRemoveDirectory(dir));
        } else {
            Count(tally, false);
        }
        return;
    }
    RemoveListed(held, length, u"*", true, tally);
    Count(tally, FsCloseDir(held, true));
}

void DeleteContents(const char16_t* dir, CleanTally* tally) {
    DeleteMatching(dir, u"*", tally);
}

void DeleteMatching(const char16_t* dir, const char16_t* pattern, CleanTally* tally) {
    if (!dir || !pattern || !tally) return;
    size_t length = 0;
    FsDir held = OpenLocation(dir, &length, tally);
    if (!held) return;
    RemoveListed(held, length, pattern, true, tally);
    FsCloseDir(held, false);
}

void DeleteSubdirPattern(const char16_t* dir, const char16_t* pattern, int32_t depth, CleanTally* tally) {
    if (!dir || !pattern || !tally || depth > 10) return;
    size_t length = 0;
    FsDir held = OpenLocation(dir, &length, tally);
    if (!held) return;
    SubdirPatternBelow(held, length, pattern, depth, true, tally);
    FsCloseDir(held, false);
}

namespace {

// What pattern names below the held folder dir (whose path has length
// units). "*\" levels open every plain subfolder; literal components are
// opened one by one, and one that is a link ends the walk there uncounted.
// Only the location's own (top) listing failing is counted.
void SubdirPatternBelow(FsDir dir, size_t length, const char16_t* pattern, int32_t depth, bool top, CleanTally* tally) {
    if (depth > 10) return;
    if (pattern[0] == u'*' && pattern[1] == u'\\') {
        if (!FolderFits(length)) return;
        FsEntry entry;
        FsFind find = FsDirFindFirst(dir, u"*", &entry);
        if (!find) {
            if (top && !IsNoMatch(FsLastError())) Count(tally, false);
            return;
        }
        do {
            // A linked subfolder is not a level of this location.
            if (IsDotEntry(entry.name) || !(entry.attributes & FS_ATTR_DIRECTORY) ||
                (entry.attributes & FS_ATTR_REPARSE_POINT))
                continue;
            size_t childLength = ChildLength(length, entry.name);
            if (childLength >= static_cast<size_t>(kPathUnits)) continue;
            FsDir child = FsOpenSubdir(dir, entry.name, false);
            if (!child) continue;
            SubdirPatternBelow(child, childLength, pattern + 2, depth + 1, false, tally);
            FsCloseDir(child, false);
        } while (FsFindNext(find, &entry));
        FsFindClose(find);
        return;
    }
    for (const char16_t* p = pattern; *p; ++p) {
        if (*p == u'*' || *p == u'?') {
            RemoveListed(dir, length, pattern, top, tally);
            return;
        }
    }
    // A literal "a\b\c": open a and b, then remove c whatever it is.
    const char16_t* end = pattern;
    while (*end && *end != u'\\') ++end;
    char16_t name[kPathUnits];
    size_t nameLength = static_cast<size_t>(end - pattern);
    if (nameLength == 0 || length + 1 + nameLength >= static_cast<size_t>(kPathUnits)) return;
    Text16CopyTruncated(name, nameLength + 1, pattern);
    // Each component is looked up in its folder's listing first: only what
    // the listing shows as a plain folder is opened (and the open checks it
    // again on the handle).
    FsEntry entry;
    FsFind find = FsDirFindFirst(dir, name, &entry);
    if (!find) {
        Count(tally, false);
        return;
    }
    FsFindClose(find);
    if (!*end) {
        RemoveEntry(dir, length, entry, tally);
        return;
    }
    if (entry.attributes & FS_ATTR_REPARSE_POINT) return;
    if (!(entry.attributes & FS_ATTR_DIRECTORY)) {
        CountError(tally, FS_ERROR_PATH_NOT_FOUND);
        return;
    }
    FsDir child = FsOpenSubdir(dir, entry.name, false);
    if (!child) {
        if (FsLastError() != FS_ERROR_STOPPED_ON_SYMLINK) Count(tally, false);
        return;
    }
    SubdirPatternBelow(child, length + 1 + nameLength, end + 1, depth, false, tally);
    FsCloseDir(child, false);
}

}  // namespace
