// zentory-cli: the program's code interpretation and network tools on the command line.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/decode_command.h"
#include "cli/listen_command.h"
#include "cli/options.h"
#include "cli/program_usage.h"
#include "cli/send_command.h"
#include "version.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(ProgramUsage().c_str(), stderr);
        return kUsageExitCode;
    }
    std::string command = args.front();
    args.erase(args.begin());
    if (command == "decode") return RunDecode(args, stdin, stdout, stderr);
    if (command == "send") return RunSend(args);
    if (command == "listen") return RunListen(args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(ProgramUsage().c_str(), stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("zentory-cli %s\n", ZENTORY_VERSION_TEXT);
        return 0;
    }
    std::fprintf(stderr, "zentory-cli: unknown command '%s'\n\n%s", command.c_str(),
                 ProgramUsage().c_str());
    return kUsageExitCode;
}
