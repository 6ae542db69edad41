#include "reception/page_connection.h"

#include <algorithm>
#include <utility>

namespace {

// Small bodies go out with their head, in one send.
constexpr std::size_t kJoinedBodyLimit = 16384;

}  // namespace

std::string AnswerHead(const WebAnswer& answer, bool keepAlive) {
    std::string head =
        "HTTP/1.1 " + std::to_string(answer.status) + " " + StatusReason(answer.status) + "\r\n";
    head += "Cache-Control: ";
    head += answer.cacheControl;
    head += "\r\nX-Content-Type-Options: nosniff\r\nAccept-Ranges: none\r\n";
    if (const WebAsset* asset = answer.asset) {
        head += "ETag: ";
        head += asset->etag;
        head += "\r\nVary: Accept-Encoding\r\n";
        if (answer.status == 200) head += "Content-Encoding: gzip\r\n";
        // A 304's length is the one a 200 would have.
        head += "Content-Length: " + std::to_string(asset->size) + "\r\n";
    } else {
        head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
    }
    if (answer.status != 304) head += "Content-Type: " + answer.contentType + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    return head;
}

PageConnection::PageConnection(std::uint32_t peer, Clock::time_point now) : sender(peer) {
    Enter(Phase::Head, now, kHeadTime);
}

void PageConnection::Enter(Phase next, Clock::time_point now, Clock::duration allowed) {
    phase = next;
    since = now;
    deadline = allowed == Clock::duration::max() ? Clock::time_point::max() : now + allowed;
}

std::size_t PageConnection::ReadRoom() const {
    switch (phase) {
        case Phase::Head:
        case Phase::Body:
        case Phase::Idle: return pending.size() < kMostHeld ? kMostHeld - pending.size() : 0;
        case Phase::Closing: return kMostHeld;  // read only to be dropped
        default: return 0;
    }
}

void PageConnection::Received(std::string_view bytes, PhoneScanService& service,
                              Clock::time_point now) {
    if (phase == Phase::Closing || phase == Phase::Closed) return;
    pending.append(bytes.data(), std::min(bytes.size(), ReadRoom()));
    Advance(service, now);
}

void PageConnection::PeerEnded() {
    peerEnded = true;
    // A request that is complete is still answered; a part of one never will be.
    if (phase != Phase::Working && phase != Phase::Sending) phase = Phase::Closed;
}

void PageConnection::Advance(PhoneScanService& service, Clock::time_point now) {
    for (;;) {
        if (phase == Phase::Idle) {
            if (pending.empty()) return;
            Enter(Phase::Head, now, kHeadTime);
        }
        if (phase == Phase::Head) {
            std::size_t headEnd = pending.find("\r\n\r\n");
            if (headEnd == std::string::npos || headEnd + 4 > kRequestHeadLimit) {
                if (pending.size() >= kRequestHeadLimit) {
                    headOnly = false;
                    Refuse(PlainAnswer(431, "head too long"), now);
                }
                return;
            }
            HttpRequestHead parsed;
            int status = ParseRequestHead(std::string_view(pending).substr(0, headEnd), parsed);
            pending.erase(0, headEnd + 4);
            if (status != 0) {
                headOnly = false;
                return Refuse(PlainAnswer(status, StatusReason(status)), now);
            }
            // A refusal of a HEAD request is sent without its body too.
            headOnly = parsed.method == "HEAD";
            // Who may ask, before anything of the request's body is kept.
            WebAnswer refusal;
            if (!service.Admit(sender, refusal)) return Refuse(std::move(refusal), now);
            if (parsed.contentLength > kScanBodyLimit)
                return Refuse(PlainAnswer(413, "body too long"), now);
            request = WebRequest();
            request.method = parsed.method;
            request.path = parsed.path;
            request.kind = parsed.QueryValue("k");
            request.nonce = parsed.QueryValue("n");
            request.proof = parsed.QueryValue("p");
            request.acceptEncoding = parsed.Header("accept-encoding");
            request.ifNoneMatch = parsed.Header("if-none-match");
            request.sender = sender;
            keepAlive = parsed.KeepAlive() && served + 1 < kRequestsPerConnection;
            bodyLength = parsed.contentLength;
            Enter(Phase::Body, now, kBodyTime);
        }
        if (phase == Phase::Body) {
            if (pending.size() < bodyLength) return;
            request.body.assign(pending, 0, bodyLength);
            pending.erase(0, bodyLength);
            Enter(Phase::Working, now, kWorkingTime);
        }
        return;
    }
}

void PageConnection::Refuse(WebAnswer refusal, Clock::time_point now) {
    pending.clear();
    keepAlive = false;
    Answer(std::move(refusal), now);
}

void PageConnection::Answer(WebAnswer made, Clock::time_point now) {
    answer = std::move(made);
    // Whatever follows a refusal is not read: the connection closes after it.
    if (answer.status >= 400) keepAlive = false;
    head = AnswerHead(answer, keepAlive);
    if (const WebAsset* asset = answer.asset)
        body = answer.status == 200
                   ? std::string_view(reinterpret_cast<const char*>(asset->data), asset->size)
                   : std::string_view();
    else
        body = answer.body;
    if (headOnly) body = {};
    // A file's bytes go out from where the program keeps them, never copied: a client that
    // does not read them holds nothing of the server's.
    if (!answer.asset && body.size() <= kJoinedBodyLimit) {
        head += body;
        body = {};
        answer.body.clear();
    }
    sent = 0;
    std::size_t size = head.size() + body.size();
    Enter(Phase::Sending, now, kSendTime + std::chrono::seconds(size / kSendBytesPerSecond));
}

std::string_view PageConnection::Unsent() const {
    if (phase != Phase::Sending) return {};
    if (sent < head.size()) return std::string_view(head).substr(sent);
    return body.substr(sent - head.size());
}

void PageConnection::Sent(std::size_t count, PhoneScanService& service, Clock::time_point now) {
    sent += count;
    if (phase != Phase::Sending || sent < head.size() + body.size()) return;
    ++served;
    // What a kept-alive connection holds between requests: a few hundred bytes.
    // Swapped out, not assigned: an assignment would keep the old buffers.
    {
        WebAnswer none;
        std::swap(answer, none);
        WebRequest nothing;
        std::swap(request, nothing);
    }
    std::string().swap(head);
    body = {};
    if (peerEnded) {
        phase = Phase::Closed;
    } else if (!keepAlive) {
        pending.clear();
        endSending = true;
        Enter(Phase::Closing, now, kClosingTime);
    } else {
        if (pending.empty()) std::string().swap(pending);
        Enter(Phase::Idle, now, kIdleTime);
        Advance(service, now);
    }
}

bool PageConnection::TakeEndOfSending() {
    bool now = endSending;
    endSending = false;
    return now;
}
