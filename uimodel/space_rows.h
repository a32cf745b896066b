// The space view's rows apart from the list control: what one folder of the
// tree shows (its folders and files, its small files as one row, at the
// root the bytes no scan could see), their order, and a file's kind for
// the treemap's colour.
#pragma once

#include "largefiles/space_tree.h"

#include <cstdint>
#include <vector>

enum SpaceRowKind : uint8_t {
    SPACE_ROW_FOLDER,
    SPACE_ROW_FILE,
    SPACE_ROW_REST,       // the folder's files not listed by name
    SPACE_ROW_UNCOUNTED,  // the root only: used bytes the scan could not see
};

struct SpaceRow {
    SpaceRowKind kind;
    uint8_t flags;      // SPACE_LINK, SPACE_DENIED
    uint32_t folder;    // SPACE_ROW_FOLDER: the folder's index
    uint32_t file;      // SPACE_ROW_FILE: its index among the shown folder's kept files
    uint64_t size, space;
    uint32_t files;     // files under a folder; 1 for a file; the rest's count
    bool restHasLarge;  // SPACE_ROW_REST: some of them are 1 MB or more
    // The newest last write under the row (FILETIME units; 0: none known):
    // a file's own, a folder's newest file, the rest's newest.
    uint64_t modified;
};

// The rows of folder, largest first. usedBytes (root only; 0 elsewhere or
// when not known) adds the 未统计 row: what the volume uses beyond the
// space the scan counted.
std::vector<SpaceRow> SpaceRowsOf(const SpaceTree& tree, uint32_t folder, uint64_t usedBytes);

enum SpaceColumn { SPACE_COL_NAME, SPACE_COL_SIZE, SPACE_COL_SPACE, SPACE_COL_SHARE, SPACE_COL_FILES, SPACE_COL_MODIFIED };
// Stable: equal keys keep their order. Names compare without regard to case.
void SortSpaceRows(const SpaceTree& tree, uint32_t folder, std::vector<SpaceRow>* rows, SpaceColumn column,
                   bool ascending);

// The row's name as the list shows it, into out (260 units).
void SpaceRowName(const SpaceTree& tree, uint32_t folder, const SpaceRow& row, char16_t* out);

// The share of total in tenths of a percent (0 to 1000).
int32_t SpaceShare(uint64_t part, uint64_t total);

enum FileKind { KIND_IMAGE, KIND_VIDEO, KIND_AUDIO, KIND_DOCUMENT, KIND_ARCHIVE, KIND_PROGRAM, KIND_OTHER, KIND_COUNT };
// By the name's extension, without regard to case.
FileKind FileKindOf(const char16_t* name);
// By an extension as SpaceExtensionOf gives it (lower case, no dot).
FileKind FileKindOfExtension(const char16_t* ext);
// The kind's name for the legend and its colour in the treemap (0xRRGGBB).
const char16_t* FileKindName(FileKind kind);
uint32_t FileKindColour(FileKind kind);

// The 文件类型 view: every extension of the tree, largest first, the 其他
// row last; the row's name as listed (".mp4", "（无扩展名）", "其他").
std::vector<SpaceExtensionSum> SpaceTypeRows(const SpaceTree& tree);
void SpaceTypeName(const SpaceExtensionSum& sum, char16_t* out, int capacity);
enum SpaceTypeColumn { TYPE_COL_NAME, TYPE_COL_KIND, TYPE_COL_FILES, TYPE_COL_SIZE, TYPE_COL_SPACE, TYPE_COL_SHARE };
// Stable, the 其他 row last either way; by kind, in the legend's order.
void SortSpaceTypeRows(std::vector<SpaceExtensionSum>* rows, SpaceTypeColumn column, bool ascending);

// The path of folder from the drive's root (root: "C:\"), into out.
void SpaceFolderPath(const SpaceTree& tree, uint32_t folder, const char16_t* root, char16_t* out, int capacity);
