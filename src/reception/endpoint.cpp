#include "reception/endpoint.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>

#include "reception/scan_datagram.h"
#include "util/debug_trace.h"

namespace {

std::atomic<unsigned> gSampleIndex{0};

std::string Formatted(const char* format, int number) {
    char text[96];
    std::snprintf(text, sizeof text, format, number);
    return text;
}

}  // namespace

bool OpenEndpoint(UdpSocket& socket, std::int32_t port, UserMessages& messages) {
    SocketError error;
    if (!socket.Open(error)) {
        DebugTrace("[E] socket %d\n", error.number);
        messages.ShowError(Formatted("socket erro %d", error.number));
        return false;
    }
    if (!socket.Bind(static_cast<std::uint16_t>(port), false, error)) {
        DebugTrace("[E] bind %d\n", error.number);
        messages.ShowError(error.kind == SocketErrorKind::AddressInUse
                               ? Formatted("Porta %d esta em uso.", port)
                               : Formatted("bind erro %d", error.number));
        socket.Close();
        return false;
    }
    return true;
}

void SendNextSample(std::int32_t port) {
    UdpSocket socket;
    SocketError error;
    if (!socket.Open(error)) {
        DebugTrace("[E] socket %d\n", error.number);
        return;
    }
    unsigned index = gSampleIndex.fetch_add(1) % 5;
    auto datagram = BuildScanDatagram(kSampleCodes[index], 1);
    if (!socket.SendTo(LoopbackAddress(), static_cast<std::uint16_t>(port), datagram->data(),
                       datagram->size(), error)) {
        DebugTrace("[E] sendto  %d\n", error.number);
    }
}

void StartSimulatedReception(std::int32_t port) {
    try {
        std::thread(SendNextSample, port).detach();
    } catch (const std::system_error&) {
        DebugTrace("[E] Simulated reception not started\n");
    }
}
