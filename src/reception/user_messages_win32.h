#pragma once

#include "reception/user_messages.h"

// A message box without owner, caption "zentory", error icon; returns once closed.
class MessageBoxUserMessages : public UserMessages {
public:
    void ShowError(const std::string& text) override;
};
