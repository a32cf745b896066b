#include "engine/batch.h"

#include "engine/catalogue.h"
#include "engine/clean.h"
#include "engine/overlap.h"
#include "engine/tally.h"
#include "engine/events.h"
#include "platform/post.h"
#include "text/format.h"
#include "text/text16.h"

#include <chrono>
#include <new>

namespace {

constexpr int kMaxGroupItems = 32;
// Written by the main thread before it starts the worker (thread creation
// orders the two), read by the worker only: the items the user confirmed,
// and which folder each reaches as known then. A measurement that ends
// during the run rewrites the live keys; the run keeps its own.
bool g_confirmed[kGroupCount][kMaxGroupItems];
int32_t g_confirmedKey[kGroupCount][kMaxGroupItems];

}  // namespace

void FixCleanSelection() {
    for (int g = 0; g < kGroupCount; ++g) {
        for (int i = 0; i < kMaxGroupItems; ++i) {
            const bool exists = i < g_CleanupGroups[g].itemCount;
            g_confirmed[g][i] = exists && ItemSelected(g_CleanupGroups[g].items[i]);
            g_confirmedKey[g][i] = exists ? g_CleanupGroups[g].items[i].folderKey.load(std::memory_order_relaxed) : -1;
        }
    }
}

void PostCleanProgress(int32_t index, int32_t total, const char16_t* name, uint64_t freed, int32_t status,
                       void* window) {
    CleanProgress* record = new (std::nothrow) CleanProgress;
    if (!record) return;  // this item's result goes unreported
    record->status = status;
    record->index = index;
    record->total = total;
    record->freed = freed;
    Text16CopyTruncated(record->name, sizeof record->name / sizeof record->name[0], name);
    if (!PostWindowMessage(window, MSG_CLEAN_PROGRESS, reinterpret_cast<uintptr_t>(record), 0)) FreeCleanProgress(record);
}

void FreeCleanProgress(CleanProgress* record) { delete record; }

namespace {

bool Confirmed(int group, int item) { return item < kMaxGroupItems && g_confirmed[group][item]; }

int32_t ConfirmedKey(int group, int item) { return item < kMaxGroupItems ? g_confirmedKey[group][item] : -1; }

// What the status line says during a run: the item and its deletions so
// far, posted when an item begins and then at most five times a second.
struct Activity {
    void* window;
    const char16_t* name;  // the catalogue's own text: it outlives any message
    std::chrono::steady_clock::time_point last;
};

void Report(Activity* activity, int32_t deleted) {
    activity->last = std::chrono::steady_clock::now();
    PostWindowMessage(activity->window, MSG_CLEAN_ACTIVITY, reinterpret_cast<uintptr_t>(activity->name), deleted);
}

void OnDeleted(void* context, int32_t deleted) {
    Activity* activity = static_cast<Activity*>(context);
    if (std::chrono::steady_clock::now() - activity->last >= std::chrono::milliseconds(200)) Report(activity, deleted);
}

}  // namespace

void RunBatchClean(void* window) {
    int32_t total = 0;
    for (int g = 0; g < kGroupCount; ++g)
        for (int32_t i = 0; i < g_CleanupGroups[g].itemCount; ++i) total += Confirmed(g, i) ? 1 : 0;
    int32_t index = 0;
    // Catalogue order, except that an item whose folder another confirmed
    // item takes whole waits for it: the whole is cleaned, and the covered
    // item then finds what is left (nothing, or what was in use).
    for (int pass = 0; pass < 2; ++pass) {
        for (int g = 0; g < kGroupCount; ++g) {
            for (int32_t i = 0; i < g_CleanupGroups[g].itemCount; ++i) {
                // What the user confirmed, not the tick as it is now.
                if (!Confirmed(g, i) || CoveredByAnother(g, i, Confirmed, ConfirmedKey) != (pass == 1)) continue;
                CleanupItem& item = g_CleanupGroups[g].items[i];
                ++index;
                Trace(u"[批量清理] 进度 %d/%d: %s", index, total, item.name);
                uint64_t freed = 0;
                uint64_t remaining = 0;
                Activity activity = {window, item.name, {}};
                Report(&activity, 0);
                WatchTallies(OnDeleted, &activity);
                CleanStatus status = CleanItem(&item, &freed, &remaining);
                WatchTallies(nullptr, nullptr);
                // What the item still holds, as measured right after cleaning
                // it: items that share a folder leave each other's sizes right.
                SetItemSize(item, remaining);
                PostCleanProgress(index, total, item.name, freed, status, window);
            }
        }
    }
}

uint32_t CleanWorker(void* window) {
    RunBatchClean(window);
    PostWindowMessage(window, MSG_CLEAN_FINISHED, 0, 0);
    return 0;
}
