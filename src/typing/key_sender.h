#pragma once

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
};
