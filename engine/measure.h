// Size estimation: how many bytes each catalogue item would free. Nothing is
// cached; every call walks the file system again. Sizes are logical file
// lengths from the enumeration data, and no walk leaves the location: a
// junction or link is never descended and counts 0.
#pragma once

#include <cstdint>

struct CleanupItem;

// Total length of all files below dir, at any depth. 0 for a missing or
// unlistable directory, and for a directory that is itself a link.
uint64_t DirectorySize(const char16_t* dir);
// The subdirectories that pattern names below dir; each leading "*\" stands
// for every subfolder of that level, at most 10 levels (callers pass depth 0).
uint64_t SubdirPatternSize(const char16_t* dir, const char16_t* pattern, int32_t depth);
// Sum over the "$Recycle.Bin" folders of all fixed drives.
uint64_t RecycleBinSize();
// 0 for a null item, a location that does not exist, cannot be expanded or
// is refused as unsafe (see PrepareLocation).
uint64_t MeasureItem(const CleanupItem* item);

// Thread body: measures all 44 items into their `size`, posting 1129 (the
// count), 1130 after each item (items so far) and 1131 to window.
uint32_t SizeScanWorker(void* window);

// Main thread, before cleaning: fresh sizes for the selected items, 0 for
// the others. Returns the sum over the selected items.
uint64_t MeasureSelectedItems();
