#include "reception/clipboard_codes.h"

#include "codes/pix_code.h"
#include "codes/written_code.h"

PastedText ReadPastedText(std::string_view text, ReceiverState& state, const LocalDateTime& now,
                          std::size_t maxCodes) {
    PastedText pasted;
    if (text.size() > kMaxPastedBytes) {
        text = text.substr(0, kMaxPastedBytes);
        pasted.cut = true;
    }
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos) continue;
        // A Pix code may hold blanks (in the name and city): the whole line is the code.
        std::string_view pix = line.substr(first);
        std::optional<WrittenCode> written;
        bool isPix = LooksLikePix(pix) && pix.size() <= kMaxPixBytes;
        if (!isPix && !(written = ReadWrittenCode(line))) {
            ++pasted.notCodes;
            continue;
        }
        if (pasted.records.size() == maxCodes) {
            pasted.cut = true;
            break;
        }
        CodeRecord& record = pasted.records.emplace_back();
        if (isPix) {
            FillScanRecord(state, pix, kPixKindByte, 0, now, record);
        } else {
            FillScanRecord(state, written->barcode, written->nfeKey ? 3 : 1, 0, now, record);
            record.wrongField = written->wrongField;
            if (written->wrongField != 0) record.checkDigitsValid = false;
        }
        record.fromClipboard = true;
    }
    return pasted;
}

std::string NotCodesMessage(const PastedText& pasted) {
    if (pasted.records.empty())
        return "O texto copiado n\xE3o \xE9 um c\xF3"
               "digo de boleto, conta, NF-e ou Pix.";
    if (pasted.notCodes == 0) return {};
    if (pasted.notCodes == 1)
        return "1 linha copiada n\xE3o \xE9 um c\xF3"
               "digo de boleto, conta, NF-e ou Pix.";
    return std::to_string(pasted.notCodes) +
           " linhas copiadas n\xE3o s\xE3o c\xF3"
           "digos de boleto, conta, NF-e ou Pix.";
}
