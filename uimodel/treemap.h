// Squarified treemap layout (Bruls, Huizing and van Wijk): rectangles whose
// areas follow the weights, laid in strips along the shorter side so that
// they stay close to squares. Pure arithmetic, in whole pixels.
#pragma once

#include "largefiles/space_tree.h"
#include "uimodel/layout_calc.h"
#include "uimodel/space_rows.h"

#include <cstdint>
#include <vector>

struct TreemapCell {
    LayoutRect rect;
    int32_t index;  // into the weights given
};

// One cell per positive weight that gets at least a pixel each way; the
// cells tile area without overlap. Weights need not be sorted.
std::vector<TreemapCell> SquarifyTreemap(const std::vector<uint64_t>& weights, const LayoutRect& area);

// The cell at (x, y), -1 when none.
int32_t TreemapCellAt(const std::vector<TreemapCell>& cells, int x, int y);

// The nested treemap of the space view: each folder's box holds its own
// folders, files and rest, down until a box is too small to hold more.
enum NestedBoxKind : uint8_t {
    BOX_FOLDER,
    BOX_FILE,
    BOX_REST,       // a folder's files not kept by name: one box
    BOX_OTHER,      // siblings each too small to be drawn, summed
    BOX_UNCOUNTED,  // the root's bytes the scan could not see
};

struct NestedBox {
    LayoutRect rect;
    uint64_t size, space;
    uint32_t files;   // under a folder; 1 for a file; the rest's or other's count
    uint32_t end;     // one past its last descendant: the boxes are in pre-order
    uint32_t folder;  // BOX_FOLDER: the folder; otherwise the folder holding it
    int32_t file;     // BOX_FILE: its index among that folder's kept files; BOX_OTHER: boxes summed
    int32_t row;      // the shown folder's row it lies in; -1 in a top-level BOX_OTHER
    uint8_t kind;     // NestedBoxKind
    uint8_t depth;    // 0 for the shown folder's rows
    uint8_t flags;    // SPACE_LINK, SPACE_DENIED
    bool header;      // a folder box whose top strip (NestedLayout::header) holds its name
};

struct NestedLayout {
    int frame = 1;     // a folder's edge around its children, in pixels
    int header = 16;   // a folder's name strip, when the box has room for it
    int descend = 8;   // a folder's inside narrower or lower than this holds no boxes
    int maxDepth = 64;
};

// The boxes of rows (those of folder, in any order) in area. Every box is
// at least a pixel each way; siblings that would be smaller are summed into
// one BOX_OTHER box or, when even that is too small, left out. Children lie
// inside their folder's box, within its frame and header, and never overlap.
std::vector<NestedBox> LayoutNestedTreemap(const SpaceTree& tree, uint32_t folder, const SpaceRow* rows, int32_t count,
                                           const LayoutRect& area, const NestedLayout& options);

// The deepest box at (x, y), -1 when none.
int32_t NestedBoxAt(const std::vector<NestedBox>& boxes, int x, int y);
