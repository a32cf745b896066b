// The fixed catalogue of cleanable locations: five groups, 44 items.
//
// `selected`, `size` and `folderKey` are the only fields that change at run
// time. They are shared between the main thread and the workers without
// locks, so they are atomics.
#pragma once

#include <atomic>
#include <cstdint>

enum CleanMode : int32_t {
    CM_CONTENTS = 0,      // everything inside the location; the location stays
    CM_WHOLE_DIR = 1,     // the location with everything in it
    CM_MATCH_FILES = 2,   // entries directly inside matching each pattern
    CM_MATCH_SUBDIRS = 3, // subdirectories named by each pattern ("*\" = every subfolder)
    CM_SINGLE_FILE = 4,   // the one file the location names
    CM_RECYCLE_BIN = 5,   // the recycle bins of all fixed drives
    CM_DRIVER_PACKAGES = 6,  // superseded third-party driver packages, through the system
};

constexpr int kMaxPatterns = 10;  // at most 9 used, so a null always ends the list

struct CleanupItem {
    const char16_t* name;
    const char16_t* path;  // may hold %VAR% references
    const char16_t* patterns[kMaxPatterns];
    int32_t mode;          // a CleanMode
    int32_t needsAdmin;    // descriptive only
    // Its files are the user's own and go for good: ticked one by one only,
    // and named in the confirmation with `holds`, what is lost.
    int32_t caution;
    const char16_t* holds;  // caution items only; null elsewhere
    std::atomic<int32_t> selected;
    std::atomic<uint64_t> size;  // bytes found by the last measurement
    // Items with the same key >= 0 reach the same folder, whatever their
    // paths say; -1 until known (see NoteSharedFolders).
    std::atomic<int32_t> folderKey{-1};
};

struct CleanupGroup {
    const char16_t* name;
    CleanupItem* items;
    int32_t itemCount;
    std::atomic<int32_t> selected;
};

constexpr int kGroupCount = 5;
extern CleanupGroup g_CleanupGroups[kGroupCount];

// The selection rules every writer of `selected` follows. A tick that
// covers many items (all, or a group) never ticks a caution item; clearing
// clears them too. A group is ticked when all its ordinary items are.
void SelectAllItems();
void DeselectAllItems();
// Flips the item, then sets the group's tick by the rule above.
void ToggleItemSelection(int group, int item);
// Flips the group, then gives its items the group's new value.
void ToggleGroupSelection(int group);

// Reads and writes of the shared fields, relaxed: each is one whole store.
// Sizes are written by the measurements and after a run's item, through
// SetItemSize alone; folderKey by NoteSharedFolders (engine/overlap.h) alone.
inline uint64_t ItemSize(const CleanupItem& item) { return item.size.load(std::memory_order_relaxed); }
inline void SetItemSize(CleanupItem& item, uint64_t size) { item.size.store(size, std::memory_order_relaxed); }
inline bool ItemSelected(const CleanupItem& item) { return item.selected.load(std::memory_order_relaxed) != 0; }
