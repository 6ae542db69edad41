#pragma once

// Recording stand-ins for the program's seams.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "reception/receiver.h"
#include "typing/key_sender.h"
#include "typing/typing.h"
#include "util/debug_trace.h"
#include "util/text_encoding.h"

// Keeps every character and pause, in order, from all typing threads.
class RecordingKeySender : public KeySender {
public:
    void SendCharacter(char32_t character) override {
        std::lock_guard lock(mutex);
        std::string typed;
        AppendUtf8(typed, character);
        events.push_back(typed);
    }
    void Pause(int milliseconds) override {
        std::lock_guard lock(mutex);
        events.push_back("pause " + std::to_string(milliseconds));
    }
    // With `pastes` set, pasting is recorded as "begin", "paste <text>" and "end";
    // without it the clipboard cannot be had.
    bool BeginPasting() override {
        if (!pastes) return false;
        std::lock_guard lock(mutex);
        events.push_back("begin");
        return true;
    }
    bool PasteText(std::string_view utf8) override {
        std::lock_guard lock(mutex);
        events.push_back("paste " + std::string(utf8));
        return true;
    }
    void EndPasting() override {
        std::lock_guard lock(mutex);
        events.push_back("end");
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(mutex);
        return events;
    }
    std::string Typed() {
        std::string typed;
        for (const std::string& event : Events()) {
            if (event.rfind("pause ", 0) != 0) typed += event;
        }
        return typed;
    }

    bool pastes = false;

private:
    std::mutex mutex;
    std::vector<std::string> events;
};

// Keeps the texts handed to typing instead of typing them.
class RecordingTyper : public TextTyper {
public:
    bool TypeText(const std::string& text) override {
        std::lock_guard lock(mutex);
        texts.push_back(text);
        return true;
    }
    std::vector<std::string> Texts() {
        std::lock_guard lock(mutex);
        return texts;
    }

private:
    std::mutex mutex;
    std::vector<std::string> texts;
};

// Collects the traces written while it is installed.
class TraceRecorder : public TraceCapture {
public:
    TraceRecorder() { SetTraceCapture(this); }
    ~TraceRecorder() override { SetTraceCapture(nullptr); }
    void Trace(const std::string& text) override {
        std::lock_guard lock(mutex);
        traces.push_back(text.substr(text.find("): ") + 3));  // without the prefix
    }
    std::vector<std::string> Traces() {
        std::lock_guard lock(mutex);
        return traces;
    }
    int Count(const std::string& message) {
        int count = 0;
        for (const std::string& trace : Traces())
            count += trace == message;
        return count;
    }

private:
    std::mutex mutex;
    std::vector<std::string> traces;
};

// Collects what a receiver hands on, and lets the test wait for it.
class CollectingSink : public ReceiverSink {
public:
    void ShowStatus(const std::string& text) override {
        std::lock_guard lock(mutex);
        status = text;
        changed.notify_all();
    }
    void Deliver(CodeRecord record) override {
        std::lock_guard lock(mutex);
        records.push_back(std::move(record));
        changed.notify_all();
    }
    // Waits (at most five seconds) until `count` records have arrived.
    std::vector<CodeRecord> WaitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return records.size() >= count; });
        return records;
    }
    std::string WaitForStatus() {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(5), [&] { return !status.empty(); });
        return status;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CodeRecord> records;
    std::string status;
};
