#include "util/sha256.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t RotateRight(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

class Sha256State {
public:
    void Add(std::string_view data) {
        for (char c : data) {
            block[filled++] = static_cast<std::uint8_t>(c);
            if (filled == 64) Compress();
        }
        bits += 8 * static_cast<std::uint64_t>(data.size());
    }

    Sha256Digest Finish() {
        std::uint64_t length = bits;
        Add(std::string_view("\x80", 1));
        while (filled != 56)
            Add(std::string_view("\0", 1));
        for (int i = 7; i >= 0; --i)
            block[filled++] = static_cast<std::uint8_t>(length >> (8 * i));
        Compress();
        Sha256Digest digest;
        for (std::size_t i = 0; i < 32; ++i)
            digest[i] = static_cast<std::uint8_t>(hash[i / 4] >> (24 - 8 * (i % 4)));
        return digest;
    }

private:
    void Compress() {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
                   std::uint32_t{block[4 * i + 2]} << 8 | block[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            std::uint32_t s0 =
                RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
            std::uint32_t s1 =
                RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3];
        std::uint32_t e = hash[4], f = hash[5], g = hash[6], h = hash[7];
        for (int i = 0; i < 64; ++i) {
            std::uint32_t t1 = h + (RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25)) +
                               ((e & f) ^ (~e & g)) + kRound[i] + w[i];
            std::uint32_t t2 = (RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22)) +
                               ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        hash[0] += a;
        hash[1] += b;
        hash[2] += c;
        hash[3] += d;
        hash[4] += e;
        hash[5] += f;
        hash[6] += g;
        hash[7] += h;
        filled = 0;
    }

    std::uint32_t hash[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::uint8_t block[64] = {};
    std::size_t filled = 0;
    std::uint64_t bits = 0;
};

}  // namespace

Sha256Digest Sha256(std::string_view data) {
    Sha256State state;
    state.Add(data);
    return state.Finish();
}

Sha256Digest HmacSha256(std::string_view key, std::string_view message) {
    std::string paddedKey(64, '\0');
    if (key.size() > 64) {
        Sha256Digest hashed = Sha256(key);
        std::copy(hashed.begin(), hashed.end(), paddedKey.begin());
    } else {
        std::copy(key.begin(), key.end(), paddedKey.begin());
    }
    std::string inner = paddedKey;
    std::string outer = paddedKey;
    for (std::size_t i = 0; i < 64; ++i) {
        inner[i] = static_cast<char>(inner[i] ^ 0x36);
        outer[i] = static_cast<char>(outer[i] ^ 0x5c);
    }
    Sha256State innerState;
    innerState.Add(inner);
    innerState.Add(message);
    Sha256Digest innerDigest = innerState.Finish();
    Sha256State outerState;
    outerState.Add(outer);
    outerState.Add(std::string_view(reinterpret_cast<const char*>(innerDigest.data()), 32));
    return outerState.Finish();
}

std::string DigestHex(const Sha256Digest& digest) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(64);
    for (std::uint8_t byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}
