#pragma once

#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "history/code_record.h"
#include "history/history_database.h"
#include "history/history_store.h"
#include "history/journal.h"
#include "history/payment_run.h"
#include "reception/endpoint.h"
#include "reception/handoff_queue.h"
#include "reception/phone_scan_service.h"
#include "reception/receiver.h"
#include "reception/udp_socket.h"
#include "reception/user_messages.h"
#include "reception/web_server.h"
#include "tls/tls_transport.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "typing/layouts.h"
#include "typing/typing.h"
#include "util/local_time.h"

// What the receiver thread hands to the main window: a record, a status text, or the
// first refusal of a sender.
struct ReceiverEvent {
    enum class Type { Record, Status, Refusal };
    Type type = Type::Record;
    CodeRecord record;
    std::string status;
    std::uint32_t refusedSender = 0;  // network byte order
};

// A full hand-off queue drops the oldest records, never a status text or a refusal.
inline bool IsRecordEvent(const ReceiverEvent& event) {
    return event.type == ReceiverEvent::Type::Record;
}

// A paid or typed mark of a stored record that the history could not take yet.
enum class RecordMark { Typed, Paid };
struct PendingMark {
    std::int64_t id;
    RecordMark mark;
    std::string at;  // "" takes a paid mark away
};

// Opens an address (the NF-e query page) with the shell.
void OpenAddressWithShell(HWND owner, const char* address);

// The program's state, shared by its windows. Start-up fills it; the tests fill it with
// stand-ins. Everything but the settings, the history and the hand-off queue belongs to
// the main thread.
struct Program {
    HINSTANCE instance = nullptr;
    Settings settings;
    SettingsStore* store = nullptr;
    HistoryStore history;
    TextTyper* typer = nullptr;
    std::unique_ptr<KeyboardInjector> injector;
    UserMessages* messages = nullptr;
    // What opens addresses; the tests put a stand-in here.
    void (*openAddress)(HWND owner, const char* address) = OpenAddressWithShell;
    // What adds, changes and removes the tray icon.
    BOOL(WINAPI* notifyIcon)(DWORD command, PNOTIFYICONDATAA data) = Shell_NotifyIconA;
    // The day that the list's due dates are measured against; the tests pin one here.
    CivilDate (*today)() = TodayLocal;

    // Reception: the socket, its receiver thread, and what the thread hands over.
    UdpSocket socket;
    SenderGate senderGate;
    std::unique_ptr<ReceiverSink> receiverSink;
    std::unique_ptr<Receiver> receiver;
    std::unique_ptr<SimulatedReception> simulated;  // F9, made on first use
    HandoffQueue<ReceiverEvent> pending{5000, IsRecordEvent};
    std::deque<ReceiverEvent> backlog;  // taken from `pending`, not yet shown (main thread)

    // The phone's page: its scans join reception at the sender filter.
    std::unique_ptr<PhoneScanService> phoneScans;
    std::unique_ptr<WebServer> webServer;
    std::unique_ptr<TlsServerIdentity> pageIdentity;  // the page's TLS; none when it failed
    std::int32_t webPort = 0;                         // serving on this TCP port; 0 when off
    std::string webProblem;                           // why it is off, for the connect window

    // The history database and the codes seen in this run (main thread).
    std::string journalFolder;  // also where the earlier version's journals are
    HistoryDatabase database;
    std::vector<CodeRecord> unwritten;        // shown, not yet stored: stored with the next batch
    std::vector<PendingMark> unwrittenMarks;  // marks of stored records, not yet stored
    std::string databaseAside;                // where a damaged database was put
    SeenCodes seenCodes;
    bool journalFailureTold = false;
    ULONGLONG lastRepeatBalloon = 0;

    // Command line: the hot key (any argument) and the export file name ("-f ").
    bool hotKeyEnabled = false;
    ATOM hotKeyId = 0;
    ATOM pasteHotKeyId = 0;           // Ctrl+Alt+V, registered at every start
    bool pasteHotKeyRefused = false;  // another program holds it
    ATOM nextHotKeyId = 0;            // Ctrl+Alt+N, "Digitar próximo", registered at every start
    bool nextHotKeyRefused = false;
    ReceiverState pasteState;  // the pasted codes' indexes (main thread)
    std::string exportFileName;

    // Windows, set while the main window is created.
    HWND mainWindow = nullptr;
    HWND toolbar = nullptr;
    HWND statusBar = nullptr;
    HWND list = nullptr;
    HWND filterBox = nullptr;     // the filter's text, above the list
    HWND filterChoice = nullptr;  // all rows, those to pay, those paid

    // What the list shows of the history, and the column it was last sorted by (-1: none).
    RowFilter filter;
    int sortColumn = -1;
};

// Posted to the main window when the receiver's queue turns non-empty.
constexpr UINT kReceiverEventsMessage = WM_APP + 1;
// Posted to the main window when the history could not be written, the first time
// (wParam 0), or was found damaged and kept aside (wParam 1).
constexpr UINT kJournalFailedMessage = WM_APP + 2;
// Posted to the main window when a code was not typed because the focused window's
// program runs as administrator, the first time for each such program.
constexpr UINT kTypingBlockedMessage = WM_APP + 3;
// Posted to the main window by its creation: the notification area answers another
// process's icon slowly, so the icon is added once the window is on the screen.
constexpr UINT kAddTrayIconMessage = WM_APP + 4;
// The tray icon's callback message.
constexpr UINT kTrayMessage = WM_USER + 100;
