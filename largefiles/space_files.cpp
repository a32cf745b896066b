#include "largefiles/space_files.h"

#include "engine/guard.h"
#include "engine/walk.h"
#include "largefiles/space_scan.h"
#include "platform/fs.h"
#include "text/text16.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

// A folder held now is the one the scan met. The root's id is not recorded
// (the walk starts inside it), and it cannot be swapped for another.
bool IsScannedFolder(const SpaceTree& tree, uint32_t folder, FsDir dir) {
    if (folder == 0) return true;
    const uint64_t id = tree.Folder(folder).id;
    FsIdentity identity;
    return id != FS_NO_ID && FsDirIdentity(dir, &identity) && identity.high == 0 && FsSameFileId(identity.low, id);
}

bool IsGone(uint32_t error) {
    return error == FS_ERROR_FILE_NOT_FOUND || error == FS_ERROR_PATH_NOT_FOUND || error == FS_ERROR_CHANGED ||
           error == FS_ERROR_STOPPED_ON_SYMLINK || error == FS_ERROR_DIRECTORY;
}

// The folder opened from the root (no link followed) and checked.
FsDir OpenScannedFolder(const SpaceTree& tree, const char16_t* root, uint32_t folder, SpaceItemState* state,
                        uint32_t* error) {
    *error = 0;
    if (folder >= tree.FolderCount() || !tree.Folder(folder).attached) {
        *state = SPACE_ITEM_CHANGED;
        return nullptr;
    }
    FsDir dir = FsOpenDir(SpaceFolderPath(tree, root, folder).c_str(), false);
    if (!dir) {
        *error = FsLastError();
        *state = IsGone(*error) ? SPACE_ITEM_CHANGED : SPACE_ITEM_FAILED;
        return nullptr;
    }
    if (!IsScannedFolder(tree, folder, dir)) {
        FsCloseDir(dir, false);
        *state = SPACE_ITEM_CHANGED;
        return nullptr;
    }
    *state = SPACE_ITEM_OK;
    return dir;
}

// The folder's place and identity, or why there is nothing to delete.
bool TargetOf(const SpaceTree& tree, const char16_t* root, uint32_t folder, std::u16string* path, uint64_t* id,
              SpaceDeletion* out) {
    if (folder == 0) {
        out->state = SPACE_ITEM_PROTECTED;
        out->refusal = REFUSED_DRIVE_ROOT;
        return false;
    }
    if (folder >= tree.FolderCount() || !tree.Folder(folder).attached) {
        out->state = SPACE_ITEM_CHANGED;
        return false;
    }
    *path = SpaceFolderPath(tree, root, folder);
    *id = tree.Folder(folder).id;
    return true;
}

// The folder through the guard: refused when it is or holds a protected
// folder, and "changed" unless it is the folder of that id.
bool GuardFolder(const std::u16string& path, uint64_t id, bool forRemoval, HeldFolder* held, char16_t* location,
                 SpaceDeletion* out) {
    if (path.size() + 2 >= static_cast<size_t>(kPathUnits)) {
        out->state = SPACE_ITEM_FAILED;
        out->error = FS_ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    // The path as the tree spells it, not as a cleaning location is
    // prepared: no %NAME% expanded, no trailing dot dropped, so that "x."
    // is "x." and not its neighbour "x". The guard decides by identity.
    Text16CopyTruncated(location, kPathUnits, path.c_str());
    switch (OpenGuardedLocation(location, forRemoval, false, held, &out->error, &out->refusal)) {
    case GUARD_OK:
        break;
    case GUARD_UNSAFE:
        out->state = SPACE_ITEM_PROTECTED;
        return false;
    case GUARD_FAILED:
        out->state = SPACE_ITEM_FAILED;
        return false;
    default:  // missing, or a link now on the way or in its place
        out->state = SPACE_ITEM_CHANGED;
        return false;
    }
    FsIdentity identity;
    if (id == FS_NO_ID || !FsDirIdentity(held->dir, &identity) || identity.high != 0 ||
        !FsSameFileId(identity.low, id)) {
        FsCloseDir(held->dir, false);
        out->state = SPACE_ITEM_CHANGED;
        return false;
    }
    return true;
}

// What is left below a held folder, as the scan would count it: links and
// folders on another volume or in a remote store are not entered.
constexpr int32_t kCountDepth = 64;
void CountRemaining(FsDir dir, int32_t depth, SpaceDeletion* out) {
    FsEntry entry;
    FsFind find = FsDirFindFirst(dir, u"*", &entry, true);
    if (!find) return;
    do {
        if (IsDotEntry(entry.name)) continue;
        if (entry.attributes & FS_ATTR_DIRECTORY) {
            out->folders++;
            if ((entry.attributes & FS_ATTR_REPARSE_POINT) || FsDataIsRemote(entry.attributes) || depth >= kCountDepth)
                continue;
            if (FsDir child = FsOpenSubdir(dir, entry.name, false, entry.id)) {
                CountRemaining(child, depth + 1, out);
                FsCloseDir(child, false);
            }
            continue;
        }
        const uint64_t size = FsIsLink(entry.attributes, entry.reparseTag)
                                  ? 0
                                  : (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
        out->files++;
        out->size += size;
        out->space += entry.space == FS_NO_SPACE || size == 0 ? size : entry.space;
        if (size >= kSpaceSmallFile) out->large++;
    } while (FsFindNext(find, &entry));
    FsFindClose(find);
}

// What a folder's deletion gathers of the files the walker deleted.
struct DeletedFiles {
    std::vector<SpaceExtensionSum>* sums;
    // Files with more names than one (or a number the listing cannot tell)
    // by id: the names deleted so far. The scan counted such a file once.
    std::unordered_map<uint64_t, uint32_t> names;
};

// The walker's report of one file deleted, summed by its extension with
// the bytes the scan would have counted for it. A file with several names
// counts once, and only once all its names went: one left elsewhere keeps
// its bytes. The deletion tells how many names the file had just before
// (1: its last); where it cannot, the listing's number counts (the names
// this walk deleted), and where neither can, the first name deleted.
void SumDeleted(void* context, const FsEntry& entry, uint32_t names) {
    DeletedFiles* deleted = static_cast<DeletedFiles*>(context);
    if (names > 1) return;
    if (names == 0 && entry.links != 1 && entry.id != FS_NO_ID) {
        const uint32_t gone = ++deleted->names[entry.id];
        if (entry.links == 0 ? gone != 1 : gone != entry.links) return;
    }
    const bool link = FsIsLink(entry.attributes, entry.reparseTag);
    const uint64_t size = link ? 0 : (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
    const uint64_t space = link ? 0 : entry.space == FS_NO_SPACE ? size : entry.space;
    SpaceSumDeletedFile(deleted->sums, entry.name, Text16Length(entry.name), size, space);
}

}  // namespace

std::u16string SpaceFolderPath(const SpaceTree& tree, const char16_t* root, uint32_t folder) {
    std::vector<uint32_t> chain;
    for (uint32_t at = folder; at != 0 && at < tree.FolderCount(); at = tree.Folder(at).parent) chain.push_back(at);
    std::u16string path(root);
    for (size_t i = chain.size(); i-- > 0;) {
        if (path.empty() || path.back() != u'\\') path += u'\\';
        path += tree.Name(tree.Folder(chain[i]).name);
    }
    return path;
}

SpaceDeletion CheckSpaceFolder(const SpaceTree& tree, const char16_t* root, uint32_t folder) {
    SpaceDeletion out;
    std::u16string path;
    uint64_t id = FS_NO_ID;
    HeldFolder held;
    char16_t location[kPathUnits];
    if (!TargetOf(tree, root, folder, &path, &id, &out) || !GuardFolder(path, id, false, &held, location, &out))
        return out;
    FsCloseDir(held.dir, false);
    out.state = SPACE_ITEM_OK;
    return out;
}

SpaceDeletion DeleteSpaceFolder(const SpaceTree& tree, const char16_t* root, uint32_t folder) {
    SpaceDeletion out;
    std::u16string path;
    uint64_t id = FS_NO_ID;
    if (!TargetOf(tree, root, folder, &path, &id, &out)) return out;
    return DeleteSpaceFolderAt(path.c_str(), id);
}

SpaceDeletion DeleteSpaceFolderAt(const char16_t* path, uint64_t id) {
    SpaceDeletion out;
    HeldFolder held;
    char16_t location[kPathUnits];
    if (!GuardFolder(path, id, true, &held, location, &out)) return out;
    // As a whole-folder location is cleaned: its contents, then the folder.
    Walk walk = {WALK_REMOVE, 0, &out.tally, nullptr, {0}};
    DeletedFiles deleted{&out.deleted, {}};
    walk.fileDeleted = SumDeleted;
    walk.fileDeletedContext = &deleted;
    WalkFrom(&walk, location);
    WalkMatching(&walk, held, u"*", true);
    CountRemaining(held.dir, 0, &out);
    const bool removed = FsCloseDir(held.dir, true);
    TallyResult(&out.tally, removed ? 1 : 0, removed ? 0 : FsLastError());
    out.state = removed ? SPACE_ITEM_OK : SPACE_ITEM_PARTLY;
    // What is left is shown as any scanned folder is, down to its files:
    // what could not be deleted can be found and deleted in turn. Only
    // shown: every later deletion checks the ids again.
    // A root that cannot be walked now, or that is another folder than the
    // one deleted from, leaves the counts to stand for what remains.
    SpaceTree* remains = nullptr;
    if (!removed && ScanSpaceTreeWalk(path, 0, &remains, nullptr, nullptr, nullptr, 0, nullptr, nullptr, id) == 0) {
        out.remains.reset(remains);
        if (remains->Folder(0).flags & SPACE_DENIED) out.remains.reset();
    }
    return out;
}

SpaceDeletion DeleteSpaceFile(const SpaceTree& tree, const char16_t* root, uint32_t folder, const char16_t* name,
                              uint64_t id, uint64_t size) {
    SpaceDeletion out;
    FsDir dir = OpenScannedFolder(tree, root, folder, &out.state, &out.error);
    if (!dir) return out;
    if (id == FS_NO_ID) {
        out.state = SPACE_ITEM_CHANGED;  // nothing to tell the file by
    } else if (FsDeleteListedFileAt(dir, name, id, size)) {
        out.state = SPACE_ITEM_OK;
    } else {
        out.error = FsLastError();
        out.state = out.error == FS_ERROR_HARD_LINKED ? SPACE_ITEM_HARD_LINKED
                    : IsGone(out.error)               ? SPACE_ITEM_CHANGED
                                                      : SPACE_ITEM_FAILED;
    }
    FsCloseDir(dir, false);
    return out;
}

void RemoveDeletedFile(SpaceTree* tree, uint32_t folder, const char16_t* name, uint64_t id, uint64_t size,
                       uint64_t space) {
    if (folder >= tree->FolderCount()) return;
    const std::vector<SpaceFile>& kept = tree->Folder(folder).kept;
    for (uint32_t i = 0; i < kept.size(); ++i) {
        if (FsSameFileId(id, kept[i].id) && Text16Equal(tree->Name(kept[i].name), name)) {
            tree->RemoveFile(folder, i);
            return;
        }
    }
    tree->RemoveRestFile(folder, name, size, space);
}

SpaceItemState ListSpaceFiles(const SpaceTree& tree, const char16_t* root, uint32_t folder,
                              std::vector<SpaceListedFile>* out, uint32_t* error) {
    out->clear();
    SpaceItemState state;
    FsDir dir = OpenScannedFolder(tree, root, folder, &state, error);
    if (!dir) return state;
    FsEntry entry;
    FsFind find = FsDirFindFirst(dir, u"*", &entry, true);
    if (!find && FsLastError() != FS_ERROR_FILE_NOT_FOUND && FsLastError() != FS_ERROR_NO_MORE_FILES) {
        *error = FsLastError();
        FsCloseDir(dir, false);
        return SPACE_ITEM_FAILED;
    }
    if (find) {
        do {
            if (IsDotEntry(entry.name) || (entry.attributes & FS_ATTR_DIRECTORY)) continue;
            const bool link = FsIsLink(entry.attributes, entry.reparseTag);
            const uint64_t size = link ? 0 : (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
            const uint64_t space = link ? 0 : entry.space == FS_NO_SPACE ? size : entry.space;
            out->push_back(SpaceListedFile{entry.name, size, space, entry.id, link, link ? 0 : entry.modified});
        } while (FsFindNext(find, &entry));
        FsFindClose(find);
    }
    FsCloseDir(dir, false);
    std::stable_sort(out->begin(), out->end(),
                     [](const SpaceListedFile& a, const SpaceListedFile& b) { return a.size > b.size; });
    return SPACE_ITEM_OK;
}
