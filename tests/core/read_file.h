#pragma once

#include <cstdio>
#include <string>

// Everything left to read in an open file, byte for byte.
inline std::string ReadRest(std::FILE* file) {
    std::string bytes;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, count);
    return bytes;
}

// The whole content of a file; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) return {};
    std::string bytes = ReadRest(file);
    std::fclose(file);
    return bytes;
}
