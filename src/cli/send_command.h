#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"

// The send command's arguments and options.
const CommandSpec& SendCommand();

// zentory-cli send [--host H] [--port P] [--kind 1|2|3] [--seq N] [--hex BYTES] [CODE...]
// Returns the exit code.
int RunSend(const std::vector<std::string>& args);

// The bytes of a hex text ("00 01 2c", "00012C"); nothing when it is not hex.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text);

// A whole number in [minimum, maximum], decimal or 0x hex; nothing otherwise.
std::optional<long long> ParseNumber(std::string_view text, long long minimum, long long maximum);
