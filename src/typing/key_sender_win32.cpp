#include "typing/key_sender_win32.h"

#include <windows.h>

void SendInputKeySender::SendCharacter(unsigned char character) {
    INPUT pair[2] = {};
    for (INPUT& input : pair) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = 0;
        input.ki.wScan = character;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
        input.ki.time = 0;
        input.ki.dwExtraInfo = 0;
    }
    pair[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    // Refused input (a locked workstation, a window of a higher integrity level) is
    // lost; the next character is tried all the same.
    SendInput(2, pair, sizeof(INPUT));
}

void SendInputKeySender::Pause(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}
