#pragma once

#include <string>

// Creates `folder` and the folders above it that are missing; true when it exists
// afterwards. Paths are the platform's narrow ones (Windows-1252 on Windows).
bool MakeFolders(const std::string& folder);
