#include "reception/web_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// A burst of connections (a browser opens six at once, a flood many more) waits in the
// system's queue for the accepting thread, which sorts each at once, instead of being
// refused at the door and tried again a second later.
#define CPPHTTPLIB_LISTEN_BACKLOG 64
#include <httplib.h>
#include "util/debug_trace.h"

namespace {

// A few workers and a short waiting line. The library hands each accepted connection to
// `enqueue`, which lets the server sort it on the accepting thread first. Workers start
// when connections wait and no worker is free, and end after a while without work: an
// idle page holds no worker, and what a phone's visit cost is given back after it.
class BoundedWorkers : public httplib::TaskQueue {
public:
    static constexpr std::chrono::seconds kIdleEnd{10};

    BoundedWorkers(int workers, std::size_t waiting) : maxWorkers(workers), maxWaiting(waiting) {}

    // Called on the accepting thread with each connection it has accepted: the server
    // sorts it there at once (closed, or queued with TryQueue); it never serves one.
    void enqueue(std::function<void()> job) override { job(); }

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
    void shutdown() override {
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

// The IPv4 address at the other end of a connection; 0 for anything else.
std::uint32_t PeerAddress(socket_t sock) {
    sockaddr_storage peer = {};
    socklen_t length = sizeof peer;
    if (getpeername(sock, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.ss_family != AF_INET)
        return 0;
    return reinterpret_cast<const sockaddr_in&>(peer).sin_addr.s_addr;
}

// A connection's stream for one request: what the request reads (its head and its short
// body) must arrive by one deadline in all, however it trickles in; writing has its own
// time-out per send.
class DeadlineStream : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    DeadlineStream(socket_t socket, time_t writeTimeoutSeconds, Clock::time_point readDeadline)
        : sock(socket),
          writer(socket, WebServer::kTimeoutSeconds, 0, writeTimeoutSeconds, 0),
          deadline(readDeadline) {}

    bool is_readable() const override { return used < filled || WaitReadable(); }
    bool is_writable() const override { return writer.is_writable(); }

    ssize_t read(char* ptr, size_t size) override {
        if (used == filled) {
            if (!WaitReadable()) return -1;
            ssize_t got = httplib::detail::read_socket(sock, buffer, sizeof buffer, 0);
            if (got <= 0) return got;
            used = 0;
            filled = static_cast<std::size_t>(got);
        }
        std::size_t taken = std::min(size, filled - used);
        std::memcpy(ptr, buffer + used, taken);
        used += taken;
        return static_cast<ssize_t>(taken);
    }
    ssize_t write(const char* ptr, size_t size) override { return writer.write(ptr, size); }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        writer.get_remote_ip_and_port(ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        writer.get_local_ip_and_port(ip, port);
    }
    socket_t socket() const override { return sock; }

private:
    bool WaitReadable() const {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        return httplib::detail::select_read(sock, static_cast<time_t>(left.count() / 1000000),
                                            static_cast<time_t>(left.count() % 1000000)) > 0;
    }

    socket_t sock;
    httplib::detail::SocketStream writer;
    Clock::time_point deadline;
    char buffer[4096];
    std::size_t used = 0;
    std::size_t filled = 0;
};

std::uint32_t SenderOf(const httplib::Request& request) {
    std::uint32_t address = 0;
    // Anything else (an IPv6 peer cannot reach an IPv4 socket) counts as 0.0.0.0, which
    // no filter but "any address" lets through.
    if (!ParseIPv4(request.remote_addr.c_str(), address)) address = 0;
    return address;
}

// Every value of a list header, as one: "a, b" on two lines means "a, b" on one.
std::string HeaderList(const httplib::Request& request, const char* name) {
    std::string list;
    auto [first, last] = request.headers.equal_range(name);
    for (auto header = first; header != last; ++header)
        list += (list.empty() ? "" : ", ") + header->second;
    return list;
}

void Send(const WebAnswer& answer, httplib::Response& response) {
    response.status = answer.status;
    response.set_header("Cache-Control", answer.cacheControl);
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Accept-Ranges", "none");
    if (!answer.asset) {
        response.set_content(answer.body, answer.contentType.c_str());
        return;
    }
    const WebAsset& asset = *answer.asset;
    response.set_header("ETag", asset.etag);
    response.set_header("Vary", "Accept-Encoding");
    if (answer.status != 200) {
        // A 304's length is the one a 200 would have; the library would otherwise say 0.
        response.set_header("Content-Length", std::to_string(asset.size));
        return;
    }
    response.set_header("Content-Encoding", "gzip");
    // Written straight from the embedded bytes, in as many sends as the client's pace
    // needs, each within the write timeout; nothing is copied.
    response.set_content_provider(
        asset.size, answer.contentType,
        [&asset](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (offset >= asset.size) return false;
            return sink.write(reinterpret_cast<const char*>(asset.data) + offset,
                              std::min(length, asset.size - offset));
        });
}

// No request gets a range: the page needs none, and the library's range arithmetic trusts
// the client's numbers, which a file written from the embedded bytes must not.
void TakeWhole(httplib::Request& request) {
    request.ranges.clear();
}

// The server with its routes; a subclass, so that the fuzzer can feed it raw requests.
class PageServer : public httplib::Server {
public:
    explicit PageServer(PhoneScanService& scans) : service(scans) {
        set_read_timeout(WebServer::kTimeoutSeconds, 0);
        set_write_timeout(WebServer::kTimeoutSeconds, 0);
        set_keep_alive_timeout(WebServer::kTimeoutSeconds);
        set_keep_alive_max_count(20);
        set_payload_max_length(kScanBodyLimit);
        new_task_queue = [this] {
            workers = new BoundedWorkers(WebServer::kWorkers, 16);
            return workers;
        };
        // Who may ask, before anything of the request's body is read.
        set_pre_routing_handler(
            [this](const httplib::Request& request, httplib::Response& response) {
                WebAnswer refusal;
                if (service.Admit(SenderOf(request), refusal)) return HandlerResponse::Unhandled;
                Send(refusal, response);
                return HandlerResponse::Handled;
            });
        auto handle = [this](const httplib::Request& request, httplib::Response& response) {
            WebRequest asked;
            asked.method = request.method;
            asked.path = request.path;
            asked.kind = request.get_param_value("k");
            asked.nonce = request.get_param_value("n");
            asked.proof = request.get_param_value("p");
            asked.body = request.body;
            asked.acceptEncoding = HeaderList(request, "Accept-Encoding");
            asked.ifNoneMatch = HeaderList(request, "If-None-Match");
            asked.sender = SenderOf(request);
            Send(service.Handle(asked), response);
        };
        Get(".*", handle);
        Post(".*", handle);
    }

    void Feed(const std::string& bytes, const std::string& sender) {
        httplib::detail::BufferStream stream;
        stream.write(bytes.data(), bytes.size());
        bool closed = false;
        process_request(stream, true, closed, [&](httplib::Request& request) {
            TakeWhole(request);
            request.remote_addr = sender;
        });
    }

private:
    // The library's, but with a cap on each address's connections (sorted on the
    // accepting thread, before a connection takes a place in the waiting line), one
    // deadline for each request's head and every request taken whole.
    bool process_and_close_socket(socket_t sock) override {
        std::uint32_t address = PeerAddress(sock);
        if (connections.Enter(address)) {
            if (workers && workers->TryQueue([this, sock, address] { Serve(sock, address); }))
                return true;
            connections.Leave(address);
        }
        Close(sock);
        return false;
    }

    bool Serve(socket_t sock, std::uint32_t address) {
        bool served = httplib::detail::process_server_socket_core(
            svr_sock_, sock, keep_alive_max_count_, keep_alive_timeout_sec_,
            [&](bool closeConnection, bool& closed) {
                DeadlineStream stream(sock, write_timeout_sec_,
                                      DeadlineStream::Clock::now() +
                                          std::chrono::seconds(WebServer::kTimeoutSeconds));
                return process_request(stream, closeConnection, closed, TakeWhole);
            });
        connections.Leave(address);
        Close(sock);
        return served;
    }

    static void Close(socket_t sock) {
        httplib::detail::shutdown_socket(sock);
        httplib::detail::close_socket(sock);
    }

    BoundedWorkers* workers = nullptr;  // owned by the library's listening loop
    ConnectionCounts connections;
    PhoneScanService& service;
};

}  // namespace

WebServer::WebServer(PhoneScanService& scans) : service(scans) {}

WebServer::~WebServer() {
    Stop();
}

bool WebServer::Start(int port, std::string& error) {
    Stop();
    server = std::make_unique<PageServer>(service);
    if (port == 0) {
        boundPort = server->bind_to_any_port("0.0.0.0");
    } else {
        boundPort = server->bind_to_port("0.0.0.0", port) ? port : -1;
    }
    if (boundPort <= 0) {
        error = "a porta " + std::to_string(port) + " TCP está em uso";
        server.reset();
        return false;
    }
    try {
        thread = std::thread([this] { server->listen_after_bind(); });
    } catch (const std::system_error&) {
        error = "não foi possível iniciar o servidor da página";
        server.reset();
        return false;
    }
    DebugTrace("Phone page on port %d TCP\n", boundPort);
    return true;
}

void WebServer::Stop() {
    if (!server) return;
    server->stop();
    if (thread.joinable()) thread.join();
    server.reset();
}

void ServeRawRequest(PhoneScanService& service, const std::string& bytes,
                     const std::string& sender) {
    PageServer(service).Feed(bytes, sender);
}
