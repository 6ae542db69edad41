#include "reception/web_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "reception/http_request.h"
#include "reception/tcp_socket.h"
#include "util/debug_trace.h"

namespace {

constexpr std::chrono::seconds kTimeout{WebServer::kTimeoutSeconds};
// A kept-alive connection serves this many requests, then closes.
constexpr int kRequestsPerConnection = 20;
// A burst of connections (a browser opens six at once, a flood many more) waits in the
// system's queue for the accepting thread, which sorts each at once, instead of being
// refused at the door and tried again a second later.
constexpr int kListenBacklog = 64;
// A refused body is read and dropped up to this much, so that the client, still sending,
// gets the answer instead of a reset connection.
constexpr std::size_t kDroppedBodyLimit = 1 << 20;

// A few workers and a short waiting line for the accepted connections. Workers start
// when connections wait and no worker is free, and end after a while without work: an
// idle page holds no worker, and what a phone's visit cost is given back after it.
class BoundedWorkers {
public:
    static constexpr std::chrono::seconds kIdleEnd{10};

    BoundedWorkers(int workers, std::size_t waiting) : maxWorkers(workers), maxWaiting(waiting) {}

    // Queues a connection for a worker; false when the line is full.
    bool TryQueue(std::function<void()> job) {
        std::list<Worker> toJoin;
        bool queued = false;
        {
            std::lock_guard lock(mutex);
            toJoin.splice(toJoin.end(), finished);
            if (jobs.size() < maxWaiting) {
                jobs.push_back(std::move(job));
                queued = true;
                ready.notify_one();
                // A worker holds a kept-alive connection until it ends: every waiting
                // connection needs a free worker of its own, up to the most.
                if (jobs.size() > static_cast<std::size_t>(idle) &&
                    static_cast<int>(working.size()) < maxWorkers)
                    StartWorker();
            }
        }
        JoinAll(toJoin);
        return queued;
    }

    // Waits for the connections in progress and those waiting.
    void Shutdown() {
        std::list<Worker> all;
        {
            std::unique_lock lock(mutex);
            stopping = true;
            ready.notify_all();
            ended.wait(lock, [&] { return working.empty(); });
            all.splice(all.end(), finished);
        }
        JoinAll(all);
    }

private:
    struct Worker {
        std::thread thread;
    };

    // With the mutex held. A worker that cannot be started leaves the job to the others;
    // with none, it waits for the next start.
    void StartWorker() {
        working.emplace_back();
        auto self = std::prev(working.end());
        try {
            self->thread = std::thread([this, self] { Work(self); });
        } catch (const std::system_error&) {
            working.erase(self);
            DebugTrace("[E] page worker not started\n");
        }
    }

    void Work(std::list<Worker>::iterator self) {
        std::unique_lock lock(mutex);
        for (;;) {
            ++idle;
            bool woken = ready.wait_for(lock, kIdleEnd, [&] { return stopping || !jobs.empty(); });
            --idle;
            if (jobs.empty() && (stopping || !woken)) break;
            if (jobs.empty()) continue;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
        // Joined by the next queueing or by the shutdown, once this thread has let go.
        finished.splice(finished.end(), working, self);
        ended.notify_all();
    }

    static void JoinAll(std::list<Worker>& workers) {
        for (Worker& worker : workers)
            if (worker.thread.joinable()) worker.thread.join();
        workers.clear();
    }

    const int maxWorkers;
    const std::size_t maxWaiting;
    std::mutex mutex;
    std::condition_variable ready;
    std::condition_variable ended;  // a worker has ended
    std::deque<std::function<void()>> jobs;
    std::list<Worker> working;   // started, not yet ended
    std::list<Worker> finished;  // ended, not yet joined
    int idle = 0;
    bool stopping = false;
};

// The connections that each address holds now.
class ConnectionCounts {
public:
    bool Enter(std::uint32_t address) {
        std::lock_guard lock(mutex);
        int& held = counts[address];
        if (held >= WebServer::kConnectionsPerAddress) {
            return false;
        }
        ++held;
        return true;
    }
    void Leave(std::uint32_t address) {
        std::lock_guard lock(mutex);
        auto found = counts.find(address);
        if (found != counts.end() && --found->second <= 0) counts.erase(found);
    }

private:
    std::mutex mutex;
    std::map<std::uint32_t, int> counts;
};

// One connection's bytes as the server reads and writes them: a socket's, or the fuzzer's.
class RequestChannel {
public:
    virtual ~RequestChannel() = default;
    // As TcpConnection::Receive.
    virtual long Receive(char* buffer, std::size_t size, SocketClock::time_point deadline) = 0;
    // Whether a (next) request starts to arrive before a kept-alive connection is given up.
    virtual bool AwaitRequest(const std::atomic<bool>& stopping) = 0;
    virtual bool Send(const char* data, std::size_t size) = 0;
};

class SocketChannel : public RequestChannel {
public:
    explicit SocketChannel(TcpConnection& socket) : connection(socket) {}

    long Receive(char* buffer, std::size_t size, SocketClock::time_point deadline) override {
        return connection.Receive(buffer, size, deadline);
    }
    bool AwaitRequest(const std::atomic<bool>& stopping) override {
        // In short steps, so that stopping the server does not wait for idle connections.
        constexpr std::chrono::milliseconds kStep{200};
        for (auto waited = std::chrono::milliseconds(0); waited < kTimeout; waited += kStep) {
            if (stopping.load()) return false;
            if (connection.WaitReadable(kStep)) return true;
        }
        return false;
    }
    bool Send(const char* data, std::size_t size) override {
        return connection.SendAll(data, size, kTimeout);
    }

private:
    TcpConnection& connection;
};

// Reads more of the connection's bytes into `pending`; false when none come by `deadline`.
bool ReadMore(RequestChannel& channel, std::string& pending, SocketClock::time_point deadline) {
    char chunk[4096];
    long got = channel.Receive(chunk, sizeof chunk, deadline);
    if (got <= 0) return false;
    pending.append(chunk, static_cast<std::size_t>(got));
    return true;
}

// Takes `length` bytes of body from `pending` and the connection into `kept`, or drops
// them as they come when it is null; false when they do not come by `deadline`.
bool TakeBody(RequestChannel& channel, std::string& pending, std::size_t length,
              SocketClock::time_point deadline, std::string* kept) {
    while (pending.size() < length) {
        if (!kept && !pending.empty()) {
            length -= pending.size();
            pending.clear();
        }
        if (!ReadMore(channel, pending, deadline)) return false;
    }
    if (kept) kept->assign(pending, 0, length);
    pending.erase(0, length);
    return true;
}

// The answer's status line, headers and body. A file's bytes are written straight from
// the embedded ones, in as many sends as the client's pace needs; nothing is copied.
bool SendAnswer(RequestChannel& channel, const WebAnswer& answer, bool headOnly, bool keepAlive) {
    std::string head =
        "HTTP/1.1 " + std::to_string(answer.status) + " " + StatusReason(answer.status) + "\r\n";
    head += "Cache-Control: ";
    head += answer.cacheControl;
    head += "\r\nX-Content-Type-Options: nosniff\r\nAccept-Ranges: none\r\n";
    std::string_view body = answer.body;
    if (const WebAsset* asset = answer.asset) {
        head += "ETag: ";
        head += asset->etag;
        head += "\r\nVary: Accept-Encoding\r\n";
        if (answer.status == 200) head += "Content-Encoding: gzip\r\n";
        // A 304's length is the one a 200 would have.
        body = answer.status == 200
                   ? std::string_view(reinterpret_cast<const char*>(asset->data), asset->size)
                   : std::string_view();
        head += "Content-Length: " + std::to_string(asset->size) + "\r\n";
    } else {
        head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    if (answer.status != 304) head += "Content-Type: " + answer.contentType + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    if (headOnly) body = {};
    if (body.size() <= 16384) {
        head += body;
        return channel.Send(head.data(), head.size());
    }
    return channel.Send(head.data(), head.size()) && channel.Send(body.data(), body.size());
}

// Serves the requests of one connection from `sender` until it closes, fails, times out,
// or has had its share.
void ServeConnection(RequestChannel& channel, std::uint32_t sender, PhoneScanService& service,
                     const std::atomic<bool>& stopping) {
    std::string pending;  // what has arrived of the next request
    for (int served = 0; served < kRequestsPerConnection; ++served) {
        if (pending.empty() && !channel.AwaitRequest(stopping)) return;
        // What the request reads (its head and its short body) must arrive by one deadline
        // in all, however it trickles in.
        SocketClock::time_point deadline = SocketClock::now() + kTimeout;
        std::size_t headEnd;
        while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos) {
            if (pending.size() >= kRequestHeadLimit) {
                SendAnswer(channel, PlainAnswer(431, "head too long"), false, false);
                return;
            }
            if (!ReadMore(channel, pending, deadline)) return;
        }
        HttpRequestHead head;
        int status = ParseRequestHead(std::string_view(pending).substr(0, headEnd), head);
        pending.erase(0, headEnd + 4);
        if (status != 0) {
            SendAnswer(channel, PlainAnswer(status, StatusReason(status)), false, false);
            return;
        }
        bool keepAlive =
            head.KeepAlive() && served + 1 < kRequestsPerConnection && !stopping.load();
        // Who may ask, before anything of the request's body is kept.
        WebAnswer answer;
        bool admitted = service.Admit(sender, answer);
        bool tooLong = head.contentLength > kScanBodyLimit;
        if (!admitted || tooLong) {
            if (admitted) answer = PlainAnswer(413, "body too long");
            bool dropped = head.contentLength <= kDroppedBodyLimit &&
                           TakeBody(channel, pending, head.contentLength, deadline, nullptr);
            keepAlive = keepAlive && dropped && !tooLong;
        } else {
            WebRequest asked;
            if (!TakeBody(channel, pending, head.contentLength, deadline, &asked.body)) return;
            asked.method = head.method;
            asked.path = head.path;
            asked.kind = head.QueryValue("k");
            asked.nonce = head.QueryValue("n");
            asked.proof = head.QueryValue("p");
            asked.acceptEncoding = head.Header("accept-encoding");
            asked.ifNoneMatch = head.Header("if-none-match");
            asked.sender = sender;
            answer = service.Handle(asked);
        }
        if (!SendAnswer(channel, answer, head.method == "HEAD", keepAlive) || !keepAlive) return;
    }
}

// The fuzzer's connection: its bytes arrive in pieces of a few sizes, and what is sent
// back is dropped.
class MemoryChannel : public RequestChannel {
public:
    explicit MemoryChannel(std::string_view bytes) : rest(bytes) {}

    long Receive(char* buffer, std::size_t size, SocketClock::time_point) override {
        std::size_t taken = std::min({size, rest.size(), std::size_t{1} + rest.size() % 1500});
        std::copy_n(rest.data(), taken, buffer);
        rest.remove_prefix(taken);
        return static_cast<long>(taken);
    }
    bool AwaitRequest(const std::atomic<bool>&) override { return !rest.empty(); }
    bool Send(const char*, std::size_t) override { return true; }

private:
    std::string_view rest;
};

}  // namespace

struct WebServer::Running {
    TcpListener listener;
    BoundedWorkers workers{WebServer::kWorkers, 16};
    ConnectionCounts connections;
    std::atomic<bool> stopping{false};
};

WebServer::WebServer(PhoneScanService& scans) : service(scans) {}

WebServer::~WebServer() {
    Stop();
}

bool WebServer::Start(int port, std::string& error) {
    Stop();
    auto started = std::make_unique<Running>();
    SocketError socketError;
    if (port < 0 || port > 65535 ||
        !started->listener.Listen(static_cast<std::uint16_t>(port), kListenBacklog, socketError)) {
        error = "a porta " + std::to_string(port) + " TCP está em uso";
        boundPort = -1;
        return false;
    }
    boundPort = started->listener.LocalPort();
    try {
        thread = std::thread([this, &run = *started] { AcceptConnections(run); });
    } catch (const std::system_error&) {
        error = "não foi possível iniciar o servidor da página";
        return false;
    }
    running = std::move(started);
    DebugTrace("Phone page on port %d TCP\n", boundPort);
    return true;
}

// Sorts each accepted connection at once, on this thread: closed when its address holds
// its share already or the waiting line is full, else queued for a worker.
void WebServer::AcceptConnections(Running& run) {
    while (std::unique_ptr<TcpConnection> accepted = run.listener.Accept()) {
        std::uint32_t address = accepted->PeerAddress();
        if (!run.connections.Enter(address)) continue;
        std::shared_ptr<TcpConnection> connection = std::move(accepted);
        bool queued = run.workers.TryQueue([this, &run, connection, address] {
            SocketChannel channel(*connection);
            ServeConnection(channel, address, service, run.stopping);
            connection->Close();
            run.connections.Leave(address);
        });
        if (!queued) run.connections.Leave(address);
    }
}

void WebServer::Stop() {
    if (!running) return;
    running->stopping = true;
    running->listener.Interrupt();
    if (thread.joinable()) thread.join();
    running->workers.Shutdown();
    running.reset();
}

void ServeRawRequest(PhoneScanService& service, const std::string& bytes,
                     const std::string& sender) {
    std::uint32_t address = 0;
    if (!ParseIPv4(sender.c_str(), address)) address = 0;
    MemoryChannel channel(bytes);
    std::atomic<bool> stopping{false};
    ServeConnection(channel, address, service, stopping);
}
