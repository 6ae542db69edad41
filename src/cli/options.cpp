#include "cli/options.h"

#include <algorithm>
#include <cstdio>
#include <cstddef>

namespace {

bool Contains(const std::vector<std::string_view>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const std::vector<std::string_view>& valueOptions,
                                              const std::vector<std::string_view>& flagOptions,
                                              std::string& error) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::size_t equals = arg.find('=');
        std::string name = arg.substr(0, equals);
        if (Contains(flagOptions, name) && equals == std::string::npos) {
            parsed.options[name] = "";
        } else if (Contains(valueOptions, name)) {
            if (equals != std::string::npos) {
                parsed.options[name] = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                parsed.options[name] = args[++i];
            } else {
                error = "option " + name + " needs a value";
                return std::nullopt;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
    }
    return parsed;
}

std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const CommandSpec& command, std::string& error) {
    std::vector<std::string_view> valueOptions;
    std::vector<std::string_view> flagOptions;
    for (const OptionSpec& option : command.options)
        (option.value.empty() ? flagOptions : valueOptions).push_back(option.name);
    return ParseArguments(args, valueOptions, flagOptions, error);
}

std::string CommandUsage(const CommandSpec& command, std::string_view lead) {
    constexpr std::size_t kWidth = 90;
    std::string usage = std::string(lead) + "zentory-cli " + std::string(command.name);
    std::size_t lineStart = 0;
    // Words on lines of at most kWidth, each line after the first indented by `indent`.
    auto add = [&](std::string_view word, std::size_t indent) {
        if (usage.size() - lineStart + 1 + word.size() > kWidth) {
            usage += "\n";
            lineStart = usage.size();
            usage.append(indent - 1, ' ');
        }
        usage += ' ';
        usage += word;
    };
    const std::size_t synopsisIndent = usage.size() + 1;
    for (const OptionSpec& option : command.options) {
        std::string word = "[" + std::string(option.name);
        if (!option.value.empty()) word += " " + std::string(option.value);
        add(word + "]", synopsisIndent);
    }
    if (!command.arguments.empty()) add(command.arguments, synopsisIndent);
    usage += "\n" + std::string(command.summary);
    std::size_t column = 0;
    for (const OptionSpec& option : command.options)
        column = std::max(column, option.name.size() + 1 + option.value.size());
    for (const OptionSpec& option : command.options) {
        std::string named = std::string(option.name);
        if (!option.value.empty()) named += " " + std::string(option.value);
        usage += "  " + named + std::string(column - named.size() + 1, ' ');
        lineStart = usage.size() - column - 3;
        std::string_view help = option.help;
        while (!help.empty()) {
            std::size_t blank = help.find(' ');
            add(help.substr(0, blank), column + 4);
            help = blank == std::string_view::npos ? std::string_view() : help.substr(blank + 1);
        }
        usage += "\n";
    }
    return usage;
}

int CommandUsageError(const CommandSpec& command, const std::string& message) {
    std::fprintf(stderr, "zentory-cli %.*s: %s\n%s", static_cast<int>(command.name.size()),
                 command.name.data(), message.c_str(), CommandUsage(command).c_str());
    return kUsageExitCode;
}
