#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "reception/phone_scan_service.h"

// The phone page's HTTP server on every local address: requests go to the service.
// Slow or flooding clients cannot stall it for long: one address holds a few connections
// at most, a request's head (and body) must arrive within one deadline, writes time out,
// bodies are limited, a few worker threads serve (started as connections come, ended after
// 10 s without work), further connections wait their turn, and when the waiting line is
// full they are closed at once.
class WebServer {
public:
    // More than the connections that one address may hold: a page that loads its files
    // side by side must not wait for a kept-alive connection to time out, and another
    // phone still finds a worker.
    static constexpr int kWorkers = 12;
    static constexpr int kTimeoutSeconds = 5;
    // A browser opens up to six connections to one host, WebKit's a few more (its worker's
    // and a spare one); the next is closed at once.
    static constexpr int kConnectionsPerAddress = 10;

    explicit WebServer(PhoneScanService& service);
    ~WebServer();

    // Listens on `port` (0: a free one) and serves on a thread of its own; false with
    // the reason when the port cannot be had.
    bool Start(int port, std::string& error);
    int Port() const { return boundPort; }
    // Stops listening and waits for the requests in progress.
    void Stop();

private:
    struct Running;
    void AcceptConnections(Running& running);

    PhoneScanService& service;
    std::unique_ptr<Running> running;
    std::thread thread;
    int boundPort = 0;
};

// Runs the server's handling of the raw requests in `bytes` (the parsing of their heads and
// bodies, the filter, the routes, the answers), as a connection from `sender` would; the
// responses are dropped. For the fuzzer.
void ServeRawRequest(PhoneScanService& service, const std::string& bytes,
                     const std::string& sender);
