#include "reception/sender_filter.h"

#include <charconv>

#include "util/debug_trace.h"

namespace {

std::uint32_t HostOrder(std::uint32_t networkOrderAddress) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&networkOrderAddress);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

// A decimal number of at most `maximum`, with no sign, blank or leading zero ("010" might
// mean octal to another program: refused rather than guessed).
bool ParseSmallNumber(std::string_view text, unsigned maximum, unsigned& value) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value <= maximum;
}

// "a.b.c.d", each part 0-255.
bool ParseDottedAddress(std::string_view text, std::uint32_t& hostOrderAddress) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos) return false;
        unsigned value = 0;
        if (!ParseSmallNumber(text.substr(0, dot), 255, value)) return false;
        address = (address << 8) | value;
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    hostOrderAddress = address;
    return text.empty();
}

bool ParseBlock(std::string_view entry, AddressBlock& block) {
    std::size_t slash = entry.find('/');
    unsigned prefix = 32;
    if (slash != std::string_view::npos && !ParseSmallNumber(entry.substr(slash + 1), 32, prefix)) {
        return false;
    }
    std::uint32_t address = 0;
    if (!ParseDottedAddress(entry.substr(0, slash), address)) return false;
    block.mask = prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
    // "10.1.2.3/8" means the block that holds the address: 10.0.0.0/8.
    block.network = address & block.mask;
    return true;
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';';
}

const AddressBlock kPrivateBlocks[] = {
    {0x0A000000, 0xFF000000},  // 10.0.0.0/8
    {0xAC100000, 0xFFF00000},  // 172.16.0.0/12
    {0xC0A80000, 0xFFFF0000},  // 192.168.0.0/16
    {0xA9FE0000, 0xFFFF0000},  // 169.254.0.0/16
    {0x7F000000, 0xFF000000},  // 127.0.0.0/8
};

// Calls `take` with each entry of a list, in order, until it returns false.
template <typename Take>
void ForEachEntry(std::string_view text, Take take) {
    std::size_t position = 0;
    while (position < text.size()) {
        if (IsSeparator(text[position])) {
            ++position;
            continue;
        }
        std::size_t end = position;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        if (!take(text.substr(position, end - position))) return;
        position = end;
    }
}

}  // namespace

bool ParseAddressList(std::string_view text, std::vector<AddressBlock>& blocks,
                      std::string& badEntry) {
    blocks.clear();
    bool parsed = true;
    ForEachEntry(text, [&](std::string_view entry) {
        AddressBlock block;
        if (ParseBlock(entry, block)) {
            blocks.push_back(block);
            return true;
        }
        badEntry.assign(entry);
        parsed = false;
        return false;
    });
    return parsed;
}

SenderFilter ReadSenderFilter(SettingsStore& store) {
    SenderFilterMode mode =
        SenderFilterModeOf(store.ReadRegDword(kSettingsKey, kSenderFilterValue));
    std::vector<AddressBlock> blocks;
    // The dialog never stores a bad entry; one written by hand is left out, and the rest of
    // the list still holds.
    ForEachEntry(store.ReadRegString(kSettingsKey, kAllowedSendersValue).value_or(""),
                 [&](std::string_view entry) {
                     AddressBlock block;
                     if (ParseBlock(entry, block)) {
                         blocks.push_back(block);
                     } else {
                         DebugTrace("[E] AllowedSenders: %.*s\n", static_cast<int>(entry.size()),
                                    entry.data());
                     }
                     return true;
                 });
    return SenderFilter(mode, std::move(blocks));
}

bool IsPrivateNetworkAddress(std::uint32_t networkOrderAddress) {
    std::uint32_t address = HostOrder(networkOrderAddress);
    for (const AddressBlock& block : kPrivateBlocks) {
        if (block.Contains(address)) return true;
    }
    return false;
}

bool SenderFilter::Allows(std::uint32_t networkOrderAddress) const {
    std::uint32_t address = HostOrder(networkOrderAddress);
    if ((address >> 24) == 127) return true;
    switch (mode) {
        case SenderFilterMode::AnyAddress: return true;
        case SenderFilterMode::ListedAddresses:
            for (const AddressBlock& block : listed) {
                if (block.Contains(address)) return true;
            }
            return false;
        default: return IsPrivateNetworkAddress(networkOrderAddress);
    }
}

std::string SenderFilter::Description() const {
    switch (mode) {
        case SenderFilterMode::AnyAddress: return "qualquer endereço";
        case SenderFilterMode::ListedAddresses:
            return listed.empty() ? "somente este computador" : "somente os endereços da lista";
        default: return "redes privadas (casa e escritório)";
    }
}

SenderFilterMode SenderFilterModeOf(std::int32_t storedValue) {
    switch (storedValue) {
        case 0: return SenderFilterMode::AnyAddress;
        case 2: return SenderFilterMode::ListedAddresses;
        default: return SenderFilterMode::PrivateNetworks;
    }
}

void SenderGate::SetFilter(SenderFilter newFilter) {
    std::lock_guard lock(mutex);
    filter = std::move(newFilter);
}

SenderFilter SenderGate::Filter() const {
    std::lock_guard lock(mutex);
    return filter;
}

bool SenderGate::Admit(std::uint32_t networkOrderAddress, bool& firstFromSender) {
    std::lock_guard lock(mutex);
    firstFromSender = false;
    if (filter.Allows(networkOrderAddress)) return true;
    ++activity.refusals;
    // Senders can be forged: past a bound, new ones are no longer told apart.
    if (refusedSenders.size() < kRememberedSenders)
        firstFromSender = refusedSenders.insert(networkOrderAddress).second;
    return false;
}

void SenderGate::NoteAccepted(std::uint32_t networkOrderAddress, const std::string& receivedAt) {
    std::lock_guard lock(mutex);
    activity.lastSender = networkOrderAddress;
    activity.lastReceivedAt = receivedAt;
}

SenderGate::Activity SenderGate::Seen() const {
    std::lock_guard lock(mutex);
    return activity;
}
