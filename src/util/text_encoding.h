#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Windows-1252, the program's text on screen and in its files, and UTF-8, which Pix codes
// and the phone page carry.

// The Unicode characters of the Windows-1252 bytes 0x80-0x9F; the five bytes that the code
// page leaves undefined map to the control characters of the same number.
extern const std::uint16_t kWindows1252High[32];

// One character read from UTF-8 at `at`, which moves past it; U+FFFD for a byte that
// begins no well-formed character (it then moves one byte).
char32_t NextUtf8Character(std::string_view text, std::size_t& at);

// Whether `text` is well-formed UTF-8 (ASCII is).
bool IsUtf8(std::string_view text);

// The UTF-16 of one character into `units`: one unit, or the two halves of a character
// beyond the BMP. Returns how many.
int Utf16Units(char32_t character, std::uint16_t (&units)[2]);

// Appends the UTF-8 of one character.
void AppendUtf8(std::string& out, char32_t character);

// The Windows-1252 of a UTF-8 text; '?' for a character that the code page lacks and for
// malformed UTF-8.
std::string Utf8ToWindows1252(std::string_view text);

// The UTF-8 of a Windows-1252 text.
std::string Windows1252ToUtf8(std::string_view text);
