#pragma once

#include <string_view>

// How typed text reaches the window with the keyboard focus.
class KeySender {
public:
    virtual ~KeySender() = default;
    // Sends one character as a key press and its release, in one piece, so that no
    // other input comes between them.
    virtual void SendCharacter(char32_t character) = 0;
    // Before a text: waits a moment for the keys of a hot key (Ctrl, Alt, Shift, Windows)
    // to be let go, so that the text's keys do not become shortcuts with them.
    virtual void AwaitReleasedModifiers() {}
    // Waits this many milliseconds (more than 0).
    virtual void Pause(int milliseconds) = 0;

    // Before a text that is pasted: keeps what the user has on the clipboard. False when
    // the clipboard cannot be had; the text is then typed character by character, and
    // neither PasteText nor EndPasting follows.
    virtual bool BeginPasting() { return false; }
    // Puts `utf8` on the clipboard and presses Ctrl+V, then waits until the focused
    // program has read it, or a bounded time, so that the next paste cannot replace it.
    // False when it could not be pasted; the field is then typed as characters.
    virtual bool PasteText(std::string_view /*utf8*/) { return false; }
    // After the text: puts the user's clipboard back as BeginPasting found it.
    virtual void EndPasting() {}
};
