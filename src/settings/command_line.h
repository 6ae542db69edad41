#pragma once

#include <string>
#include <string_view>

// The file name after the option "-f " anywhere in the command line, or empty: quoted
// (blanks kept, up to the closing quote or the end) or up to the first white space;
// at most 255 characters.
std::string ExportFileNameOption(std::string_view commandLine);
