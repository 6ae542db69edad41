#include "util/binary_stdio.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

void SetBinaryInput(std::FILE* stream) {
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}
