#include <windows.h>

#include "settings/debug_trace.h"

unsigned long CurrentThreadNumber() {
    return GetCurrentThreadId();
}

void WriteToDebuggerOutput(const char* text) {
    OutputDebugStringA(text);
}
