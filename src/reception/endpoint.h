#pragma once

#include <cstdint>

#include "reception/receiver.h"
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

// The simulated reception (F9): the next sample (0, 1, 2, 3, 4, 0, ...) as the phone
// would send it, a short datagram with kind byte 1 from 127.0.0.1, fed in process to the
// path a received datagram takes (HandleDatagram). It needs no socket, so it works with
// UDP reception off too.
class SimulatedReception {
public:
    SimulatedReception(ReceiverSink& receiverSink, KeyboardInjector* keyboardInjector,
                       SenderGate* senderGate)
        : sink(receiverSink), injector(keyboardInjector), gate(senderGate) {}

    void FeedNextSample();

private:
    ReceiverSink& sink;
    KeyboardInjector* injector;
    SenderGate* gate;
    ReceiverState state;
    unsigned next = 0;
};
