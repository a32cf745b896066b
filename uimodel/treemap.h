// Squarified treemap layout (Bruls, Huizing and van Wijk): rectangles whose
// areas follow the weights, laid in strips along the shorter side so that
// they stay close to squares. Pure arithmetic, in whole pixels.
#pragma once

#include "uimodel/layout_calc.h"

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
