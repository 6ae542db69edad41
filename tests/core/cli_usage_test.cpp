#include <gtest/gtest.h>

#include <string>

#include "cli/options.h"
#include "cli/program_usage.h"

// Every option that a command's parser takes is in --help, with a line on what it does,
// under that command; and the parser takes nothing else.
TEST(ProgramUsage, NamesEveryOptionThatTheParsersTake) {
    const std::string usage = ProgramUsage();
    for (const CommandSpec* command : Commands()) {
        SCOPED_TRACE(std::string(command->name));
        std::size_t section = usage.find("\nzentory-cli " + std::string(command->name) + " ");
        ASSERT_NE(section, std::string::npos);
        std::size_t end = usage.find("\n\n", section + 1);
        const std::string text = usage.substr(section, end - section);
        for (const OptionSpec& option : command->options) {
            SCOPED_TRACE(std::string(option.name));
            std::vector<std::string> args{std::string(option.name)};
            if (!option.value.empty()) args.push_back("1");
            std::string error;
            EXPECT_TRUE(ParseArguments(args, *command, error)) << error;
            EXPECT_NE(text.find("[" + std::string(option.name)), std::string::npos);
            std::size_t described = text.find("\n  " + std::string(option.name));
            ASSERT_NE(described, std::string::npos);
            EXPECT_GT(text.find('\n', described + 1) - described, option.name.size() + 12);
        }
        std::string error;
        EXPECT_FALSE(ParseArguments({"--no-such-option"}, *command, error));
    }
}
