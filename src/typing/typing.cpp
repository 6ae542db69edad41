#include "typing/typing.h"

#include <functional>
#include <system_error>
#include <thread>

#include "util/debug_trace.h"
#include "util/text_encoding.h"

ThreadedTyper::ThreadedTyper(KeySender& keySender, const Settings& heldSettings)
    : sender(keySender), settings(heldSettings) {}

ThreadedTyper::~ThreadedTyper() {
    WaitUntilIdle();
}

bool ThreadedTyper::TypeText(const std::string& text) {
    {
        std::lock_guard lock(running->mutex);
        if (running->threads >= kMaxTypingThreads) {
            DebugTrace("[E] Typing refused: %d texts are being typed\n", running->threads);
            return false;
        }
        ++running->threads;
    }
    try {
        std::thread(&ThreadedTyper::TypingThread, running, std::ref(sender), std::cref(settings),
                    text)
            .detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(running->mutex);
        --running->threads;
        running->idle.notify_all();
        DebugTrace("[E] Typing thread not started\n");
        return false;
    }
    return true;
}

void ThreadedTyper::TypingThread(std::shared_ptr<Running> running, KeySender& sender,
                                 const Settings& settings, std::string text) {
    sender.AwaitReleasedModifiers();
    for (std::size_t at = 0; at < text.size();) {
        sender.SendCharacter(NextUtf8Character(text, at));
        // Read before every pause: a delay changed meanwhile counts from here on.
        int pause = KeyPauseMilliseconds(settings.keyDelay.load(std::memory_order_relaxed));
        if (pause > 0) sender.Pause(pause);
    }
    // The sender and the settings are not touched after this: the typer's owner may end
    // them as soon as the last thread is counted out.
    std::lock_guard lock(running->mutex);
    --running->threads;
    running->idle.notify_all();
}

void ThreadedTyper::WaitUntilIdle() {
    std::unique_lock lock(running->mutex);
    running->idle.wait(lock, [&] { return running->threads == 0; });
}
