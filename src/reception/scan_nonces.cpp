#include "reception/scan_nonces.h"

#include <algorithm>

#include "util/secret_token.h"
#include "tls/digests.h"

void ScanNonces::ForgetExpired(Clock::time_point now) {
    issued.erase(std::remove_if(issued.begin(), issued.end(),
                                [&](const Issued& entry) { return now - entry.at >= kLifetime; }),
                 issued.end());
}

std::string ScanNonces::Issue(std::uint32_t address, Clock::time_point now) {
    std::string nonce = NewSecretToken();
    if (nonce.empty()) return nonce;
    std::lock_guard lock(mutex);
    ForgetExpired(now);
    std::size_t ofAddress = static_cast<std::size_t>(
        std::count_if(issued.begin(), issued.end(),
                      [&](const Issued& entry) { return entry.address == address; }));
    if (ofAddress >= kPerAddress) {
        issued.erase(std::find_if(issued.begin(), issued.end(),
                                  [&](const Issued& entry) { return entry.address == address; }));
    } else if (issued.size() >= kTotal) {
        issued.erase(issued.begin());
    }
    issued.push_back({nonce, address, now});
    return nonce;
}

bool ScanNonces::Take(std::string_view nonce, std::uint32_t address, Clock::time_point now) {
    std::lock_guard lock(mutex);
    ForgetExpired(now);
    auto found = std::find_if(issued.begin(), issued.end(), [&](const Issued& entry) {
        return SecretsEqual(nonce, entry.nonce);
    });
    // From another address it is refused and kept: someone who saw it on the Wi-Fi must
    // not be able to spend the phone's nonce.
    if (found == issued.end() || found->address != address) return false;
    issued.erase(found);
    return true;
}

std::size_t ScanNonces::Count() const {
    std::lock_guard lock(mutex);
    return issued.size();
}

std::string ScanProofMessage(std::string_view nonce, std::string_view kind, std::string_view code) {
    std::string message;
    message.reserve(nonce.size() + kind.size() + code.size() + 2);
    message.append(nonce).append(":").append(kind).append(":").append(code);
    return message;
}

std::string ScanProof(std::string_view token, std::string_view nonce, std::string_view kind,
                      std::string_view code) {
    return DigestHex(HmacSha256(token, ScanProofMessage(nonce, kind, code)));
}
