#pragma once

// How typed text reaches the window with the keyboard focus.
class KeySender {
public:
    virtual ~KeySender() = default;
    // Sends one character as a key press and its release, in one piece, so that no
    // other input comes between them.
    virtual void SendCharacter(unsigned char character) = 0;
    // Waits this many milliseconds (more than 0).
    virtual void Pause(int milliseconds) = 0;
};
