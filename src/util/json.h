#pragma once

#include <string>
#include <string_view>

// Appends `text`, a Windows-1252 text of any bytes, as a JSON string literal in quotes.
// The result is plain ASCII: quotes, backslashes and control characters are escaped
// and every byte above 0x7F becomes the \u escape of its Windows-1252 character, so the
// output is valid JSON whatever the input holds.
void AppendJsonString(std::string& out, std::string_view text);

// Builds one JSON object on one line, keys in the order they are added.
class JsonObjectWriter {
public:
    JsonObjectWriter& Add(std::string_view key, std::string_view text);
    JsonObjectWriter& Add(std::string_view key, const char* text) {
        return Add(key, std::string_view(text));
    }
    JsonObjectWriter& Add(std::string_view key, bool flag);
    JsonObjectWriter& Add(std::string_view key, long long number);

    // The object with its closing brace.
    std::string Finish();

private:
    void Key(std::string_view key);
    std::string json = "{";
};
