// The phone page's server with many connections held open: the time a phone waits for
// the page, and what the server holds meanwhile (its process's threads and resident
// memory), with 0 to 200 connections that are idle after one request, send half a head,
// or never read their answer, from 20 addresses.
//   build/native/bench/bench_page_connections
// Linux only: the holders come from 127.0.0.2 to 127.0.0.21, and the figures from /proc.

#include <benchmark/benchmark.h>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "loopback_client.h"
#include "reception/web_server.h"

namespace {

class QuietSink : public ReceiverSink {
public:
    void ShowStatus(const std::string&) override {}
    void Deliver(CodeRecord) override {}
};

// "Threads:" and "VmRSS:" (KiB) of this process.
void ProcessFigures(long& threads, long& residentKiB) {
    threads = residentKiB = 0;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            std::sscanf(line, "Threads: %ld", &threads);
            std::sscanf(line, "VmRSS: %ld", &residentKiB);
        }
        std::fclose(status);
    }
}

const char kPageRequest[] = "GET / HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip\r\n\r\n";

// The largest of the page's files: what a client that never reads asks for.
std::string LargestFile() {
    const WebAsset* largest = nullptr;
    static const std::vector<WebAsset> files = PhonePageFiles();
    for (const WebAsset& file : files)
        if (!largest || file.size > largest->size) largest = &file;
    return largest ? largest->path : "/";
}

// Opens `count` connections of the three kinds from 20 addresses.
std::vector<int> HoldConnections(int port, int count) {
    const std::string unread =
        "GET " + LargestFile() + " HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip\r\n\r\n";
    std::vector<int> held;
    for (int i = 0; i < count; ++i) {
        std::string from = "127.0.0." + std::to_string(2 + i % 20);
        int kind = i % 3;
        int sock = ConnectFrom(from, port, kind == 2 ? 4096 : 0);
        if (sock < 0) continue;
        if (kind == 0) {
            // Idle after one answer, which is read.
            (void)!send(sock, kPageRequest, sizeof kPageRequest - 1, MSG_NOSIGNAL);
            char answer[8192];
            (void)!recv(sock, answer, sizeof answer, 0);
        } else if (kind == 1) {
            (void)!send(sock, "GET / HTTP/1.1\r\nHost: x\r\n", 25, MSG_NOSIGNAL);
        } else {
            (void)!send(sock, unread.data(), unread.size(), MSG_NOSIGNAL);
        }
        held.push_back(sock);
    }
    return held;
}

void PageWhileConnectionsAreHeld(benchmark::State& state) {
    QuietSink sink;
    SenderGate gate;
    PhoneScanService service(sink, nullptr, gate, PhonePageFiles());
    WebServer server(service);
    long threadsBefore, residentBefore;
    ProcessFigures(threadsBefore, residentBefore);
    std::string error;
    if (!server.Start(0, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<int> held = HoldConnections(server.Port(), static_cast<int>(state.range(0)));
    int phones = 0;
    for (auto _ : state) {
        // Phones of their own: one address's rate limit is not what is measured.
        int phone = ConnectFrom("127.0.1." + std::to_string(1 + phones++ % 250), server.Port());
        (void)!send(phone, kPageRequest, sizeof kPageRequest - 1, MSG_NOSIGNAL);
        char answer[4096];
        long got = recv(phone, answer, sizeof answer, 0);
        if (got < 12 || std::memcmp(answer, "HTTP/1.1 200", 12) != 0)
            state.SkipWithError("the page was not answered");
        close(phone);
    }
    long threads, resident;
    ProcessFigures(threads, resident);
    state.counters["held"] = static_cast<double>(held.size());
    state.counters["server_threads"] = static_cast<double>(threads - threadsBefore);
    state.counters["resident_KiB"] = static_cast<double>(resident - residentBefore);
    for (int sock : held)
        close(sock);
    server.Stop();
}

BENCHMARK(PageWhileConnectionsAreHeld)
    ->Arg(0)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(50);

}  // namespace

#endif
