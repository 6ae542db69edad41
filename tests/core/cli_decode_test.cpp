#include "cli/decode_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "codes/written_code.h"
#include "util/json.h"
#include "json_reader.h"
#include "read_file.h"

namespace {

constexpr CivilDate kToday{2026, 12, 7};

// Runs `zentory-cli decode ARGS` with `input` on standard input.
struct DecodeRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string ReadAll(std::FILE* file) {
    std::rewind(file);
    std::string text = ReadRest(file);
    std::fclose(file);
    return text;
}

DecodeRun RunDecodeWith(const std::vector<std::string>& args, const std::string& input = "") {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (!in || !out || !err) {
        ADD_FAILURE() << "no temporary files";
        return {-1, "", ""};
    }
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    int exitCode = RunDecode(args, in, out, err);
    std::fclose(in);
    return {exitCode, ReadAll(out), ReadAll(err)};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(start, text.size()) << "output must end with a line end";
    return lines;
}

std::string Field(const JsonFields& fields, const std::string& key) {
    for (const auto& [name, value] : fields) {
        if (name == key) return value;
    }
    ADD_FAILURE() << "no key " << key;
    return {};
}

}  // namespace

TEST(DecodeJson, ExactKeysAndValues) {
    std::string json =
        DecodeJson({"00191455700000110009956850418332600000624818", 1}, {2008, 1, 1});
    EXPECT_EQ(json,
              R"({"code":"00191455700000110009956850418332600000624818","kind":"B","valid":true,)"
              R"("typeable":"00199.95687 50418.332602 00006.248181 1 45570000011000",)"
              R"("value":"R$ 110,00","due":"30/03/2010","name":"Banco do Brasil S.A.",)"
              R"("summary":"00191455700000110009956850418332600000624818 R$ 110,00 30/03/2010 )"
              R"(0019995687 50418332602 00006248181 1 45570000011000 Banco do Brasil S.A."})");

    auto nfe = JsonLineReader::Read(
        DecodeJson({"12345678901234567890123456789012345678901235", 3}, kToday));
    ASSERT_TRUE(nfe);
    std::vector<std::string> keys;
    for (const auto& field : *nfe)
        keys.push_back(field.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"code", "kind", "valid", "typeable", "value", "due",
                                              "name", "summary"}));
    EXPECT_EQ(Field(*nfe, "kind"), "N");
    EXPECT_EQ(Field(*nfe, "value"), "");
    EXPECT_EQ(Field(*nfe, "name"), "");
    EXPECT_EQ(Field(*nfe, "summary"),
              "NFe 12345678901234567890123456789012345678901235 "
              "12-3456-78.901.234/5678-90-12-345-678.901.234-567.890.123-5");
}

TEST(DecodeJson, StaysValidForAnyBytes) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 300; ++round) {
        std::string code(round % 50, '\0');
        for (char& c : code)
            c = static_cast<char>(byte(random));
        for (int kindByte : {1, 3}) {
            std::string json = DecodeJson({code, kindByte}, kToday);
            auto fields = JsonLineReader::Read(json);
            ASSERT_TRUE(fields) << json;
            EXPECT_EQ(fields->size(), 8u);
        }
    }
    std::string escaped;
    AppendJsonString(escaped, std::string("a\"\\\n\x01\x7f\x80\xe7\x81", 9));
    EXPECT_EQ(escaped, R"("a\"\\\n\u0001\u007f\u20ac\u00e7\u0081")");
}

TEST(AppendJsonString, EscapesWhereverTheByteFalls) {
    // Texts are looked at eight bytes at a time: a byte to escape at any place of texts
    // around that size, and plain texts of any such length.
    const std::pair<char, const char*> escapes[] = {{'"', "\\\""},       {'\\', "\\\\"},
                                                    {'\x01', "\\u0001"}, {'\x7f', "\\u007f"},
                                                    {'\x80', "\\u20ac"}, {'\xff', "\\u00ff"}};
    for (std::size_t length = 0; length <= 20; ++length) {
        std::string plain(length, 'a');
        std::string json;
        AppendJsonString(json, plain);
        EXPECT_EQ(json, '"' + plain + '"');
        for (std::size_t at = 0; at < length; ++at) {
            for (auto [byte, escape] : escapes) {
                std::string text = plain;
                text[at] = byte;
                json.clear();
                AppendJsonString(json, text);
                EXPECT_EQ(json, '"' + plain.substr(0, at) + escape + plain.substr(at + 1) + '"')
                    << length << " " << at;
            }
        }
    }
}

TEST(ParseDecodeLine, KindLetters) {
    auto check = [](const char* line, const char* code, int kindByte) {
        DecodeInput input = ParseDecodeLine(line);
        EXPECT_EQ(input.code, code) << line;
        EXPECT_EQ(input.kindByte, kindByte) << line;
    };
    check("123 N", "123", 3);
    check("123 n\r", "123", 3);
    check("123 B", "123", 1);
    check("123 C", "123", 1);
    check("123", "123", 1);
    check("123 X", "123 X", 1);  // not a kind letter: part of the code
    check("123  N", "123 ", 3);  // one blank belongs to the separator
    check("123N", "123N", 1);
    check(" N", "", 3);
}

TEST(RunDecode, LinesFromStandardInputInOrder) {
    std::string longLine(200000, '7');
    DecodeRun run =
        RunDecodeWith({"--today=2026-12-07"},
                      "00191455700000110009956850418332600000624818\r\n"
                      "\n"
                      "12345678901234567890123456789012345678901235 N\n" +
                          longLine +
                          "\n"
                          "00092473500000830004240405000030000226026703 C");  // no final line end
    EXPECT_EQ(run.exitCode, 0);
    auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u);
    std::vector<std::string> kinds, dues;
    for (const std::string& line : lines) {
        auto fields = JsonLineReader::Read(line);
        ASSERT_TRUE(fields) << line.substr(0, 100);
        kinds.push_back(Field(*fields, "kind"));
        dues.push_back(Field(*fields, "due"));
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"B", "N", "B", "B"}));
    EXPECT_EQ(dues, (std::vector<std::string>{"19/11/2034", "", "", "16/05/2035"}));
    EXPECT_EQ(Field(*JsonLineReader::Read(lines[2]), "code"), longLine);
}

// A typeable line or a key in groups, written as PDFs and DANFEs print them, gives exactly
// the answer of the barcode it stands for; a wrong field check digit makes it invalid.
TEST(DecodeJson, TypeableLinesAndKeysInGroupsAnswerAsTheirBarcode) {
    const char kBank[] = "00191455700000110009956850418332600000624818";
    const char kCollection[] = "85830000000578503281014401081014200092060000";  // modulo 11
    const char kKey[] = "35200714200166000187550010000000046550000044";
    for (auto [written, barcode] :
         {std::pair{"00199.95687 50418.332602 00006.248181 1 45570000011000", kBank},
          std::pair{"00199956875041833260200006248181145570000011000", kBank},
          std::pair{" 00199-95687  50418-332602\t00006.248181 1 45570000011000 ", kBank},
          std::pair{"85830000000-9 57850328101-6 44010810142-2 00092060000-0", kCollection},
          std::pair{"846200000020311301132636291452302933590838000008",
                    "84620000002311301132632914523029359083800000"},
          std::pair{"3520 0714 2001 6600 0187 5500 1000 0000 0465 5000 0044", kKey}}) {
        SCOPED_TRACE(written);
        std::string expected = DecodeJson({barcode, barcode[0] == '3' ? 3 : 1}, kToday);
        EXPECT_EQ(DecodeJson({written, 1}, kToday), expected);
    }
    // Field 2's check digit changed (the barcode it gives is still valid), then block 3's.
    auto fields = JsonLineReader::Read(
        DecodeJson({"00199.95687 50418.332603 00006.248181 1 45570000011000", 1}, kToday));
    ASSERT_TRUE(fields);
    EXPECT_EQ(Field(*fields, "code"), kBank);
    EXPECT_EQ(Field(*fields, "valid"), "false");
    std::optional<WrittenCode> block3 =
        ReadWrittenCode("85830000000-9 57850328101-6 44010810142-3 00092060000-0");
    ASSERT_TRUE(block3);
    EXPECT_EQ(block3->wrongField, 3);
    EXPECT_EQ(WrongFieldText(block3->wrongField), "Campo 3: dígito verificador não confere");
    // No code: another character, a digit too many or too few, a line of the other kind.
    for (const char* none : {"00199.95687/50418.332602 00006.248181 1 45570000011000",
                             "00199.95687 50418.332602 00006.248181 1 455700000110001",
                             "0019995687504183326020000624818114557000001100",
                             "84620000002031130113263629145230293359083800000",
                             "001999568750418332602000062481811455700000110001"}) {
        EXPECT_FALSE(ReadWrittenCode(none)) << none;
    }
}
