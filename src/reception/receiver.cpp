#include "reception/receiver.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "codes/interpretation.h"
#include "reception/scan_datagram.h"
#include "util/debug_trace.h"

DatagramOutcome AcceptDatagram(ReceiverState& state, const std::uint8_t* payload, std::size_t size,
                               std::uint32_t senderAddress, const LocalDateTime& now,
                               CodeRecord& record) {
    std::optional<ScanDatagram> datagram = ParseScanDatagram(payload, size);
    if (!datagram) return DatagramOutcome::Invalid;
    if (datagram->sequence != 0) {
        if (datagram->sequence == state.lastSequence) return DatagramOutcome::Repeat;
        state.lastSequence = datagram->sequence;
    }

    FillScanRecord(state, datagram->code, datagram->kindByte, senderAddress, now, record);
    return DatagramOutcome::Accepted;
}

void FillScanRecord(ReceiverState& state, std::string_view code, int kindByte,
                    std::uint32_t senderAddress, const LocalDateTime& now, CodeRecord& record) {
    record.sequenceIndex = ++state.sequenceIndex;
    record.listItemId = -1;
    record.code.assign(code);
    record.kind = EffectiveKind(kindByte, record.code);
    record.kindLetter = KindLetter(record.kind);
    record.receivedAt = FormatReceivedAt(now);
    record.senderAddress = senderAddress;

    CodeInterpretation interpretation = InterpretCode(record.code, record.kind, now.date);
    record.checkDigitsValid = interpretation.checkDigitsValid;
    record.typeable = std::move(interpretation.typeable);
    record.value = std::move(interpretation.value);
    record.dueDate = std::move(interpretation.dueDate);
}

DatagramOutcome TakeDatagram(ReceiverState& state, SenderGate* gate, const std::uint8_t* payload,
                             std::size_t size, std::uint32_t senderAddress,
                             const LocalDateTime& now, CodeRecord& record, bool& firstRefusal) {
    // Before anything else: a refused datagram is not stored, not typed, and its sequence
    // number is not remembered.
    firstRefusal = false;
    if (gate && !gate->Admit(senderAddress, firstRefusal)) return DatagramOutcome::Refused;
    DatagramOutcome outcome = AcceptDatagram(state, payload, size, senderAddress, now, record);
    if (gate && outcome == DatagramOutcome::Accepted)
        gate->NoteAccepted(senderAddress, record.receivedAt);
    return outcome;
}

DatagramOutcome HandleDatagram(ReceiverState& state, SenderGate* gate, KeyboardInjector* injector,
                               ReceiverSink& sink, const std::uint8_t* payload, std::size_t size,
                               std::uint32_t senderAddress) {
    CodeRecord record;
    bool firstRefusal = false;
    DatagramOutcome outcome =
        TakeDatagram(state, gate, payload, size, senderAddress, LocalNow(), record, firstRefusal);
    if (outcome == DatagramOutcome::Refused) {
        DebugTrace("Refused datagram from %s: not an allowed sender\n",
                   FormatIPv4(senderAddress).c_str());
        if (firstRefusal) sink.Refuse(senderAddress);
    }
    if (outcome == DatagramOutcome::Repeat) DebugTrace("Numero de sequencia duplicado.\n");
    if (outcome != DatagramOutcome::Accepted) return outcome;
    if (injector && injector->TypeOnArrival(record.code, record.kind))
        record.typedAt = record.receivedAt;
    sink.Deliver(std::move(record));
    return outcome;
}

Receiver::Receiver(UdpSocket& udpSocket, std::int32_t udpPort, ReceiverSink& receiverSink,
                   KeyboardInjector* keyboardInjector, SenderGate* senderGate)
    : socket(udpSocket),
      port(udpPort),
      sink(receiverSink),
      injector(keyboardInjector),
      gate(senderGate) {}

Receiver::~Receiver() {
    Stop();
}

void Receiver::Start() {
    thread = std::thread(&Receiver::Run, this);
}

void Receiver::Stop() {
    // Once stopped, the socket may already serve a new receiver: leave it alone.
    if (!thread.joinable()) return;
    socket.Interrupt();
    thread.join();
}

void Receiver::Run() {
    char status[64];
    std::snprintf(status, sizeof status, "Esperando dados na porta %d UDP", port);
    sink.ShowStatus(status);

    ReceiverState state;
    std::uint8_t buffer[kBufferSize];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        ReceivedDatagram received = socket.Receive(buffer, sizeof buffer);
        // Whatever the receive reports after the socket was closed under it (10004 on
        // Windows, 10022 under Wine, 0 bytes after shutdown), the receiver is stopped.
        if (socket.WasInterrupted()) break;
        if (received.size < 0) {
            // Only closing the socket ends the receiver: one stray packet, an ICMP report
            // or a passing shortage must not stop all reception until the next start.
            SocketErrorKind kind = received.error.kind;
            if (kind == SocketErrorKind::TimedOut) {
                DebugTrace("recvfrom timeout\n");
            } else if (kind == SocketErrorKind::MessageTooLong ||
                       kind == SocketErrorKind::ConnectionReset ||
                       kind == SocketErrorKind::Interrupted) {
                DebugTrace("[E] recvfrom %d: datagram dropped\n", received.error.number);
            } else {
                DebugTrace("[E] recvfrom %d\n", received.error.number);
                // An error that repeats at once must not keep a core busy.
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        DebugTrace("Received datagram from %s - %ld bytes\n",
                   FormatIPv4(received.senderAddress).c_str(), received.size);

        HandleDatagram(state, gate, injector, sink, buffer, static_cast<std::size_t>(received.size),
                       received.senderAddress);
    }
}
