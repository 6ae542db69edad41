#include "util/crc16.h"

std::uint16_t Crc16Ccitt(const std::uint8_t* data, std::size_t size, std::uint16_t initial) {
    // Byte-wise without a table.
    std::uint16_t crc = initial;
    for (std::size_t i = 0; i < size; ++i) {
        crc = static_cast<std::uint16_t>((crc >> 8) | (crc << 8));
        crc ^= data[i];
        crc ^= static_cast<std::uint16_t>((crc & 0xFF) >> 4);
        crc ^= static_cast<std::uint16_t>(crc << 12);
        crc ^= static_cast<std::uint16_t>((crc & 0xFF) << 5);
    }
    return crc;
}
