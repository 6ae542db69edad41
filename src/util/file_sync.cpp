#include "util/file_sync.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
#else
    return fdatasync(fileno(file)) == 0;
#endif
}

bool EndLastLine(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    long end = std::ftell(file);
    if (end < 0) return false;
    // Backwards, a block at a time, to the last byte that is not a zero.
    long kept = end;
    char last = '\n';
    char block[4096];
    while (kept > 0) {
        long start =
            kept > static_cast<long>(sizeof block) ? kept - static_cast<long>(sizeof block) : 0;
        std::size_t length = static_cast<std::size_t>(kept - start);
        if (std::fseek(file, start, SEEK_SET) != 0 || std::fread(block, 1, length, file) != length)
            return false;
        std::size_t at = length;
        while (at > 0 && block[at - 1] == '\0')
            --at;
        if (at > 0) {
            kept = start + static_cast<long>(at);
            last = block[at - 1];
            break;
        }
        kept = start;
    }
    if (kept != end) {
        if (std::fflush(file) != 0) return false;
#ifdef _WIN32
        if (_chsize_s(_fileno(file), kept) != 0) return false;
#else
        if (ftruncate(fileno(file), kept) != 0) return false;
#endif
    }
    if (last == '\n') return true;
    return std::fseek(file, 0, SEEK_END) == 0 && std::fputs("\r\n", file) >= 0 &&
           std::fflush(file) == 0;
}
