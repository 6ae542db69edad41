#include "util/debug_trace.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kTraceBufferSize = 1024;
constexpr std::size_t kMaxMessageLength = 1000;

std::atomic<bool> gTraceToStandardError{false};
std::atomic<TraceCapture*> gTraceCapture{nullptr};

}  // namespace

std::string FormatTraceText(unsigned long threadId, const char* message) {
    char buffer[kTraceBufferSize];
    int prefix = std::snprintf(buffer, sizeof buffer, "[%s](%lu): ", "ZENTORY", threadId);
    std::size_t room = sizeof buffer - static_cast<std::size_t>(prefix) - 1;
    std::size_t length = std::min({std::strlen(message), kMaxMessageLength, room});
    std::memcpy(buffer + prefix, message, length);
    buffer[prefix + length] = '\0';
    return buffer;
}

void DebugTrace(const char* format, ...) {
    // Most of the time nobody listens: then the receiver's trace of every datagram
    // costs nothing.
    TraceCapture* capture = gTraceCapture.load();
    bool toStandardError = gTraceToStandardError.load(std::memory_order_relaxed);
    bool toDebugger = DebuggerListens();
    if (!capture && !toStandardError && !toDebugger) return;

    char message[kMaxMessageLength + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);

    std::string text = FormatTraceText(CurrentThreadNumber(), message);
    if (toDebugger) WriteToDebuggerOutput(text.c_str());
    if (toStandardError) {
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
    }
    if (capture) capture->Trace(text);
}

void EnableTraceToStandardError(bool enable) {
    gTraceToStandardError = enable;
}

void SetTraceCapture(TraceCapture* capture) {
    gTraceCapture = capture;
}
