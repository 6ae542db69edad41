#include "cli/send_command.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/options.h"
#include "reception/scan_datagram.h"
#include "reception/udp_socket.h"

namespace {

int UsageError(const std::string& message) {
    return CommandUsageError(SendCommand(), message);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == ',') continue;
        int value = HexValue(c);
        if (value < 0) return std::nullopt;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
}

std::optional<long long> ParseNumber(std::string_view text, long long minimum, long long maximum) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 12) return std::nullopt;
    long long value = 0;
    for (char c : text) {
        int digit = HexValue(c);
        if (digit < 0 || digit >= base) return std::nullopt;
        value = value * base + digit;
    }
    if (value < minimum || value > maximum) return std::nullopt;
    return value;
}

const CommandSpec& SendCommand() {
    static const CommandSpec command{
        "send",
        "[CODE...]",
        "  Sends each 44-character CODE as the phone's app does, or the bytes of --hex as\n"
        "  they are.\n",
        {{"--host", "H", "the receiver's IPv4 address (127.0.0.1)"},
         {"--port", "P", "its UDP port (6666)"},
         {"--kind", "1|2|3", "the kind byte: 1 or 2 a slip, 3 an NF-e key (1)"},
         {"--seq", "N", "the long form, numbered N, N+1, ..."},
         {"--hex", "BYTES", "sends these bytes as one datagram instead of codes"},
         {"--repeat", "N", "sends everything N times, for load tests"},
         {"--rate", "PER_SECOND", "at this steady pace"}}};
    return command;
}

int RunSend(const std::vector<std::string>& args) {
    std::string error;
    auto parsed = ParseArguments(args, SendCommand(), error);
    if (!parsed) return UsageError(error);
    auto option = [&](const char* name, const char* fallback) {
        auto found = parsed->options.find(name);
        return found == parsed->options.end() ? std::string(fallback) : found->second;
    };

    std::uint32_t address = 0;
    if (!ParseIPv4(option("--host", "127.0.0.1").c_str(), address)) {
        return UsageError("bad host '" + option("--host", "") + "' (use an IPv4 address)");
    }
    auto port = ParseNumber(option("--port", "6666"), 1, 65535);
    if (!port) return UsageError("bad port '" + option("--port", "") + "' (use 1 to 65535)");
    auto kind = ParseNumber(option("--kind", "1"), 1, 3);
    if (!kind) return UsageError("bad kind '" + option("--kind", "") + "' (use 1, 2 or 3)");
    std::optional<long long> sequence;
    if (parsed->Has("--seq")) {
        sequence = ParseNumber(option("--seq", ""), 0, 0xFFFFFFFFLL);
        if (!sequence) return UsageError("bad sequence number '" + option("--seq", "") + "'");
    }

    // For load tests: everything sent --repeat times, --rate datagrams a second at most.
    auto repeat = ParseNumber(option("--repeat", "1"), 1, 1LL << 40);
    if (!repeat) return UsageError("bad repeat count '" + option("--repeat", "") + "'");
    auto rate = ParseNumber(option("--rate", "0"), 0, 100000000);
    if (!rate) return UsageError("bad rate '" + option("--rate", "") + "'");

    std::vector<std::vector<std::uint8_t>> datagrams;
    if (parsed->Has("--hex")) {
        auto bytes = ParseHexBytes(option("--hex", ""));
        if (!bytes) return UsageError("--hex needs pairs of hex digits");
        datagrams.push_back(*bytes);
    }
    for (const std::string& code : parsed->positional) {
        std::optional<std::uint32_t> number;
        if (sequence) number = static_cast<std::uint32_t>(*sequence + datagrams.size());
        auto datagram = BuildScanDatagram(code, static_cast<int>(*kind), number);
        if (!datagram) {
            return UsageError("'" + code + "' is not 44 characters long (--hex sends any bytes)");
        }
        datagrams.push_back(std::move(*datagram));
    }
    if (datagrams.empty()) return UsageError("nothing to send: give codes or --hex");

    int networkError = 0;
    if (!StartNetwork(networkError)) {
        std::fprintf(stderr, "zentory-cli send: network start failed (%d)\n", networkError);
        return 1;
    }
    UdpSocket socket;
    SocketError socketError;
    bool sent = socket.Open(socketError);
    auto start = std::chrono::steady_clock::now();
    long long number = 0;
    for (long long round = 0; round < *repeat && sent; ++round) {
        for (const auto& datagram : datagrams) {
            if (*rate > 0) {
                std::this_thread::sleep_until(start +
                                              std::chrono::microseconds(number * 1000000 / *rate));
            }
            ++number;
            sent = socket.SendTo(address, static_cast<std::uint16_t>(*port), datagram.data(),
                                 datagram.size(), socketError);
            if (!sent) break;
        }
    }
    socket.Close();
    StopNetwork();
    if (!sent) {
        std::fprintf(stderr, "zentory-cli send: could not send (socket error %d)\n",
                     socketError.number);
        return 1;
    }
    return 0;
}
