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

bool CutAfterLastLineEnd(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    long end = std::ftell(file);
    if (end < 0) return false;
    // Backwards, a block at a time, to the last '\n'.
    long kept = end;
    char block[4096];
    while (kept > 0) {
        long start =
            kept > static_cast<long>(sizeof block) ? kept - static_cast<long>(sizeof block) : 0;
        std::size_t length = static_cast<std::size_t>(kept - start);
        if (std::fseek(file, start, SEEK_SET) != 0 || std::fread(block, 1, length, file) != length)
            return false;
        std::size_t at = length;
        while (at > 0 && block[at - 1] != '\n')
            --at;
        if (at > 0) {
            kept = start + static_cast<long>(at);
            break;
        }
        kept = start;
    }
    if (kept == end) return true;
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _chsize_s(_fileno(file), kept) == 0;
#else
    return ftruncate(fileno(file), kept) == 0;
#endif
}
