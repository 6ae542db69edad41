#include "reception/scan_datagram.h"

#include <algorithm>

using namespace scan_datagram;

std::optional<ScanDatagram> ParseScanDatagram(const std::uint8_t* data, std::size_t size) {
    if (size != kShortLength && size != kLongLength) return std::nullopt;
    if (data[0] != 0 || data[1] < 1 || data[1] > 3 || data[2] != kCodeLength) return std::nullopt;
    if (data[kCodeOffset + kCodeLength] != 0) return std::nullopt;
    std::uint16_t crc = static_cast<std::uint16_t>((data[3] << 8) | data[4]);
    if (crc != Crc16Xmodem(data + kCodeOffset, kCodeLength)) return std::nullopt;

    ScanDatagram datagram;
    datagram.kindByte = data[1];
    const char* code = reinterpret_cast<const char*>(data + kCodeOffset);
    datagram.code = std::string_view(code, std::find(code, code + kCodeLength, '\0') - code);
    if (size == kLongLength) {
        datagram.sequence = (std::uint32_t{data[50]} << 24) | (std::uint32_t{data[51]} << 16) |
                            (std::uint32_t{data[52]} << 8) | std::uint32_t{data[53]};
    }
    return datagram;
}

std::optional<std::vector<std::uint8_t>> BuildScanDatagram(std::string_view code, int kindByte,
                                                           std::optional<std::uint32_t> sequence) {
    if (code.size() != kCodeLength) return std::nullopt;
    std::vector<std::uint8_t> datagram(sequence ? kLongLength : kShortLength, 0);
    datagram[1] = static_cast<std::uint8_t>(kindByte);
    datagram[2] = kCodeLength;
    std::copy(code.begin(), code.end(), datagram.begin() + kCodeOffset);
    std::uint16_t crc = Crc16Xmodem(datagram.data() + kCodeOffset, kCodeLength);
    datagram[3] = static_cast<std::uint8_t>(crc >> 8);
    datagram[4] = static_cast<std::uint8_t>(crc & 0xFF);
    if (sequence) {
        for (int i = 0; i < 4; ++i) {
            datagram[50 + i] = static_cast<std::uint8_t>(*sequence >> (24 - 8 * i));
        }
    }
    return datagram;
}
