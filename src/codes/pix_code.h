#pragma once

#include <optional>
#include <string>
#include <string_view>

// A Pix code ("Pix Copia e Cola", the QR code on slips and bills): a BR Code, a run of
// fields that are each a two-digit id, a two-digit length and the value.

enum class PixKeyKind { None, Cpf, Cnpj, Phone, Email, Random, Other };

struct PixCode {
    bool valid = false;
    std::string problem;  // why it is invalid, in Windows-1252: "CRC não confere", ...
    std::string name;     // field 59, the receiver (UTF-8 as in the code)
    std::string city;     // field 60
    std::string amount;   // field 54, "1234.56"; empty when the payer chooses
    std::string key;      // field 26's 01; empty for a dynamic code
    PixKeyKind keyKind = PixKeyKind::None;
    std::string location;  // field 26's 25: where the bank fetches a dynamic charge
    std::string txid;      // field 62's 05, "***" when there is none
};

// The longest Pix code taken.
inline constexpr std::size_t kMaxPixBytes = 512;

// Whether `text` looks like a Pix code at all ("000201" first): what is then told is why
// it is invalid, not that it is no code.
bool LooksLikePix(std::string_view text);

// Reads and checks a Pix code: the structure to its end, field 00 "01", field 26 with the
// GUI "br.gov.bcb.pix" and a key or a location, 52, 53 "986", 58 "BR", 59 (at most 25
// characters), 60 (at most 15), 62 with its 05, and last 63 with the CRC-16/CCITT-FALSE
// of everything before its four hex digits. UTF-8 in the texts, and only characters that
// show (no control or format character, no blank but the space, no line separator): the
// problem then names the character and its field. At most kMaxPixBytes.
PixCode ReadPixCode(std::string_view text);

// "CPF", "CNPJ", "telefone", "e-mail", "chave aleatória", "chave" (Windows-1252).
const char* PixKeyKindName(PixKeyKind kind);

// "R$ 1.234,56" of a Pix amount ("1234.56"); "" for none.
std::string PixAmountText(std::string_view amount);

// The bytes that the Pix code at the start of `text` takes: its fields read up to and
// including field 63. 0 when they do not read so.
std::size_t PixCodeLength(std::string_view text);

// What the list shows of a Pix code, in Windows-1252: "Pix: NAME, CITY".
std::string PixListText(const PixCode& pix);

// The key and its kind, "CPF 12345678901", or the location of a dynamic code, in
// Windows-1252.
std::string PixKeyText(const PixCode& pix);

// The line that the exported history and the journal keep of a Pix code: "Pix", the code
// as it is, then the amount ("sem valor" without one), the name and the city, as the code
// holds them; "Pix", the code and "invalido" for an invalid one. The code comes first:
// PixCodeLength tells where it ends, whatever the name holds.
std::string PixSummary(std::string_view code, const PixCode& pix);
