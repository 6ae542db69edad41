#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The nonces that the phone page asks for before each scan: random, for one scan from the
// address that asked, and only for a short while. The table stays small whoever asks: an
// address holds a few at most, and the oldest goes when the table is full.
class ScanNonces {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kLifetime{60};
    static constexpr std::size_t kPerAddress = 4;
    static constexpr std::size_t kTotal = 256;

    // A fresh nonce for `address` (32 hex digits), or "" when the system's random source
    // fails.
    std::string Issue(std::uint32_t address, Clock::time_point now);

    // Whether `nonce` was issued to `address` and has not expired. A nonce taken by its
    // address is forgotten, whether the scan's proof then holds or not: each is tried once.
    bool Take(std::string_view nonce, std::uint32_t address, Clock::time_point now);

    std::size_t Count() const;

private:
    struct Issued {
        std::string nonce;
        std::uint32_t address;
        Clock::time_point at;
    };
    void ForgetExpired(Clock::time_point now);

    mutable std::mutex mutex;
    std::vector<Issued> issued;  // oldest first
};

// What the page's HMAC-SHA256, keyed with the pairing secret, covers: the nonce, the kind
// and the code, so that a proof fits one scan only.
std::string ScanProofMessage(std::string_view nonce, std::string_view kind, std::string_view code);

// The proof as 64 hex digits.
std::string ScanProof(std::string_view token, std::string_view nonce, std::string_view kind,
                      std::string_view code);
