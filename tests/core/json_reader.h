#pragma once

// A strict reader for the one-line JSON objects that zentory-cli writes (string,
// boolean and integer values), so that tests can check both the syntax and the values.

#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using JsonFields = std::vector<std::pair<std::string, std::string>>;  // key, value text

class JsonLineReader {
public:
    // The object's fields in their order; strings unescaped (\u escapes above 0x7F come
    // back as "?"), booleans and numbers as their text. Nothing for invalid JSON.
    static std::optional<JsonFields> Read(std::string_view line) {
        JsonLineReader reader(line);
        JsonFields fields;
        if (!reader.Eat('{')) return std::nullopt;
        if (!reader.Eat('}')) {
            do {
                std::string key, value;
                if (!reader.String(key) || !reader.Eat(':') || !reader.Value(value)) {
                    return std::nullopt;
                }
                fields.emplace_back(std::move(key), std::move(value));
            } while (reader.Eat(','));
            if (!reader.Eat('}')) return std::nullopt;
        }
        if (reader.at != line.size()) return std::nullopt;
        return fields;
    }

private:
    explicit JsonLineReader(std::string_view line) : text(line) {}

    bool Eat(char c) {
        if (at < text.size() && text[at] == c) return ++at, true;
        return false;
    }

    bool Value(std::string& value) {
        if (at < text.size() && text[at] == '"') return String(value);
        for (std::string_view word : {"true", "false"}) {
            if (text.substr(at, word.size()) == word) {
                value = word;
                at += word.size();
                return true;
            }
        }
        std::size_t start = at;
        if (at < text.size() && text[at] == '-') ++at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
            ++at;
        value = text.substr(start, at - start);
        return at > start && value != "-";
    }

    bool String(std::string& out) {
        if (!Eat('"')) return false;
        while (at < text.size()) {
            unsigned char c = static_cast<unsigned char>(text[at++]);
            if (c == '"') return true;
            if (c < 0x20 || c >= 0x7F) return false;  // the writer emits plain ASCII only
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (at >= text.size()) return false;
            char escape = text[at++];
            switch (escape) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    if (at + 4 > text.size()) return false;
                    unsigned code = 0;
                    for (int i = 0; i < 4; ++i) {
                        char h = text[at++];
                        if (!std::isxdigit(static_cast<unsigned char>(h))) return false;
                        code = code * 16 + static_cast<unsigned>(std::isdigit(h)
                                                                     ? h - '0'
                                                                     : std::tolower(h) - 'a' + 10);
                    }
                    out += code < 0x80 ? static_cast<char>(code) : '?';
                    break;
                }
                default: return false;
            }
        }
        return false;
    }

    std::string_view text;
    std::size_t at = 0;
};
