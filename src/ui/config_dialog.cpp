#include "ui/config_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "resource.h"
#include "ui/custom_separators_dialog.h"
#include "ui/dialog_helpers.h"
#include "ui/history_journal.h"
#include "ui/layout_helper.h"
#include "ui/main_window_services.h"
#include "util/debug_trace.h"

namespace {

struct ModeButton {
    int id;
    std::int32_t mode;
    const char* trace;
};

// In the order "Salvar" looks at them; ModeOff when none is checked.
const ModeButton kModeButtons[] = {
    {IDC_CONFIG_MODE_TYPEABLE, ModeTypeable, "Injection RADIO2"},
    {IDC_CONFIG_MODE_TYPEABLE_TAB, ModeTypeableTab, "Injection RADIO3"},
    {IDC_CONFIG_MODE_RAW, ModeRaw, "Injection RADIO4"},
    {IDC_CONFIG_MODE_CUSTOM, ModeCustom, "Injection RADIO5"}};

struct SenderButton {
    int id;
    SenderFilterMode mode;
};
const SenderButton kSenderButtons[] = {
    {IDC_CONFIG_SENDERS_ANY, SenderFilterMode::AnyAddress},
    {IDC_CONFIG_SENDERS_LOCAL, SenderFilterMode::PrivateNetworks},
    {IDC_CONFIG_SENDERS_LISTED, SenderFilterMode::ListedAddresses}};

struct ConfigState {
    Program* program;
    std::int32_t pendingKeyDelay = 0;
    bool logonEntryPresent = false;
    std::string storedSenderList;  // "AllowedSenders" when the dialog opened
};

// The registry writes of one Save: the first that the store refuses is remembered, so
// that the user hears of it once.
class SettingsWrites {
public:
    explicit SettingsWrites(SettingsStore& settingsStore) : store(settingsStore) {}
    void Dword(const char* name, std::int32_t value) {
        Note(store.WriteRegDword(kSettingsKey, name, value));
    }
    void String(const char* name, const std::string& text) {
        Note(store.WriteRegString(kSettingsKey, name, text));
    }
    void LogonEntry(const std::string& command) {
        Note(store.WriteRegString(kRunKey, kLogonEntryValue, command));
    }
    void NoLogonEntry() { Note(store.DeleteRegValue(kRunKey, kLogonEntryValue)); }
    void ReportRefusal(HWND dialog) const {
        if (refused) ReportRefusedSettings(dialog, error);
    }

private:
    void Note(bool written) {
        if (written || refused) return;
        refused = true;
        error = store.LastWriteError();
    }
    SettingsStore& store;
    bool refused = false;
    int error = 0;
};

void ShowDelay(HWND dialog, std::int32_t delay) {
    char label[32];
    std::snprintf(label, sizeof label, "%d ms", delay);
    SetDlgItemTextA(dialog, IDC_CONFIG_DELAY_LABEL, label);
}

std::string DialogText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void EnableSenderList(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_SENDERS_LIST),
                 IsDlgButtonChecked(dialog, IDC_CONFIG_SENDERS_LISTED) == BST_CHECKED);
}

void InitSenders(HWND dialog, ConfigState& state) {
    SenderFilterMode mode = state.program->senderGate.Filter().Mode();
    for (const SenderButton& button : kSenderButtons) {
        if (button.mode == mode)
            CheckRadioButton(dialog, IDC_CONFIG_SENDERS_ANY, IDC_CONFIG_SENDERS_LISTED, button.id);
    }
    state.storedSenderList =
        state.program->store->ReadRegString(kSettingsKey, kAllowedSendersValue).value_or("");
    SetDlgItemTextA(dialog, IDC_CONFIG_SENDERS_LIST, state.storedSenderList.c_str());
    EnableSenderList(dialog);
}

// The filter the dialog shows; false, after telling the user, when the list holds an
// entry that is no address.
bool ChosenSenderFilter(HWND dialog, const std::string& list, SenderFilter& filter) {
    std::vector<AddressBlock> blocks;
    std::string bad;
    if (!ParseAddressList(list, blocks, bad)) {
        std::string message = "Endereço inválido: " + bad;
        MessageBoxA(dialog, message.c_str(), "Erro", MB_OK | MB_ICONERROR);
        SetFocus(GetDlgItem(dialog, IDC_CONFIG_SENDERS_LIST));
        return false;
    }
    SenderFilterMode mode = SenderFilterMode::PrivateNetworks;
    for (const SenderButton& button : kSenderButtons) {
        if (IsDlgButtonChecked(dialog, button.id) == BST_CHECKED) mode = button.mode;
    }
    filter = SenderFilter(mode, std::move(blocks));
    return true;
}

void OnInit(HWND dialog, ConfigState& state) {
    Settings& settings = state.program->settings;
    CenterWindow(GetParent(dialog), dialog);
    SendDlgItemMessageA(dialog, IDC_CONFIG_DELAY, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    state.pendingKeyDelay = settings.keyDelay;
    SendDlgItemMessageA(dialog, IDC_CONFIG_DELAY, TBM_SETPOS, TRUE, state.pendingKeyDelay);
    ShowDelay(dialog, state.pendingKeyDelay);
    // In the order of TypingMethod.
    for (const char* method : {"Caracteres (padrão)", "Teclado físico (compatibilidade)",
                               "Colar (área de transferência)"})
        SendDlgItemMessageA(dialog, IDC_CONFIG_TYPING_METHOD, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(method));
    SendDlgItemMessageA(dialog, IDC_CONFIG_TYPING_METHOD, CB_SETCURSEL,
                        static_cast<WPARAM>(settings.typingMethod.load()), 0);
    CheckDlgButton(dialog, IDC_CONFIG_TYPE_ON_ARRIVAL,
                   settings.typeOnArrival != 0 ? BST_CHECKED : BST_UNCHECKED);
    char port[16];
    std::snprintf(port, sizeof port, "%u", static_cast<unsigned>(settings.udpPort.load()));
    SetDlgItemTextA(dialog, IDC_CONFIG_PORT, port);
    CheckDlgButton(dialog, IDC_CONFIG_UDP_RECEIVE,
                   settings.udpReceive != 0 ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_PORT), settings.udpReceive != 0);
    CheckDlgButton(dialog, IDC_CONFIG_START_MINIMIZED,
                   (settings.startMinimized & 1) ? BST_CHECKED : BST_UNCHECKED);
    state.logonEntryPresent = state.program->store->RegValueExists(kRunKey, kLogonEntryValue);
    CheckDlgButton(dialog, IDC_CONFIG_START_AT_LOGON,
                   state.logonEntryPresent ? BST_CHECKED : BST_UNCHECKED);
    std::int32_t mode = settings.injectionMode;
    DebugTrace("WM_INITDIALOG %d\n", mode);
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG_CUSTOM), FALSE);
    int selected = IDC_CONFIG_MODE_OFF;
    for (const ModeButton& button : kModeButtons) {
        if (button.mode == mode) selected = button.id;
    }
    CheckRadioButton(dialog, IDC_CONFIG_MODE_OFF, IDC_CONFIG_MODE_CUSTOM, selected);
    if (selected == IDC_CONFIG_MODE_CUSTOM)
        EnableWindow(GetDlgItem(dialog, IDC_CONFIG_CUSTOM), TRUE);
    InitSenders(dialog, state);
    CheckDlgButton(dialog, IDC_CONFIG_JOURNAL, settings.journal != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CONFIG_WARN_REPEATS,
                   settings.warnRepeats != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CONFIG_PREFER_PIX,
                   settings.preferPix != 0 ? BST_CHECKED : BST_UNCHECKED);
}

// The port field as a number: 0 for a text that is not one, and at most 99999999 (far
// out of range, and still a number that the refusal can show).
long long PortNumber(const std::string& text) {
    long long port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        port = std::min(port * 10 + (c - '0'), 99999999LL);
    }
    return port;
}

// Saves; false when the dialog must stay open.
bool OnSave(HWND dialog, ConfigState& state) {
    Program& program = *state.program;
    Settings& settings = program.settings;
    SettingsWrites writes(*program.store);

    // Every check before the first change: a refused entry leaves everything as it was.
    std::string senderList = DialogText(dialog, IDC_CONFIG_SENDERS_LIST);
    SenderFilter senderFilter;
    if (!ChosenSenderFilter(dialog, senderList, senderFilter)) return false;

    // UDP reception off goes first, so that a changed port is then only held: no socket
    // is opened on it on the way.
    bool udpOn = IsDlgButtonChecked(dialog, IDC_CONFIG_UDP_RECEIVE) == BST_CHECKED;
    auto heldUdp = [&](bool on) {
        settings.udpReceive = on ? 1 : 0;
        writes.Dword(kUdpReceiveValue, settings.udpReceive);
    };
    if (!udpOn && settings.udpReceive != 0 && SetUdpReception(program, false)) heldUdp(false);

    char portText[32] = {};
    GetDlgItemTextA(dialog, IDC_CONFIG_PORT, portText, sizeof portText);
    long long port = PortNumber(portText);
    if (port != settings.udpPort) {
        if (port < 1 || port > 65535) {
            // Above 65535 the port would silently become another one. A number too long
            // to hold is shown as typed.
            char message[96];
            if (port < 99999999) {
                std::snprintf(message, sizeof message, "Porta %lld é inválida.", port);
            } else {
                std::snprintf(message, sizeof message, "Porta %s é inválida.", portText);
            }
            MessageBoxA(dialog, message, "Erro", MB_OK | MB_ICONERROR);
            return false;
        }
        DebugTrace("Port changed to %d", static_cast<int>(port));
        // A port that cannot be had leaves reception, the held port and the stored one as
        // they were; the other settings still change. With no socket, it is only held.
        if (!program.socket.IsOpen()) {
            settings.udpPort = static_cast<std::int32_t>(port);
            writes.Dword(kUdpPortValue, static_cast<std::int32_t>(port));
        } else if (MoveReception(program, static_cast<std::int32_t>(port))) {
            writes.Dword(kUdpPortValue, static_cast<std::int32_t>(port));
        }
    }
    // UDP reception on, at once, on the port just chosen.
    if (udpOn && settings.udpReceive == 0 && SetUdpReception(program, true)) heldUdp(true);

    std::int32_t mode = ModeOff;
    const char* trace = "Injection INACTIVE";
    for (const ModeButton& button : kModeButtons) {
        if (IsDlgButtonChecked(dialog, button.id)) {
            mode = button.mode;
            trace = button.trace;
            break;
        }
    }
    SendMessageA(program.statusBar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(ModeStatusText(mode)));
    DebugTrace("%s", trace);
    // A setting the dialog changed: held at once, and stored.
    auto keep = [&writes](std::atomic<std::int32_t>& held, const char* valueName,
                          std::int32_t value) {
        if (value == held) return false;
        held = value;
        writes.Dword(valueName, value);
        return true;
    };
    auto checked = [dialog](int box) { return IsDlgButtonChecked(dialog, box) ? 1 : 0; };
    keep(settings.injectionMode, kInjectionModeValue, mode);
    keep(settings.keyDelay, kKeyDelayValue, state.pendingKeyDelay);
    auto method = SendDlgItemMessageA(dialog, IDC_CONFIG_TYPING_METHOD, CB_GETCURSEL, 0, 0);
    keep(settings.typingMethod, kTypingMethodValue,
         method >= TypeCharacters && method <= TypePaste ? static_cast<std::int32_t>(method)
                                                         : TypeCharacters);
    // Off, scans are only kept: the next one that arrives is not typed.
    keep(settings.typeOnArrival, kTypeOnArrivalValue, checked(IDC_CONFIG_TYPE_ON_ARRIVAL));
    keep(settings.startMinimized, kStartMinimizedValue, checked(IDC_CONFIG_START_MINIMIZED));

    bool logon = IsDlgButtonChecked(dialog, IDC_CONFIG_START_AT_LOGON);
    if (logon != state.logonEntryPresent) {
        DebugTrace("RUN changed");
        if (!logon) {
            writes.NoLogonEntry();
        } else {
            char path[512];
            DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
            if (length > 0 && length < sizeof path) {
                DebugTrace("RUN app %s", path);
                writes.LogonEntry(LogonEntryFor(path));
            }
        }
    }

    // The journal and the warning for codes read before, both on by default.
    if (keep(settings.journal, kJournalValue, checked(IDC_CONFIG_JOURNAL)))
        ApplyJournalSetting(program);
    keep(settings.warnRepeats, kWarnRepeatsValue, checked(IDC_CONFIG_WARN_REPEATS));
    // What the phone page sends of a slip with a Pix QR code: from its next scan.
    if (keep(settings.preferPix, kPreferPixValue, checked(IDC_CONFIG_PREFER_PIX)) &&
        program.phoneScans)
        program.phoneScans->SetPreferPix(settings.preferPix != 0);

    // Who may send: in force at once, for the datagram that comes next.
    if (senderFilter.Mode() != program.senderGate.Filter().Mode())
        writes.Dword(kSenderFilterValue, static_cast<std::int32_t>(senderFilter.Mode()));
    if (senderList != state.storedSenderList) writes.String(kAllowedSendersValue, senderList);
    program.senderGate.SetFilter(std::move(senderFilter));

    writes.ReportRefusal(dialog);
    return true;
}

}  // namespace

std::string LogonEntryFor(const char* executablePath) {
    return std::string("\"") + executablePath + "\"";
}

INT_PTR CALLBACK ConfigDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* state = new ConfigState{reinterpret_cast<Program*>(lParam), 0, false, {}};
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        OnInit(dialog, *state);
        return TRUE;
    }
    auto* state = reinterpret_cast<ConfigState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!state) return FALSE;
    switch (message) {
        case WM_COMMAND: {
            if (HIWORD(wParam) != 0) return FALSE;
            int id = LOWORD(wParam);
            if (id >= IDC_CONFIG_SENDERS_ANY && id <= IDC_CONFIG_SENDERS_LISTED) {
                EnableSenderList(dialog);
            } else if (id >= IDC_CONFIG_MODE_OFF && id <= IDC_CONFIG_MODE_CUSTOM) {
                EnableWindow(GetDlgItem(dialog, IDC_CONFIG_CUSTOM),
                             IsDlgButtonChecked(dialog, IDC_CONFIG_MODE_CUSTOM));
            } else if (id == IDC_CONFIG_UDP_RECEIVE) {
                EnableWindow(GetDlgItem(dialog, IDC_CONFIG_PORT),
                             IsDlgButtonChecked(dialog, IDC_CONFIG_UDP_RECEIVE));
            } else if (id == IDC_CONFIG_CUSTOM) {
                CustomSeparatorsDialog(dialog, state->program->instance, *state->program->store);
            } else if (id == IDOK) {
                if (OnSave(dialog, *state)) EndDialog(dialog, 0);
            } else if (id == IDCANCEL) {
                EndDialog(dialog, 0);
            } else {
                return FALSE;
            }
            return TRUE;
        }
        case WM_HSCROLL:
            // Whatever moved the thumb (line and page steps, Home and End, dragging, the
            // wheel), the label and the delay that Save stores follow its position.
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_CONFIG_DELAY)) {
                state->pendingKeyDelay = static_cast<std::int32_t>(
                    SendDlgItemMessageA(dialog, IDC_CONFIG_DELAY, TBM_GETPOS, 0, 0));
                ShowDelay(dialog, state->pendingKeyDelay);
            }
            return TRUE;
        case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
        case WM_NCDESTROY:
            delete state;
            SetWindowLongPtrA(dialog, DWLP_USER, 0);
            return FALSE;
        default: return FALSE;
    }
}

void ConfigDialog(HWND owner, Program& program) {
    DialogBoxParamA(program.instance, MAKEINTRESOURCEA(IDD_CONFIGURATION), owner,
                    ConfigDialogProcedure, reinterpret_cast<LPARAM>(&program));
}
