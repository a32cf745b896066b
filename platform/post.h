// The window-message posting seam. Portable workers report to the main
// window only through PostWindowMessage: PostMessageW in the Windows build,
// a recorder in native builds (platform/post_record.h). The numbers are the
// callers': the engine's in engine/events.h, the window's own in ui/shell/ids.h.
#pragma once

#include <cstdint>

// True when the message was queued. A false result means the receiver
// never sees it, so ownership of anything passed in wParam stays with the
// caller.
bool PostWindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
