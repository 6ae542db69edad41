#pragma once

#include <cstdio>
#include <string>

// The whole content of a file, byte for byte; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& name) {
    std::string bytes;
    if (std::FILE* file = std::fopen(name.c_str(), "rb")) {
        char buffer[4096];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.append(buffer, count);
        std::fclose(file);
    }
    return bytes;
}
