// Any bytes as a code of any kind, a Pix code among them: the interpretation and its JSON
// line must neither crash nor read outside the input, and the JSON must stay plain ASCII.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/decode_command.h"
#include "codes/interpretation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    DecodeInput input = ParseDecodeLine(line);
    InterpretCode(input.code, CodeKind::Pix, CivilDate{2026, 12, 7});
    for (int kindByte : {1, 3, kPixKindByte}) {
        input.kindByte = kindByte;
        std::string json = DecodeJson(input, CivilDate{2026, 12, 7});
        for (char c : json) {
            if (c < 0x20 || c > 0x7E) std::abort();
        }
    }
    return 0;
}
