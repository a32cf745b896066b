// The large-file search of a drive: through the volume's MFT when the
// process can open the volume (administrator mode) and it is NTFS, else the
// walk. The caller sees the walk's contract either way, only faster.
#pragma once

#include "largefiles/scanner.h"
#include "largefiles/space_scan.h"
#include "largefiles/space_tree.h"

#include <cstdint>

enum ScanRoute : int32_t {
    ROUTE_MFT = 0,
    ROUTE_WALK = 1,
};

// Which way a search went, and for the walk why (for the trace and the
// benchmark tool; English, not shown to users).
struct ScanRouteInfo {
    ScanRoute route;
    char16_t why[96];
};

// ScanLargeFiles over root (a drive root such as "C:\"), through the MFT where
// it can be read; any failure before something was published falls back to
// the walk. info (optional) says which way it went.
int32_t ScanDriveLargeFiles(const char16_t* root, uint64_t minimumSize, LargeFileEntry** outEntries, int32_t* outCount,
                            ScanProgressCallback progress, ScanCancelledCallback cancelled, void* context,
                            ScanRouteInfo* info);

// The folder tree of root the same way: the MFT where it can be read, else
// the walk (usedBytes for its percent). Returns as ScanSpaceTreeWalk. live:
// the walk's snapshots (space_scan.h); the MFT names a file before its
// folder is placed, so it gives none and is done in seconds.
int32_t ScanDriveSpaceTree(const char16_t* root, uint64_t usedBytes, SpaceTree** out, ScanProgressCallback progress,
                           ScanCancelledCallback cancelled, void* context, ScanRouteInfo* info,
                           SpaceLiveCallback live = nullptr);
