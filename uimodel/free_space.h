// The status band's readout of how full the system drive is, apart from the
// window: its text and how much of its bar shows the used part.
#pragma once

#include <cstdint>

struct FreeSpaceReadout {
    char16_t text[64];  // "C: 可用 23.41 GB / 共 237.87 GB"
    int usedWidth;      // pixels of the bar that show the used part
    bool nearlyFull;    // more than 90 % used: the bar turns red
};

// False, with an empty text, when nothing is known (a total of 0). Free
// space beyond the total counts as the total.
bool DescribeFreeSpace(char16_t letter, uint64_t freeBytes, uint64_t totalBytes, int barWidth, FreeSpaceReadout* out);
