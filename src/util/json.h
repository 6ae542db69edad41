#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

// How many bytes at the start of `text` stand for themselves in a JSON string:
// printable ASCII but the quote and the backslash.
std::size_t JsonPlainPrefix(std::string_view text);

// The escape of one byte that does not stand for itself, written into `buffer`.
std::string_view JsonEscape(unsigned char byte, char (&buffer)[8]);

// Appends `text`, a Windows-1252 text of any bytes, as a JSON string literal in quotes.
// The result is plain ASCII: quotes, backslashes and control characters are escaped
// and every byte above 0x7F becomes the \u escape of its Windows-1252 character, so the
// output is valid JSON whatever the input holds. `out` is any text that takes += of a
// char and of a string_view.
template <typename Text>
void AppendJsonString(Text& out, std::string_view text) {
    out += '"';
    while (!text.empty()) {
        std::size_t plain = JsonPlainPrefix(text);
        out += text.substr(0, plain);
        if (plain == text.size()) break;
        char buffer[8];
        out += JsonEscape(static_cast<unsigned char>(text[plain]), buffer);
        text.remove_prefix(plain + 1);
    }
    out += '"';
}

// Appends `text`, UTF-8, as a JSON string literal in quotes, plain ASCII as
// AppendJsonString's: every character beyond ASCII as its \u escape, and U+FFFD for each
// byte that begins no well-formed character.
void AppendJsonUtf8String(std::string& out, std::string_view text);

// Builds one JSON object on one line, keys in the order they are added. Keys are plain
// names (letters, digits, '_') and go in as they are.
template <typename Text>
class BasicJsonObjectWriter {
public:
    // The object in a text of its own, returned by Finish.
    BasicJsonObjectWriter() : json(&own) { own += '{'; }
    // The object at the end of `out`, ended by Close: one buffer takes object after object.
    explicit BasicJsonObjectWriter(Text& out) : json(&out) { out += '{'; }
    BasicJsonObjectWriter(const BasicJsonObjectWriter&) = delete;
    BasicJsonObjectWriter& operator=(const BasicJsonObjectWriter&) = delete;

    BasicJsonObjectWriter& Add(std::string_view key, std::string_view text) {
        Key(key);
        AppendJsonString(*json, text);
        return *this;
    }
    // A UTF-8 text (Add takes Windows-1252); only for a writer into a std::string.
    BasicJsonObjectWriter& AddUtf8(std::string_view key, std::string_view text) {
        Key(key);
        AppendJsonUtf8String(*json, text);
        return *this;
    }
    BasicJsonObjectWriter& Add(std::string_view key, const char* text) {
        return Add(key, std::string_view(text));
    }
    BasicJsonObjectWriter& Add(std::string_view key, bool flag) {
        Key(key);
        *json += flag ? std::string_view("true") : std::string_view("false");
        return *this;
    }
    BasicJsonObjectWriter& Add(std::string_view key, long long number) {
        Key(key);
        char digits[24];
        *json += std::string_view(
            digits, std::to_chars(digits, digits + sizeof digits, number).ptr - digits);
        return *this;
    }

    // The closing brace.
    void Close() { *json += '}'; }
    // The object of its own text (not one given to the constructor), closed.
    Text Finish() {
        Close();
        return std::move(own);
    }

private:
    void Key(std::string_view key) {
        *json += first ? std::string_view("\"") : std::string_view(",\"");
        first = false;
        *json += key;
        *json += std::string_view("\":");
    }

    Text own;
    Text* json;
    bool first = true;
};

using JsonObjectWriter = BasicJsonObjectWriter<std::string>;
