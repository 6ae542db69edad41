#pragma once

#include <string>
#include <vector>

// zentory-cli listen [--port P] [--mode 0-4] [--custom-separators N] [--count N]
//                    [--export FILE] [--trace]
// Receives like the program, without windows, and writes one JSON line per accepted
// datagram. Returns the exit code: -1 when the port cannot be opened.
int RunListen(const std::vector<std::string>& args);
