#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Pairing secrets: random hex texts from the system's cryptographic source, compared in
// a time that does not depend on where they differ.

// Fills `bytes` with random bytes from the system's cryptographic source; false when
// the source fails (the bytes are then not to be used).
bool SystemRandomBytes(unsigned char* bytes, std::size_t count);

// The randomness of a pairing secret: 16 bytes, written as 32 hex digits.
inline constexpr std::size_t kSecretTokenBytes = 16;

// 2 * kSecretTokenBytes lower-case hex digits of fresh randomness, or "" when the source
// fails.
std::string NewSecretToken();

// Whether a text is a token NewSecretToken could have made: 32 hex digits.
bool IsWellFormedToken(std::string_view text);

// Equality that always reads the whole of `expected`, whatever `offered` holds, so that
// the answer's timing tells nothing of how much of a guess was right.
bool SecretsEqual(std::string_view offered, std::string_view expected);
