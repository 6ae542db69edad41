#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A command's arguments split into options and positional arguments.
struct ParsedArguments {
    std::map<std::string, std::string, std::less<>> options;  // "--port" -> "6666", flags -> ""
    std::vector<std::string> positional;

    bool Has(std::string_view option) const { return options.count(option) != 0; }
};

// Reads "--name value", "--name=value" and flags. `valueOptions` and `flagOptions` list
// the options the command knows; "--" ends the options. On an unknown option or a
// missing value, says why in `error` and returns nothing.
std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const std::vector<std::string_view>& valueOptions,
                                              const std::vector<std::string_view>& flagOptions,
                                              std::string& error);

// Exit code of a command-line mistake (unknown option, bad value).
inline constexpr int kUsageExitCode = 2;
