// The large-file search through an NTFS volume's master file table: one
// sequential read of the MFT instead of a walk of every folder. It produces
// what the walk (scanner.h) produces for the same volume, in the same order,
// with two sound differences: sizes are the files' real sizes (a folder
// listing can show a stale copy while a file is written), and files below
// paths of 260 units or more are found.
#pragma once

#include "largefiles/mft_record.h"
#include "largefiles/scanner.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The one way to the volume: reads length bytes at byte offset into buffer,
// true when all of them were read. Offsets and lengths are multiples of the
// volume's sector size (whole clusters, or 4096 bytes for the boot sector)
// and the buffer is 4096-byte aligned, so a Win32 volume handle can read
// without buffering.
typedef bool (*VolumeReader)(void* volume, uint64_t offset, void* buffer, size_t length);

// Not an NTFS volume, or its MFT could not be read: nothing was published,
// and the caller can walk instead.
constexpr int32_t kScanNotNtfs = -2;

// The search of scanner.h over the volume whose root is written as root
// ("C:\"): the same entry rules, paths and order, and the same contract (0
// with the array and count published, -1 for memory with nothing
// published), plus kScanNotNtfs. Progress: the percent of MFT records read
// (0 to 99, then 100), the folders and the results seen so far. Cancellation
// is polled once per chunk read; a cancelled search publishes an empty array.
int32_t ScanMftLargeFiles(VolumeReader read, void* volume, const char16_t* root, uint64_t minimumSize,
                          LargeFileEntry** outEntries, int32_t* outCount, ScanProgressCallback progress,
                          ScanCancelledCallback cancelled, void* context);

// The same search over records from elsewhere than a volume (made-up ones,
// in tests: no image needed), in MFT order, listed in code-unit order.
int32_t ScanRecordsLargeFiles(std::vector<std::pair<uint64_t, ntfs::RecordFacts>>& records, const char16_t* root,
                              uint64_t minimumSize, LargeFileEntry** outEntries, int32_t* outCount);
