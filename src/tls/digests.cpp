#include "tls/digests.h"

#include <mbedtls/md.h>

namespace {

const mbedtls_md_info_t* Sha256Info() {
    return mbedtls_md_info_from_type(MBEDTLS_MD_SHA256);
}

const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

Sha256Digest Sha256(std::string_view data) {
    Sha256Digest digest{};
    mbedtls_md(Sha256Info(), Bytes(data), data.size(), digest.data());
    return digest;
}

Sha256Digest HmacSha256(std::string_view key, std::string_view message) {
    Sha256Digest digest{};
    mbedtls_md_hmac(Sha256Info(), Bytes(key), key.size(), Bytes(message), message.size(),
                    digest.data());
    return digest;
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
