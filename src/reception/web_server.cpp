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
#include <utility>
#include <vector>

#include "reception/page_connection.h"
#include "reception/tcp_socket.h"
#include "tls/tls_transport.h"
#include "util/debug_trace.h"

namespace {

using Clock = PageConnection::Clock;
using Phase = PageConnection::Phase;

// A burst of connections (a browser opens six at once, a flood many more) waits in the
// system's queue for the loop, which sorts each at once, instead of being refused at the
// door and tried again a second later.
constexpr int kListenBacklog = 64;
// The connections taken from that queue in one round, before the others are served again.
constexpr int kAcceptsPerRound = 64;
// When a connection cannot be taken (no descriptor left), the next try waits this long.
constexpr std::chrono::milliseconds kAcceptPause{50};
// The loop looks at the clock at least this often.
constexpr std::chrono::milliseconds kLongestWait{1000};
// The scans that may wait for a worker.
constexpr std::size_t kScansWaiting = 32;

// A few workers and a short waiting line for the scans. Workers start when scans wait
// and no worker is free, and end after a while without work: an idle page holds no
// worker, and what a phone's visit cost is given back after it.
class BoundedWorkers {
public:
    static constexpr std::chrono::seconds kIdleEnd{10};

    BoundedWorkers(int workers, std::size_t waiting) : maxWorkers(workers), maxWaiting(waiting) {}

    // Queues a job for a worker; false when the line is full.
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
                if (jobs.size() > static_cast<std::size_t>(idle) &&
                    static_cast<int>(working.size()) < maxWorkers)
                    StartWorker();
            }
        }
        JoinAll(toJoin);
        return queued;
    }

    // Drops the jobs that wait, and waits for those in progress.
    void Shutdown() {
        std::list<Worker> all;
        {
            std::unique_lock lock(mutex);
            stopping = true;
            // A scan that waits is not typed after the page has gone: only the one in
            // progress ends. Its phone has no answer, and its nonce is spent.
            jobs.clear();
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

// What one address's connections hold.
struct Share {
    int connections = 0;
    std::size_t bytes = 0;
};

struct Client {
    Client(std::unique_ptr<TcpConnection> accepted, std::uint32_t sender, std::uint64_t serial,
           Clock::time_point now)
        : socket(std::move(accepted)), exchange(sender, now), id(serial) {}

    std::unique_ptr<TcpConnection> socket;
    PageConnection exchange;
    std::uint64_t id;  // names it to the worker that answers its scan
    // The same port serves plain HTTP and TLS, told apart by the connection's first byte.
    bool decided = false;
    std::unique_ptr<TlsTransport> tls;
    bool endPending = false;  // the end of sending waits for the last ciphertext to go
};

bool WaitsForClient(Phase phase) {
    return phase != Phase::Working && phase != Phase::Closed;
}

// A sender that the filter refuses gets its short answer as it connects, and is closed:
// it never waits in the list. What it sent already is read first, so that closing does
// not reset the connection before its system has the answer.
void RefuseAtTheDoor(TcpConnection& socket, const WebAnswer& refusal) {
    char dropped[4096];
    for (int reads = 0; reads < 4 && socket.Read(dropped, sizeof dropped) > 0; ++reads) {
    }
    std::string bytes = AnswerHead(refusal, false) + refusal.body;
    (void)socket.Write(bytes.data(), bytes.size());
    socket.EndSending();
}

}  // namespace

struct WebServer::Running {
    Running(PhoneScanService& scans, TlsServerIdentity* tlsIdentity)
        : service(scans), identity(tlsIdentity) {}

    void Loop();

    PhoneScanService& service;
    TlsServerIdentity* identity;  // none: plain HTTP alone
    TcpListener listener;
    SocketWaker waker;
    BoundedWorkers workers{WebServer::kScanWorkers, kScansWaiting};
    std::atomic<bool> stopping{false};

    // Scans' answers that the workers made, for the loop to send.
    std::mutex answeredMutex;
    std::vector<std::pair<std::uint64_t, WebAnswer>> answered;

private:
    // Everything below is the loop thread's alone.
    void Serve(Client& client, const PollEntry& ready, Clock::time_point now);
    // Sends what the socket takes; false when its buffer is full.
    bool Send(Client& client, Clock::time_point now);
    // A TLS connection: the plaintext that its records hold, to the exchange, as far as it
    // takes it; and the ciphertext waiting for the socket (false while it is full).
    void Decrypt(Client& client, Clock::time_point now);
    bool Flush(Client& client);
    void Dispatch(Client& client, Clock::time_point now);
    void TakeAnswers(Clock::time_point now);
    void AcceptWaiting(Clock::time_point now);
    std::size_t ReadRoom(const Client& client) const;
    // Ends the connection that has waited longest for its client: an idle one first,
    // or, when `forBytes`, the one whose unfinished request holds bytes.
    bool MakeRoom(bool forBytes);
    void CloseEnded(Clock::time_point now);
    std::vector<std::unique_ptr<Client>>::iterator Remove(
        std::vector<std::unique_ptr<Client>>::iterator which);

    // Keeps the shares' bytes up to date across a change of the client's exchange.
    template <typename Change>
    void Tracked(Client& client, Change change) {
        std::size_t before = client.exchange.HeldBytes();
        change();
        std::size_t after = client.exchange.HeldBytes();
        shares[client.exchange.Sender()].bytes += after - before;
        bytesHeld += after - before;
    }

    std::vector<std::unique_ptr<Client>> clients;
    std::map<std::uint32_t, Share> shares;
    std::size_t bytesHeld = 0;
    std::uint64_t nextId = 1;
    Clock::time_point acceptAgainAt;
    char chunk[16384];
};

void WebServer::Running::Loop() {
    std::vector<PollEntry> entries;
    std::vector<Client*> polled;
    while (!stopping.load()) {
        Clock::time_point now = Clock::now();
        TakeAnswers(now);
        CloseEnded(now);
        entries.clear();
        polled.clear();
        entries.push_back({waker.Handle(), true, false});
        bool accepting = now >= acceptAgainAt;
        if (accepting) entries.push_back({listener.Handle(), true, false});
        Clock::time_point wakeAt = accepting ? now + kLongestWait : acceptAgainAt;
        for (const auto& client : clients) {
            const PageConnection& exchange = client->exchange;
            wakeAt = std::min(wakeAt, exchange.Deadline());
            bool read = ReadRoom(*client) > 0;
            bool write = exchange.CurrentPhase() == Phase::Sending ||
                         (client->tls && !client->tls->Outgoing().empty());
            if (!read && !write) continue;
            entries.push_back({client->socket->Handle(), read, write});
            polled.push_back(client.get());
        }
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now);
        if (!PollSockets(entries, std::clamp(wait, std::chrono::milliseconds(0), kLongestWait))) {
            // Should the wait itself fail, the loop does not spin on it.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (stopping.load()) break;
        now = Clock::now();
        if (entries[0].readable) waker.Drain();
        std::size_t first = accepting ? 2 : 1;
        for (std::size_t i = 0; i < polled.size(); ++i)
            Serve(*polled[i], entries[first + i], now);
        CloseEnded(now);
        if (accepting && entries[1].readable) AcceptWaiting(now);
    }
    while (!clients.empty())
        Remove(clients.end() - 1);
}

std::size_t WebServer::Running::ReadRoom(const Client& client) const {
    const PageConnection& exchange = client.exchange;
    std::size_t room = exchange.ReadRoom();
    // What a closing connection reads is dropped at once.
    if (room == 0 || exchange.CurrentPhase() == Phase::Closing) return room;
    auto share = shares.find(exchange.Sender());
    std::size_t held = share == shares.end() ? 0 : share->second.bytes;
    room = std::min(room, held < kBytesPerAddress ? kBytesPerAddress - held : 0);
    return std::min(room, bytesHeld < kBytesInAll ? kBytesInAll - bytesHeld : 0);
}

void WebServer::Running::Serve(Client& client, const PollEntry& ready, Clock::time_point now) {
    PageConnection& exchange = client.exchange;
    if (ready.readable) {
        std::size_t room = ReadRoom(client);
        if (room > 0) {
            long got = client.socket->Read(chunk, std::min(room, sizeof chunk));
            if (got > 0 && !client.decided) {
                client.decided = true;
                if (identity && StartsTls(static_cast<unsigned char>(chunk[0])))
                    client.tls = std::make_unique<TlsTransport>(*identity);
            }
            if (got == 0) {
                Tracked(client, [&] { exchange.PeerEnded(); });
            } else if (got == TcpConnection::kFailed) {
                Tracked(client, [&] { exchange.Close(); });
            } else if (got > 0 && client.tls) {
                client.tls->Arrived(std::string_view(chunk, static_cast<std::size_t>(got)));
                Decrypt(client, now);
            } else if (got > 0) {
                Tracked(client, [&] {
                    exchange.Received(std::string_view(chunk, static_cast<std::size_t>(got)),
                                      service, now);
                });
            }
            if (exchange.CurrentPhase() == Phase::Working) Dispatch(client, now);
        }
    }
    // A new answer is sent at once, without a round of waiting for room.
    if (exchange.CurrentPhase() == Phase::Sending && !Send(client, now) && ready.hungUp)
        Tracked(client, [&] { exchange.Close(); });
    if (client.tls && !Flush(client) && ready.hungUp) Tracked(client, [&] { exchange.Close(); });
}

void WebServer::Running::Decrypt(Client& client, Clock::time_point now) {
    PageConnection& exchange = client.exchange;
    std::string plaintext;
    // The handshake's own messages come out here too, before any plaintext.
    if (!client.tls->Decrypt(plaintext, std::max<std::size_t>(ReadRoom(client), 1)))
        Tracked(client, [&] { exchange.PeerEnded(); });
    if (!plaintext.empty()) Tracked(client, [&] { exchange.Received(plaintext, service, now); });
    Flush(client);
}

bool WebServer::Running::Flush(Client& client) {
    TlsTransport& tls = *client.tls;
    while (!tls.Outgoing().empty()) {
        std::string_view waiting = tls.Outgoing();
        long wrote = client.socket->Write(waiting.data(), waiting.size());
        if (wrote == TcpConnection::kFailed) {
            Tracked(client, [&] { client.exchange.Close(); });
            return true;
        }
        if (wrote == 0) return false;
        tls.Written(static_cast<std::size_t>(wrote));
    }
    if (client.endPending) {
        client.endPending = false;
        client.socket->EndSending();
    }
    return true;
}

bool WebServer::Running::Send(Client& client, Clock::time_point now) {
    PageConnection& exchange = client.exchange;
    while (exchange.CurrentPhase() == Phase::Sending) {
        std::string_view unsent = exchange.Unsent();
        long wrote;
        if (client.tls) {
            // Sent once it is in records; the records go out as the socket takes them.
            wrote = static_cast<long>(client.tls->Encrypt(unsent));
            bool flushed = Flush(client);
            if (exchange.CurrentPhase() == Phase::Closed) return true;
            if (client.tls->Failed()) {
                Tracked(client, [&] { exchange.Close(); });
                return true;
            }
            if (wrote == 0) return flushed;
        } else {
            wrote = client.socket->Write(unsent.data(), unsent.size());
        }
        if (wrote == TcpConnection::kFailed) {
            Tracked(client, [&] { exchange.Close(); });
            return true;
        }
        if (wrote == 0) return false;
        Tracked(client, [&] { exchange.Sent(static_cast<std::size_t>(wrote), service, now); });
        if (exchange.TakeEndOfSending()) {
            if (client.tls) {
                client.tls->Close();
                client.endPending = true;
                Flush(client);
            } else {
                client.socket->EndSending();
            }
        }
        // The next request may have come with the last one, in the TLS records too.
        if (client.tls && client.tls->HoldsCiphertext() && ReadRoom(client) > 0)
            Decrypt(client, now);
        if (exchange.CurrentPhase() == Phase::Working) Dispatch(client, now);
    }
    return true;
}

void WebServer::Running::Dispatch(Client& client, Clock::time_point now) {
    PageConnection& exchange = client.exchange;
    const WebRequest& request = exchange.Request();
    if (request.method == "POST" && request.path == "/scan") {
        // A scan stores and types its code: a worker answers it, and the loop goes on.
        bool queued = workers.TryQueue([this, id = client.id, request] {
            WebAnswer made = service.Handle(request);
            {
                std::lock_guard lock(answeredMutex);
                answered.emplace_back(id, std::move(made));
            }
            waker.Wake();
        });
        if (!queued) Tracked(client, [&] { exchange.Answer(PlainAnswer(503, "busy"), now); });
        return;
    }
    Tracked(client, [&] { exchange.Answer(service.Handle(request), now); });
}

void WebServer::Running::TakeAnswers(Clock::time_point now) {
    std::vector<std::pair<std::uint64_t, WebAnswer>> taken;
    {
        std::lock_guard lock(answeredMutex);
        taken.swap(answered);
    }
    for (auto& answer : taken) {
        auto found = std::find_if(clients.begin(), clients.end(),
                                  [&](const auto& client) { return client->id == answer.first; });
        if (found == clients.end() || (*found)->exchange.CurrentPhase() != Phase::Working) continue;
        Client& client = **found;
        Tracked(client, [&] { client.exchange.Answer(std::move(answer.second), now); });
        Send(client, now);
    }
}

void WebServer::Running::AcceptWaiting(Clock::time_point now) {
    for (int accepted = 0; accepted < kAcceptsPerRound; ++accepted) {
        std::unique_ptr<TcpConnection> socket = listener.Accept();
        if (!socket) {
            if (accepted == 0) acceptAgainAt = now + kAcceptPause;
            return;
        }
        std::uint32_t address = socket->PeerAddress();
        WebAnswer refusal;
        if (!service.AdmitSender(address, refusal)) {
            RefuseAtTheDoor(*socket, refusal);
            continue;
        }
        auto share = shares.find(address);
        if (share != shares.end() && share->second.connections >= kConnectionsPerAddress) continue;
        if (clients.size() >= static_cast<std::size_t>(kConnections) && !MakeRoom(false)) continue;
        clients.push_back(std::make_unique<Client>(std::move(socket), address, nextId++, now));
        ++shares[address].connections;
    }
}

bool WebServer::Running::MakeRoom(bool forBytes) {
    auto chosen = clients.end();
    bool chosenIdle = false;
    for (auto it = clients.begin(); it != clients.end(); ++it) {
        const PageConnection& exchange = (*it)->exchange;
        Phase phase = exchange.CurrentPhase();
        if (!WaitsForClient(phase)) continue;
        if (forBytes && (phase == Phase::Sending || exchange.HeldBytes() == 0)) continue;
        bool idle = !forBytes && phase == Phase::Idle;
        if (chosen == clients.end() || (idle && !chosenIdle) ||
            (idle == chosenIdle && exchange.Since() < (*chosen)->exchange.Since())) {
            chosen = it;
            chosenIdle = idle;
        }
    }
    if (chosen == clients.end()) return false;
    Remove(chosen);
    return true;
}

void WebServer::Running::CloseEnded(Clock::time_point now) {
    for (auto it = clients.begin(); it != clients.end();) {
        const PageConnection& exchange = (*it)->exchange;
        bool ended = exchange.CurrentPhase() == Phase::Closed || now >= exchange.Deadline();
        it = ended ? Remove(it) : it + 1;
    }
    // With the bytes of all taken, nobody reads: the longest-waiting unfinished request
    // gives way.
    if (bytesHeld >= kBytesInAll) MakeRoom(true);
}

std::vector<std::unique_ptr<Client>>::iterator WebServer::Running::Remove(
    std::vector<std::unique_ptr<Client>>::iterator which) {
    const PageConnection& exchange = (*which)->exchange;
    auto share = shares.find(exchange.Sender());
    if (share != shares.end()) {
        share->second.bytes -= exchange.HeldBytes();
        bytesHeld -= exchange.HeldBytes();
        if (--share->second.connections <= 0) shares.erase(share);
    }
    return clients.erase(which);
}

WebServer::WebServer(PhoneScanService& scans) : service(scans) {}

WebServer::~WebServer() {
    Stop();
}

bool WebServer::Start(int port, std::string& error) {
    Stop();
    auto started = std::make_unique<Running>(service, tlsIdentity);
    SocketError socketError;
    if (port < 0 || port > 65535 ||
        !started->listener.Listen(static_cast<std::uint16_t>(port), kListenBacklog, socketError)) {
        error = "a porta " + std::to_string(port) + " TCP está em uso";
        boundPort = -1;
        return false;
    }
    if (!started->waker.Open(socketError)) {
        error = "não foi possível iniciar o servidor da página";
        return false;
    }
    boundPort = started->listener.LocalPort();
    try {
        thread = std::thread([&run = *started] { run.Loop(); });
    } catch (const std::system_error&) {
        error = "não foi possível iniciar o servidor da página";
        return false;
    }
    running = std::move(started);
    DebugTrace("Phone page on port %d TCP\n", boundPort);
    return true;
}

void WebServer::Stop() {
    if (!running) return;
    running->stopping = true;
    running->waker.Wake();
    if (thread.joinable()) thread.join();
    running->workers.Shutdown();
    running.reset();
}

void ServeRawRequest(PhoneScanService& service, const std::string& bytes,
                     const std::string& sender) {
    std::uint32_t address = 0;
    if (!ParseIPv4(sender.c_str(), address)) address = 0;
    Clock::time_point now = Clock::now();
    PageConnection exchange(address, now);
    // The bytes arrive in pieces of a few sizes; what is sent back is dropped.
    std::string_view rest = bytes;
    for (;;) {
        switch (exchange.CurrentPhase()) {
            case Phase::Working: exchange.Answer(service.Handle(exchange.Request()), now); break;
            case Phase::Sending: exchange.Sent(exchange.Unsent().size(), service, now); break;
            case Phase::Closing:
            case Phase::Closed: return;
            default: {
                std::size_t taken =
                    std::min({exchange.ReadRoom(), rest.size(), 1 + rest.size() % 1500});
                if (taken == 0) return;
                exchange.Received(rest.substr(0, taken), service, now);
                rest.remove_prefix(taken);
            }
        }
    }
}
