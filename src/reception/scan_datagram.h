#pragma once

#include "util/crc16.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The UDP message that carries one scanned code, big-endian fields:
//   0 reserved (0) | 1 kind (1, 2, 3) | 2 code length (44) | 3-4 CRC-16/XMODEM of the code
//   | 5-48 the code | 49 terminator (0) | 50-53 sequence number (long form only)
namespace scan_datagram {
inline constexpr std::size_t kShortLength = 50;
inline constexpr std::size_t kLongLength = 54;
inline constexpr std::size_t kCodeOffset = 5;
inline constexpr std::size_t kCodeLength = 44;
}  // namespace scan_datagram

// A datagram that passed every rule, read in place from the receive buffer.
struct ScanDatagram {
    int kindByte = 0;            // 1, 2 or 3
    std::string_view code;       // up to the first zero byte: 44 characters when well formed
    std::uint32_t sequence = 0;  // 0: no sequence number (and always for the short form)
};

// Checks length (50 or 54), header bytes, terminator and CRC, in that order; nothing
// when a rule fails. The result points into `data`.
std::optional<ScanDatagram> ParseScanDatagram(const std::uint8_t* data, std::size_t size);

// The datagram for a 44-character code: the short form without a sequence number, the
// long form with one. Nothing when the code is not 44 characters long.
std::optional<std::vector<std::uint8_t>> BuildScanDatagram(
    std::string_view code, int kindByte, std::optional<std::uint32_t> sequence = std::nullopt);
