// Cleaning one catalogue item and summing up its outcome.
#pragma once

#include <cstdint>

struct CleanupItem;
struct CleanTally;

enum CleanStatus : int32_t {
    CS_DONE = 0,        // something removed, nothing failed; or a non-empty recycle bin that shrank
    CS_PARTIAL = 1,     // something removed, something failed
    CS_NEED_ADMIN = 2,  // nothing removed, at least one access denied
    CS_IN_USE = 3,      // nothing removed, none denied, at least one in use
    CS_NOT_FOUND = 4,   // location missing; or only not-found failures
    CS_NOTHING = 5,     // nothing to remove; or an empty recycle bin
    CS_FAILED = 6,      // only other failures; or no item; or recycle bins that gave nothing back
};

// The status that a finished tally stands for (precedence: removed
// anything, then access denied, in use, not found, other).
CleanStatus StatusFromTally(const CleanTally& tally);

// Cleans one item by its mode and reports the outcome. freed (optional)
// receives the bytes the location shrank by between the measurements
// before and after, never negative. Never writes the item's size or
// selection. A location that is itself a link is not entered (CS_NOTHING);
// one refused as unsafe (see PrepareLocation) is not touched and reports
// CS_FAILED, with the reason in the trace.
// remaining (optional) receives the measurement after cleaning: what the
// item would still free.
// With `counts`, every single removal's result is added to it as well.
CleanStatus CleanItem(const CleanupItem* item, uint64_t* freed, uint64_t* remaining = nullptr, CleanTally* counts = nullptr);
