// Pix codes read field by field. The codes and their CRCs were made by another program,
// and the manual's own example is among them.

#include "codes/pix_code.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "history/csv_export.h"
#include "history/journal.h"
#include "history/selection_total.h"
#include "reception/clipboard_codes.h"
#include "settings/memory_settings_store.h"
#include "test_doubles.h"
#include "typing/layouts.h"
#include "util/crc16.h"
#include "util/text_encoding.h"

namespace {

const char kManualExample[] =
    "00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-4266554400005204000053039865802BR"
    "5913Fulano de Tal6008BRASILIA62070503***63041D3D";
// A CPF key, an amount and a txid.
const char kCpf[] =
    "00020126330014br.gov.bcb.pix01111234567890952040000530398654071234.565802BR5913Fulano de "
    "Tal6008BRASILIA62120508PEDIDO426304F902";
// A dynamic code: a location, no key.
const char kDynamic[] =
    "00020126550014br.gov.bcb.pix2533pix.exemplo.com.br/qr/v2/9d36b84f52040000530398658"
    "02BR5913Fulano de Tal6008BRASILIA62070503***63047F6A";
// UTF-8 in the name and the city: their lengths count characters.
const char kUtf8[] =
    "00020126730014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-4266554400000211Mensalidade520400"
    "00530398654030.55802BR5909Jos\xC3\xA9 A\xC3\xA7"
    "a\xC3\xAD"
    "6009S\xC3\xA3o Paulo62070503***6304AA79";

}  // namespace

TEST(PixCode, ReadsEachKindFieldByField) {
    PixCode example = ReadPixCode(kManualExample);
    EXPECT_TRUE(example.valid) << example.problem;
    EXPECT_EQ(example.key, "123e4567-e12b-12d1-a456-426655440000");
    EXPECT_EQ(example.keyKind, PixKeyKind::Random);
    EXPECT_EQ(example.name, "Fulano de Tal");
    EXPECT_EQ(example.city, "BRASILIA");
    EXPECT_EQ(example.txid, "***");
    EXPECT_EQ(example.amount, "");

    PixCode cpf = ReadPixCode(kCpf);
    EXPECT_TRUE(cpf.valid) << cpf.problem;
    EXPECT_EQ(cpf.keyKind, PixKeyKind::Cpf);
    EXPECT_EQ(PixAmountText(cpf.amount), "R$ 1.234,56");
    EXPECT_EQ(cpf.txid, "PEDIDO42");

    PixCode dynamic = ReadPixCode(kDynamic);
    EXPECT_TRUE(dynamic.valid) << dynamic.problem;
    EXPECT_EQ(dynamic.location, "pix.exemplo.com.br/qr/v2/9d36b84f");
    EXPECT_EQ(dynamic.keyKind, PixKeyKind::None);

    PixCode utf8 = ReadPixCode(kUtf8);
    EXPECT_TRUE(utf8.valid) << utf8.problem;
    EXPECT_EQ(utf8.name,
              "Jos\xC3\xA9 A\xC3\xA7"
              "a\xC3\xAD");
    EXPECT_EQ(PixAmountText(utf8.amount), "R$ 0,50");
}

TEST(PixCode, AWrongCrcACodeCutShortOrAMissingFieldIsInvalid) {
    std::string wrongCrc = kManualExample;
    wrongCrc.back() = 'E';
    EXPECT_EQ(ReadPixCode(wrongCrc).problem, "CRC n\xE3o confere");
    std::string changed = kManualExample;
    changed[changed.find("Fulano")] = 'P';
    EXPECT_FALSE(ReadPixCode(changed).valid);
    std::string shortened = kManualExample;
    EXPECT_FALSE(ReadPixCode(shortened.substr(0, shortened.size() - 10)).valid);
    EXPECT_FALSE(ReadPixCode("").valid);
    EXPECT_FALSE(ReadPixCode(std::string(kManualExample) + "\n").valid);
    EXPECT_FALSE(ReadPixCode(std::string(600, '0')).valid);
    EXPECT_TRUE(LooksLikePix(kManualExample));
    EXPECT_FALSE(LooksLikePix("00191455700000110009956850418332600000624818"));
}

// A character that does not show (a control, a format character, a blank other than the
// space, a line separator) passes the CRC and would be typed unseen into the bank's window:
// the code is invalid, and its problem names the field that holds the character.
TEST(PixCode, ACharacterThatDoesNotShowMakesItInvalidAndItsFieldIsNamed) {
    auto field = [](std::string id, const std::string& value) {
        int characters = 0;  // a length counts characters, not the bytes that follow a first
        for (char c : value)
            characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        std::string length = std::to_string(characters % 100);
        return id + (characters < 10 ? "0" : "") + length + value;
    };
    auto code = [&](const std::string& name, const std::string& txid) {
        std::string body = field("00", "01") +
                           field("26", field("00", "br.gov.bcb.pix") + field("01", "12345678909")) +
                           "5204000053039865802BR" + field("59", name) + field("60", "RECIFE") +
                           field("62", field("05", txid)) + "6304";
        char crc[5];
        std::snprintf(
            crc, sizeof crc, "%04X",
            Crc16Ccitt(reinterpret_cast<const std::uint8_t*>(body.data()), body.size(), 0xFFFF));
        return body + crc;
    };
    auto utf8 = [](char32_t character) {
        std::string text;
        AppendUtf8(text, character);
        return text;
    };
    for (char32_t hidden : {0x09, 0x7F, 0x85, 0x9B, 0xA0, 0xAD, 0x200B, 0x200E, 0x2028, 0x2029,
                            0x202A, 0x202E, 0x2066, 0x2069, 0x3000, 0xFEFF, 0xE0041, 0xF0000}) {
        PixCode pix = ReadPixCode(code("FULANO" + utf8(hidden) + "X", "***"));
        EXPECT_FALSE(pix.valid) << std::hex << static_cast<std::uint32_t>(hidden);
        EXPECT_NE(pix.problem.find(" no campo 59"), std::string::npos) << pix.problem;
    }
    EXPECT_EQ(ReadPixCode(code("FULANO", "AB" + utf8(0x202E))).problem,
              "caractere n\xE3o imprim\xEDvel U+202E no subcampo 05 do campo 62");
    // Their neighbours show, and so do accents.
    for (char32_t shown : {0xA1, 0xE9, 0x2030, 0x20AC, 0x1F600}) {
        PixCode pix = ReadPixCode(code("FULANO" + utf8(shown), "***"));
        EXPECT_TRUE(pix.valid) << pix.problem;
    }
}

// A pasted Pix code through the program: its row, the CSV, the journal read back, the
// selection total.
TEST(PixCode, APastedCodeIsOneRecordInTheListTheCsvAndTheJournal) {
    ReceiverState state;
    LocalDateTime now{{2026, 12, 8}, 9, 5, 3};
    std::string text =
        std::string("  ") + kUtf8 + "\r\n00191455700000110009956850418332600000624818\n";
    PastedText pasted = ReadPastedText(text, state, now);
    ASSERT_EQ(pasted.records.size(), 2u);
    const CodeRecord& pix = pasted.records[0];
    EXPECT_EQ(pix.code, kUtf8);  // the leading blanks are no part of it
    EXPECT_EQ(pix.kindLetter, "P");
    EXPECT_TRUE(pix.checkDigitsValid);
    EXPECT_EQ(pix.typeable,
              "Pix: Jos\xE9 A\xE7"
              "a\xED, S\xE3o Paulo");  // Windows-1252
    EXPECT_EQ(pix.value, "R$ 0,50");
    EXPECT_EQ(pix.dueDate, "");

    std::string row = CsvRow(pix);
    EXPECT_NE(row.find(";Pix;sim;"), std::string::npos) << row;
    EXPECT_NE(row.find(";0,50;"), std::string::npos) << row;
    EXPECT_NE(row.find(";\"=\"\"" + Utf8ToWindows1252(kUtf8) + "\"\"\";"), std::string::npos)
        << row;

    // The name holds blanks: the journal still gives the code back whole.
    std::optional<JournalEntry> entry = ParseJournalLine(JournalLine(pix) + "\r\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->code, kUtf8);

    SelectionTotal total;
    total.Add(pasted.records[0]);
    total.Add(pasted.records[1]);
    EXPECT_EQ(total.StatusText(), "2 selecionados: R$ 110,50");  // with the slip's 110,00
}

// In every mode that types, the code exactly as it is, UTF-8 and blanks included; a code
// whose CRC fails, never.
TEST(PixCode, IsTypedExactlyInEveryModeAndNeverWhenItFails) {
    std::string wrongCrc = kCpf;
    wrongCrc.back() = '0';
    for (std::int32_t mode : {ModeTypeable, ModeRaw, ModeTypeableTab, ModeCustom}) {
        Settings settings;
        settings.injectionMode = mode;
        MemorySettingsStore store;
        RecordingKeySender sender;
        {
            ThreadedTyper typer(sender, settings);
            KeyboardInjector injector(settings, store, typer);
            injector.TypeCode(kUtf8, CodeKind::Pix);
            injector.TypeCode(wrongCrc, CodeKind::Pix);
        }
        EXPECT_EQ(sender.Typed(), kUtf8) << "mode " << mode;
    }
}
