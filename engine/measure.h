// Size estimation: how many bytes each catalogue item would free. Nothing is
// cached; every call walks the file system again. Sizes are logical file
// lengths from the enumeration data, and measuring takes exactly what
// removal takes (engine/walk.h): no walk leaves the location, a junction or
// link is never descended and counts 0.
#pragma once

#include "engine/walk.h"

#include <cstdint>

struct CleanupItem;

// Total length of all files below dir, at any depth. 0 for a missing or
// unlistable directory, and for one that is a link or lies behind one.
uint64_t DirectorySize(const char16_t* dir);
// What the folder pattern names below dir (WalkFolderPattern; callers pass
// depth 0).
uint64_t SubdirPatternSize(const char16_t* dir, const char16_t* pattern, int32_t depth);
// Sum over the "$Recycle.Bin" folders of all fixed drives.
uint64_t RecycleBinSize();
// Walks what a run of the item would take, with the walk's action
// (measuring or collecting): the recycle bins, the superseded driver
// packages, or the item's location once PrepareLocation and the guard
// accept it. Nothing for a location that does not exist or is refused.
void WalkItemTargets(const CleanupItem& item, Walk* walk);
// 0 for a null item, a location that does not exist, cannot be expanded or
// is refused by the guard (PrepareLocation, then OpenGuardedLocation).
uint64_t MeasureItem(const CleanupItem* item);
// What the item would free from its location, already held open and
// guarded.
uint64_t MeasureHeldLocation(const CleanupItem& item, HeldFolder location);

// Thread body: measures all 44 items into their `size`, posting
// MSG_MEASURE_BEGIN (the count), MSG_MEASURE_PROGRESS after each item (items
// so far) and MSG_MEASURE_FINISHED to window. MeasureCatalogue(window, 0).
uint32_t SizeScanWorker(void* window);
// The same on `threads` threads (0: twice the processors, at most 16):
// items are measured side by side, and the sizes are stored and the
// messages posted in catalogue order, as with one thread.
uint32_t MeasureCatalogue(void* window, int32_t threads);

// Before cleaning: fresh sizes for the selected items; the others keep
// theirs. Returns the sum over the selected items.
uint64_t MeasureSelectedItems();
// Thread body: MeasureSelectedItems, then MSG_SELECTION_MEASURED with the
// sum to window.
uint32_t MeasureSelectedWorker(void* window);
