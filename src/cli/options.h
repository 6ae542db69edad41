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

// One option of a command, as its usage names it: "--port P", then what it does.
struct OptionSpec {
    std::string_view name;   // "--port"
    std::string_view value;  // "P"; empty for a flag
    std::string_view help;   // one line
};

// A command: its name, its arguments after the options, what it does, and every option
// it takes. The parser knows only these options, and the usage names each of them.
struct CommandSpec {
    std::string_view name;       // "listen"
    std::string_view arguments;  // "[CODE [KIND]]"; may be empty
    std::string_view summary;    // a few lines, each indented and ending in a line end
    std::vector<OptionSpec> options;
};

// "usage: zentory-cli NAME [--a A] [--b] ARGUMENTS" (`lead` before "zentory-cli"),
// wrapped, the summary, then each option with what it does.
std::string CommandUsage(const CommandSpec& command, std::string_view lead = "usage: ");

// Says "zentory-cli NAME: MESSAGE" and the command's usage on standard error; returns
// kUsageExitCode.
int CommandUsageError(const CommandSpec& command, const std::string& message);

// Parses `args` by the options of `command`.
std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const CommandSpec& command, std::string& error);

// Reads "--name value", "--name=value" and flags. `valueOptions` and `flagOptions` list
// the options the command knows; "--" ends the options. On an unknown option or a
// missing value, says why in `error` and returns nothing.
std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const std::vector<std::string_view>& valueOptions,
                                              const std::vector<std::string_view>& flagOptions,
                                              std::string& error);

// Exit code of a command-line mistake (unknown option, bad value).
inline constexpr int kUsageExitCode = 2;
