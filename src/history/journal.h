#pragma once

#include <cstddef>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/code_record.h"
#include "util/civil_date.h"

// The journal: every accepted record, appended as it is taken and on the disk before the
// next batch, so that closing the program, a crash, a hard kill or a power cut loses
// nothing already shown. One file a month in one
// folder, named so that the files sort by date ("zentory-2026-12.txt"). Each line holds
// the received-at time, the sender and the record's export line, separated by TABs, in
// Windows-1252 with CR LF; control bytes inside are written as '?', so the TABs and line
// ends are always the journal's own. A Pix code keeps its bytes, UTF-8 where it carries
// any: its CRC covers them.

// "zentory-2026-12.txt"
std::string JournalFileName(int year, int month);

// "2026/12/07 09:05:03<TAB>192.168.0.10<TAB>export line", without its line end. Due dates
// in the export line are resolved around the day the record arrived.
std::string JournalLine(const CodeRecord& record);

// One line read back: when, from whom, and the code and its kind it holds; nothing for a
// line that is not a journal line.
struct JournalEntry {
    std::string receivedAt;  // "2026/12/07 09:05:03"
    std::string code;
    CivilDate day;       // of receivedAt
    std::string sender;  // "192.168.0.10", or the clipboard's name
    CodeKind kind = CodeKind::BankSlip;
};
std::optional<JournalEntry> ParseJournalLine(std::string_view line);

// Appends records to the journal of their month. Not thread-safe: one thread writes.
class JournalWriter {
public:
    explicit JournalWriter(std::string folder) : directory(std::move(folder)) {}
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Appends the records' lines and waits until they are on the disk, a batch at a time.
    // False when a line could not be written (the folder is missing or read-only, the
    // disk is full); the next call tries again.
    bool Append(const std::vector<const CodeRecord*>& records);
    bool Append(const CodeRecord& record) {
        return Append(std::vector<const CodeRecord*>{&record});
    }

    const std::string& Folder() const { return directory; }
    // The file of the last append, for messages.
    const std::string& LastPath() const { return path; }

private:
    // Opens the folder's file `name` for appending; false when it cannot be had.
    bool Open(const std::string& name);
    // Puts the open file on the disk and closes it; false when either fails.
    bool Close();

    std::string directory;
    std::string path;
    std::string fileName;  // "zentory-2026-12.txt" while that file is open
    std::FILE* file = nullptr;
};

// The codes seen before, and when each was first received: from the journals of the
// last 90 days (at most the newest 100,000 codes) and from this run. Loading may run on
// another thread while records arrive: every method is thread-safe.
class SeenCodes {
public:
    static constexpr int kDays = 90;
    static constexpr std::size_t kMaxCodes = 100000;

    // Reads the journals in `folder` for the 90 days up to `today`.
    void Load(const std::string& folder, CivilDate today);

    // When `code` was first received before, "" for a first sighting; this sighting is
    // remembered either way.
    std::string NoteSighting(const std::string& code, const std::string& receivedAt);

    std::size_t Count() const;

private:
    mutable std::mutex mutex;
    std::map<std::string, std::string> firstSightings;  // code, first received-at
};

// The day of a received-at text, "2026/12/07 09:05:03"; nothing for another text.
std::optional<CivilDate> ReceivedAtDate(std::string_view receivedAt);
