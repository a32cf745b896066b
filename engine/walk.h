// The one walker behind measuring and removal. Both start from a folder held
// open and reach every entry through its parent held open, with the same
// rules for what a location, a file pattern and a folder pattern take: so
// what the list shows is what a run removes.
//
// What a walk takes:
//   - a file: its listed length (0 for a file link);
//   - a plain folder: everything below it, then the folder itself;
//   - a folder link of any tag: the link alone, never what it leads to
//     (0 bytes);
//   - a folder on another volume: nothing (it is not entered);
//   - an entry whose path would pass 259 units: nothing, counted as a
//     failure (206) when removing.
// Removal counts every single delete into the tally and never stops at a
// failure; measuring only adds bytes.
#pragma once

#include "engine/tally.h"
#include "platform/fs.h"

#include <cstddef>
#include <cstdint>

enum WalkAction {
    WALK_MEASURE,  // adds up the bytes a removal would free
    WALK_REMOVE,   // removes, counting each result
    WALK_COLLECT,  // measures, and hands every file a removal would delete to the collector
};

struct FileCollector;

struct Walk {
    WalkAction action;
    uint64_t bytes;     // measuring and collecting: what the walk found
    CleanTally* tally;  // removing: where every result goes (may be null)
    FileCollector* collector;  // collecting: where every file goes
    // Collecting: the path of the folder being walked, as many units as its
    // HeldFolder's length (set by WalkFrom for the folder a walk starts at).
    char16_t path[260];
    // File patterns taken already: an entry that one of them matches was
    // counted (or removed) once and is passed over.
    const char16_t* const* earlierPatterns = nullptr;
    int earlierCount = 0;
    // Removing: called with the listing's entry of every file deleted (a
    // file link too, not a folder link), when set, and the number of names
    // the file had just before (FsDeleteFileAt's; 0: not known).
    void (*fileDeleted)(void* context, const FsEntry& entry, uint32_t names) = nullptr;
    void* fileDeletedContext = nullptr;
};

// Sets walk's path to the text of the folder it is about to start at.
void WalkFrom(Walk* walk, const char16_t* folderText);

// Units of a path that a held folder stands for, tracked so that no entry
// whose path would not fit into 260 units is taken.
struct HeldFolder {
    FsDir dir;
    size_t length;
};

// Every entry of the held folder that matches pattern (one name with '*' and
// '?'; "*" for everything). A listing that fails other than by finding
// nothing is counted when countListFailure.
void WalkMatching(Walk* walk, HeldFolder folder, const char16_t* pattern, bool countListFailure);

// What a folder pattern names below the held folder, one component at a
// time: "*" as a whole component stands for every plain subfolder of that
// level (at most 10 such levels); a component with '*' or '?' as the last
// one takes every entry it matches, and elsewhere every plain subfolder it
// matches; a literal component is looked up and, as the last one, taken
// whatever it is. A target that is missing, or a path that runs into a file
// or a link, is nothing to take. Subfolders that exist but cannot be opened
// or listed, and paths too long, are counted when removing.
void WalkFolderPattern(Walk* walk, HeldFolder folder, const char16_t* pattern, int32_t depth);

struct CleanupItem;

// What the item's mode and patterns take from its location, held open: the
// contents (CM_CONTENTS, CM_WHOLE_DIR, and the pattern modes without
// patterns), the entries that each file pattern matches, or what each folder
// pattern names. The location itself (CM_WHOLE_DIR) is the caller's to
// remove; the recycle bin and single files are not walked here. When
// removing, each pattern's end is traced with the location's text.
void WalkItem(Walk* walk, const CleanupItem& item, HeldFolder location, const char16_t* locationText);
