#pragma once

#include <cstddef>
#include <cstdint>

// CRC-16 with the CCITT polynomial 0x1021, nothing reflected, no final XOR, from
// `initial`: 0 is CRC-16/XMODEM (the datagrams' check), 0xFFFF CRC-16/CCITT-FALSE (the
// check of Pix codes).
std::uint16_t Crc16Ccitt(const std::uint8_t* data, std::size_t size, std::uint16_t initial);

inline std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t size) {
    return Crc16Ccitt(data, size, 0);
}
