#pragma once

#include <cstdio>

// Reads the stream byte for byte. On Windows a stream in text mode would turn CR LF
// into LF and stop at the first Ctrl+Z; elsewhere there is nothing to change.
void SetBinaryInput(std::FILE* stream);
