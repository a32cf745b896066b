#include "engine/walk.h"

#include "engine/catalogue.h"
#include "engine/paths.h"
#include "engine/collector.h"
#include "text/format.h"
#include "text/text16.h"
#include "text/wildcard.h"

namespace {

const uint32_t kNoMoreFiles = 18;

bool Removing(const Walk* walk) { return walk->action == WALK_REMOVE; }

void CountFailure(Walk* walk, uint32_t error) {
    if (Removing(walk)) TallyResult(walk->tally, 0, error);
}

void CountResult(Walk* walk, bool success) {
    if (Removing(walk)) TallyResult(walk->tally, success ? 1 : 0, success ? 0 : FsLastError());
}

bool IsNoMatch(uint32_t error) { return error == FS_ERROR_FILE_NOT_FOUND || error == kNoMoreFiles; }

// Units of "dir\name" without the terminator.
size_t ChildLength(size_t dirLength, const char16_t* name) { return dirLength + 1 + Text16Length(name); }

// A folder is walked only when "folder\*" fits.
bool FolderFits(size_t length) { return length + 2 < static_cast<size_t>(kPathUnits); }

bool HasWildcard(const char16_t* text) {
    for (; *text; ++text) {
        if (*text == u'*' || *text == u'?') return true;
    }
    return false;
}

uint64_t EntryBytes(const FsEntry& entry) {
    if (FsIsLink(entry.attributes, entry.reparseTag)) return 0;
    return (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
}

// Collecting: the path of the child `name` of a folder of `parentLength`
// units, written in place after the parent's (the walk goes depth first, so
// the parent's part stays valid while its children are walked).
const char16_t* ChildPath(Walk* walk, size_t parentLength, const char16_t* name) {
    size_t length = Text16Length(name);
    if (parentLength + 1 + length >= static_cast<size_t>(kPathUnits)) return walk->path;
    walk->path[parentLength] = u'\\';
    for (size_t i = 0; i <= length; ++i) walk->path[parentLength + 1 + i] = name[i];
    return walk->path;
}

// One listed entry of the held folder: a file, a folder link or a plain
// folder, which is opened (refused if it has become a link or another
// folder since the listing) and taken whole.
void TakeEntry(Walk* walk, HeldFolder parent, const FsEntry& entry) {
    size_t length = ChildLength(parent.length, entry.name);
    if (length >= static_cast<size_t>(kPathUnits)) {
        CountFailure(walk, FS_ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    if (entry.attributes & FS_ATTR_DIRECTORY) {
        if (entry.attributes & FS_ATTR_REPARSE_POINT) {
            if (Removing(walk)) CountResult(walk, FsRemoveDirAt(parent.dir, entry.name));
            return;
        }
        if (!FolderFits(length)) {
            CountFailure(walk, FS_ERROR_FILENAME_EXCED_RANGE);
            return;
        }
        // Its listing would be fetched from the cloud: left as it is, like a
        // folder on another volume, neither counted nor removed.
        if (FsDataIsRemote(entry.attributes)) return;
        // Only the folder the listing showed: one renamed into its place
        // since then is neither entered nor removed.
        if (walk->action == WALK_COLLECT) ChildPath(walk, parent.length, entry.name);
        FsDir child = FsOpenSubdir(parent.dir, entry.name, Removing(walk), entry.id);
        if (!child) {
            CountResult(walk, false);
            return;
        }
        // Below the location a listing that fails shows in the folder's own
        // removal, which then fails too. The item's file patterns speak of
        // the location's own entries only.
        const int earlier = walk->earlierCount;
        walk->earlierCount = 0;
        WalkMatching(walk, HeldFolder{child, length}, u"*", false);
        walk->earlierCount = earlier;
        bool removed = FsCloseDir(child, Removing(walk));
        if (Removing(walk)) CountResult(walk, removed);
        return;
    }
    if (!Removing(walk)) {
        walk->bytes += EntryBytes(entry);
        if (walk->action == WALK_COLLECT && walk->collector)
            CollectFile(walk->collector, ChildPath(walk, parent.length, entry.name), EntryBytes(entry));
        return;
    }
    bool readOnly = (entry.attributes & FS_ATTR_READONLY) && !FsIsLink(entry.attributes, entry.reparseTag);
    uint32_t names = 0;
    const bool deleted = FsDeleteFileAt(parent.dir, entry.name, readOnly, walk->fileDeleted ? &names : nullptr);
    CountResult(walk, deleted);
    if (deleted && walk->fileDeleted) walk->fileDeleted(walk->fileDeletedContext, entry, names);
}

// Opens the plain folder that a listing of `parent` showed as entry, for a
// pattern level; counted when it cannot be.
FsDir OpenLevel(Walk* walk, HeldFolder parent, const FsEntry& entry, size_t* length) {
    *length = ChildLength(parent.length, entry.name);
    if (!FolderFits(*length)) {
        CountFailure(walk, FS_ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    if (walk->action == WALK_COLLECT) ChildPath(walk, parent.length, entry.name);
    FsDir child = FsOpenSubdir(parent.dir, entry.name, false, entry.id);
    if (!child) CountResult(walk, false);
    return child;
}

bool TakenAlready(const Walk* walk, const char16_t* name) {
    for (int i = 0; i < walk->earlierCount; ++i) {
        if (WildcardMatch(walk->earlierPatterns[i], name)) return true;
    }
    return false;
}

bool IsPlainFolder(const FsEntry& entry) {
    return (entry.attributes & FS_ATTR_DIRECTORY) && !(entry.attributes & FS_ATTR_REPARSE_POINT) &&
           !FsDataIsRemote(entry.attributes);
}

}  // namespace

void WalkFrom(Walk* walk, const char16_t* folderText) {
    Text16CopyTruncated(walk->path, static_cast<size_t>(kPathUnits), folderText);
}

void WalkMatching(Walk* walk, HeldFolder folder, const char16_t* pattern, bool countListFailure) {
    FsEntry entry;
    FsFind find = FsDirFindFirst(folder.dir, pattern, &entry, !Removing(walk));
    if (!find) {
        uint32_t error = FsLastError();
        if (countListFailure && !IsNoMatch(error)) CountFailure(walk, error);
        return;
    }
    do {
        if (!IsDotEntry(entry.name) && !TakenAlready(walk, entry.name)) TakeEntry(walk, folder, entry);
    } while (!CollectingStopped(walk->collector) && FsFindNext(find, &entry));
    FsFindClose(find);
}

void WalkFolderPattern(Walk* walk, HeldFolder folder, const char16_t* pattern, int32_t depth) {
    if (depth > 10 || !pattern) return;
    const char16_t* end = pattern;
    while (*end && *end != u'\\') ++end;
    const size_t nameLength = static_cast<size_t>(end - pattern);
    if (nameLength == 0 || nameLength >= static_cast<size_t>(kPathUnits)) return;
    char16_t name[kPathUnits];
    Text16CopyTruncated(name, nameLength + 1, pattern);
    const bool last = *end == 0;
    const bool wildcard = HasWildcard(name);
    if (last && wildcard) {
        WalkMatching(walk, folder, name, true);
        return;
    }
    // Each name is looked up in its folder's listing first: only what the
    // listing shows as a plain folder is opened (and the open checks it
    // again on the handle).
    FsEntry entry;
    FsFind find = FsDirFindFirst(folder.dir, name, &entry, !Removing(walk));
    if (!find) {
        uint32_t error = FsLastError();
        if (!IsNoMatch(error)) CountFailure(walk, error);
        return;
    }
    do {
        if (IsDotEntry(entry.name)) continue;
        if (last) {
            TakeEntry(walk, folder, entry);
            continue;
        }
        if (!IsPlainFolder(entry)) continue;
        size_t length = 0;
        FsDir child = OpenLevel(walk, folder, entry, &length);
        if (!child) continue;
        WalkFolderPattern(walk, HeldFolder{child, length}, end + 1, wildcard ? depth + 1 : depth);
        FsCloseDir(child, false);
    } while (!CollectingStopped(walk->collector) && FsFindNext(find, &entry));
    FsFindClose(find);
}

void WalkItem(Walk* walk, const CleanupItem& item, HeldFolder location, const char16_t* locationText) {
    const bool patterns = item.patterns[0] != nullptr;
    if (item.mode == CM_MATCH_FILES && patterns) {
        // A file two patterns match is one file: counted once, removed once.
        for (int i = 0; i < kMaxPatterns && item.patterns[i]; ++i) {
            walk->earlierPatterns = item.patterns;
            walk->earlierCount = i;
            WalkMatching(walk, location, item.patterns[i], true);
            if (Removing(walk)) Trace(u"[清理] 删除匹配文件完成: %s\\%s", locationText, item.patterns[i]);
        }
        walk->earlierPatterns = nullptr;
        walk->earlierCount = 0;
    } else if (item.mode == CM_MATCH_SUBDIRS && patterns) {
        for (int i = 0; i < kMaxPatterns && item.patterns[i]; ++i) {
            WalkFolderPattern(walk, location, item.patterns[i], 0);
            if (Removing(walk)) Trace(u"[清理] 删除子目录完成: %s\\%s", locationText, item.patterns[i]);
        }
    } else if (item.mode == CM_CONTENTS || item.mode == CM_WHOLE_DIR || item.mode == CM_MATCH_FILES ||
               item.mode == CM_MATCH_SUBDIRS) {
        WalkMatching(walk, location, u"*", true);
    }
}
