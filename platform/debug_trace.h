// The Windows build's trace sink: each line goes to the system's debug
// output, where a debugger or a viewer such as DebugView shows it. With no
// one listening the system drops it.
#pragma once

void TraceToDebugger(const char16_t* line);
