// Reading a drive into a SpaceTree: a walk of its folders, or one read of an
// NTFS volume's MFT. Nothing is left out by name or depth; links are shown
// and never entered; a file with several names counts once.
#pragma once

#include "largefiles/mft.h"
#include "largefiles/scanner.h"
#include "largefiles/space_tree.h"

#include <cstdint>

// Walks root (a drive root such as "C:\", or any folder) folder by folder,
// each opened relative to the one holding it without following links.
// usedBytes (0 when not known) turns the bytes met into the percent shown.
// Returns 0 with a finished tree in *out (the caller deletes it; a cancelled
// walk gives what it met), or -1 when memory ran out (nothing published).
int32_t ScanSpaceTreeWalk(const char16_t* root, uint64_t usedBytes, SpaceTree** out, ScanProgressCallback progress,
                          ScanCancelledCallback cancelled, void* context);

// The same tree from the volume's MFT; kScanNotNtfs (nothing published)
// when the volume is not NTFS or its MFT cannot be read.
int32_t ScanSpaceTreeMft(VolumeReader read, void* volume, SpaceTree** out, ScanProgressCallback progress,
                         ScanCancelledCallback cancelled, void* context);
