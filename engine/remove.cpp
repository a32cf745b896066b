#include "engine/remove.h"

#include "engine/paths.h"
#include "platform/fs.h"

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

namespace {

void Count(CleanTally* tally, bool success) { TallyResult(tally, success ? 1 : 0, success ? 0 : FsLastError()); }

bool IsLink(uint32_t attributes) {
    return attributes != FS_INVALID_ATTRIBUTES && (attributes & FS_ATTR_REPARSE_POINT);
}

// The attribute reset is skipped for a link: on some systems it would
// change the link's target, which lies outside the location.
void ResetAttributes(const char16_t* path) {
    uint32_t attributes = FsGetAttributes(path);
    if (attributes != FS_INVALID_ATTRIBUTES && !IsLink(attributes)) FsSetAttributes(path, FS_ATTR_NORMAL);
}

void RemoveDirectoryCounted(const char16_t* dir, CleanTally* tally) {
    ResetAttributes(dir);
    Count(tally, FsRemoveDirectory(dir));
}

void TreeBelow(const char16_t* dir, CleanTally* tally);

// One entry of a walk, at path, with the attributes its listing gave.
void RemoveEntry(const char16_t* path, uint32_t attributes, CleanTally* tally) {
    if (attributes & FS_ATTR_DIRECTORY) {
        if (attributes & FS_ATTR_REPARSE_POINT) {
            RemoveDirectoryCounted(path, tally);  // the link only
        } else {
            TreeBelow(path, tally);
        }
    } else {
        DeleteFileCounted(path, tally);
    }
}

// Walks the entries of dir that match pattern, handing each to RemoveEntry.
// Returns false when the listing could not begin.
bool RemoveListed(const char16_t* dir, const char16_t* pattern, CleanTally* tally) {
    char16_t path[kPathUnits];
    if (!JoinPath(path, dir, pattern)) return false;
    FsEntry entry;
    FsFind find = FsFindFirst(path, &entry);
    if (!find) return false;
    do {
        if (IsDotEntry(entry.name)) continue;
        if (!JoinPath(path, dir, entry.name)) continue;
        RemoveEntry(path, entry.attributes, tally);
    } while (FsFindNext(find, &entry));
    FsFindClose(find);
    return true;
}

// DeleteTree for a directory already known not to be a link.
void TreeBelow(const char16_t* dir, CleanTally* tally) {
    char16_t search[kPathUnits];
    if (!MakeSearchPath(search, dir)) return;  // nothing removed, not even dir
    RemoveListed(dir, u"*", tally);
    RemoveDirectoryCounted(dir, tally);
}

}  // namespace

void DeleteFileCounted(const char16_t* path, CleanTally* tally) {
    ResetAttributes(path);
    Count(tally, FsDeleteFile(path));
}

void DeleteTree(const char16_t* dir, CleanTally* tally) {
    if (!dir || !tally) return;
    if (IsLink(FsGetAttributes(dir))) {
        char16_t search[kPathUnits];
        if (MakeSearchPath(search, dir)) RemoveDirectoryCounted(dir, tally);
        return;
    }
    TreeBelow(dir, tally);
}

void DeleteContents(const char16_t* dir, CleanTally* tally) {
    if (!dir || !tally || IsLink(FsGetAttributes(dir))) return;
    char16_t search[kPathUnits];
    if (!MakeSearchPath(search, dir)) return;
    RemoveListed(dir, u"*", tally);
}

void DeleteMatching(const char16_t* dir, const char16_t* pattern, CleanTally* tally) {
    if (!dir || !pattern || !tally || IsLink(FsGetAttributes(dir))) return;
    RemoveListed(dir, pattern, tally);
}

void DeleteSubdirPattern(const char16_t* dir, const char16_t* pattern, int32_t depth, CleanTally* tally) {
    if (!dir || !pattern || !tally || depth > 10) return;
    char16_t path[kPathUnits];
    if (pattern[0] == u'*' && pattern[1] == u'\\') {
        if (!MakeSearchPath(path, dir)) return;
        FsEntry entry;
        FsFind find = FsFindFirst(path, &entry);
        if (!find) return;
        do {
            // A linked subfolder is not a level of this location.
            if (IsDotEntry(entry.name) || !(entry.attributes & FS_ATTR_DIRECTORY) ||
                (entry.attributes & FS_ATTR_REPARSE_POINT))
                continue;
            if (JoinPath(path, dir, entry.name)) DeleteSubdirPattern(path, pattern + 2, depth + 1, tally);
        } while (FsFindNext(find, &entry));
        FsFindClose(find);
        return;
    }
    for (const char16_t* p = pattern; *p; ++p) {
        if (*p == u'*') {
            DeleteMatching(dir, pattern, tally);
            return;
        }
    }
    if (!JoinPath(path, dir, pattern)) return;
    if (RelativePathCrossesLink(dir, pattern, false)) return;
    uint32_t attributes = FsGetAttributes(path);
    if (attributes == FS_INVALID_ATTRIBUTES) {
        TallyResult(tally, 0, FsLastError());
    } else if (attributes & FS_ATTR_DIRECTORY) {
        DeleteTree(path, tally);
    } else {
        DeleteFileCounted(path, tally);
    }
}
