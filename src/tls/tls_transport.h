#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "tls/certificates.h"

// The server's side of TLS for the phone page, without sockets: the loop hands a connection's
// ciphertext in and writes out what comes back, and the page's exchange sees plaintext.

// What every connection shares: the server's certificate chain (the server's own, then the
// authority's) and key, a random generator, and the key of the session tickets that let a
// phone come back without a full handshake. Loaded once, before the first connection.
class TlsServerIdentity {
public:
    TlsServerIdentity();
    ~TlsServerIdentity();
    TlsServerIdentity(const TlsServerIdentity&) = delete;
    TlsServerIdentity& operator=(const TlsServerIdentity&) = delete;

    // False, with `problem` set, when the certificate, the key or the generator cannot be had.
    bool Load(const KeyAndCertificate& server, const std::string& authorityPem,
              std::string& problem);

    struct Parts;
    Parts& Shared() { return *parts; }

private:
    std::unique_ptr<Parts> parts;
};

// One connection's TLS: the handshake, then records both ways.
class TlsTransport {
public:
    // Ciphertext held for the socket at most; Encrypt takes no more plaintext past it.
    static constexpr std::size_t kMostOutgoing = 64 * 1024;

    explicit TlsTransport(TlsServerIdentity& identity);
    ~TlsTransport();
    TlsTransport(const TlsTransport&) = delete;
    TlsTransport& operator=(const TlsTransport&) = delete;

    // Ciphertext that came from the client.
    void Arrived(std::string_view ciphertext);
    // Runs the handshake as far as what arrived allows, then appends to `plaintext` what the
    // client's records hold, at most `most` bytes. False once the connection has failed or
    // the client has said it is done: nothing more comes from it.
    bool Decrypt(std::string& plaintext, std::size_t most);
    bool HandshakeDone() const { return handshakeDone; }
    bool Failed() const { return failed; }
    // Whether ciphertext that arrived is still waiting to be read (a record not yet whole
    // needs more; a whole one waits for room).
    bool HoldsCiphertext() const { return !incoming.empty(); }

    // Encrypts as much of `plaintext` as fits, and says how much it took; 0 before the
    // handshake is done or while the outgoing ciphertext is full.
    std::size_t Encrypt(std::string_view plaintext);
    // A close_notify for the client, after the last answer.
    void Close();

    // What waits to be written to the socket; `count` bytes of it were written.
    std::string_view Outgoing() const { return std::string_view(outgoing).substr(written); }
    void Written(std::size_t count);

private:
    static int Send(void* self, const unsigned char* bytes, std::size_t length);
    static int Receive(void* self, unsigned char* bytes, std::size_t length);

    struct Context;
    std::unique_ptr<Context> context;
    std::string incoming;
    std::string outgoing;
    std::size_t written = 0;
    bool handshakeDone = false;
    bool failed = false;
};

// Whether a connection's first byte starts a TLS handshake (a handshake record) rather
// than a plain HTTP request, which starts with a method's letter.
inline bool StartsTls(unsigned char firstByte) {
    return firstByte == 0x16;
}
