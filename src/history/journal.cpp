#include "history/journal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "codes/check_digits.h"
#include "codes/code_kind.h"
#include "codes/pix_code.h"
#include "history/history_line.h"
#include "util/file_sync.h"
#include "util/folders.h"
#include "util/local_time.h"

std::optional<CivilDate> ReceivedAtDate(std::string_view text) {
    // "YYYY/MM/DD HH:MM:SS"
    if (text.size() != 19 || text[4] != '/' || text[7] != '/' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    for (std::size_t at : {11, 14, 17}) {
        if (!AllDigits(text.substr(at, 2))) return std::nullopt;
    }
    return DateAt(text, 0, 5, 8);
}

std::string JournalFileName(int year, int month) {
    char name[32];
    std::snprintf(name, sizeof name, "zentory-%04d-%02d.txt", year, month);
    return name;
}

std::string JournalLine(const CodeRecord& record) {
    CivilDate day = ReceivedAtDate(record.receivedAt).value_or(CivilDate{});
    std::string line = WithoutControlBytes(record.receivedAt);
    line += '\t';
    line += SenderText(record);
    line += '\t';
    line += WithoutControlBytes(HistoryExportLine(record.code, record.kind, day));
    return line;
}

std::optional<JournalEntry> ParseJournalLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    std::size_t firstTab = line.find('\t');
    if (firstTab == std::string_view::npos) return std::nullopt;
    std::size_t secondTab = line.find('\t', firstTab + 1);
    if (secondTab == std::string_view::npos) return std::nullopt;
    std::string_view receivedAt = line.substr(0, firstTab);
    std::optional<CivilDate> day = ReceivedAtDate(receivedAt);
    if (!day) return std::nullopt;
    JournalEntry entry{std::string(receivedAt),
                       {},
                       *day,
                       std::string(line.substr(firstTab + 1, secondTab - firstTab - 1))};
    std::string_view exported = line.substr(secondTab + 1);
    if (exported.substr(0, 4) == "Pix ") {
        // A Pix code may hold blanks: its own fields tell where it ends.
        exported.remove_prefix(4);
        std::size_t length = PixCodeLength(exported);
        if (length == 0) return std::nullopt;
        entry.code = exported.substr(0, length);
        entry.kind = CodeKind::Pix;
        return entry;
    }
    bool invoice = exported.substr(0, 4) == "NFe ";
    if (invoice) exported.remove_prefix(4);
    std::string_view code = exported.substr(0, exported.find(' '));
    // Only a real code is worth remembering.
    if (!IsFullCode(code)) return std::nullopt;
    entry.code = code;
    entry.kind = EffectiveKind(invoice ? 3 : 1, code);
    return entry;
}

JournalWriter::~JournalWriter() {
    if (file) std::fclose(file);
}

bool JournalWriter::Open(const std::string& name) {
    if (!MakeFolders(directory)) return false;
    path = JoinPath(directory, name);
    // A line that a power cut left without its end is ended first, so that the next line
    // cannot be glued to it; reading back skips it while it is the last.
    if (std::FILE* existing = std::fopen(path.c_str(), "r+b")) {
        bool mended = EndLastLine(existing);
        std::fclose(existing);
        if (!mended) return false;
    }
    // Binary append: the CR LF are the journal's own on every platform.
    file = std::fopen(path.c_str(), "ab");
    if (!file) return false;
    fileName = name;
    return true;
}

bool JournalWriter::Close() {
    // The close's answer counts too: some file systems tell of a refused write only then.
    bool closed = FlushToDisk(file);
    closed = std::fclose(file) == 0 && closed;
    file = nullptr;
    return closed;
}

bool JournalWriter::Append(const std::vector<const CodeRecord*>& records) {
    bool written = true;
    for (const CodeRecord* record : records) {
        // The program makes every received-at text itself; should one not read, today's file.
        CivilDate day = ReceivedAtDate(record->receivedAt).value_or(TodayLocal());
        std::string name = JournalFileName(day.year, day.month);
        // A batch that runs into the next month leaves the first month's file on the disk,
        // as it leaves its last one.
        if (file && name != fileName && !Close()) written = false;
        if (!file && !Open(name)) {
            written = false;
            continue;
        }
        std::string line = JournalLine(*record) + "\r\n";
        written = std::fwrite(line.data(), 1, line.size(), file) == line.size() && written;
    }
    // On the disk per batch: a killed program or a power cut loses nothing written.
    if (file && !FlushToDisk(file)) written = false;
    if (!written && file) {
        // Open afresh next time: the file may have gone, or the disk may have room again.
        std::fclose(file);
        file = nullptr;
    }
    return written;
}

void SeenCodes::Load(const std::string& folder, CivilDate today) {
    std::int64_t firstDay = DaysFromCivil(today) - kDays;
    CivilDate start = CivilFromDays(firstDay);
    // The last sighting only decides which codes stay when there are too many.
    struct Sighting {
        std::string first;
        std::string last;
    };
    std::map<std::string, Sighting> loaded;
    for (CivilDate month{start.year, start.month, 1};
         month.year < today.year || (month.year == today.year && month.month <= today.month);) {
        std::string path = JoinPath(folder, JournalFileName(month.year, month.month));
        if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
            char buffer[1024];
            while (std::fgets(buffer, sizeof buffer, file)) {
                // Without its line end, the file's last line is one that a power cut
                // tore: what it holds may not be what was meant.
                if (std::strchr(buffer, '\n') == nullptr && std::feof(file)) break;
                std::optional<JournalEntry> entry = ParseJournalLine(buffer);
                if (!entry) continue;
                if (DaysFromCivil(entry->day) < firstDay) continue;
                Sighting& sighting = loaded[entry->code];
                if (sighting.first.empty() || entry->receivedAt < sighting.first)
                    sighting.first = entry->receivedAt;
                if (entry->receivedAt > sighting.last) sighting.last = entry->receivedAt;
            }
            std::fclose(file);
        }
        month.month = month.month == 12 ? 1 : month.month + 1;
        if (month.month == 1) ++month.year;
    }
    if (loaded.size() > kMaxCodes) {
        // The newest sightings stay.
        std::vector<std::pair<std::string, std::string>> byLast;  // last, code
        byLast.reserve(loaded.size());
        for (const auto& [code, sighting] : loaded)
            byLast.emplace_back(sighting.last, code);
        std::nth_element(byLast.begin(), byLast.begin() + static_cast<std::ptrdiff_t>(kMaxCodes),
                         byLast.end(), [](const auto& a, const auto& b) { return a > b; });
        for (std::size_t i = kMaxCodes; i < byLast.size(); ++i)
            loaded.erase(byLast[i].second);
    }
    std::lock_guard lock(mutex);
    for (auto& [code, sighting] : loaded) {
        auto [known, inserted] = firstSightings.emplace(code, sighting.first);
        // Seen in this run already: the journal's sighting is the earlier one.
        if (!inserted && sighting.first < known->second) known->second = sighting.first;
    }
}

std::string SeenCodes::NoteSighting(const std::string& code, const std::string& receivedAt) {
    std::lock_guard lock(mutex);
    auto [known, inserted] = firstSightings.emplace(code, receivedAt);
    return inserted ? std::string() : known->second;
}

std::size_t SeenCodes::Count() const {
    std::lock_guard lock(mutex);
    return firstSightings.size();
}
