// What the space view does to the disk: one folder's files listed again,
// and a file or folder of the tree deleted. Each reaches its item the same
// way: from the scan's root through folders held open, each opened relative
// to the one before and never through a link, and then only when the folder
// held is the one the scan met (its file id) and a file is the one it met
// (file id and length). Anything else is "changed" and nothing is done.
// A folder goes through the location guard (engine/guard.h) and is removed
// by the engine's walker as a whole-folder location.
#pragma once

#include "engine/paths.h"
#include "engine/tally.h"
#include "largefiles/space_tree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The folder's path: root ("C:\" or any folder the scan began at) and the
// names down to it.
std::u16string SpaceFolderPath(const SpaceTree& tree, const char16_t* root, uint32_t folder);

enum SpaceItemState {
    SPACE_ITEM_OK,           // done (or, for a check, allowed)
    SPACE_ITEM_PARTLY,       // a folder whose walk left something behind
    SPACE_ITEM_CHANGED,      // not what the scan listed, or gone: nothing done
    SPACE_ITEM_PROTECTED,    // the guard refuses it (refusal says why): nothing done
    SPACE_ITEM_HARD_LINKED,  // a read-only file with other names: not deleted
    SPACE_ITEM_FAILED,       // could not be opened or deleted (error)
};

struct SpaceDeletion {
    SpaceItemState state = SPACE_ITEM_FAILED;
    LocationRefusal refusal = REFUSED_NONE;
    uint32_t error = 0;
    CleanTally tally = {0, 0, 0, 0, 0};  // a folder: every single removal
    // A folder partly deleted: what remains of it, counted on the disk.
    uint64_t size = 0, space = 0;
    uint32_t files = 0, large = 0, folders = 0;
    // A folder: the files its walk deleted, by extension (SpaceSumDeletedFile),
    // bytes as listed just before (a file link: 0).
    std::vector<SpaceExtensionSum> deleted;
    // A folder partly deleted: what remains, scanned as the space view
    // scans (its root the folder), for SpaceTree::ReplaceContents; null
    // when that scan could not be made (the counts above still hold).
    std::shared_ptr<const SpaceTree> remains;
};

// Whether the folder could be deleted: found again and allowed by the
// guard. Nothing is changed.
SpaceDeletion CheckSpaceFolder(const SpaceTree& tree, const char16_t* root, uint32_t folder);
// Deletes the folder with everything in it.
SpaceDeletion DeleteSpaceFolder(const SpaceTree& tree, const char16_t* root, uint32_t folder);
// The same by the folder's path and id, for another thread than the tree's.
SpaceDeletion DeleteSpaceFolderAt(const char16_t* path, uint64_t id);
// Deletes the file `name` of folder: only the one of this id and length.
SpaceDeletion DeleteSpaceFile(const SpaceTree& tree, const char16_t* root, uint32_t folder, const char16_t* name,
                              uint64_t id, uint64_t size);
// The tree after DeleteSpaceFile: the kept file of that name and id, or
// else one of the folder's files not kept by name.
void RemoveDeletedFile(SpaceTree* tree, uint32_t folder, const char16_t* name, uint64_t id, uint64_t size,
                       uint64_t space);

struct SpaceListedFile {
    std::u16string name;
    uint64_t size, space;  // a file link: 0
    uint64_t id;
    bool link;
    uint64_t modified;  // FILETIME units; 0: not known
};

// Every file (not folder) of folder as the disk lists it now, largest
// first. SPACE_ITEM_OK, SPACE_ITEM_CHANGED or SPACE_ITEM_FAILED.
SpaceItemState ListSpaceFiles(const SpaceTree& tree, const char16_t* root, uint32_t folder,
                              std::vector<SpaceListedFile>* out, uint32_t* error);
