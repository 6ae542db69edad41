#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "history/code_record.h"
#include "reception/receiver.h"
#include "util/local_time.h"

// Codes that reach the program as text, copied from a PDF, a DANFE or a spreadsheet: one
// code a line (a barcode, a typeable line or an NF-e key, as ReadWrittenCode reads them,
// or a Pix code, "Pix Copia e Cola", which takes its whole line). The text is UTF-8.

// At most this much of a copied text is read, and this many codes are taken from it.
inline constexpr std::size_t kMaxPastedBytes = 256 * 1024;
inline constexpr std::size_t kMaxPastedCodes = 500;

struct PastedText {
    std::vector<CodeRecord> records;  // interpreted as scans, from the clipboard
    int notCodes = 0;                 // lines with text that is no code (blank ones aside)
    bool cut = false;                 // more codes or text than one paste takes
};

// Reads each line of `text` (LF or CR LF) into a record, as a datagram's code is read
// (the next index of `state`, the received-at time of `now`), marked as pasted. A typeable
// line stands for its barcode, and one whose field check digit fails is invalid. At most
// `maxCodes` records; reading stops there.
PastedText ReadPastedText(std::string_view text, ReceiverState& state, const LocalDateTime& now,
                          std::size_t maxCodes = kMaxPastedCodes);

// What the user is told of a paste's lines that are no code: "" when all were codes.
std::string NotCodesMessage(const PastedText& pasted);
