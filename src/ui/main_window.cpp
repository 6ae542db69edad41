#include "ui/main_window.h"

#include "typing/target_check.h"
#include "ui/clipboard_paste.h"
#include "ui/phone_page.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>

#include "codes/contacts.h"
#include "codes/nfe_access_key.h"
#include "reception/endpoint.h"
#include "resource.h"
#include "ui/about_box.h"
#include "ui/config_dialog.h"
#include "ui/connect_window.h"
#include "ui/details_dialog.h"
#include "ui/help_page.h"
#include "ui/history_journal.h"
#include "ui/history_list.h"
#include "ui/dpi.h"
#include "ui/layout_helper.h"
#include "ui/main_toolbar.h"
#include "ui/save_dialog.h"
#include "ui/selection_status.h"
#include "ui/tray_icon.h"
#include "util/debug_trace.h"

namespace {

constexpr UINT_PTR kDrainTimer = 1;
constexpr UINT_PTR kTrayRetryTimer = 2;
// Tells, once the start's own status texts are shown, that Ctrl+Alt+V was refused.
constexpr UINT_PTR kPasteHotKeyNoticeTimer = 3;
// At logon the taskbar may not be there yet: the icon is tried again for two minutes.
constexpr UINT kTrayRetryMilliseconds = 2000;
constexpr int kTrayRetries = 60;

// Per main window: the program, the layout helper, the tray icon's retries and what the
// list's custom draw keeps between calls.
struct MainWindowState {
    Program* program;
    LayoutHelper layout;
    int trayRetriesLeft = kTrayRetries;
    HistoryListLook listLook{};
    // Display scale: the DPI the window is drawn for, the toolbar's images for it, and
    // the children's font when it is not the one the dialog manager made at start.
    UINT dpi = kDefaultDpi;
    HIMAGELIST toolbarImages = nullptr;
    HFONT startFont = nullptr;
    UINT startDpi = kDefaultDpi;
    HFONT scaledFont = nullptr;
    HFONT scaledStatusFont = nullptr;

    MainWindowState(Program* owner) : program(owner) {}
    MainWindowState(const MainWindowState&) = delete;
    MainWindowState& operator=(const MainWindowState&) = delete;
    ~MainWindowState() {
        // The window and its children are gone by now.
        if (toolbarImages) ImageList_Destroy(toolbarImages);
        if (scaledFont) DeleteObject(scaledFont);
        if (scaledStatusFont) DeleteObject(scaledStatusFont);
    }
};

// Sent to every top-level window when the taskbar (re)starts.
UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message != 0 ? message : ~0u;  // never a message that arrives
}

}  // namespace

void ShowStatusText(Program& program, const char* text) {
    SendMessageA(program.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

namespace {

// Starts the receiver on the program's socket. When the system has no thread to give,
// the user is told, and the status bar says that nothing is received.
bool StartReceiver(Program& program) {
    program.receiver =
        std::make_unique<Receiver>(program.socket, program.settings.udpPort, MainSinkOf(program),
                                   program.injector.get(), &program.senderGate);
    try {
        program.receiver->Start();
        return true;
    } catch (const std::system_error& failure) {
        DebugTrace("[E] receiver thread %d\n", failure.code().value());
        program.receiver.reset();
        ShowStatusText(program, "Recepção parada");
        char message[128];
        std::snprintf(message, sizeof message,
                      "Não foi possível iniciar a recepção na porta %d (erro %d).",
                      static_cast<int>(program.settings.udpPort), failure.code().value());
        program.messages->ShowError(message);
        return false;
    }
}

// Adds the tray icon; when the taskbar is not ready, tries again on a timer.
void AddTrayIconOrRetry(HWND window, MainWindowState& state) {
    if (AddTrayIcon(*state.program)) {
        KillTimer(window, kTrayRetryTimer);
        return;
    }
    DebugTrace("[E] Shell_NotifyIcon, %d tries left\n", state.trayRetriesLeft);
    if (state.trayRetriesLeft-- > 0) {
        SetTimer(window, kTrayRetryTimer, kTrayRetryMilliseconds, nullptr);
    } else {
        KillTimer(window, kTrayRetryTimer);
    }
}

MainWindowState* StateOf(HWND window) {
    return reinterpret_cast<MainWindowState*>(GetWindowLongPtrA(window, DWLP_USER));
}

INT_PTR Result(HWND window, LRESULT result) {
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

HWND CreateStatusBar(HWND window) {
    HWND statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | SBARS_TOOLTIPS,
                                         "Text", window, IDC_STATUSBAR);
    LayOutStatusParts(statusBar);
    return statusBar;
}

// The list between the toolbar and the status bar, the window's full width.
void PlaceList(HWND window, HWND toolbar, HWND statusBar, HWND list) {
    RECT client, toolbarClient, toolbarWindow, statusWindow;
    GetClientRect(window, &client);
    GetClientRect(toolbar, &toolbarClient);
    GetWindowRect(toolbar, &toolbarWindow);
    GetWindowRect(statusBar, &statusWindow);
    SetWindowPos(list, nullptr, 0, toolbarClient.bottom + 2, client.right,
                 statusWindow.top - toolbarWindow.bottom, SWP_NOZORDER | SWP_NOREDRAW);
}

void OnCreate(HWND window, MainWindowState& state) {
    Program& program = *state.program;
    program.mainWindow = window;
    if (program.hotKeyEnabled) {
        // Held keys type the code once. Windows before 7 knows no MOD_NOREPEAT.
        if (!RegisterHotKey(window, program.hotKeyId, MOD_CONTROL | MOD_ALT | MOD_NOREPEAT, 'B'))
            RegisterHotKey(window, program.hotKeyId, MOD_CONTROL | MOD_ALT, 'B');
    }
    RegisterPasteHotKey(program, window);
    if (program.pasteHotKeyRefused) SetTimer(window, kPasteHotKeyNoticeTimer, 2000, nullptr);
    PostMessageA(window, kAddTrayIconMessage, 0, 0);
    // The dialog manager would lay the template's controls out again at a new scale; this
    // window has its own layout.
    TakeOverDpiChanges(window);
    FitIntoWorkArea(window);
    state.dpi = state.startDpi = DpiOfWindow(window);
    state.startFont = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    program.toolbar = CreateMainToolbar(window, program.instance, state.dpi, state.toolbarImages);
    program.statusBar = CreateStatusBar(window);
    HWND list = GetDlgItem(window, IDC_HISTORY_LIST);
    PlaceList(window, program.toolbar, program.statusBar, list);
    SendMessageA(program.statusBar, SB_SETTEXTA, 1,
                 reinterpret_cast<LPARAM>(ModeStatusText(program.settings.injectionMode)));
    state.layout.Attach(window);
    state.layout.FindOverride(list, true)->vertical = LayoutHelper::Stretch;
    SetUpHistoryList(list, window, program.instance, state.dpi);
    program.list = list;
    if (program.socket.IsOpen()) StartReceiver(program);
    CreateHeaderTips(list);
    // Each record posts one wake-up only when the queue was empty; should that post
    // ever be lost, this timer still empties the queue.
    SetTimer(window, kDrainTimer, 500, nullptr);
}

// WM_DPICHANGED: the window moved to a monitor of another scale, or the scale changed.
// It takes the rectangle Windows suggests and is then drawn as if it had started there.
void OnDpiChanged(HWND window, MainWindowState& state, UINT dpi, const RECT& suggested) {
    Program& program = *state.program;
    UINT oldDpi = state.dpi;
    if (dpi == 0) return;
    state.dpi = dpi;

    HFONT font = state.startFont;
    HFONT scaled = nullptr;
    if (dpi != state.startDpi && (scaled = FontForDpi(state.startFont, state.startDpi, dpi)))
        font = scaled;
    SendMessageA(program.list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (state.scaledFont) DeleteObject(state.scaledFont);
    state.scaledFont = scaled;
    if (HFONT statusFont = StatusFontForDpi(dpi)) {
        SendMessageA(program.statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont), FALSE);
        if (state.scaledStatusFont) DeleteObject(state.scaledStatusFont);
        state.scaledStatusFont = statusFont;
    }

    ScaleMainToolbar(program.toolbar, program.instance, dpi, state.toolbarImages);
    ScaleHistoryList(program.list, program.instance, oldDpi, dpi);
    state.layout.ScaleMinimum(state.startDpi, dpi);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The bars take their heights from their new contents.
    SendMessageA(program.statusBar, WM_SIZE, 0, 0);
    PlaceList(window, program.toolbar, program.statusBar, program.list);
    LayOutStatusParts(program.statusBar);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The code and kind of the record shown in a row, copied out under the history lock;
// false for a row out of range or one whose record is gone.
bool RecordOfRow(Program& program, int row, int& itemId, std::string& code, CodeKind& kind) {
    if (row < 0 || row >= static_cast<int>(program.history.Count())) return false;
    itemId = RowItemId(program.list, row);
    auto lock = program.history.Lock();
    const CodeRecord* record = program.history.FindByItemId(itemId);
    if (!record) return false;
    code = record->code;
    kind = record->kind;
    return true;
}

// A double-click on a row: the NF-e portal for an invoice key, the details otherwise.
void OnRowActivated(Program& program, int row, int column) {
    DebugTrace("NM_DBLCLK list %d %d\n", row, column);
    int itemId;
    std::string code;
    CodeKind kind;
    if (!RecordOfRow(program, row, itemId, code, kind)) return;
    if (kind == CodeKind::NfeKey) {
        // A code comes from the network: only a real key may become part of an address.
        if (!IsWellFormedNfeKey(code)) {
            MessageBoxA(program.mainWindow, "Chave de NF-e inválida: o código não tem 44 dígitos.",
                        "zentory", MB_OK | MB_ICONWARNING);
            return;
        }
        program.openAddress(program.mainWindow, NfeQueryAddress(code).c_str());
    } else {
        ShowDetailsDialog(program.mainWindow, program.instance, program.history, itemId);
    }
}

// The selected row the user acted on last (the selection mark, when it is selected), or
// the first selected one; -1 when no row is selected. The mark alone may sit on a row
// that is not selected, after a deselection or a deletion.
int ChosenRow(HWND list) {
    int mark = static_cast<int>(SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0));
    if (mark >= 0 && (SendMessageA(list, LVM_GETITEMSTATE, mark, LVIS_SELECTED) & LVIS_SELECTED))
        return mark;
    return static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Ctrl+Alt+B: types the selected row's code again, into whatever window has the focus;
// nothing when no row is selected.
void OnHotKey(Program& program) {
    int row = ChosenRow(program.list);
    DebugTrace("WM_HOTKEY %d", row);
    int itemId;
    std::string code;
    CodeKind kind;
    if (!RecordOfRow(program, row, itemId, code, kind)) return;
    if (program.settings.injectionMode >= ModeTypeable && program.injector) {
        program.injector->TypeCode(code, kind);
    }
}

void OnClose(HWND window, Program& program) {
    DeleteTrayIcon(program);
    PostQuitMessage(0);
    DestroyWindow(window);
}

void OnCommand(HWND window, Program& program, UINT command) {
    switch (command) {
        case IDM_EXIT: SendMessageA(window, WM_CLOSE, 0, 0); break;
        case IDM_SHOW: ShowMainWindow(window); break;
        case IDM_SUPPORT_MAIL: {
            // "mailto:" and the address; a "//" would become part of the address.
            std::string link = std::string("mailto:") + kSupportEmail + "?subject=Zentory Windows";
            ShellExecuteA(window, "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            break;
        }
        case IDM_DELETE: DeleteHistoryRows(program); break;
        case IDM_OPEN_JOURNAL_FOLDER: OpenJournalFolder(program); break;
        case IDM_SAVE:
            // Every record accepted before F2 goes into the file.
            DrainReceiverEvents(program, true);
            if (program.history.Count() == 0) {
                MessageBoxA(window, "Não há códigos de barras para salvar.", "zentory",
                            MB_OK | MB_ICONWARNING);
            } else {
                ChooseExportFile(window, program);
            }
            break;
        case IDM_ABOUT: AboutBox(window, program.instance); break;
        case IDM_HELP: ShowHelpPage(window, "/#157"); break;
        case IDM_CONFIGURATION: ConfigDialog(window, program); break;
        case IDM_CONNECT: ConnectWindow(window, program); break;
        case IDM_PASTE: PasteCodes(program); break;
        case IDM_SIMULATE:
            if (!program.simulated) {
                program.simulated = std::make_unique<SimulatedReception>(
                    MainSinkOf(program), program.injector.get(), &program.senderGate);
            }
            program.simulated->FeedNextSample();
            break;
        case IDM_GRID: ToggleGrid(program.list, window); break;
        default: break;
    }
}

INT_PTR OnNotify(HWND window, Program& program, NMHDR* header) {
    if (header->idFrom == IDC_TOOLBAR && header->code == TBN_GETINFOTIPA) {
        auto* tip = reinterpret_cast<NMTBGETINFOTIPA*>(header);
        if (const char* text = ToolbarTip(static_cast<UINT>(tip->iItem))) {
            lstrcpynA(tip->pszText, text, tip->cchTextMax);
        }
        return FALSE;
    }
    if (header->idFrom != IDC_HISTORY_LIST) return FALSE;
    switch (header->code) {
        case NM_DBLCLK: {
            auto* activate = reinterpret_cast<NMITEMACTIVATE*>(header);
            OnRowActivated(program, activate->iItem, activate->iSubItem);
            return Result(window, 0);
        }
        case LVN_GETDISPINFOA:
            AnswerTextRequest(reinterpret_cast<NMLVDISPINFOA*>(header));
            return Result(window, 0);
        case LVN_COLUMNCLICK:
            SortHistoryList(program.list, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
            return Result(window, 0);
        case NM_CUSTOMDRAW:
            return Result(window,
                          CustomDrawHistoryList(window, reinterpret_cast<NMLVCUSTOMDRAW*>(header),
                                                &StateOf(window)->listLook, program.today));
        case LVN_ITEMCHANGED:
        case LVN_INSERTITEM:
        case LVN_DELETEITEM:
        case LVN_DELETEALLITEMS: NoteHistoryListChange(window, header); return FALSE;
        default: return FALSE;
    }
}

}  // namespace

const char* ModeStatusText(std::int32_t mode) {
    switch (mode) {
        case ModeTypeable: return "Injeção de teclado ativada (digitável)";
        case ModeTypeableTab: return "Injeção de teclado ativada (digitável com TAB)";
        case ModeCustom: return "Injeção de teclado ativada (digitável CUSTOM)";
        default:
            return mode <= ModeOff ? "Injeção de teclado desativada"
                                   : "Injeção de teclado ativada (código de barras)";
    }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    // A dialog made from a template that names this class: the dialog manager's own
    // procedure, which calls MainWindowProcedure for every message.
    windowClass.lpfnWndProc = DefDlgProcA;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "APPICON");
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, "APPICON", IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "ZentoryWinClass";
    return RegisterClassExA(&windowClass) != 0;
}

HWND CreateMainWindow(Program& program) {
    return CreateDialogParamA(program.instance, "MAIN", nullptr, MainWindowProcedure,
                              reinterpret_cast<LPARAM>(&program));
}

INT_PTR CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* state = new MainWindowState(reinterpret_cast<Program*>(lParam));
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        OnCreate(window, *state);
        return TRUE;
    }
    MainWindowState* state = StateOf(window);
    if (!state) return FALSE;
    Program& program = *state->program;
    switch (message) {
        case WM_SIZE:
            state->layout.OnSize(wParam);
            LayOutStatusParts(program.statusBar);
            UpdateWindow(window);
            return Result(window, 0);
        case WM_PAINT: state->layout.PaintGrip(); return FALSE;
        case WM_NCHITTEST: return Result(window, state->layout.HitTest(wParam, lParam));
        case WM_GETMINMAXINFO:
            state->layout.GetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return Result(window, 0);
        case WM_NOTIFY: return OnNotify(window, program, reinterpret_cast<NMHDR*>(lParam));
        case WM_DPICHANGED:
            OnDpiChanged(window, *state, HIWORD(wParam), *reinterpret_cast<RECT*>(lParam));
            return Result(window, 0);
        case WM_COMMAND: OnCommand(window, program, LOWORD(wParam)); return FALSE;
        case WM_SYSCOMMAND:
            if (wParam == SC_MINIMIZE) {
                ShowWindow(window, SW_HIDE);  // it lives on in the tray
                return Result(window, 1);
            }
            return FALSE;
        case WM_HOTKEY:
            if (wParam == program.pasteHotKeyId) {
                TypeCopiedCode(program);
            } else {
                OnHotKey(program);
            }
            return FALSE;
        case WM_CLOSE: OnClose(window, program); return TRUE;
        case kTrayMessage:
            OnTrayNotification(window, program.instance, static_cast<UINT>(wParam),
                               static_cast<UINT>(lParam));
            return FALSE;
        case kReceiverEventsMessage: DrainReceiverEvents(program); return TRUE;
        case kAddTrayIconMessage: AddTrayIconOrRetry(window, *state); return TRUE;
        case kTypingBlockedMessage:
            ShowStatusText(program, kElevatedTargetMessage);
            ShowTrayBalloon(program, kElevatedTargetMessage);
            return TRUE;
        case kJournalFailedMessage: {
            std::string text =
                wParam == 1
                    ? "O histórico estava danificado. Ele foi guardado como " +
                          program.databaseAside + " e um histórico novo foi começado."
                    : "Não foi possível gravar o histórico em " + HistoryDatabasePath(program) +
                          ". Os códigos continuam chegando e ficam na lista; eles serão "
                          "gravados assim que for possível.";
            MessageBoxA(window, text.c_str(), "zentory", MB_OK | MB_ICONWARNING);
            return TRUE;
        }
        case WM_TIMER:
            if (wParam == kDrainTimer) DrainReceiverEvents(program);
            if (wParam == kTrayRetryTimer) AddTrayIconOrRetry(window, *state);
            if (wParam == kPasteHotKeyNoticeTimer) {
                KillTimer(window, kPasteHotKeyNoticeTimer);
                ShowStatusText(program, "O atalho Ctrl+Alt+V está em uso por outro programa.");
            }
            return TRUE;
        case WM_NCDESTROY:
            // The receiver and the page hand records to this window: both stop first.
            StopPhonePage(program);
            if (program.receiver) program.receiver->Stop();
            SetWindowLongPtrA(window, DWLP_USER, 0);
            delete state;
            return FALSE;
        default:
            if (message == TaskbarCreatedMessage()) {
                // Explorer restarted: without its icon a hidden Zentory could not be reached.
                state->trayRetriesLeft = kTrayRetries;
                AddTrayIconOrRetry(window, *state);
            }
            return FALSE;
    }
}

void OpenAddressWithShell(HWND owner, const char* address) {
    ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

bool MoveReception(Program& program, std::int32_t port) {
    // The new port first: when it cannot be had, reception goes on where it was.
    UdpSocket moved;
    if (!OpenEndpoint(moved, port, *program.messages)) return false;
    if (program.receiver) program.receiver->Stop();  // interrupts the old socket under it
    program.receiver.reset();
    program.socket.TakeOver(moved);
    program.settings.udpPort = port;
    StartReceiver(program);
    return true;
}

bool SetUdpReception(Program& program, bool on) {
    if (on && !program.socket.IsOpen()) {
        if (!OpenEndpoint(program.socket, program.settings.udpPort, *program.messages))
            return false;
        StartReceiver(program);
    } else if (!on && program.socket.IsOpen()) {
        if (program.receiver) program.receiver->Stop();  // interrupts the socket under it
        program.receiver.reset();
        program.socket.Close();
        ShowReceptionStatus(program);
    }
    return true;
}

void ShowReceptionStatus(Program& program) {
    if (program.socket.IsOpen()) return;
    char text[96];
    if (program.webPort > 0) {
        std::snprintf(text, sizeof text, "Recepção UDP desligada; página na porta %d TCP",
                      static_cast<int>(program.webPort));
    } else {
        std::snprintf(text, sizeof text, "Recepção desligada");
    }
    ShowStatusText(program, text);
}

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

    ListViewRows rows(program.list);
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
