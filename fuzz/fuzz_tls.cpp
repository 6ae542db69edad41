// Any bytes as what a client sends to the page's TLS, cut into pieces as the network would
// cut them: the handshake and the records are read through the server's transport, which
// must neither crash nor read outside what came, nor hold more ciphertext than its limit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tls/certificates.h"
#include "tls/tls_transport.h"

namespace {

// One identity for every input: making keys is slow, and the server makes it once too.
TlsServerIdentity& Identity() {
    static TlsServerIdentity* identity = [] {
        std::string problem;
        std::int64_t now = SecondsNow();
        auto authority = MakeAuthority("fuzz", now, problem);
        auto server = authority ? MakeServerCertificate(*authority, {0x0100007F}, now, problem)
                                : std::nullopt;
        auto* made = new TlsServerIdentity;
        if (!server || !made->Load(*server, authority->certificatePem, problem)) std::abort();
        return made;
    }();
    return *identity;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TlsTransport tls(Identity());
    std::string plaintext;
    // The first byte chooses the pieces' size, as reads of a socket would come.
    std::size_t piece = size > 0 ? 1 + data[0] * 8 : 1;
    for (std::size_t at = size > 0 ? 1 : 0; at < size; at += piece) {
        std::size_t length = size - at < piece ? size - at : piece;
        tls.Arrived(std::string_view(reinterpret_cast<const char*>(data + at), length));
        bool open = tls.Decrypt(plaintext, 8192);
        if (tls.Outgoing().size() > TlsTransport::kMostOutgoing) std::abort();
        tls.Written(tls.Outgoing().size());
        if (!open) break;
        if (tls.HandshakeDone()) tls.Encrypt("HTTP/1.1 200 OK\r\n\r\n");
    }
    if (plaintext.size() > size) std::abort();
    return 0;
}
