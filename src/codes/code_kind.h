#pragma once

#include <cstdint>
#include <string_view>

// What a received code is. The values travel in datagrams and are stored in records.
enum class CodeKind : std::int32_t {
    BankSlip = 1,        // "B"
    CollectionSlip = 2,  // "C", shown to users as "Concessionaria"
    NfeKey = 3,          // "N"
    Pix = 4,             // "P": from the phone page and the clipboard, never a datagram
};

// The kind byte of a datagram only tells invoice keys (3) from payment slips (1, 2);
// between the two slip kinds the code decides: a first character '8' is a collection
// slip, anything else a bank slip. 4, which no datagram carries, is a Pix code.
CodeKind EffectiveKind(int kindByte, std::string_view code);

// The kind byte that stands for a Pix code where codes are told by kind bytes.
inline constexpr int kPixKindByte = 4;

// "B", "C", "N" or "P".
const char* KindLetter(CodeKind kind);
