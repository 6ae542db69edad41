#include "cli/decode_command.h"

#include "codes/written_code.h"

#include "util/json.h"
#include "cli/options.h"
#include "codes/code_kind.h"
#include "codes/interpretation.h"
#include "codes/pix_code.h"
#include "history/history_line.h"
#include "util/binary_stdio.h"
#include "util/fixed_text.h"
#include "util/local_time.h"

namespace {

constexpr std::size_t kOutputChunk = 1 << 16;

// One JSON line held in place, and the room its keys, the kind and the punctuation take.
using JsonLine = FixedText<4096>;
constexpr std::size_t kJsonKeysRoom = 128;

// Writes every JSON line for the codes read from `in`, in input order.
bool DecodeStream(std::FILE* in, std::FILE* out, CivilDate today) {
    std::string pending;  // the start of a line not yet ended
    std::string output;
    FullInterpretation scratch;
    std::vector<char> chunk(kOutputChunk);
    auto emit = [&](std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return;  // blank lines carry no code
        AppendDecodeJson(output, ParseDecodeLine(line), today, scratch);
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
    if (letter == "P" || letter == "p") return kPixKindByte;
    return std::nullopt;
}

void AddPixFields(JsonObjectWriter& json, std::string_view code, const PixCode& pix) {
    json.AddUtf8("name", pix.name)
        .AddUtf8("city", pix.city)
        .AddUtf8("key", pix.key)
        .Add("key_kind", PixKeyKindName(pix.keyKind))
        .AddUtf8("url", pix.location)
        .AddUtf8("txid", pix.txid)
        .AddUtf8("summary", PixSummary(code, pix))
        .Add("problem", pix.problem);
}

bool IsPixInput(const DecodeInput& input) {
    // Longer than a barcode and "000201" first: no typeable line or written NF-e key
    // begins so (their fourth digit is the currency 9, their first two a state above 10).
    return input.kindByte == kPixKindByte || (input.code.size() > 44 && LooksLikePix(input.code));
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

void AppendDecodeJson(std::string& out, const DecodeInput& input, CivilDate today,
                      FullInterpretation& scratch) {
    // A barcode as scanned takes the short way: 44 characters can write no other code.
    // Anything longer may be a typeable line or an NF-e key written in groups, which
    // stands for the barcode it gives.
    std::string_view code = input.code;
    if (IsPixInput(input)) {
        PixCode pix = ReadPixCode(code);
        JsonObjectWriter json;
        json.AddUtf8("code", code)
            .Add("kind", "P")
            .Add("valid", pix.valid)
            .Add("value", PixAmountText(pix.amount));
        AddPixFields(json, code, pix);
        out += json.Finish();
        return;
    }
    int kindByte = input.kindByte;
    std::optional<WrittenCode> written;
    if (code.size() > 44 && (written = ReadWrittenCode(code))) {
        code = written->barcode;
        if (written->nfeKey) kindByte = 3;
    }
    CodeKind kind = EffectiveKind(kindByte, code);
    InterpretCodeFully(code, kind, today, scratch);
    if (written && written->wrongField != 0) scratch.checkDigitsValid = false;
    auto write = [&](auto& text) {
        BasicJsonObjectWriter json(text);
        json.Add("code", code)
            .Add("kind", KindLetter(kind))
            .Add("valid", scratch.checkDigitsValid)
            .Add("typeable", scratch.typeable)
            .Add("value", scratch.value)
            .Add("due", scratch.dueDate)
            .Add("name", scratch.issuerName)
            .Add("summary", scratch.summary)
            .Close();
    };
    // A line that surely fits is made in place and copied out whole: cheaper than growing
    // `out` piece by piece. Every byte of a text takes at most six in JSON.
    std::size_t texts = code.size() + scratch.typeable.size() + scratch.value.size() +
                        scratch.dueDate.size() + scratch.issuerName.size() + scratch.summary.size();
    if (kJsonKeysRoom + 6 * texts <= JsonLine::kCapacity) {
        JsonLine line;
        write(line);
        out += line;
    } else {
        write(out);
    }
}

std::string DecodeJson(const DecodeInput& input, CivilDate today) {
    std::string json;
    FullInterpretation scratch;
    AppendDecodeJson(json, input, today, scratch);
    return json;
}

const CommandSpec& DecodeCommand() {
    static const CommandSpec command{
        "decode",
        "[CODE [KIND]]",
        "  Interprets a 44-digit code (KIND B or C: payment slip, N: NF-e key), a typeable\n"
        "  line or a Pix code (P) and writes one JSON line. Without CODE, reads one code per\n"
        "  line from standard input, each optionally followed by a blank and its kind letter.\n",
        {{"--today", "YYYY-MM-DD", "counts the due date's days from this date, not from today"}}};
    return command;
}

int RunDecode(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
    std::string error;
    auto parsed = ParseArguments(args, DecodeCommand(), error);
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
        if (!kindByte) error = "unknown kind '" + parsed->positional[1] + "' (use B, C, N or P)";
    }
    if (!error.empty()) {
        std::fprintf(err, "zentory-cli decode: %s\n%s", error.c_str(),
                     CommandUsage(DecodeCommand()).c_str());
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
