#include "tls/tls_transport.h"

#include <mbedtls/ssl.h>
#include <mbedtls/ssl_ticket.h>
#include <psa/crypto.h>

#include <algorithm>
#include <cstring>

#include "tls/mbedtls_objects.h"

struct TlsServerIdentity::Parts {
    Random random{"zentory page"};
    Certificate chain;
    Key key;
    mbedtls_ssl_ticket_context tickets;
    mbedtls_ssl_config config;

    Parts() {
        mbedtls_ssl_ticket_init(&tickets);
        mbedtls_ssl_config_init(&config);
    }
    ~Parts() {
        mbedtls_ssl_config_free(&config);
        mbedtls_ssl_ticket_free(&tickets);
    }
};

namespace {

// Only what the page's phones need, strongest first: TLS 1.3's AES-GCM and ChaCha20, then
// TLS 1.2's ECDHE-ECDSA with the same.
const int kCipherSuites[] = {
    MBEDTLS_TLS1_3_AES_128_GCM_SHA256,
    MBEDTLS_TLS1_3_CHACHA20_POLY1305_SHA256,
    MBEDTLS_TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256,
    MBEDTLS_TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305_SHA256,
    0,
};

// A phone that comes back within a day resumes without a full handshake.
constexpr std::uint32_t kTicketLifetime = 24 * 60 * 60;

}  // namespace

TlsServerIdentity::TlsServerIdentity() : parts(std::make_unique<Parts>()) {}
TlsServerIdentity::~TlsServerIdentity() = default;

bool TlsServerIdentity::Load(const KeyAndCertificate& server, const std::string& authorityPem,
                             std::string& problem) {
    Parts& p = *parts;
    if (psa_crypto_init() != PSA_SUCCESS || !p.random.Ready()) {
        problem = "o gerador de números aleatórios não pôde ser iniciado";
        return false;
    }
    if (!p.chain.Read(server.certificatePem) || !p.chain.Read(authorityPem) ||
        !p.key.Read(server.keyPem, p.random)) {
        problem = "o certificado do servidor não pôde ser lido";
        return false;
    }
    mbedtls_ssl_config& config = p.config;
    if (mbedtls_ssl_config_defaults(&config, MBEDTLS_SSL_IS_SERVER, MBEDTLS_SSL_TRANSPORT_STREAM,
                                    MBEDTLS_SSL_PRESET_DEFAULT) != 0 ||
        mbedtls_ssl_conf_own_cert(&config, &p.chain.crt, &p.key.pk) != 0 ||
        mbedtls_ssl_ticket_setup(&p.tickets, Random::Fill, &p.random, MBEDTLS_CIPHER_AES_256_GCM,
                                 kTicketLifetime) != 0) {
        problem = "o TLS não pôde ser configurado";
        return false;
    }
    mbedtls_ssl_conf_rng(&config, Random::Fill, &p.random);
    mbedtls_ssl_conf_min_tls_version(&config, MBEDTLS_SSL_VERSION_TLS1_2);
    mbedtls_ssl_conf_max_tls_version(&config, MBEDTLS_SSL_VERSION_TLS1_3);
    mbedtls_ssl_conf_ciphersuites(&config, kCipherSuites);
    mbedtls_ssl_conf_session_tickets_cb(&config, mbedtls_ssl_ticket_write, mbedtls_ssl_ticket_parse,
                                        &p.tickets);
    return true;
}

struct TlsTransport::Context {
    mbedtls_ssl_context ssl;
    Context() { mbedtls_ssl_init(&ssl); }
    ~Context() { mbedtls_ssl_free(&ssl); }
};

TlsTransport::TlsTransport(TlsServerIdentity& identity) : context(std::make_unique<Context>()) {
    if (mbedtls_ssl_setup(&context->ssl, &identity.Shared().config) != 0) {
        failed = true;
        return;
    }
    mbedtls_ssl_set_bio(&context->ssl, this, Send, Receive, nullptr);
}

TlsTransport::~TlsTransport() = default;

int TlsTransport::Send(void* self, const unsigned char* bytes, std::size_t length) {
    auto& transport = *static_cast<TlsTransport*>(self);
    std::size_t held = transport.outgoing.size() - transport.written;
    if (held >= kMostOutgoing) return MBEDTLS_ERR_SSL_WANT_WRITE;
    length = std::min(length, kMostOutgoing - held);
    transport.outgoing.append(reinterpret_cast<const char*>(bytes), length);
    return static_cast<int>(length);
}

int TlsTransport::Receive(void* self, unsigned char* bytes, std::size_t length) {
    auto& transport = *static_cast<TlsTransport*>(self);
    if (transport.incoming.empty()) return MBEDTLS_ERR_SSL_WANT_READ;
    length = std::min(length, transport.incoming.size());
    std::memcpy(bytes, transport.incoming.data(), length);
    transport.incoming.erase(0, length);
    return static_cast<int>(length);
}

void TlsTransport::Arrived(std::string_view ciphertext) {
    incoming.append(ciphertext);
}

bool TlsTransport::Decrypt(std::string& plaintext, std::size_t most) {
    if (failed) return false;
    if (!handshakeDone) {
        int result = mbedtls_ssl_handshake(&context->ssl);
        if (result == MBEDTLS_ERR_SSL_WANT_READ || result == MBEDTLS_ERR_SSL_WANT_WRITE)
            return true;
        if (result != 0) {
            failed = true;
            return false;
        }
        handshakeDone = true;
    }
    unsigned char buffer[4096];
    while (most > 0) {
        int got = mbedtls_ssl_read(&context->ssl, buffer, std::min(most, sizeof buffer));
        if (got > 0) {
            plaintext.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(got));
            most -= static_cast<std::size_t>(got);
            continue;
        }
        // TLS 1.3 hands a ticket over after the handshake: that is no failure.
        if (got == MBEDTLS_ERR_SSL_WANT_READ || got == MBEDTLS_ERR_SSL_WANT_WRITE ||
            got == MBEDTLS_ERR_SSL_RECEIVED_NEW_SESSION_TICKET)
            return true;
        failed = true;  // the client's close_notify (0), or a broken record
        return false;
    }
    return true;
}

std::size_t TlsTransport::Encrypt(std::string_view plaintext) {
    if (failed || !handshakeDone || plaintext.empty()) return 0;
    int wrote = mbedtls_ssl_write(
        &context->ssl, reinterpret_cast<const unsigned char*>(plaintext.data()), plaintext.size());
    if (wrote > 0) return static_cast<std::size_t>(wrote);
    if (wrote != MBEDTLS_ERR_SSL_WANT_WRITE && wrote != MBEDTLS_ERR_SSL_WANT_READ) failed = true;
    return 0;
}

void TlsTransport::Close() {
    if (!failed && handshakeDone) mbedtls_ssl_close_notify(&context->ssl);
}

void TlsTransport::Written(std::size_t count) {
    written += count;
    if (written == outgoing.size()) {
        outgoing.clear();
        written = 0;
    }
}
