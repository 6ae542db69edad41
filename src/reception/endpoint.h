#pragma once

#include <cstdint>

#include "reception/udp_socket.h"
#include "reception/user_messages.h"

// Opens the socket on which the receiver waits: UDP on every local address at `port`.
// Tells the user why when it cannot ("Porta 6666 esta em uso." for a port in use).
bool OpenEndpoint(UdpSocket& socket, std::int32_t port, UserMessages& messages);

// The five sample codes of the simulated reception: two bank slips, three collection slips.
inline constexpr const char* kSampleCodes[5] = {
    "00092473500000830004240405000030000226026703", "00191455700000110009956850418332600000624818",
    "84620000002311301132632914523029359083800000", "86710000000728242498725119096408256612000003",
    "85830000000578503281014401081014200092060000",
};

// Sends the next sample (0, 1, 2, 3, 4, 0, ...) to 127.0.0.1 at `port`, as the phone
// would: a short datagram with kind byte 1. Failures are only traced.
void SendNextSample(std::int32_t port);

// SendNextSample on a short thread of its own.
void StartSimulatedReception(std::int32_t port);
