#pragma once

#include <string>

// Errors that the user must see: a message box on Windows, standard error on the
// command line.
class UserMessages {
public:
    virtual ~UserMessages() = default;
    virtual void ShowError(const std::string& text) = 0;
};
