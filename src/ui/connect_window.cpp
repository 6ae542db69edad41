#include "ui/connect_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <qrcodegen.hpp>

#include "resource.h"
#include "tls/certificates.h"
#include "ui/dialog_helpers.h"
#include "ui/layout_helper.h"
#include "ui/phone_page.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;

struct ConnectState {
    Program* program;
    std::vector<LocalAddress> addresses;
    std::string pageAddress;  // what the QR code holds; empty when the page is off
};

ConnectState* StateOf(HWND dialog) {
    return reinterpret_cast<ConnectState*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// The address chosen in the list (the first one unless the user picked another).
const LocalAddress* ChosenAddress(HWND dialog, const ConnectState& state) {
    if (state.addresses.empty()) return nullptr;
    LRESULT chosen = SendDlgItemMessageA(dialog, IDC_CONNECT_ADDRESSES, LB_GETCURSEL, 0, 0);
    std::size_t index = chosen >= 0 && static_cast<std::size_t>(chosen) < state.addresses.size()
                            ? static_cast<std::size_t>(chosen)
                            : 0;
    return &state.addresses[index];
}

// Whether the QR code holds the secure address: the user said the phones trust this PC,
// and the page has its certificate.
bool SecureQr(HWND dialog, const Program& program) {
    return program.pageIdentity && IsDlgButtonChecked(dialog, IDC_CONNECT_SECURE) == BST_CHECKED;
}

// The authority's fingerprint, short, to compare with what the phone shows when it installs
// the certificate; the check box only where the page has one.
void ShowSecurePage(HWND dialog, Program& program) {
    std::string authority = program.phoneScans ? program.phoneScans->Authority() : std::string();
    bool secure = program.pageIdentity && !authority.empty();
    std::string text =
        secure ? "Certificado deste PC (SHA-256): " + CertificateFingerprint(authority, 8)
               : std::string("Página segura indisponível.");
    SetDlgItemTextA(dialog, IDC_CONNECT_FINGERPRINT, text.c_str());
    EnableWindow(GetDlgItem(dialog, IDC_CONNECT_SECURE), secure);
    CheckDlgButton(dialog, IDC_CONNECT_SECURE,
                   secure && program.store->ReadRegDword(kSettingsKey, kPageQrSecureValue) == 1
                       ? BST_CHECKED
                       : BST_UNCHECKED);
}

// The page's address for the chosen computer address, in the QR code and under it.
void ShowPageAddress(HWND dialog, ConnectState& state) {
    Program& program = *state.program;
    const LocalAddress* address = ChosenAddress(dialog, state);
    state.pageAddress.clear();
    std::string text;
    if (!program.phoneScans) {
        text = "Página " +
               (program.webProblem.empty() ? std::string("desligada") : program.webProblem);
    } else if (!address) {
        text = "Sem rede, sem página.";
    } else {
        state.pageAddress =
            PhonePageAddress(address->address, program.webPort, program.phoneScans->Token(),
                             SecureQr(dialog, program));
        text = state.pageAddress;
    }
    SetDlgItemTextA(dialog, IDC_CONNECT_PAGE, text.c_str());
    InvalidateRect(GetDlgItem(dialog, IDC_CONNECT_QR), nullptr, TRUE);
}

// The advice to pair again, only while the page runs on a token that an earlier version
// sent over the network: a new user has nothing to do.
void ShowOldPairingAdvice(HWND dialog, Program& program) {
    bool advise = program.phoneScans && PairedBeforeThisVersion(*program.store);
    ShowWindow(GetDlgItem(dialog, IDC_CONNECT_OLD_PAIRING), advise ? SW_SHOW : SW_HIDE);
}

// The QR code of `text`, as large as fits with its quiet zone of four modules.
void DrawQrCode(HDC dc, const RECT& area, const std::string& text) {
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (text.empty()) return;
    qrcodegen::QrCode code =
        qrcodegen::QrCode::encodeText(text.c_str(), qrcodegen::QrCode::Ecc::MEDIUM);
    int modules = code.getSize() + 8;
    int side = std::min(area.right - area.left, area.bottom - area.top);
    int scale = side / modules;
    if (scale < 1) return;
    int left = area.left + (area.right - area.left - scale * modules) / 2 + 4 * scale;
    int top = area.top + (area.bottom - area.top - scale * modules) / 2 + 4 * scale;
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (int y = 0; y < code.getSize(); ++y) {
        for (int x = 0; x < code.getSize(); ++x) {
            if (!code.getModule(x, y)) continue;
            RECT module = {left + x * scale, top + y * scale, left + (x + 1) * scale,
                           top + (y + 1) * scale};
            FillRect(dc, &module, black);
        }
    }
}

// What may change while the window is open: the last sender and the refusals.
void ShowActivity(HWND dialog, Program& program) {
    SenderGate::Activity seen = program.senderGate.Seen();
    std::string last = seen.lastSender == 0
                           ? "nenhum desde que o Zentory abriu"
                           : FormatIPv4(seen.lastSender) + " em " + seen.lastReceivedAt;
    SetDlgItemTextA(dialog, IDC_CONNECT_LAST, last.c_str());
    char refused[64];
    if (seen.refusals == 0) {
        std::snprintf(refused, sizeof refused, "nenhum");
    } else {
        std::snprintf(refused, sizeof refused, "%llu datagrama%s de fora das redes permitidas",
                      static_cast<unsigned long long>(seen.refusals),
                      seen.refusals == 1 ? "" : "s");
    }
    SetDlgItemTextA(dialog, IDC_CONNECT_REFUSED, refused);

    std::string phones;
    if (program.phoneScans) {
        for (const PhoneScanService::Phone& phone : program.phoneScans->Phones()) {
            if (!phones.empty()) phones += "\n";
            phones += FormatIPv4(phone.address) + ", última leitura em " + phone.lastScanAt;
        }
    }
    SetDlgItemTextA(dialog, IDC_CONNECT_PHONES, phones.empty() ? "nenhum" : phones.c_str());
}

void OnInit(HWND dialog, ConnectState& state) {
    Program& program = *state.program;
    CenterWindow(GetParent(dialog), dialog);
    int port = program.settings.udpPort;

    state.addresses = LocalIPv4Addresses();
    HWND list = GetDlgItem(dialog, IDC_CONNECT_ADDRESSES);
    for (const LocalAddress& address : state.addresses)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AddressLine(address).c_str()));
    if (state.addresses.empty()) {
        SendMessageA(list, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>("Nenhuma rede conectada: ligue o Wi-Fi ou o cabo."));
        EnableWindow(GetDlgItem(dialog, IDC_CONNECT_COPY), FALSE);
    } else {
        SendMessageA(list, LB_SETCURSEL, 0, 0);
    }

    char portText[96];
    if (program.settings.udpReceive != 0) {
        std::snprintf(portText, sizeof portText, "%d", port);
    } else {
        std::snprintf(portText, sizeof portText, "recepção UDP desligada (Opções > Configuração)");
    }
    SetDlgItemTextA(dialog, IDC_CONNECT_PORT, portText);
    SetDlgItemTextA(dialog, IDC_CONNECT_FILTER, program.senderGate.Filter().Description().c_str());
    ShowActivity(dialog, program);

    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string firewall = length > 0 && length < sizeof path ? CheckFirewallForUdp(path, port).text
                                                              : "não foi possível verificar";
    SetDlgItemTextA(dialog, IDC_CONNECT_FIREWALL, firewall.c_str());
    ShowSecurePage(dialog, program);
    ShowPageAddress(dialog, state);
    EnableWindow(GetDlgItem(dialog, IDC_CONNECT_NEW_PAIRING), program.phoneScans != nullptr);
    ShowOldPairingAdvice(dialog, program);
    SetTimer(dialog, kRefreshTimer, 1000, nullptr);
}

bool CopyToClipboard(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    bool copied = false;
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* bytes = GlobalLock(memory)) {
            std::memcpy(bytes, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            copied = SetClipboardData(CF_TEXT, memory) != nullptr;
        }
        if (!copied) GlobalFree(memory);  // the clipboard owns it only once it took it
    }
    CloseClipboard();
    return copied;
}

// "Copiar": the chosen address and the port.
void OnCopy(HWND dialog, ConnectState& state) {
    if (const LocalAddress* address = ChosenAddress(dialog, state))
        CopyToClipboard(dialog, PhoneTarget(*address, state.program->settings.udpPort));
}

}  // namespace

std::string PhoneTarget(const LocalAddress& address, int port) {
    return address.address + ":" + std::to_string(port);
}

std::string AddressLine(const LocalAddress& address) {
    if (address.adapterName.empty()) return address.address;
    return address.address + "   (" + address.adapterName + ")";
}

bool IsFirstStart(SettingsStore& store) {
    // Any value under the settings key means the program has run here before.
    return !store.RegValueExists(kSettingsKey, kSenderFilterValue) &&
           !store.RegValueExists(kSettingsKey, kUdpPortValue) &&
           !store.RegValueExists(kSettingsKey, kInjectionModeValue) &&
           !store.RegValueExists(kSettingsKey, kKeyDelayValue) &&
           !store.RegValueExists(kSettingsKey, kStartMinimizedValue) &&
           !store.RegValueExists(kSettingsKey, kCustomSeparatorsValue) &&
           !store.RegValueExists(kSettingsKey, kAllowedSendersValue);
}

INT_PTR CALLBACK ConnectWindowProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* state = new ConnectState{reinterpret_cast<Program*>(lParam), {}, {}};
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        OnInit(dialog, *state);
        return TRUE;
    }
    ConnectState* state = StateOf(dialog);
    if (!state) return FALSE;
    switch (message) {
        case WM_TIMER:
            if (wParam == kRefreshTimer) ShowActivity(dialog, *state->program);
            return TRUE;
        case WM_DRAWITEM: {
            auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            if (draw->CtlID != IDC_CONNECT_QR) return FALSE;
            DrawQrCode(draw->hDC, draw->rcItem, state->pageAddress);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_CONNECT_COPY:
                    if (HIWORD(wParam) == BN_CLICKED) OnCopy(dialog, *state);
                    return TRUE;
                case IDC_CONNECT_ADDRESSES:
                    if (HIWORD(wParam) == LBN_SELCHANGE) ShowPageAddress(dialog, *state);
                    return TRUE;
                case IDC_CONNECT_SECURE:
                    // Kept for the next time: phones that trust the PC stay trusting.
                    if (HIWORD(wParam) == BN_CLICKED) {
                        state->program->store->WriteRegDword(
                            kSettingsKey, kPageQrSecureValue,
                            IsDlgButtonChecked(dialog, IDC_CONNECT_SECURE) == BST_CHECKED ? 1 : 0);
                        ShowPageAddress(dialog, *state);
                    }
                    return TRUE;
                case IDC_CONNECT_NEW_PAIRING:
                    // Every phone paired so far must read the new code.
                    if (HIWORD(wParam) == BN_CLICKED && NewPhonePairing(*state->program)) {
                        ShowPageAddress(dialog, *state);
                        ShowOldPairingAdvice(dialog, *state->program);
                    }
                    return TRUE;
                default: return EndOnOkCancelOrClose(dialog, message, wParam);
            }
        case WM_CLOSE: return EndOnOkCancelOrClose(dialog, message, wParam);
        case WM_NCDESTROY:
            KillTimer(dialog, kRefreshTimer);
            delete state;
            SetWindowLongPtrA(dialog, DWLP_USER, 0);
            return FALSE;
        default: return FALSE;
    }
}

void ConnectWindow(HWND owner, Program& program) {
    DialogBoxParamA(program.instance, MAKEINTRESOURCEA(IDD_CONNECT), owner, ConnectWindowProcedure,
                    reinterpret_cast<LPARAM>(&program));
}
