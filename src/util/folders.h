#pragma once

#include <string>

// Creates `folder` and the folders above it that are missing; true when it exists
// afterwards. Paths are the platform's narrow ones (Windows-1252 on Windows).
bool MakeFolders(const std::string& folder);

// `name` in `folder`, with the platform's separator between them when `folder` has none
// at its end.
std::string JoinPath(const std::string& folder, const std::string& name);
