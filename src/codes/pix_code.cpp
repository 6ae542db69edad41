#include "codes/pix_code.h"

#include <cctype>
#include <cstdio>
#include <map>

#include "util/crc16.h"
#include "util/text_encoding.h"

namespace {

// The length of a field counts characters: a UTF-8 text's bytes past the first of each
// character do not count. Returns the bytes that `characters` characters from `at` take,
// or nothing when the text ends first.
std::optional<std::size_t> BytesOfCharacters(std::string_view text, std::size_t at,
                                             std::size_t characters) {
    std::size_t end = at;
    while (characters > 0) {
        if (end >= text.size()) return std::nullopt;
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
        --characters;
    }
    return end - at;
}

std::size_t Characters(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// The field at `at`: its id and the bytes of its value; nothing when it is cut short.
struct FieldAt {
    std::string_view id;
    std::string_view value;
};
std::optional<FieldAt> ReadField(std::string_view text, std::size_t at) {
    if (at + 4 > text.size()) return std::nullopt;
    for (std::size_t i = at; i < at + 4; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    auto characters = static_cast<std::size_t>((text[at + 2] - '0') * 10 + (text[at + 3] - '0'));
    std::optional<std::size_t> bytes = BytesOfCharacters(text, at + 4, characters);
    if (!bytes) return std::nullopt;
    return FieldAt{text.substr(at, 2), text.substr(at + 4, *bytes)};
}

// The fields of a run, by id; false when a field is cut short or an id repeats.
bool ReadFields(std::string_view text, std::map<std::string, std::string>& fields,
                std::string* lastId = nullptr) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::optional<FieldAt> field = ReadField(text, at);
        if (!field) return false;
        if (!fields.emplace(std::string(field->id), std::string(field->value)).second) return false;
        if (lastId) *lastId = std::string(field->id);
        at += 4 + field->value.size();
    }
    return true;
}

bool AllDigitsText(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool IsUuid(std::string_view text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

PixKeyKind KindOfKey(std::string_view key) {
    if (key.empty()) return PixKeyKind::None;
    if (key.size() == 11 && AllDigitsText(key)) return PixKeyKind::Cpf;
    if (key.size() == 14 && AllDigitsText(key)) return PixKeyKind::Cnpj;
    if (key.size() >= 13 && key.substr(0, 3) == "+55" && AllDigitsText(key.substr(3)))
        return PixKeyKind::Phone;
    if (key.find('@') != std::string_view::npos) return PixKeyKind::Email;
    if (IsUuid(key)) return PixKeyKind::Random;
    return PixKeyKind::Other;
}

// "1234.56", "10", "0.5": digits, then a dot and one or two digits.
bool IsAmount(std::string_view text) {
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    if (!AllDigitsText(whole)) return false;
    if (dot == std::string_view::npos) return true;
    std::string_view cents = text.substr(dot + 1);
    return !cents.empty() && cents.size() <= 2 && AllDigitsText(cents);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Characters that do not show as themselves: controls (C0, DEL, C1), format characters
// (the soft hyphen, the zero-width ones, the marks, embeddings, overrides and isolates that
// turn text around), every blank but the plain space, the line and paragraph separators,
// surrogates, private use, and the planes that hold nothing but tags and unassigned points.
// A code's texts are printable: one of these typed into the bank's window would make what
// is paid differ from what the person read.
struct CharacterRange {
    char32_t first;
    char32_t last;
};
constexpr CharacterRange kUnprintable[] = {
    {0x0000, 0x001F},    // C0 controls
    {0x007F, 0x00A0},    // DEL, C1 controls, no-break space
    {0x00AD, 0x00AD},    // soft hyphen
    {0x0600, 0x0605},    // Arabic number signs
    {0x061C, 0x061C},    // Arabic letter mark
    {0x06DD, 0x06DD},    // Arabic end of ayah
    {0x070F, 0x070F},    // Syriac abbreviation mark
    {0x0890, 0x0891},    // Arabic pound and piastre marks
    {0x08E2, 0x08E2},    // Arabic disputed end of ayah
    {0x1680, 0x1680},    // Ogham space
    {0x180E, 0x180E},    // Mongolian vowel separator
    {0x2000, 0x200F},    // spaces of other widths, zero-width ones, direction marks
    {0x2028, 0x202F},    // line and paragraph separators, embeddings, overrides, narrow space
    {0x205F, 0x206F},    // math space, word joiner, invisible operators, isolates
    {0x3000, 0x3000},    // ideographic space
    {0xD800, 0xF8FF},    // surrogates, private use
    {0xFDD0, 0xFDEF},    // noncharacters
    {0xFEFF, 0xFEFF},    // byte order mark
    {0xFFF0, 0xFFFB},    // interlinear annotation
    {0x110BD, 0x110BD},  // Kaithi number sign
    {0x110CD, 0x110CD},  // Kaithi number sign above
    {0x13430, 0x1343F},  // Egyptian hieroglyph joiners
    {0x1BCA0, 0x1BCA3},  // shorthand format controls
    {0x1D173, 0x1D17A},  // musical formatting
    {0x40000, 0xE00FF},  // unassigned planes, tags
    {0xE01F0, 0x10FFFF}  // unassigned, private use
};

bool IsPrintable(char32_t c) {
    if ((c & 0xFFFE) == 0xFFFE) return false;  // the two noncharacters that end each plane
    for (const CharacterRange& range : kUnprintable)
        if (c >= range.first && c <= range.last) return false;
    return true;
}

// The fields whose values are runs of fields themselves: the accounts (26 to 51, Pix's
// among them), the additional data (62), the alternate language (64) and the free ones.
bool IsTemplateId(std::string_view id) {
    int number = (id[0] - '0') * 10 + (id[1] - '0');
    return (number >= 26 && number <= 51) || number == 62 || number == 64 || number >= 80;
}

// The field of the run `text` whose value holds byte `at`; nothing when the fields do not
// read up to it.
std::optional<FieldAt> FieldHolding(std::string_view text, std::size_t at) {
    for (std::size_t start = 0; start <= at;) {
        std::optional<FieldAt> field = ReadField(text, start);
        if (!field) return std::nullopt;
        start += 4 + field->value.size();
        if (at < start) return field;
    }
    return std::nullopt;
}

// The first character that does not show as itself, as a problem that names it and the
// field that holds it, so that whoever checks the code with its sender knows where to look:
// "caractere não imprimível U+202E no campo 59". Empty when every character shows.
std::string UnprintableCharacter(std::string_view text) {
    std::size_t at = 0;
    char32_t character = 0;
    for (std::size_t next = 0; next < text.size(); at = next) {
        character = NextUtf8Character(text, next);
        if (!IsPrintable(character)) break;
    }
    if (at == text.size()) return {};
    char problem[96];
    int length = std::snprintf(problem, sizeof problem, "caractere n\xE3o imprim\xEDvel U+%04X",
                               static_cast<unsigned>(character));
    std::string where(problem, static_cast<std::size_t>(length));
    std::optional<FieldAt> field = FieldHolding(text, at);
    if (!field) return where;
    std::optional<FieldAt> inner;
    if (IsTemplateId(field->id)) {
        auto valueAt = static_cast<std::size_t>(field->value.data() - text.data());
        inner = FieldHolding(field->value, at - valueAt);
    }
    if (inner)
        where += " no subcampo " + std::string(inner->id) + " do campo " + std::string(field->id);
    else
        where += " no campo " + std::string(field->id);
    return where;
}

PixCode Invalid(PixCode code, std::string problem) {
    code.valid = false;
    code.problem = std::move(problem);
    return code;
}

}  // namespace

bool LooksLikePix(std::string_view text) {
    return text.substr(0, 6) == "000201";
}

PixCode ReadPixCode(std::string_view text) {
    PixCode code;
    if (text.size() > kMaxPixBytes) return Invalid(code, "mais de 512 bytes");
    if (!IsUtf8(text)) return Invalid(code, "texto n\xE3o \xE9 UTF-8");
    if (std::string unprintable = UnprintableCharacter(text); !unprintable.empty())
        return Invalid(code, std::move(unprintable));
    std::map<std::string, std::string> fields;
    std::string lastId;
    if (!ReadFields(text, fields, &lastId)) return Invalid(code, "estrutura incompleta");
    auto field = [&](const char* id) -> const std::string* {
        auto found = fields.find(id);
        return found == fields.end() ? nullptr : &found->second;
    };
    if (const std::string* name = field("59")) code.name = *name;
    if (const std::string* city = field("60")) code.city = *city;
    if (const std::string* amount = field("54")) code.amount = *amount;

    // The CRC first: a code that came through whole tells the rest truly.
    const std::string* crc = field("63");
    if (!crc || lastId != "63") return Invalid(code, "campo 63 (CRC) ausente");
    if (crc->size() != 4) return Invalid(code, "CRC malformado");
    std::size_t covered = text.size() - 4;
    std::uint16_t computed =
        Crc16Ccitt(reinterpret_cast<const std::uint8_t*>(text.data()), covered, 0xFFFF);
    char hex[5];
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < 4; ++i)
        hex[i] = kHex[(computed >> (12 - 4 * i)) & 0xF];
    hex[4] = '\0';
    if (!EqualsIgnoringCase(*crc, hex)) return Invalid(code, "CRC n\xE3o confere");

    const std::string* format = field("00");
    if (!format || *format != "01" || text.substr(0, 2) != "00")
        return Invalid(code, "campo 00 n\xE3o \xE9 01");
    const std::string* account = field("26");
    std::map<std::string, std::string> pix;
    if (!account || !ReadFields(*account, pix)) return Invalid(code, "campo 26 ausente");
    auto gui = pix.find("00");
    if (gui == pix.end() || !EqualsIgnoringCase(gui->second, "br.gov.bcb.pix"))
        return Invalid(code, "campo 26 n\xE3o \xE9 do Pix");
    if (auto key = pix.find("01"); key != pix.end()) code.key = key->second;
    if (auto location = pix.find("25"); location != pix.end()) code.location = location->second;
    if (code.key.empty() && code.location.empty())
        return Invalid(code, "campo 26 sem chave nem localiza\xE7\xE3o");
    code.keyKind = KindOfKey(code.key);
    if (!field("52")) return Invalid(code, "campo 52 ausente");
    const std::string* currency = field("53");
    if (!currency || *currency != "986") return Invalid(code, "campo 53 n\xE3o \xE9 986");
    if (!code.amount.empty() && !IsAmount(code.amount)) return Invalid(code, "valor malformado");
    const std::string* country = field("58");
    if (!country || *country != "BR") return Invalid(code, "campo 58 n\xE3o \xE9 BR");
    if (!field("59")) return Invalid(code, "campo 59 ausente");
    if (Characters(code.name) > 25) return Invalid(code, "campo 59 longo demais");
    if (!field("60")) return Invalid(code, "campo 60 ausente");
    if (Characters(code.city) > 15) return Invalid(code, "campo 60 longo demais");
    const std::string* additional = field("62");
    std::map<std::string, std::string> extra;
    if (!additional || !ReadFields(*additional, extra) || extra.count("05") == 0)
        return Invalid(code, "campo 62 sem txid");
    code.txid = extra["05"];
    code.valid = true;
    return code;
}

const char* PixKeyKindName(PixKeyKind kind) {
    switch (kind) {
        case PixKeyKind::Cpf: return "CPF";
        case PixKeyKind::Cnpj: return "CNPJ";
        case PixKeyKind::Phone: return "telefone";
        case PixKeyKind::Email: return "e-mail";
        case PixKeyKind::Random: return "chave aleat\xF3ria";
        case PixKeyKind::Other: return "chave";
        case PixKeyKind::None: break;
    }
    return "";
}

std::string PixAmountText(std::string_view amount) {
    if (amount.empty()) return {};
    std::size_t dot = amount.find('.');
    std::string whole(amount.substr(0, dot));
    std::string cents = dot == std::string_view::npos ? "" : std::string(amount.substr(dot + 1));
    while (cents.size() < 2)
        cents += '0';
    while (whole.size() > 1 && whole[0] == '0')
        whole.erase(0, 1);
    std::string grouped;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) grouped += '.';
        grouped += whole[i];
    }
    return "R$ " + grouped + "," + cents;
}

std::size_t PixCodeLength(std::string_view text) {
    if (!LooksLikePix(text)) return 0;
    for (std::size_t at = 0; at < text.size() && at < kMaxPixBytes;) {
        std::optional<FieldAt> field = ReadField(text, at);
        if (!field) return 0;
        at += 4 + field->value.size();
        if (field->id == "63") return at;
    }
    return 0;
}

std::string PixListText(const PixCode& pix) {
    if (pix.name.empty() && pix.city.empty()) return "Pix";
    std::string text = "Pix: " + Utf8ToWindows1252(pix.name);
    if (!pix.city.empty()) text += ", " + Utf8ToWindows1252(pix.city);
    return text;
}

std::string PixKeyText(const PixCode& pix) {
    if (pix.key.empty())
        return "cobran\xE7"
               "a em " +
               Utf8ToWindows1252(pix.location);
    return std::string(PixKeyKindName(pix.keyKind)) + " " + Utf8ToWindows1252(pix.key);
}

std::string PixSummary(std::string_view code, const PixCode& pix) {
    std::string summary = "Pix ";
    summary += code;
    if (!pix.valid) return summary + " invalido";
    summary += ' ';
    summary += pix.amount.empty() ? std::string("sem valor") : PixAmountText(pix.amount);
    summary += ' ';
    summary += pix.name;
    summary += ", ";
    summary += pix.city;
    return summary;
}
