// zentory-cli: the program's code interpretation and network tools on the command line.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/decode_command.h"
#include "cli/listen_command.h"
#include "cli/options.h"
#include "cli/send_command.h"
#include "version.h"

namespace {

const char kUsage[] =
    "usage: zentory-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  decode [--today YYYY-MM-DD] [CODE [KIND]]\n"
    "      Interprets a 44-digit code (KIND B or C: payment slip, N: NF-e key) and\n"
    "      writes one JSON line. Without CODE, reads one code per line from standard\n"
    "      input, each optionally followed by a blank and its kind letter.\n"
    "  send [--host H] [--port P] [--kind 1|2|3] [--seq N] [--hex BYTES] [--repeat N]\n"
    "       [--rate PER_SECOND] [CODE...]\n"
    "      Sends each 44-character CODE as the phone does (with --seq N: the long form,\n"
    "      numbered N, N+1, ...), or the bytes of --hex as they are. Default 127.0.0.1:6666.\n"
    "      --repeat and --rate send everything N times at a steady pace, for load tests.\n"
    "  listen [--port P] [--mode 0-4] [--custom-separators N] [--count N] [--export FILE]\n"
    "         [--trace]\n"
    "      Receives like Zentory, without windows: one JSON line per accepted datagram,\n"
    "      with the text the injection mode would type. Ends after --count records or on\n"
    "      Ctrl+C, then writes the history to FILE. --trace shows the traces on stderr.\n"
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
    if (command == "send") return RunSend(args);
    if (command == "listen") return RunListen(args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("zentory-cli %s\n", ZENTORY_VERSION_TEXT);
        return 0;
    }
    std::fprintf(stderr, "zentory-cli: unknown command '%s'\n\n%s", command.c_str(), kUsage);
    return kUsageExitCode;
}
