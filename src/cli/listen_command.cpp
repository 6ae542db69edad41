#include "cli/listen_command.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

#include "util/json.h"
#include "cli/decode_command.h"
#include "cli/options.h"
#include "reception/host_addresses.h"
#include "tls/certificate_folder.h"
#include "tls/tls_transport.h"
#include "cli/send_command.h"
#include "history/headless_rows.h"
#include "history/history_database.h"
#include "history/history_export.h"
#include "history/history_store.h"
#include "history/journal.h"
#include "reception/endpoint.h"
#include "reception/phone_scan_service.h"
#include "reception/receiver.h"
#include "reception/web_server.h"
#include "settings/memory_settings_store.h"
#include "typing/layouts.h"
#include "util/debug_trace.h"
#include "util/local_time.h"
#include "util/secret_token.h"

namespace {

volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void RequestStop(int) {
    gStopRequested = 1;
}

class StandardErrorMessages : public UserMessages {
public:
    void ShowError(const std::string& text) override {
        std::fprintf(stderr, "zentory-cli listen: %s\n", text.c_str());
    }
};

// Keeps the text that would be typed, instead of pressing keys: per thread, since the
// receiver and the page's server threads each type and then deliver their own code.
class CapturingTyper : public TextTyper {
public:
    bool TypeText(const std::string& text) override {
        Typed() = text;
        return true;
    }
    static std::optional<std::string>& Typed() {
        thread_local std::optional<std::string> typed;
        return typed;
    }
};

// Stores each record in the history and prints it.
class ListenSink : public ReceiverSink {
public:
    ListenSink(HistoryStore& store, long long wanted, SeenCodes& seenCodes, JournalWriter* journal,
               HistoryDatabase* database)
        : history(store), count(wanted), seen(seenCodes), journalWriter(journal), db(database) {}

    void ShowStatus(const std::string& text) override { DebugTrace("%s\n", text.c_str()); }

    void Refuse(std::uint32_t senderAddress) override {
        std::fprintf(stderr, "zentory-cli listen: refused a code from %s (not an allowed sender)\n",
                     FormatIPv4(senderAddress).c_str());
    }

    void Deliver(CodeRecord record) override {
        std::string line;
        {
            auto lock = history.Lock();
            record.firstSeenAt = db ? db->FirstReceivedAt(record.code)
                                    : seen.NoteSighting(record.code, record.receivedAt);
            // On the disk before the line is printed: what was shown is kept.
            if (db && !db->Append({&record}) && !journalFailed) {
                journalFailed = true;
                std::fprintf(stderr, "zentory-cli listen: could not write the database: %s\n",
                             db->LastError().c_str());
            }
            const CodeRecord& stored = history.AppendWithCap(std::move(record), rows);
            line = RecordJson(stored);
            if (journalWriter && !journalWriter->Append(stored) && !journalFailed) {
                journalFailed = true;
                std::fprintf(stderr, "zentory-cli listen: could not write the journal in '%s'\n",
                             journalWriter->Folder().c_str());
            }
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        std::lock_guard lock(mutex);
        ++delivered;
        changed.notify_all();
    }

    // Waits until the wanted count has arrived or a stop was requested.
    void WaitUntilDone() {
        std::unique_lock lock(mutex);
        while (!gStopRequested && (count == 0 || delivered < count)) {
            changed.wait_for(lock, std::chrono::milliseconds(100));
        }
    }

private:
    std::string RecordJson(const CodeRecord& record) {
        JsonObjectWriter json;
        json.Add("index", static_cast<long long>(record.sequenceIndex))
            .Add("item_id", static_cast<long long>(record.listItemId))
            .Add("sender", FormatIPv4(record.senderAddress))
            .Add("valid", record.checkDigitsValid)
            .Add("received_at", record.receivedAt)
            .Add("due", record.dueDate)
            .Add("value", record.value)
            .Add("typeable", record.typeable);
        // The code, and what was typed of it, are UTF-8 for a Pix code; the rest is
        // Windows-1252.
        bool pix = record.kind == CodeKind::Pix;
        auto addCodeText = [&](std::string_view key, std::string_view text) {
            if (pix)
                json.AddUtf8(key, text);
            else
                json.Add(key, text);
        };
        addCodeText("code", record.code);
        json.Add("kind_letter", record.kindLetter)
            .Add("kind", static_cast<long long>(record.kind))
            .Add("first_seen", record.firstSeenAt);
        if (pix) AddPixFields(json, record.code, ReadPixCode(record.code));
        if (auto& typed = CapturingTyper::Typed()) addCodeText("typed", *typed);
        CapturingTyper::Typed().reset();
        return json.Finish();
    }

    HistoryStore& history;
    HeadlessHistoryRows rows;
    long long count;
    long long delivered = 0;
    SeenCodes& seen;
    JournalWriter* journalWriter;
    HistoryDatabase* db;
    bool journalFailed = false;  // told once
    std::mutex mutex;
    std::condition_variable changed;
};

// "any", "local" or a list of addresses and blocks.
bool ParseAllowOption(const std::string& text, SenderFilter& filter, std::string& error) {
    if (text == "any") {
        filter = SenderFilter(SenderFilterMode::AnyAddress, {});
    } else if (text == "local") {
        filter = SenderFilter(SenderFilterMode::PrivateNetworks, {});
    } else {
        std::vector<AddressBlock> blocks;
        std::string bad;
        if (!ParseAddressList(text, blocks, bad) || blocks.empty()) {
            error = bad.empty() ? "--allow needs any, local or addresses"
                                : "bad address '" + bad + "' for --allow";
            return false;
        }
        filter = SenderFilter(SenderFilterMode::ListedAddresses, std::move(blocks));
    }
    return true;
}

int UsageError(const std::string& message) {
    return CommandUsageError(ListenCommand(), message);
}

}  // namespace

const CommandSpec& ListenCommand() {
    static const CommandSpec command{
        "listen",
        "",
        "  Receives like Zentory, without windows: one JSON line per accepted code, with the\n"
        "  text the injection mode would type. Ends after --count codes or on Ctrl+C.\n",
        {{"--port", "P", "the UDP port (6666)"},
         {"--mode", "0-4", "the injection mode whose text each line shows (1)"},
         {"--custom-separators", "N", "the custom layout's separators, a bit per gap (0)"},
         {"--count", "N", "ends after N codes (0: never)"},
         {"--allow", "any|local|LIST",
          "who may send: any address, local networks (the default), or addresses and CIDR "
          "blocks such as \"203.0.113.7,198.51.100.0/24\""},
         {"--http", "PORT",
          "also serves the phone's page on this TCP port (0: a free one); its address goes "
          "to standard error"},
         {"--token", "TOKEN", "the page's pairing secret, 32 hex digits (a new one if not given)"},
         {"--certs", "DIR",
          "with --http, the page also answers TLS on its port, with the authority (DIR/ca.pem) "
          "and the server's certificate kept in DIR, made on first use"},
         {"--prefer-pix", "", "the page sends a slip's Pix QR code rather than its barcode"},
         {"--db", "FILE",
          "keeps every code in the history database FILE (made when missing), on the disk "
          "before the code is printed; codes of its whole history are read before"},
         {"--journal", "DIR",
          "with --db, reads DIR's monthly journals into the database once; without it, "
          "appends every code to DIR's monthly journal, and warns of the codes of its last "
          "90 days"},
         {"--export", "FILE", "at the end, writes the history to FILE (CSV when it ends in .csv)"},
         {"--trace", "", "shows the traces on standard error"}}};
    return command;
}

int RunListen(const std::vector<std::string>& args) {
    std::string error;
    auto parsed = ParseArguments(args, ListenCommand(), error);
    if (!parsed) return UsageError(error);
    if (!parsed->positional.empty())
        return UsageError("unexpected '" + parsed->positional[0] + "'");
    auto number = [&](const char* name, const char* fallback, long long minimum,
                      long long maximum) -> std::optional<long long> {
        auto found = parsed->options.find(name);
        std::string text = found == parsed->options.end() ? fallback : found->second;
        auto value = ParseNumber(text, minimum, maximum);
        if (!value) error = std::string("bad value '") + text + "' for " + name;
        return value;
    };
    auto port = number("--port", "6666", 1, 65535);
    auto mode = number("--mode", "1", 0, 4);
    // Ten bits, one per gap of the typeable lines.
    auto separators = number("--custom-separators", "0", 0, 1023);
    auto count = number("--count", "0", 0, 1LL << 40);
    auto httpPort = number("--http", "0", 0, 65535);
    if (!port || !mode || !separators || !count || !httpPort) return UsageError(error);
    std::string token = parsed->Has("--token") ? parsed->options.find("--token")->second : "";
    if (parsed->Has("--token") && !IsWellFormedToken(token))
        return UsageError("bad token for --token (use 32 hex digits)");
    auto allow = parsed->options.find("--allow");
    SenderFilter filter;
    if (allow != parsed->options.end() && !ParseAllowOption(allow->second, filter, error))
        return UsageError(error);

    // The settings the program would hold, as if read from the registry.
    MemorySettingsStore store;
    store.WriteRegDword(kSettingsKey, kUdpPortValue, static_cast<std::int32_t>(*port));
    store.WriteRegDword(kSettingsKey, kInjectionModeValue, static_cast<std::int32_t>(*mode));
    store.WriteRegDword(kSettingsKey, kCustomSeparatorsValue,
                        static_cast<std::int32_t>(*separators));
    Settings settings;
    LoadSettings(store, settings);
    EnableTraceToStandardError(parsed->Has("--trace"));

    int networkError = 0;
    if (!StartNetwork(networkError)) {
        std::fprintf(stderr, "zentory-cli listen: WSAStartup error %d\n", networkError);
        return -1;
    }
    UdpSocket socket;
    StandardErrorMessages messages;
    if (!OpenEndpoint(socket, settings.udpPort, messages)) {
        StopNetwork();
        return -1;
    }

    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    HistoryStore history;
    CapturingTyper typer;
    KeyboardInjector injector(settings, store, typer);
    // The journal's codes are known before the first datagram, so that first_seen holds
    // from the start.
    SeenCodes seen;
    std::unique_ptr<JournalWriter> journal;
    std::unique_ptr<HistoryDatabase> db;
    if (parsed->Has("--db")) {
        const std::string& file = parsed->options.find("--db")->second;
        db = std::make_unique<HistoryDatabase>();
        std::string problem, aside;
        if (!db->Open(file, problem, &aside)) {
            std::fprintf(stderr, "zentory-cli listen: could not open the database '%s': %s\n",
                         file.c_str(), problem.c_str());
            StopNetwork();
            return 1;
        }
        if (!aside.empty())
            std::fprintf(stderr, "zentory-cli listen: '%s' was damaged: kept as '%s'\n",
                         file.c_str(), aside.c_str());
        if (parsed->Has("--journal") &&
            db->ImportJournals(parsed->options.find("--journal")->second) < 0)
            std::fprintf(stderr, "zentory-cli listen: the journals were not read: %s\n",
                         db->LastError().c_str());
    } else if (parsed->Has("--journal")) {
        const std::string& folder = parsed->options.find("--journal")->second;
        seen.Load(folder, TodayLocal());
        journal = std::make_unique<JournalWriter>(folder);
    }
    ListenSink sink(history, *count, seen, journal.get(), db.get());
    SenderGate gate;
    gate.SetFilter(filter);
    Receiver receiver(socket, settings.udpPort, sink, &injector, &gate);
    receiver.Start();
    // The page only with --http: its files, a token and the server are made for it alone.
    std::unique_ptr<PhoneScanService> scans;
    TlsServerIdentity identity;  // outlives the server that uses it
    std::unique_ptr<WebServer> web;
    if (parsed->Has("--http")) {
        if (token.empty()) token = NewSecretToken();
        scans = std::make_unique<PhoneScanService>(sink, &injector, gate, PhonePageFiles());
        scans->SetToken(token);
        scans->SetPreferPix(parsed->Has("--prefer-pix"));
        web = std::make_unique<WebServer>(*scans);
        if (parsed->Has("--certs")) {
            std::string problem;
            auto authority = LoadPageIdentity(parsed->options.find("--certs")->second,
                                              HostIPv4Addresses(), SecondsNow(), identity, problem);
            if (!authority) {
                std::fprintf(stderr, "zentory-cli listen: %s\n", problem.c_str());
                receiver.Stop();
                socket.Close();
                StopNetwork();
                return -1;
            }
            web->UseTls(&identity);
            scans->SetAuthority(*authority);
        }
        std::string webError;
        if (!web->Start(static_cast<int>(*httpPort), webError)) {
            std::fprintf(stderr, "zentory-cli listen: %s\n", webError.c_str());
            receiver.Stop();
            socket.Close();
            StopNetwork();
            return -1;
        }
        std::fprintf(stderr, "zentory-cli listen: page at %s\n",
                     PhonePageAddress("127.0.0.1", web->Port(), token).c_str());
    }
    sink.WaitUntilDone();
    if (web) web->Stop();
    receiver.Stop();
    socket.Close();
    StopNetwork();

    if (parsed->Has("--export")) {
        const std::string& path = parsed->options.find("--export")->second;
        bool written = WriteHistoryExport(path, history, TodayLocal());
        if (!written) {
            std::fprintf(stderr, "zentory-cli listen: could not write the history to '%s'\n",
                         path.c_str());
            return 1;
        }
    }
    return 0;
}
