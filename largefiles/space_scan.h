// Reading a drive into a SpaceTree: a walk of its folders, or one read of an
// NTFS volume's MFT. Nothing is left out by name or depth; links are shown
// and never entered; a file with several names counts once.
#pragma once

#include "largefiles/finder.h"
#include "largefiles/mft.h"
#include "largefiles/scanner.h"
#include "largefiles/space_tree.h"

#include <cstdint>

// The live fill: while a walk runs, at most every kSpaceLiveMs a snapshot
// of what it met so far: a finished tree holding the root's folders met,
// each with the running sums below it as one summary (files, folders,
// bytes), and the root's own files as the root's summary. The callback owns
// the snapshot and is called on the thread that called the walk; the walk
// goes on when it returns.
typedef void (*SpaceLiveCallback)(SpaceTree* snapshot, void* context);
constexpr int32_t kSpaceLiveMs = 250;

// Walks root (a drive root such as "C:\", or any folder) with the finder's
// walk (finder.h): folder by folder, each opened relative to the one holding
// it without following links, on `threads` threads (0: the default).
// usedBytes (0 when not known) turns the bytes met into the percent shown.
// Returns 0 with a finished tree in *out (the caller deletes it; a cancelled
// walk gives what it met), or -1 when memory ran out (nothing published).
// The tree is the same whatever the threads: entries reach it in one order
// (finder.h), so a file with several names is charged to the name met
// first in that order (a folder's own names before its subfolders', the
// last listed subfolder first), never to whichever thread listed first.
// totals (optional): files, folders and bytes met so far, readable from any
// thread while the walk runs. live (optional): the snapshots above, given
// context.
// rootId (not FS_NO_ID): the id root must still have; another folder in its
// place is not walked (the root marked SPACE_DENIED).
int32_t ScanSpaceTreeWalk(const char16_t* root, uint64_t usedBytes, SpaceTree** out, ScanProgressCallback progress,
                          ScanCancelledCallback cancelled, void* context, int32_t threads = 0,
                          FinderTotals* totals = nullptr, SpaceLiveCallback live = nullptr, uint64_t rootId = FS_NO_ID);

// The same tree from the volume's MFT; kScanNotNtfs (nothing published)
// when the volume is not NTFS or its MFT cannot be read.
int32_t ScanSpaceTreeMft(VolumeReader read, void* volume, SpaceTree** out, ScanProgressCallback progress,
                         ScanCancelledCallback cancelled, void* context);

// The same tree from records from elsewhere than a volume (made-up ones, in
// tests), in MFT order. 0, or -1 for memory.
int32_t ScanSpaceTreeRecords(std::vector<std::pair<uint64_t, ntfs::RecordFacts>>& records, SpaceTree** out);
