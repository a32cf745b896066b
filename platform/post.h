// The window-message posting seam. Portable workers report to the main
// window only through PostWindowMessage: PostMessageW in the Windows build,
// a recorder in native builds (platform/post_record.h).
#pragma once

#include <cstdint>

// The program's private messages (WM_USER is 1024).
enum : uint32_t {
    MSG_CLEAN_FINISHED = 1124,       // cleaning run over
    MSG_LARGE_SCAN_FINISHED = 1125,  // large-file scan finished, cancelled or failed
    MSG_START_MEASURE = 1126,        // posted by the window to itself at creation
    MSG_CLEAN_PROGRESS = 1127,       // wParam: a heap CleanProgress the receiver frees
    MSG_MEASURE_BEGIN = 1129,        // wParam: number of items to measure
    MSG_MEASURE_PROGRESS = 1130,     // wParam: items measured so far
    MSG_MEASURE_FINISHED = 1131,
    MSG_PREVIEW_READY = 1132,        // to a preview window; lParam: its heap job, which it frees
    MSG_CLEAN_ACTIVITY = 1133,       // wParam: the item's name (static text), lParam: files deleted so far
    MSG_SELECTION_MEASURED = 1134,   // wParam: the ticked items' estimate in bytes
    MSG_TRAY_ICON = 1224,            // notification-area icon callback
};

// True when the message was queued. A false result means the receiver
// never sees it, so ownership of anything passed in wParam stays with the
// caller.
bool PostWindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
