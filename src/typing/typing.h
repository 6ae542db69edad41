#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "settings/settings.h"
#include "typing/key_sender.h"

// Where TypeCode hands the text it built.
class TextTyper {
public:
    virtual ~TextTyper() = default;
    // Starts typing a copy of `text` and returns at once; false when it was refused.
    virtual bool TypeText(const std::string& text) = 0;
};

// Types each text on a thread of its own, one character after the other, with the held
// key delay after every character. In the paste method each field between TABs is pasted
// whole instead, with the TABs typed between the fields and the delay after each. Requests are not
// queued: overlapping texts are typed side by side, their characters interleaved. At most
// kMaxTypingThreads run at once; further requests are dropped with a trace, so a flood of codes
// cannot start thousands of threads.
class ThreadedTyper : public TextTyper {
public:
    static constexpr int kMaxTypingThreads = 8;

    ThreadedTyper(KeySender& sender, const Settings& settings);
    // Waits for the typing threads: the typer must outlive them.
    ~ThreadedTyper() override;

    bool TypeText(const std::string& text) override;

    // Blocks until no text is being typed.
    void WaitUntilIdle();

private:
    // The count of typing threads, shared with them: a thread that has counted itself out
    // may still be inside the mutex's unlock while the typer, no longer waiting, is
    // destroyed, so the count outlives the typer until its last thread lets go of it.
    struct Running {
        std::mutex mutex;
        std::condition_variable idle;
        int threads = 0;
    };

    static void TypingThread(std::shared_ptr<Running> running, KeySender& sender,
                             const Settings& settings, std::string text);

    KeySender& sender;
    const Settings& settings;
    std::shared_ptr<Running> running = std::make_shared<Running>();
};
