#include "ui/history_journal.h"

#include <shlobj.h>

#include "history/journal.h"
#include "ui/tray_icon.h"
#include "util/debug_trace.h"
#include "util/folders.h"
#include "util/local_time.h"

namespace {

constexpr ULONGLONG kRepeatBalloonPause = 5000;  // milliseconds

void WarnOfRepeat(Program& program, const CodeRecord& record) {
    if (program.settings.warnRepeats == 0) return;
    ULONGLONG now = GetTickCount64();
    if (program.lastRepeatBalloon != 0 && now - program.lastRepeatBalloon < kRepeatBalloonPause)
        return;
    program.lastRepeatBalloon = now;
    std::string text = "Este código já foi lido em " + SpokenReceivedAt(record.firstSeenAt, false);
    if (!record.value.empty() && record.value.rfind("R$", 0) == 0)
        text += " (" + record.value + ")";
    ShowTrayBalloon(program, text);
}

}  // namespace

std::string JournalFolder() {
    char folder[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK)
        return {};
    return std::string(folder) + "\\Zentory";
}

void StartJournal(Program& program) {
    if (program.journalFolder.empty()) program.journalFolder = JournalFolder();
    ApplyJournalSetting(program);
    if (program.journalFolder.empty() || program.seenLoader.joinable()) return;
    try {
        program.seenLoader = std::thread([&program, folder = program.journalFolder] {
            program.seenCodes.Load(folder, TodayLocal());
            DebugTrace("Codes seen before: %u\n", static_cast<unsigned>(program.seenCodes.Count()));
        });
    } catch (const std::system_error&) {
        DebugTrace("[E] codes seen before not read\n");
    }
}

void StopJournal(Program& program) {
    if (program.seenLoader.joinable()) program.seenLoader.join();
    program.journal.reset();
}

void ApplyJournalSetting(Program& program) {
    if (program.settings.journal == 0 || program.journalFolder.empty()) {
        program.journal.reset();
    } else if (!program.journal) {
        program.journal = std::make_unique<JournalWriter>(program.journalFolder);
    }
}

void TakeIntoJournal(Program& program, std::vector<ReceiverEvent>& arrived) {
    std::vector<const CodeRecord*> batch;
    const CodeRecord* repeat = nullptr;
    for (ReceiverEvent& event : arrived) {
        if (!IsRecordEvent(event)) continue;
        CodeRecord& record = event.record;
        record.firstSeenAt = program.seenCodes.NoteSighting(record.code, record.receivedAt);
        if (!record.firstSeenAt.empty()) repeat = &record;
        batch.push_back(&record);
    }
    if (program.journal && !batch.empty() && !program.journal->Append(batch)) {
        DebugTrace("[E] journal %s\n", program.journal->LastPath().c_str());
        if (!program.journalFailureTold) {
            program.journalFailureTold = true;
            PostMessageA(program.mainWindow, kJournalFailedMessage, 0, 0);
        }
    }
    if (repeat) WarnOfRepeat(program, *repeat);
}

void OpenJournalFolder(Program& program) {
    if (program.journalFolder.empty()) program.journalFolder = JournalFolder();
    if (program.journalFolder.empty() || !MakeFolders(program.journalFolder)) {
        MessageBoxA(program.mainWindow, "Não foi possível abrir a pasta do histórico.", "zentory",
                    MB_OK | MB_ICONWARNING);
        return;
    }
    program.openAddress(program.mainWindow, program.journalFolder.c_str());
}

std::string SpokenReceivedAt(std::string_view text, bool seconds) {
    if (!ReceivedAtDate(text)) return {};
    std::string spoken;
    spoken.append(text.substr(8, 2)).append("/").append(text.substr(5, 2)).append("/");
    spoken.append(text.substr(0, 4)).append(" às ").append(text.substr(11, seconds ? 8 : 5));
    return spoken;
}
