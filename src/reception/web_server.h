#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "reception/phone_scan_service.h"

class TlsServerIdentity;

// The phone page's HTTP server on every local address: requests go to the service.
// One thread waits for every connection at once (non-blocking sockets and one poll), so a
// connection costs its bytes and a place in a list, never a thread, whatever the client
// does: idle, trickling its head or body, or no longer reading. Each phase has its
// deadline. A sender that the filter refuses is answered and closed as it connects. A
// scan, which stores and types a code, is answered by a worker, started when one comes.
class WebServer {
public:
    // A browser opens up to six connections to one host, WebKit's a few more (its worker's
    // and a spare one); the next is closed at once.
    static constexpr int kConnectionsPerAddress = 10;
    // In all; when they are reached, the connection that has waited longest for its
    // client gives way to a new one, an idle one first.
    static constexpr int kConnections = 256;
    // The bytes of requests (and answers' texts) that one address's connections, and all
    // of them, may hold at once. A phone's requests take a few kilobytes.
    static constexpr std::size_t kBytesPerAddress = 32 * 1024;
    static constexpr std::size_t kBytesInAll = 1024 * 1024;
    // The threads that answer scans at most, besides the one that serves the connections.
    static constexpr int kScanWorkers = 2;

    explicit WebServer(PhoneScanService& service);
    ~WebServer();

    // TLS on the same port, for connections that start with a handshake, from the next
    // Start on; the identity must outlive the server. None: plain HTTP alone.
    void UseTls(TlsServerIdentity* identity) { tlsIdentity = identity; }
    // Listens on `port` (0: a free one) and serves on a thread of its own; false with
    // the reason when the port cannot be had.
    bool Start(int port, std::string& error);
    int Port() const { return boundPort; }
    // Stops listening and closes every connection at once; a scan being answered is
    // finished first.
    void Stop();

private:
    struct Running;

    PhoneScanService& service;
    TlsServerIdentity* tlsIdentity = nullptr;
    std::unique_ptr<Running> running;
    std::thread thread;
    int boundPort = 0;
};

// Runs the server's handling of the raw requests in `bytes` (the parsing of their heads and
// bodies, the filter, the routes, the answers), as a connection from `sender` would; the
// responses are dropped. For the fuzzer.
void ServeRawRequest(PhoneScanService& service, const std::string& bytes,
                     const std::string& sender);
