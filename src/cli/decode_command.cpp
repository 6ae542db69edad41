#include "cli/decode_command.h"

#include "util/json.h"
#include "cli/options.h"
#include "codes/code_kind.h"
#include "codes/interpretation.h"
#include "history/history_line.h"
#include "util/binary_stdio.h"
#include "util/local_time.h"

namespace {

constexpr std::size_t kOutputChunk = 1 << 16;

// Writes every JSON line for the codes read from `in`, in input order.
bool DecodeStream(std::FILE* in, std::FILE* out, CivilDate today) {
    std::string pending;  // the start of a line not yet ended
    std::string output;
    std::vector<char> chunk(kOutputChunk);
    auto emit = [&](std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return;  // blank lines carry no code
        output += DecodeJson(ParseDecodeLine(line), today);
        output += '\n';
        if (output.size() >= kOutputChunk) {
            std::fwrite(output.data(), 1, output.size(), out);
            output.clear();
        }
    };
    std::size_t count;
    while ((count = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) {
        std::string_view data(chunk.data(), count);
        std::size_t newline;
        while ((newline = data.find('\n')) != std::string_view::npos) {
            if (pending.empty()) {
                emit(data.substr(0, newline));
            } else {
                pending.append(data.substr(0, newline));
                emit(pending);
                pending.clear();
            }
            data.remove_prefix(newline + 1);
        }
        pending.append(data);
    }
    emit(pending);
    std::fwrite(output.data(), 1, output.size(), out);
    return !std::ferror(in) && std::fflush(out) == 0 && !std::ferror(out);
}

}  // namespace

std::optional<int> KindByteOfLetter(std::string_view letter) {
    if (letter == "B" || letter == "b" || letter == "C" || letter == "c") return 1;
    if (letter == "N" || letter == "n") return 3;
    return std::nullopt;
}

DecodeInput ParseDecodeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() >= 2 && line[line.size() - 2] == ' ') {
        if (auto kindByte = KindByteOfLetter(line.substr(line.size() - 1))) {
            return {line.substr(0, line.size() - 2), *kindByte};
        }
    }
    return {line, 1};
}

std::string DecodeJson(const DecodeInput& input, CivilDate today) {
    CodeKind kind = EffectiveKind(input.kindByte, input.code);
    CodeInterpretation interpretation = InterpretCode(input.code, kind, today);
    return JsonObjectWriter()
        .Add("code", input.code)
        .Add("kind", KindLetter(kind))
        .Add("valid", interpretation.checkDigitsValid)
        .Add("typeable", interpretation.typeable)
        .Add("value", interpretation.value)
        .Add("due", interpretation.dueDate)
        .Add("name", IssuerName(input.code, kind))
        .Add("summary", HistoryExportLine(input.code, kind, today))
        .Finish();
}

int RunDecode(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
    std::string error;
    auto parsed = ParseArguments(args, {"--today"}, {}, error);
    CivilDate today = TodayLocal();
    if (parsed && parsed->Has("--today")) {
        const std::string& text = parsed->options.find("--today")->second;
        if (auto date = ParseIsoDate(text)) {
            today = *date;
        } else {
            error = "bad date '" + text + "' for --today (use YYYY-MM-DD)";
        }
    }
    std::optional<int> kindByte = 1;
    if (error.empty() && parsed->positional.size() > 2) {
        error = "too many arguments";
    } else if (error.empty() && parsed->positional.size() == 2) {
        kindByte = KindByteOfLetter(parsed->positional[1]);
        if (!kindByte) error = "unknown kind '" + parsed->positional[1] + "' (use B, C or N)";
    }
    if (!error.empty()) {
        std::fprintf(err,
                     "zentory-cli decode: %s\nusage: zentory-cli decode [--today YYYY-MM-DD] [CODE "
                     "[KIND]]\n",
                     error.c_str());
        return kUsageExitCode;
    }

    if (!parsed->positional.empty()) {
        std::string line = DecodeJson({parsed->positional[0], *kindByte}, today) + "\n";
        std::fwrite(line.data(), 1, line.size(), out);
        return std::fflush(out) == 0 ? 0 : 1;
    }
    SetBinaryInput(in);
    if (!DecodeStream(in, out, today)) {
        std::fprintf(err, "zentory-cli decode: could not read the codes or write the results\n");
        return 1;
    }
    return 0;
}
