#include "reception/endpoint.h"

#include <cstdio>
#include <string>

#include "reception/scan_datagram.h"
#include "util/debug_trace.h"

namespace {

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

void SimulatedReception::FeedNextSample() {
    auto datagram = BuildScanDatagram(kSampleCodes[next], 1);
    next = (next + 1) % 5;
    HandleDatagram(state, gate, injector, sink, datagram->data(), datagram->size(),
                   LoopbackAddress());
}
