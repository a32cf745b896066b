// The counters of one item's removals, by the kind of each failure.
#pragma once

#include <cstdint>

struct CleanTally {
    int32_t deleted;       // files deleted and directories removed
    int32_t accessDenied;  // code 5
    int32_t inUse;         // codes 32 and 33
    int32_t notFound;      // codes 2, 3 and 123
    int32_t otherError;    // anything else, 145 (not empty) and 0 included
};

// Counts one result: a success in `deleted` whatever the code, a failure in
// exactly one counter chosen by the code. A null tally counts nothing.
void TallyResult(CleanTally* tally, int32_t success, uint32_t error);

// Told, on this thread, after each removal a tally counts, with that tally's
// deletions so far: how a run says what it is doing. Null stops it.
typedef void (*TallyWatcher)(void* context, int32_t deleted);
void WatchTallies(TallyWatcher watcher, void* context);
