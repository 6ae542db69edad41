#include "ui/main_window_services.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/history_journal.h"
#include "ui/history_list.h"
#include "ui/selection_status.h"
#include "ui/tray_icon.h"

// What the receiver and the phone page hand to the main thread, and how it becomes rows.

namespace {

// Drops, before they are shown, what appending the waiting records one by one with the
// history's cap would drop in the end: the oldest stored records and the oldest waiting
// ones. `droppedInQueue` records came before the waiting ones and never arrived.
void ApplyCapToBacklog(Program& program, std::size_t droppedInQueue, HistoryRows& rows) {
    std::size_t waiting = std::count_if(program.backlog.begin(), program.backlog.end(),
                                        [](const ReceiverEvent& e) { return IsRecordEvent(e); });
    HistoryStore::CapOutcome outcome =
        HistoryStore::OutcomeOfAppending(program.history.Count(), droppedInQueue + waiting);
    program.history.DropOldest(outcome.droppedStored, rows);
    std::size_t skip = outcome.skippedIncoming - std::min(outcome.skippedIncoming, droppedInQueue);
    for (auto event = program.backlog.begin(); skip > 0 && event != program.backlog.end();) {
        if (IsRecordEvent(*event)) {
            event = program.backlog.erase(event);
            --skip;
        } else {
            ++event;
        }
    }
}

}  // namespace

void DrainReceiverEvents(Program& program, bool everything) {
    std::size_t droppedInQueue = 0;
    std::vector<ReceiverEvent> arrived = program.pending.TakeAll(&droppedInQueue);
    if (arrived.empty() && droppedInQueue == 0 && program.backlog.empty()) return;
    // Every record goes into the history as it is taken, also those the cap never shows.
    TakeIntoJournal(program, arrived);

    ListViewRows rows(program.list, &program.filter);
    SendMessageA(program.list, WM_SETREDRAW, FALSE, 0);  // one redraw for the slice
    if (!arrived.empty() || droppedInQueue > 0) {
        for (ReceiverEvent& event : arrived)
            program.backlog.push_back(std::move(event));
        ApplyCapToBacklog(program, droppedInQueue, rows);
    }

    // A bounded slice per wake-up, so that the window keeps answering between slices.
    constexpr int kSlice = 100;
    for (int done = 0; (everything || done < kSlice) && !program.backlog.empty();) {
        ReceiverEvent event = std::move(program.backlog.front());
        program.backlog.pop_front();
        switch (event.type) {
            case ReceiverEvent::Type::Status: ShowStatusText(program, event.status.c_str()); break;
            case ReceiverEvent::Type::Refusal:
                ShowRefusalBalloon(program, event.refusedSender);
                break;
            case ReceiverEvent::Type::Record:
                program.history.AppendWithCap(std::move(event.record), rows);
                ++done;
                break;
        }
    }
    SendMessageA(program.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(program.list, nullptr, FALSE);
    RequestSelectionTotal(program.mainWindow);
    if (!program.backlog.empty()) PostMessageA(program.mainWindow, kReceiverEventsMessage, 0, 0);
}

void MainWindowSink::Push(ReceiverEvent event) {
    if (program.pending.Push(std::move(event))) {
        PostMessageA(program.mainWindow, kReceiverEventsMessage, 0, 0);
    }
}

void MainWindowSink::ShowStatus(const std::string& text) {
    ReceiverEvent event;
    event.type = ReceiverEvent::Type::Status;
    event.status = text;
    Push(std::move(event));
}

void MainWindowSink::Refuse(std::uint32_t senderAddress) {
    ReceiverEvent event;
    event.type = ReceiverEvent::Type::Refusal;
    event.refusedSender = senderAddress;
    Push(std::move(event));
}

void MainWindowSink::Deliver(CodeRecord record) {
    ReceiverEvent event;
    event.record = std::move(record);
    Push(std::move(event));
}

ReceiverSink& MainSinkOf(Program& program) {
    if (!program.receiverSink) program.receiverSink = std::make_unique<MainWindowSink>(program);
    return *program.receiverSink;
}
