#include "engine/preview.h"

#include "engine/catalogue.h"
#include "engine/measure.h"
#include "engine/walk.h"

#include <new>

void CollectItemFiles(const CleanupItem& item, FileCollector* out) {
    out->largest.clear();
    out->count = 0;
    out->bytes = 0;
    out->failed = false;
    // Room for the most it keeps, at once: growth by doubling would hold up
    // to twice that.
    try {
        out->largest.reserve(static_cast<size_t>(kPreviewMostFiles));
    } catch (const std::bad_alloc&) {
        out->failed = true;
    }
    Walk walk = {WALK_COLLECT, 0, nullptr, out, {0}};
    WalkItemTargets(item, &walk);
    FinishCollecting(out);
}
