#include "typing/typing.h"

#include <functional>
#include <string_view>
#include <system_error>
#include <thread>

#include "util/debug_trace.h"
#include "util/text_encoding.h"

namespace {

// The held key delay, read before every pause: a delay changed meanwhile counts from here on.
void KeyPause(KeySender& sender, const Settings& settings) {
    int pause = KeyPauseMilliseconds(settings.keyDelay.load(std::memory_order_relaxed));
    if (pause > 0) sender.Pause(pause);
}

// Each field in one paste, the TABs between them as keys: the target moves to its next
// field on the TAB just as when the text is typed. Empty fields have nothing to paste.
void PasteFields(KeySender& sender, const Settings& settings, std::string_view text) {
    for (std::size_t start = 0;;) {
        std::size_t tab = text.find('\t', start);
        std::string_view field =
            text.substr(start, tab == std::string_view::npos ? tab : tab - start);
        if (!field.empty()) {
            if (!sender.PasteText(field)) {
                // Typed instead: a field left out would shift every field after it.
                for (std::size_t at = 0; at < field.size();)
                    sender.SendCharacter(NextUtf8Character(field, at));
            }
            KeyPause(sender, settings);
        }
        if (tab == std::string_view::npos) break;
        sender.SendCharacter('\t');
        KeyPause(sender, settings);
        start = tab + 1;
    }
}

}  // namespace

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
    // A clipboard that cannot be had leaves this text to be typed as characters.
    if (settings.typingMethod.load(std::memory_order_relaxed) == TypePaste &&
        sender.BeginPasting()) {
        PasteFields(sender, settings, text);
        sender.EndPasting();
    } else {
        for (std::size_t at = 0; at < text.size();) {
            sender.SendCharacter(NextUtf8Character(text, at));
            KeyPause(sender, settings);
        }
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
