#include "platform/post.h"

#include <windows.h>

bool PostWindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return PostMessageW(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != FALSE;
}
