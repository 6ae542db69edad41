#include "reception/scan_datagram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kSample[] = "00092473500000830004240405000030000226026703";

std::vector<std::uint8_t> Sample(std::optional<std::uint32_t> sequence = std::nullopt) {
    return *BuildScanDatagram(kSample, 1, sequence);
}

bool Accepted(const std::vector<std::uint8_t>& bytes) {
    return ParseScanDatagram(bytes.data(), bytes.size()).has_value();
}

// Rewrites the CRC after the code was changed in place.
void Reseal(std::vector<std::uint8_t>& bytes) {
    std::uint16_t crc = Crc16Xmodem(bytes.data() + 5, 44);
    bytes[3] = static_cast<std::uint8_t>(crc >> 8);
    bytes[4] = static_cast<std::uint8_t>(crc);
}

}  // namespace

TEST(Crc16Xmodem, CheckValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()),
              0x31C3);
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(kSample), 44), 0x5EC4);
    EXPECT_EQ(Crc16Xmodem(nullptr, 0), 0);
    // CRC-16/CCITT-FALSE, as Pix codes carry it.
    EXPECT_EQ(
        Crc16Ccitt(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size(), 0xFFFF),
        0x29B1);
}

TEST(ScanDatagram, BuildsTheWorkedExample) {
    auto bytes = Sample();
    ASSERT_EQ(bytes.size(), 50u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 5),
              (std::vector<std::uint8_t>{0x00, 0x01, 0x2C, 0x5E, 0xC4}));
    EXPECT_EQ(std::string(bytes.begin() + 5, bytes.begin() + 49), kSample);
    EXPECT_EQ(bytes[49], 0);

    auto numbered = Sample(7);
    ASSERT_EQ(numbered.size(), 54u);
    EXPECT_EQ(std::vector<std::uint8_t>(numbered.begin() + 50, numbered.end()),
              (std::vector<std::uint8_t>{0, 0, 0, 7}));
    EXPECT_FALSE(BuildScanDatagram("123", 1));
}

TEST(ScanDatagram, AcceptsBothFormsAndReadsTheSequence) {
    auto bytes = Sample();
    auto parsed = ParseScanDatagram(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->kindByte, 1);
    EXPECT_EQ(parsed->code, kSample);
    EXPECT_EQ(parsed->sequence, 0u);

    auto numbered = Sample(0x01020304);
    EXPECT_EQ(ParseScanDatagram(numbered.data(), numbered.size())->sequence, 0x01020304u);
    EXPECT_EQ(ParseScanDatagram(Sample(0).data(), 54)->sequence, 0u);  // same as the short form
}

TEST(ScanDatagram, DropsEveryBrokenRule) {
    auto good = Sample(9);
    for (std::size_t size : {0, 49, 51, 52, 53, 55}) {
        std::vector<std::uint8_t> bytes = good;
        bytes.resize(size, 0);
        EXPECT_FALSE(Accepted(bytes)) << size;
    }
    auto broken = [&](std::size_t offset, std::uint8_t value) {
        std::vector<std::uint8_t> bytes = good;
        bytes[offset] = value;
        return bytes;
    };
    EXPECT_FALSE(Accepted(broken(0, 1)));  // reserved byte
    EXPECT_FALSE(Accepted(broken(1, 0)));  // kind
    EXPECT_FALSE(Accepted(broken(1, 4)));
    EXPECT_FALSE(Accepted(broken(2, 43)));  // code length
    EXPECT_FALSE(Accepted(broken(2, 45)));
    EXPECT_FALSE(Accepted(broken(49, 1)));    // terminator, CRC still right
    EXPECT_FALSE(Accepted(broken(10, '7')));  // code damaged in transit
    // The CRC stored low byte first.
    std::vector<std::uint8_t> swapped = good;
    std::swap(swapped[3], swapped[4]);
    EXPECT_FALSE(Accepted(swapped));
    EXPECT_TRUE(Accepted(broken(1, 3)));
}

TEST(ScanDatagram, TheCodeIsNotCheckedCharacterByCharacter) {
    auto letters = Sample();
    letters[20] = 'A';
    Reseal(letters);
    ASSERT_TRUE(Accepted(letters));
    EXPECT_EQ(ParseScanDatagram(letters.data(), 50)->code[15], 'A');

    // A zero byte inside the code ends the code text there.
    auto zero = Sample();
    zero[5 + 10] = 0;
    Reseal(zero);
    auto parsed = ParseScanDatagram(zero.data(), 50);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->code, std::string(kSample, 10));
}
