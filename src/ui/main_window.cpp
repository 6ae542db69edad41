#include "ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "codes/contacts.h"
#include "codes/nfe_access_key.h"
#include "resource.h"
#include "typing/target_check.h"
#include "ui/about_box.h"
#include "ui/clipboard_paste.h"
#include "ui/config_dialog.h"
#include "ui/connect_window.h"
#include "ui/details_dialog.h"
#include "ui/dpi.h"
#include "ui/filter_bar.h"
#include "ui/help_page.h"
#include "ui/history_journal.h"
#include "ui/history_list.h"
#include "ui/hot_keys.h"
#include "ui/layout_helper.h"
#include "ui/main_toolbar.h"
#include "ui/payment_commands.h"
#include "ui/phone_page.h"
#include "ui/save_dialog.h"
#include "ui/selection_status.h"
#include "ui/tray_icon.h"
#include "util/debug_trace.h"

namespace {

constexpr UINT_PTR kDrainTimer = 1;
constexpr UINT_PTR kTrayRetryTimer = 2;
// Tells, once the start's own status texts are shown, that Ctrl+Alt+V or Ctrl+Alt+N was
// refused.
constexpr UINT_PTR kHotKeyNoticeTimer = 3;
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

namespace {

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

// The filter under the toolbar, then the list down to the status bar, the window's full
// width.
void PlaceListAndFilter(HWND window, Program& program, UINT dpi) {
    RECT client, toolbarClient, statusWindow;
    GetClientRect(window, &client);
    GetClientRect(program.toolbar, &toolbarClient);
    GetWindowRect(program.statusBar, &statusWindow);
    POINT statusTop = {statusWindow.left, statusWindow.top};
    ScreenToClient(window, &statusTop);
    auto font = reinterpret_cast<HFONT>(SendMessageA(program.list, WM_GETFONT, 0, 0));
    int top = PlaceFilterBar(program, toolbarClient.bottom + 2, dpi, font);
    SetWindowPos(program.list, nullptr, 0, top, client.right, statusTop.y - top,
                 SWP_NOZORDER | SWP_NOREDRAW);
}

// The status text that tells of hot keys another program holds.
const char* RefusedHotKeysText(const Program& program) {
    if (program.pasteHotKeyRefused && program.nextHotKeyRefused)
        return "Os atalhos Ctrl+Alt+V e Ctrl+Alt+N estão em uso por outro programa.";
    if (program.nextHotKeyRefused) return "O atalho Ctrl+Alt+N está em uso por outro programa.";
    return "O atalho Ctrl+Alt+V está em uso por outro programa.";
}

void OnCreate(HWND window, MainWindowState& state) {
    Program& program = *state.program;
    program.mainWindow = window;
    if (program.hotKeyEnabled) RegisterCtrlAltHotKey(window, program.hotKeyId, 'B');
    RegisterPasteHotKey(program, window);
    RegisterNextHotKey(program, window);
    if (program.pasteHotKeyRefused || program.nextHotKeyRefused)
        SetTimer(window, kHotKeyNoticeTimer, 2000, nullptr);
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
    program.list = list;
    CreateFilterBar(program, window);
    PlaceListAndFilter(window, program, state.dpi);
    SendMessageA(program.statusBar, SB_SETTEXTA, 1,
                 reinterpret_cast<LPARAM>(ModeStatusText(program.settings.injectionMode)));
    state.layout.Attach(window);
    state.layout.FindOverride(list, true)->vertical = LayoutHelper::Stretch;
    SetUpHistoryList(list, window, program.instance, state.dpi);
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
    PlaceListAndFilter(window, program, dpi);
    LayOutStatusParts(program.statusBar);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// A double-click on a row: the NF-e portal for an invoice key, the details otherwise.
void OnRowActivated(Program& program, int row, int column) {
    DebugTrace("NM_DBLCLK list %d %d\n", row, column);
    std::string code;
    CodeKind kind;
    if (!StoredRecordOfRow(program, row, code, kind)) return;
    int itemId = RowItemId(program.list, row);
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

void OnClose(HWND window, Program& program) {
    DeleteTrayIcon(program);
    PostQuitMessage(0);
    DestroyWindow(window);
}

void OnCommand(HWND window, Program& program, UINT command, UINT notification) {
    if (command == IDC_FILTER_BOX || command == IDC_FILTER_CHOICE) {
        OnFilterCommand(program, static_cast<int>(command), static_cast<int>(notification));
        return;
    }
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
        case IDM_PASTE:
            // Ctrl+V in the filter pastes there, not codes into the list.
            if (GetFocus() == program.filterBox)
                SendMessageA(program.filterBox, WM_PASTE, 0, 0);
            else
                PasteCodes(program);
            break;
        case IDM_SIMULATE:
            if (!program.simulated) {
                program.simulated = std::make_unique<SimulatedReception>(
                    MainSinkOf(program), program.injector.get(), &program.senderGate);
            }
            program.simulated->FeedNextSample();
            break;
        case IDM_GRID: ToggleGrid(program.list, window); break;
        case IDM_FIND: FocusFilter(program); break;
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
            program.sortColumn = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
            SortHistoryList(program.list, program.sortColumn);
            return Result(window, 0);
        case NM_CUSTOMDRAW:
            return Result(window,
                          CustomDrawHistoryList(window, reinterpret_cast<NMLVCUSTOMDRAW*>(header),
                                                &StateOf(window)->listLook, program.today));
        case LVN_ITEMCHANGED:
            OnRowCheckChanged(program, reinterpret_cast<NMLISTVIEW*>(header));
            NoteHistoryListChange(window, header);
            return FALSE;
        case LVN_INSERTITEM:
        case LVN_DELETEITEM:
        case LVN_DELETEALLITEMS: NoteHistoryListChange(window, header); return FALSE;
        default: return FALSE;
    }
}

}  // namespace

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
        case WM_COMMAND: OnCommand(window, program, LOWORD(wParam), HIWORD(wParam)); return FALSE;
        case WM_SYSCOMMAND:
            if (wParam == SC_MINIMIZE) {
                ShowWindow(window, SW_HIDE);  // it lives on in the tray
                return Result(window, 1);
            }
            return FALSE;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) != program.list) return FALSE;
            ShowRowMenu(program, lParam);
            return TRUE;
        case WM_HOTKEY:
            if (wParam == program.pasteHotKeyId) {
                TypeCopiedCode(program);
            } else if (wParam == program.nextHotKeyId) {
                TypeNextCode(program);
            } else {
                TypeChosenRow(program);
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
            if (wParam == kHotKeyNoticeTimer) {
                KillTimer(window, kHotKeyNoticeTimer);
                ShowStatusText(program, RefusedHotKeysText(program));
            }
            OnSelectionTotalTimer(program, wParam);
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
