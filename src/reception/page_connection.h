#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "reception/http_request.h"
#include "reception/phone_scan_service.h"

// One connection to the phone page as the server's loop sees it, without its socket: the
// bytes that arrive go in, a complete request comes out, its answer's bytes go back. Each
// phase has a deadline of its own, set as the phase begins; the loop closes a connection
// that misses it.
class PageConnection {
public:
    using Clock = std::chrono::steady_clock;

    // From the connection (or the first byte of a kept-alive one's next request) to the
    // blank line that ends the head.
    static constexpr std::chrono::seconds kHeadTime{10};
    static constexpr std::chrono::seconds kBodyTime{10};
    // How long a kept-alive connection may wait for its next request.
    static constexpr std::chrono::seconds kIdleTime{5};
    // An answer's send: this, and a second more for every kSendBytesPerSecond it holds.
    static constexpr std::chrono::seconds kSendTime{10};
    static constexpr std::size_t kSendBytesPerSecond = 32 * 1024;
    // A scan's answer is made by a worker; should none come, the connection goes.
    static constexpr std::chrono::seconds kWorkingTime{30};
    // After a refusal: the client's last bytes are read and dropped this long, so that
    // its system takes the answer instead of resetting the connection.
    static constexpr std::chrono::seconds kClosingTime{1};
    // What one connection may hold of a request: its head and a scan's body.
    static constexpr std::size_t kMostHeld = kRequestHeadLimit + kScanBodyLimit;
    // A kept-alive connection serves this many requests, then closes.
    static constexpr int kRequestsPerConnection = 20;

    enum class Phase {
        Head,     // reading a request's head
        Body,     // reading its body
        Working,  // the request is complete: its answer is being made
        Sending,  // its answer goes out
        Idle,     // kept alive, waiting for the next request
        Closing,  // refused: the answer is out, what still comes is dropped
        Closed,
    };

    PageConnection(std::uint32_t sender, Clock::time_point now);
    // The answer's body may be a view of the connection's own text.
    PageConnection(const PageConnection&) = delete;
    PageConnection& operator=(const PageConnection&) = delete;

    std::uint32_t Sender() const { return sender; }
    Phase CurrentPhase() const { return phase; }
    Clock::time_point Deadline() const { return deadline; }
    // Since when the connection has been waiting in its phase.
    Clock::time_point Since() const { return since; }

    // How many more bytes the connection takes now: 0 while it does not read.
    std::size_t ReadRoom() const;
    // Bytes that arrived; `service` admits each request (the sender filter, the rate
    // limit) as soon as its head is complete. After this, Working means that a request
    // waits for TakeRequest.
    void Received(std::string_view bytes, PhoneScanService& service, Clock::time_point now);
    // The peer sent its end: nothing more can arrive.
    void PeerEnded();
    // The connection failed, or must give way to another.
    void Close() { phase = Phase::Closed; }
    // The bytes held for the connection: what arrived of its requests and the answer's text.
    std::size_t HeldBytes() const { return pending.size() + answer.body.size() + head.size(); }

    const WebRequest& Request() const { return request; }
    // The complete request's answer: the connection starts sending it.
    void Answer(WebAnswer made, Clock::time_point now);

    // What remains to be sent of the answer.
    std::string_view Unsent() const;
    // `count` bytes of Unsent() went out; once all have, the connection waits for its next
    // request, reads the one that already came, or closes. `service` as for Received.
    void Sent(std::size_t count, PhoneScanService& service, Clock::time_point now);
    // Whether the loop should say that nothing more is sent: once, as Closing begins.
    bool TakeEndOfSending();

private:
    void Advance(PhoneScanService& service, Clock::time_point now);
    // Answers with `refusal` and closes after it.
    void Refuse(WebAnswer refusal, Clock::time_point now);
    void Enter(Phase next, Clock::time_point now, Clock::duration allowed);

    std::uint32_t sender;
    Phase phase = Phase::Head;
    Clock::time_point since;
    Clock::time_point deadline;
    std::string pending;  // what has arrived of the next request
    std::size_t bodyLength = 0;
    WebRequest request;
    bool headOnly = false;
    bool keepAlive = false;
    bool peerEnded = false;
    bool endSending = false;
    int served = 0;
    WebAnswer answer;
    std::string head;  // the answer's status line and headers
    std::string_view body;
    std::size_t sent = 0;
};

// The status line and headers of `answer`; a file's answer says its length, encoding and
// entity tag.
std::string AnswerHead(const WebAnswer& answer, bool keepAlive);
