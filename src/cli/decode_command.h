#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "codes/interpretation.h"
#include "codes/pix_code.h"
#include "util/json.h"
#include "util/civil_date.h"

// One code to decode: the code as given and the datagram kind byte it stands for.
struct DecodeInput {
    std::string_view code;
    int kindByte = 1;
};

// Datagram kind byte of a kind letter: B and C are slips (1), N an NF-e key (3), P a Pix
// code (kPixKindByte).
std::optional<int> KindByteOfLetter(std::string_view letter);

// A Pix code's own fields in a JSON line: "name", "city", "key", "key_kind", "url" (the
// location of a dynamic code), "txid", "summary" and "problem".
void AddPixFields(JsonObjectWriter& json, std::string_view code, const PixCode& pix);

// One input line: a code, optionally followed by one blank and B, C or N. A CR before
// the line end is dropped.
DecodeInput ParseDecodeLine(std::string_view line);

// The JSON line (without line end) that describes one code as the program would
// store, show and export it; appended to `out` (through `scratch`, kept from line to line
// so that its storage is reused), or as a string of its own.
void AppendDecodeJson(std::string& out, const DecodeInput& input, CivilDate today,
                      FullInterpretation& scratch);
std::string DecodeJson(const DecodeInput& input, CivilDate today);

// The decode command's arguments and options.
const CommandSpec& DecodeCommand();

// zentory-cli decode [--today YYYY-MM-DD] [CODE [KIND]]. Reads lines from `in` when no
// code is given. Returns the exit code.
int RunDecode(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);
