#include "uimodel/free_space.h"

#include "text/format.h"

bool DescribeFreeSpace(char16_t letter, uint64_t freeBytes, uint64_t totalBytes, int barWidth, FreeSpaceReadout* out) {
    out->text[0] = 0;
    out->usedWidth = 0;
    out->nearlyFull = false;
    if (totalBytes == 0) return false;
    if (freeBytes > totalBytes) freeBytes = totalBytes;
    char16_t free[kSizeTextUnits], total[kSizeTextUnits];
    FormatSize(freeBytes, free);
    FormatSize(totalBytes, total);
    FormatText(out->text, 64, u"%c: 可用 %s / 共 %s", letter, free, total);
    // Doubles keep drives of any size in range; the bar is a few hundred pixels.
    const double used = static_cast<double>(totalBytes - freeBytes) / static_cast<double>(totalBytes);
    out->usedWidth = barWidth > 0 ? static_cast<int>(used * barWidth) : 0;
    out->nearlyFull = used > 0.9;
    return true;
}
