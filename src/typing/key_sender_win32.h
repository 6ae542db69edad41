#pragma once

#include <string>
#include <string_view>

#include "settings/settings.h"
#include "typing/key_sender.h"

// Characters through SendInput, in the held typing method, read for every character: as
// Unicode character events (no virtual keys, no scan codes, no Shift state; a TAB arrives
// as the character 9), or with digits and TAB as the keys of the focused window's keyboard
// layout, with Shift where the layout needs it. Every other character, and a digit that the
// layout has no key for, goes as a Unicode character event in either method. In the paste
// method a TAB goes as the layout's key, and texts are pasted through the clipboard with
// Ctrl+V (clipboard_paster_win32.h), one text at a time in the whole program.
class SendInputKeySender : public KeySender {
public:
    explicit SendInputKeySender(const Settings& settings);

    void SendCharacter(char32_t character) override;
    void AwaitReleasedModifiers() override;
    void Pause(int milliseconds) override;
    bool BeginPasting() override;
    bool PasteText(std::string_view utf8) override;
    void EndPasting() override;

private:
    const Settings& settings;
};

// Whether the window with the keyboard focus belongs to a program at a higher integrity
// level than this one (run as administrator while Zentory is not), whose windows Windows
// lets no keys from here reach; `program` is then its executable's path. False when it
// cannot be told.
bool FocusedProgramRunsAboveUs(std::string& program);
