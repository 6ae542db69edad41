#include "util/secret_token.h"

#include <array>

std::string NewSecretToken() {
    std::array<unsigned char, kSecretTokenBytes> bytes;
    if (!SystemRandomBytes(bytes.data(), bytes.size())) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    token.reserve(2 * bytes.size());
    for (unsigned char byte : bytes) {
        token += kHex[byte >> 4];
        token += kHex[byte & 0xF];
    }
    return token;
}

bool IsWellFormedToken(std::string_view text) {
    if (text.size() != 2 * kSecretTokenBytes) return false;
    for (char c : text) {
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) return false;
    }
    return true;
}

bool SecretsEqual(std::string_view offered, std::string_view expected) {
    unsigned difference = offered.size() == expected.size() ? 0u : 1u;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        unsigned char theirs = i < offered.size() ? static_cast<unsigned char>(offered[i]) : 0;
        difference |= theirs ^ static_cast<unsigned char>(expected[i]);
    }
    return difference == 0 && !expected.empty();
}
