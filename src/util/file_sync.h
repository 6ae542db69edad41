#pragma once

#include <cstdio>

// Hands what `file` buffers to the system and waits until the system has it on the disk
// (FlushFileBuffers on Windows, fdatasync elsewhere), so that a power cut loses none of
// it. False when either step fails.
bool FlushToDisk(std::FILE* file);

// Cuts off what follows the last line end of a file opened for update ("r+b"): the rest of
// a line that a power cut tore, or the zeros that it left. False when that fails.
bool CutAfterLastLineEnd(std::FILE* file);
