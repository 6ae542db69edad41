// zentory-cli: the program's code interpretation and network tools on the command line.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/decode_command.h"
#include "cli/options.h"

namespace {

const char kUsage[] =
    "usage: zentory-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  decode [--today YYYY-MM-DD] [CODE [KIND]]\n"
    "      Interprets a 44-digit code (KIND B or C: payment slip, N: NF-e key) and\n"
    "      writes one JSON line. Without CODE, reads one code per line from standard\n"
    "      input, each optionally followed by a blank and its kind letter.\n"
    "  --version\n"
    "      Shows the version.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kUsageExitCode;
    }
    std::string command = args.front();
    args.erase(args.begin());
    if (command == "decode") return RunDecode(args, stdin, stdout, stderr);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("zentory-cli %s\n", ZENTORY_VERSION);
        return 0;
    }
    std::fprintf(stderr, "zentory-cli: unknown command '%s'\n\n%s", command.c_str(), kUsage);
    return kUsageExitCode;
}
