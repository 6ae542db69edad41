#pragma once

#include "settings/settings.h"
#include "typing/key_sender.h"

// Characters through SendInput, in the held typing method, read for every character: as
// Unicode character events (no virtual keys, no scan codes, no Shift state; a TAB arrives
// as the character 9), or as the keys of the focused window's keyboard layout, with Shift
// where the layout needs it. A character that the layout has no key for goes as a Unicode
// character event all the same.
class SendInputKeySender : public KeySender {
public:
    explicit SendInputKeySender(const Settings& settings);

    void SendCharacter(unsigned char character) override;
    void Pause(int milliseconds) override;

private:
    const Settings& settings;
};
