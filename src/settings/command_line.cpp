#include "settings/command_line.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxFileName = 255;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::string ExportFileNameOption(std::string_view commandLine) {
    std::size_t option = commandLine.find("-f ");
    if (option == std::string_view::npos) return {};
    std::string_view rest = commandLine.substr(option + 3);
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    std::string_view name;
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        name = rest.substr(0, rest.find('"'));
    } else {
        name = rest.substr(0, std::find_if(rest.begin(), rest.end(), IsWhiteSpace) - rest.begin());
    }
    return std::string(name.substr(0, kMaxFileName));
}
