#pragma once

#include <windows.h>

#include <string>

// Shows the program's HTML page at a resource path ("/#157" for the help page) in the
// system's HTML dialog. Where that dialog cannot be shown (no HTML library, no
// "ShowHTMLDialog", a failure, as always under Wine), writes the page to the user's
// temporary folder and asks the shell to open it, so that help always appears.
void ShowHelpPage(HWND owner, const char* resourcePath);

// The fallback on its own, with the opener replaceable for tests: returns the file
// written (empty when the page could not be written).
using ShellOpener = void (*)(HWND owner, const std::string& file);
std::string OpenHelpPageInBrowser(HWND owner, int resourceId, ShellOpener opener);
