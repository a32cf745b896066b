#include "platform/debug_trace.h"

#include "text/text16.h"

#include <windows.h>

void TraceToDebugger(const char16_t* line) {
    if (line) OutputDebugStringW(WideText(line));
}
