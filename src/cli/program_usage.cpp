#include "cli/program_usage.h"

#include "cli/decode_command.h"
#include "cli/listen_command.h"
#include "cli/send_command.h"

std::vector<const CommandSpec*> Commands() {
    return {&DecodeCommand(), &SendCommand(), &ListenCommand()};
}

std::string ProgramUsage() {
    std::string usage = "usage: zentory-cli COMMAND [ARGS]\n";
    for (const CommandSpec* command : Commands())
        usage += "\n" + CommandUsage(*command, "");
    usage += "\nzentory-cli --version shows the version; zentory-cli --help, this text.\n";
    return usage;
}
