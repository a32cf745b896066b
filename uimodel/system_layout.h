// Where the system-space page's controls lie inside the page's area: an
// introduction, a header line, five rows (name over state, size, two action
// buttons at the right) and the status text below. Lengths as in
// layout_calc.h: 96-DPI design lengths, each scaled on its own.
#pragma once

#include "uimodel/layout_calc.h"
#include "uimodel/system_rows.h"

struct SystemPageLayout {
    LayoutRect intro;
    LayoutRect headerItem, headerSize, headerAction;
    LayoutRect name[SYS_ITEM_COUNT], state[SYS_ITEM_COUNT], size[SYS_ITEM_COUNT];
    LayoutRect action[SYS_ITEM_COUNT][kSystemActionSlots];
    LayoutRect status;
};

// area: the page's part of the window below the warning bar and above the
// status band, margins already taken off.
SystemPageLayout ComputeSystemPageLayout(const LayoutRect& area, int dpi);
// The area for a window laid out as ComputeMainLayout gives it.
LayoutRect SystemPageArea(const MainLayout& main, int dpi);
