#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "history/code_record.h"
#include "reception/sender_filter.h"
#include "reception/udp_socket.h"
#include "typing/layouts.h"
#include "util/local_time.h"

// What one receiver thread remembers between datagrams.
struct ReceiverState {
    std::uint32_t lastSequence = 0;  // the non-zero sequence number accepted last
    std::int32_t sequenceIndex = 0;  // datagrams accepted so far
};

enum class DatagramOutcome { Accepted, Invalid, Repeat, Refused };

// Applies the datagram rules and the repeat rule to one received payload and, when it
// is accepted, fills `record` with the code and its interpretation (due dates resolved
// around `now`). `record` keeps the index and is otherwise overwritten.
DatagramOutcome AcceptDatagram(ReceiverState& state, const std::uint8_t* payload, std::size_t size,
                               std::uint32_t senderAddress, const LocalDateTime& now,
                               CodeRecord& record);

// Fills `record` with an accepted code (kind byte 1, 2 or 3) and its interpretation, as
// for a datagram: the next sequence index of `state`, the sender, the received-at time.
void FillScanRecord(ReceiverState& state, std::string_view code, int kindByte,
                    std::uint32_t senderAddress, const LocalDateTime& now, CodeRecord& record);

// The receiver's whole rule for one datagram: the sender first (when a gate is given),
// then AcceptDatagram. A refused datagram leaves `state` as it was; `firstRefusal` tells
// whether it is the first refusal of its sender.
DatagramOutcome TakeDatagram(ReceiverState& state, SenderGate* gate, const std::uint8_t* payload,
                             std::size_t size, std::uint32_t senderAddress,
                             const LocalDateTime& now, CodeRecord& record, bool& firstRefusal);

class ReceiverSink;

// What the receiver does with one received payload: TakeDatagram now, then for an accepted
// one typing (when an injector is given; it starts before the record is stored, whether or
// not its digits check) and the sink; a sender's first refusal goes to the sink too.
DatagramOutcome HandleDatagram(ReceiverState& state, SenderGate* gate, KeyboardInjector* injector,
                               ReceiverSink& sink, const std::uint8_t* payload, std::size_t size,
                               std::uint32_t senderAddress);

// Where the receiver thread hands its results; called on the receiver thread.
class ReceiverSink {
public:
    virtual ~ReceiverSink() = default;
    // The status-bar text, once when the thread starts.
    virtual void ShowStatus(const std::string& text) = 0;
    // One accepted record, for the history.
    virtual void Deliver(CodeRecord record) = 0;
    // The first datagram refused from this sender since the program started.
    virtual void Refuse(std::uint32_t /*senderAddress*/) {}
};

// The thread that waits on the UDP socket: refuses senders that the gate does not admit
// (when a gate is given), validates each datagram, drops repeats, interprets the code,
// starts its typing (when an injector is given) and hands the record on. It ends only when its
// socket is interrupted; stray datagrams, oversized ones, "connection reset" reports and other
// receive errors are dropped.
class Receiver {
public:
    static constexpr std::size_t kBufferSize = 512;

    Receiver(UdpSocket& socket, std::int32_t port, ReceiverSink& sink, KeyboardInjector* injector,
             SenderGate* gate = nullptr);
    // Stops and joins the thread.
    ~Receiver();

    void Start();
    // Interrupts the socket and waits for the thread to end.
    void Stop();

private:
    void Run();

    UdpSocket& socket;
    std::int32_t port;
    ReceiverSink& sink;
    KeyboardInjector* injector;
    SenderGate* gate;
    std::thread thread;
};
