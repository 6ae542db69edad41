#include "history/code_record.h"

#include <cstdio>
#include <cstring>

std::string FormatIPv4(std::uint32_t networkOrderAddress) {
    unsigned char bytes[4];
    std::memcpy(bytes, &networkOrderAddress, sizeof bytes);  // network order is memory order
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

std::string SenderText(const CodeRecord& record) {
    return record.fromClipboard ? "\xE1rea de transfer\xEAncia" : FormatIPv4(record.senderAddress);
}
