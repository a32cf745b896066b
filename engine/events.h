// What the engine's workers report to the window that started them, as
// private window messages (WM_USER is 1024) posted through platform/post.h.
#pragma once

#include <cstdint>

enum : uint32_t {
    MSG_CLEAN_FINISHED = 1124,      // cleaning run over
    MSG_CLEAN_PROGRESS = 1127,      // wParam: a heap CleanProgress the receiver frees
    MSG_MEASURE_BEGIN = 1129,       // wParam: number of items to measure
    MSG_MEASURE_PROGRESS = 1130,    // wParam: items measured so far
    MSG_MEASURE_FINISHED = 1131,
    MSG_CLEAN_ACTIVITY = 1133,      // wParam: the item's name (static text), lParam: files deleted so far
    MSG_SELECTION_MEASURED = 1134,  // wParam: the ticked items' estimate in bytes
};
