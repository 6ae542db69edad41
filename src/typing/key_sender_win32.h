#pragma once

#include "typing/key_sender.h"

// Characters as Unicode character events through SendInput: no virtual keys, no scan
// codes, no Shift state; a TAB arrives as the character 9.
class SendInputKeySender : public KeySender {
public:
    void SendCharacter(unsigned char character) override;
    void Pause(int milliseconds) override;
};
