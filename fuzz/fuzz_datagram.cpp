// Any bytes as a received datagram: validation, the repeat rule and, for an accepted
// one, the interpretation, the layouts and the export line must neither crash nor read
// outside the datagram. What is typed must only ever be digits and TABs.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "history/history_line.h"
#include "reception/receiver.h"
#include "typing/layouts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A private copy of exactly `size` bytes, so that the sanitizer sees any over-read.
    std::vector<std::uint8_t> payload(data, data + size);
    ReceiverState state;
    state.lastSequence = 7;
    CodeRecord record;
    LocalDateTime now;
    now.date = CivilDate{2026, 12, 7};
    if (AcceptDatagram(state, payload.data(), payload.size(), 0x0100007F, now, record) !=
        DatagramOutcome::Accepted) {
        return 0;
    }
    HistoryExportLine(record.code, record.kind, now.date);
    bool typeable = record.code.size() == 44;
    for (char c : record.code)
        typeable = typeable && c >= '0' && c <= '9';
    for (std::int32_t mode = -1; mode <= 7; ++mode) {
        auto text = InjectionText(record.code, record.kind, mode, 0x3FF);
        if (text && typeable && !IsSafeToType(*text)) std::abort();
    }
    return 0;
}
