// The batch cleaning run: every selected item in catalogue order, on a
// worker thread, one heap record per item posted to the window as
// MSG_CLEAN_PROGRESS, then MSG_CLEAN_FINISHED.
#pragma once

#include <atomic>
#include <cstdint>

struct CleanProgress {
    int32_t index;      // position in the run, from 1
    int32_t total;      // selected items counted when the run began
    char16_t name[128]; // the item's name, cut to 127 units
    uint64_t freed;     // bytes
    int32_t status;     // a CleanStatus
};

// Takes the ticks as they are now (the main thread, when the user confirms):
// the next run cleans exactly these items, however the ticks change while it
// runs. A run cleans nothing until a selection has been fixed.
void FixCleanSelection();

// Thread body, given the main window: runs the batch, posts
// MSG_CLEAN_FINISHED (the window's cleanup page keeps the busy flag). Returns 0. After each item, its size is what
// CleanItem measured right after cleaning it, so the sizes (and the total)
// tell what is left.
uint32_t CleanWorker(void* window);
void RunBatchClean(void* window);
// Allocates one record and posts it as MSG_CLEAN_PROGRESS. Ownership passes to the
// receiver only when the post succeeds; otherwise the record is freed here.
void PostCleanProgress(int32_t index, int32_t total, const char16_t* name, uint64_t freed, int32_t status,
                       void* window);
// The receiver's release of a record it was posted.
void FreeCleanProgress(CleanProgress* record);
