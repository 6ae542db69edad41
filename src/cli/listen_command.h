#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

// The listen command's options.
const CommandSpec& ListenCommand();

// zentory-cli listen [OPTIONS]: receives like the program, without windows, and writes one JSON
// line per accepted datagram. Returns the exit code: -1 when the port cannot be opened.
int RunListen(const std::vector<std::string>& args);
