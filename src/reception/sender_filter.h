#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_store.h"

// Who may send codes. Anything that reaches the port would otherwise be typed into the
// focused window, a bank page among them: by default only this computer's own networks
// may send.
enum class SenderFilterMode : std::int32_t {
    AnyAddress = 0,
    PrivateNetworks = 1,  // the default, also for a stored value that means nothing
    ListedAddresses = 2,
};

// An IPv4 address or CIDR block, host byte order.
struct AddressBlock {
    std::uint32_t network = 0;
    std::uint32_t mask = 0xFFFFFFFF;
    bool Contains(std::uint32_t hostOrderAddress) const {
        return (hostOrderAddress & mask) == network;
    }
    bool operator==(const AddressBlock&) const = default;
};

// Reads a list of addresses and blocks ("192.168.0.10, 10.1.0.0/16; 203.0.113.7")
// separated by blanks, commas or semicolons. False at the first entry that is neither,
// which `badEntry` then holds; `blocks` holds the entries before it.
bool ParseAddressList(std::string_view text, std::vector<AddressBlock>& blocks,
                      std::string& badEntry);

// 10/8, 172.16/12, 192.168/16, 169.254/16 (link-local) and 127/8 (this computer).
bool IsPrivateNetworkAddress(std::uint32_t networkOrderAddress);

// What the filter does with one sender. Loopback always passes: the simulated reception
// (F9) sends from this computer.
class SenderFilter {
public:
    SenderFilter() = default;
    SenderFilter(SenderFilterMode filterMode, std::vector<AddressBlock> listedBlocks)
        : mode(filterMode), listed(std::move(listedBlocks)) {}

    bool Allows(std::uint32_t networkOrderAddress) const;
    SenderFilterMode Mode() const { return mode; }
    // The filter in words, for the user: "redes privadas (casa e escritório)".
    std::string Description() const;

private:
    SenderFilterMode mode = SenderFilterMode::PrivateNetworks;
    std::vector<AddressBlock> listed;
};

// The mode that a stored "SenderFilter" value stands for: 0, 1 or 2, anything else 1.
SenderFilterMode SenderFilterModeOf(std::int32_t storedValue);

// Registry value names.
inline constexpr const char* kSenderFilterValue = "SenderFilter";
inline constexpr const char* kAllowedSendersValue = "AllowedSenders";

// The filter that "SenderFilter" and "AllowedSenders" hold; entries of the list that are
// not addresses or blocks are left out.
SenderFilter ReadSenderFilter(SettingsStore& store);

// The filter the receiver applies, which the main thread may replace at any time, and
// what the receiver saw: refused datagrams, the last sender that got through.
class SenderGate {
public:
    void SetFilter(SenderFilter filter);
    SenderFilter Filter() const;

    // Applies the filter to one sender. A refusal is counted; `firstFromSender` tells
    // whether it is the first refusal of that address since the program started.
    bool Admit(std::uint32_t networkOrderAddress, bool& firstFromSender);
    // The sender of an accepted code, and when it arrived ("2026/12/07 09:05:03").
    void NoteAccepted(std::uint32_t networkOrderAddress, const std::string& receivedAt);

    struct Activity {
        std::uint64_t refusals = 0;
        std::uint32_t lastSender = 0;  // 0 until a code arrives
        std::string lastReceivedAt;
    };
    Activity Seen() const;

    // How many refused senders are told apart.
    static constexpr std::size_t kRememberedSenders = 1024;

private:
    mutable std::mutex mutex;
    SenderFilter filter;
    std::set<std::uint32_t> refusedSenders;
    Activity activity;
};
