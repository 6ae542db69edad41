#pragma once

#include <cstdio>

// Hands what `file` buffers to the system and waits until the system has it on the disk
// (FlushFileBuffers on Windows, fdatasync elsewhere), so that a power cut loses none of
// it. False when either step fails.
bool FlushToDisk(std::FILE* file);

// Mends the end of a text file opened for update ("r+b") after a power cut: cuts off the
// zeros that an extended but unwritten end leaves, and ends a last line that lacks its
// line end with CR LF, so that the next line appended is not glued to it. False when
// that fails.
bool EndLastLine(std::FILE* file);
