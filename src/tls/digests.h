#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// SHA-256 and HMAC-SHA256 (from mbedTLS), for the phone page's proof that it knows the
// pairing secret.
using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view data);
Sha256Digest HmacSha256(std::string_view key, std::string_view message);

// 64 lower-case hex digits.
std::string DigestHex(const Sha256Digest& digest);
