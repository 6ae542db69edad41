#pragma once

#include <string_view>

// Texts pasted into the window with the keyboard focus through the clipboard, for the
// typing threads. One pasted text at a time in the whole process: BeginClipboardPaste
// waits while another thread's text is being pasted, and the calls of one text come from
// one thread, from a successful Begin to its End.

// Keeps a copy of what is on the clipboard and readies this thread to own it. False, with
// a trace, when the clipboard cannot be opened; nothing is to be ended then.
bool BeginClipboardPaste();

// Puts the text on the clipboard, presses Ctrl+V and returns once the focused program has
// read the text, or after two seconds. False when the clipboard could not be had or the
// keys not sent: nothing was pasted.
bool PasteThroughClipboard(std::string_view utf8);

// Puts the kept clipboard back and lets the next text be pasted.
void EndClipboardPaste();
