#pragma once

// What the "connect your phone" window tells the user about this computer: the addresses
// to type into the phone, and whether Windows Firewall lets the codes in.

#include <string>
#include <string_view>
#include <vector>

// One IPv4 address of this computer, with its adapter's friendly name (Windows-1252).
struct LocalAddress {
    std::string address;      // dotted, "192.168.0.10"
    std::string adapterName;  // "Wi-Fi", "Ethernet 2"
};

// This computer's IPv4 addresses on adapters that are up, loopback left out, in the order
// the system lists them (the first is the one shown first to the user). Empty on failure.
std::vector<LocalAddress> LocalIPv4Addresses();

enum class FirewallVerdict { Allows, Blocks, Unknown };

struct FirewallCheck {
    FirewallVerdict verdict;
    // Portuguese, for the window: "permite UDP na porta 6666", "desativado",
    // "bloqueia UDP na porta 6666: nenhuma regra de entrada o permite", and exactly
    // "não foi possível verificar" when the firewall cannot be asked.
    std::string text;
};

// Whether Windows Firewall lets UDP in to `executablePath` (Windows-1252) on `port` on
// every current network profile, read through the firewall's COM interfaces. Works
// whether or not the calling thread has initialised COM. Reading the rules of a busy
// firewall can take a fraction of a second: better not called on every paint.
FirewallCheck CheckFirewallForUdp(const std::string& executablePath, int port);

// ----------------------------------------------------------------------------------
// The firewall's answer as plain data, and the decision on it, apart from COM.

// Network profile bits, as the firewall numbers them.
constexpr long kProfileDomain = 0x1;
constexpr long kProfilePrivate = 0x2;
constexpr long kProfilePublic = 0x4;

// Protocol numbers of rules: UDP, and the value of a rule for every protocol.
constexpr long kProtocolUdp = 17;
constexpr long kProtocolAny = 256;

struct FirewallRule {
    std::string name;         // Windows-1252, for the text
    std::string application;  // Windows-1252, may hold %variables%; empty: every program
    std::string serviceName;  // empty or "*": not tied to a service
    long protocol = kProtocolAny;
    std::string localPorts = "*";  // "*", or "6666,7000-7010"
    bool inbound = true;
    bool enabled = true;
    bool allow = true;  // false: a block rule
    long profiles = 0x7FFFFFFF;
};

struct FirewallProfile {
    bool enabled = true;            // false: this profile's firewall is off
    bool blocksAllInbound = false;  // "block all incoming", allow rules included
};

struct FirewallState {
    long currentProfiles = 0;  // kProfile* bits of the networks this computer is on
    FirewallProfile domain, privateNetwork, publicNetwork;
    std::vector<FirewallRule> rules;
};

// The verdict on UDP to `executablePath` on `port` for `state`. Every current profile is
// judged on its own; the computer allows only when all of them do, since the phone may
// arrive through any of its networks.
FirewallCheck JudgeFirewall(const FirewallState& state, const std::string& executablePath,
                            int port);

// Whether a rule's port list ("*", "6666", "6666,7000-7010") holds `port`. Blanks around
// items are allowed; an item that is no port or ascending range of ports holds nothing.
bool PortListIncludes(std::string_view ports, int port);

// Whether a rule's application (empty: every program) is `executablePath`, with
// environment variables such as %ProgramFiles% expanded and case ignored, as the file
// system does.
bool RuleApplicationMatches(const std::string& ruleApplication, const std::string& executablePath);
