#pragma once

#include <string>

// Diagnostic output: one text per call, "[ZENTORY](<thread id>): " and the formatted
// message (cut to 1000 characters), with no line end added. It goes to the debugger
// output on Windows and, when switched on, to standard error.
void DebugTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Also write traces to standard error (zentory-cli --trace).
void EnableTraceToStandardError(bool enable);

// Receives every trace text, for tests. Pass nullptr to stop.
class TraceCapture {
public:
    virtual ~TraceCapture() = default;
    virtual void Trace(const std::string& text) = 0;
};
void SetTraceCapture(TraceCapture* capture);

// The text DebugTrace hands over for a message from a thread (exposed for tests).
std::string FormatTraceText(unsigned long threadId, const char* message);

// Platform side: the calling thread's id, whether a debugger or a debug-output viewer
// listens, and the debugger output.
unsigned long CurrentThreadNumber();
bool DebuggerListens();
void WriteToDebuggerOutput(const char* text);
