// The receiver pipeline (validate, interpret, type request, store) against a bare
// recvfrom loop, over UDP on loopback, in the same run.
//   build/native/bench/receiver_throughput [DATAGRAMS]       (default 200000)
// Prints, for a flood from one sender: datagrams received by each, their rates and
// ratios; the losses of both at paced rates; and the latency from sending a datagram
// to its typing request, p50 and p99, at 10000 datagrams per second.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "history/headless_rows.h"
#include "history/history_store.h"
#include "reception/receiver.h"
#include "reception/scan_datagram.h"
#include "reception/udp_socket.h"
#include "settings/memory_settings_store.h"
#include "typing/layouts.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kCode[] = "00191455700000110009956850418332600000624818";

// Sends `count` datagrams to the port, `perSecond` of them a second (0: as fast as possible),
// and returns the time each was sent.
std::vector<Clock::time_point> SendDatagrams(std::uint16_t port, int count, int perSecond) {
    UdpSocket socket;
    SocketError error;
    socket.Open(error);
    auto datagram = *BuildScanDatagram(kCode, 1);
    std::vector<Clock::time_point> sent;
    sent.reserve(count);
    Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (perSecond > 0) {
            auto due = start + std::chrono::nanoseconds(1'000'000'000LL * i / perSecond);
            while (Clock::now() < due) {
            }
        }
        sent.push_back(Clock::now());
        socket.SendTo(LoopbackAddress(), port, datagram.data(), datagram.size(), error);
    }
    return sent;
}

struct Run {
    int received = 0;
    double seconds = 0;
    double PerSecond() const { return seconds > 0 ? received / seconds : 0; }
};

// A bare loop: receive and count, nothing else.
Run BareLoop(int count, int perSecond) {
    UdpSocket socket;
    SocketError error;
    socket.Open(error);
    socket.Bind(0, true, error);
    std::atomic<int> received{0};
    Clock::time_point first, last;
    std::thread receiver([&] {
        std::uint8_t buffer[512];
        for (;;) {
            ReceivedDatagram datagram = socket.Receive(buffer, sizeof buffer);
            if (socket.WasInterrupted()) break;
            if (datagram.size == 50) {
                if (received == 0) first = Clock::now();
                last = Clock::now();
                ++received;
            }
        }
    });
    SendDatagrams(socket.LocalPort(), count, perSecond);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    socket.Interrupt();
    receiver.join();
    return {received, std::chrono::duration<double>(last - first).count()};
}

// Stores every record like the program, and notes when each typing request came.
class PipelineSink : public ReceiverSink, public TextTyper {
public:
    void ShowStatus(const std::string&) override {}
    void Deliver(CodeRecord record) override {
        history.AppendWithCap(std::move(record), rows);
        Clock::time_point now = Clock::now();
        if (delivered == 0) first = now;
        last = now;
        ++delivered;
    }
    bool TypeText(const std::string&) override {
        typingRequests.push_back(Clock::now());
        return true;
    }
    HistoryStore history;
    HeadlessHistoryRows rows;
    std::atomic<int> delivered{0};
    Clock::time_point first, last;
    std::vector<Clock::time_point> typingRequests;
};

struct PipelineRun {
    Run run;
    std::vector<double> latenciesMs;
};

PipelineRun Pipeline(int count, int perSecond) {
    UdpSocket socket;
    SocketError error;
    socket.Open(error);
    socket.Bind(0, true, error);
    Settings settings;
    MemorySettingsStore store;
    PipelineSink sink;
    KeyboardInjector injector(settings, store, sink);
    Receiver receiver(socket, socket.LocalPort(), sink, &injector);
    receiver.Start();
    auto sent = SendDatagrams(socket.LocalPort(), count, perSecond);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    receiver.Stop();
    PipelineRun result;
    result.run = {sink.delivered, std::chrono::duration<double>(sink.last - sink.first).count()};
    if (static_cast<int>(sink.typingRequests.size()) == count) {
        for (int i = 0; i < count; ++i) {
            result.latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(sink.typingRequests[i] - sent[i])
                    .count());
        }
        std::sort(result.latenciesMs.begin(), result.latenciesMs.end());
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 200000;
    int error;
    StartNetwork(error);

    Run bare = BareLoop(count, 0);
    PipelineRun flood = Pipeline(count, 0);
    std::printf("flood of %d datagrams from one sender on loopback:\n", count);
    std::printf("  bare recvfrom loop: %7d received, %9.0f datagrams/s\n", bare.received,
                bare.PerSecond());
    std::printf("  receiver pipeline:  %7d received, %9.0f datagrams/s\n", flood.run.received,
                flood.run.PerSecond());
    std::printf("  ratio pipeline/bare: %.2f\n", flood.run.PerSecond() / bare.PerSecond());

    std::printf("  received share pipeline/bare: %.2f\n",
                static_cast<double>(flood.run.received) / bare.received);

    // Paced senders: the loss of each where the bare loop loses nothing.
    std::printf("paced sender, %d datagrams each:\n", count);
    for (int perSecond : {20000, 50000, 100000, 150000}) {
        Run bareAt = BareLoop(count, perSecond);
        PipelineRun pipelineAt = Pipeline(count, perSecond);
        std::printf("  %6d/s: bare loop lost %6d, pipeline lost %6d\n", perSecond,
                    count - bareAt.received, count - pipelineAt.run.received);
    }

    int latencyCount = std::min(count, 50000);
    PipelineRun timed = Pipeline(latencyCount, 10000);
    if (timed.latenciesMs.empty()) {
        std::printf("latency at 10000 datagrams/s: %d of %d lost, not measured\n",
                    latencyCount - timed.run.received, latencyCount);
    } else {
        auto at = [&](double fraction) {
            return timed
                .latenciesMs[static_cast<std::size_t>(fraction * (timed.latenciesMs.size() - 1))];
        };
        std::printf(
            "datagram to typing request at 10000 datagrams/s (%d): p50 %.3f ms, p99 %.3f ms\n",
            latencyCount, at(0.50), at(0.99));
    }
    StopNetwork();
    return 0;
}
