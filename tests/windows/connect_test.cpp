// Who may send, as the configuration dialog sets it, the connect window and the balloon
// that tells of a refused sender.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "../core/test_doubles.h"
#include "balloon_tray.h"
#include "dialog_watcher.h"
#include "resource.h"
#include "settings/memory_settings_store.h"
#include "ui/config_dialog.h"
#include "tls/certificates.h"
#include "ui/connect_window.h"
#include "ui/main_window.h"
#include "ui/phone_page.h"
#include "util/secret_token.h"
#include "test_program.h"

namespace {

std::uint32_t Address(const char* dotted) {
    std::uint32_t address = 0;
    ParseIPv4(dotted, address);
    return address;
}

class ConnectTest : public ::testing::Test, protected TestProgram {
protected:
    void SetUp() override {
        program.notifyIcon = BalloonTray::NotifyIcon;
        BalloonTray::balloons.clear();
        ASSERT_TRUE(CreateMainWindow(program));
    }
    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        DestroyWindow(program.mainWindow);
    }
    void Open(int templateId, DLGPROC procedure) {
        dialog =
            CreateDialogParamA(program.instance, MAKEINTRESOURCEA(templateId), program.mainWindow,
                               procedure, reinterpret_cast<LPARAM>(&program));
        ASSERT_TRUE(dialog);
    }
    void Click(int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    std::string Text(int id) {
        char text[256] = {};
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return text;
    }
    bool Checked(int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    // Whether the control shows when its dialog does: the tests' dialogs stay hidden.
    bool Shown(int id) {
        return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    HWND dialog = nullptr;
};

}  // namespace

TEST_F(ConnectTest, TheConfigurationChoosesWhoMaySendAndItHoldsAtOnce) {
    Open(IDD_CONFIGURATION, ConfigDialogProcedure);
    EXPECT_TRUE(Checked(IDC_CONFIG_SENDERS_LOCAL));  // the default
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG_SENDERS_LIST)));
    Click(IDC_CONFIG_SENDERS_LISTED);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG_SENDERS_LIST)));
    SetDlgItemTextA(dialog, IDC_CONFIG_SENDERS_LIST, "203.0.113.7, 10.0.0.0/8");
    Click(IDOK);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "SenderFilter"), 2);
    EXPECT_EQ(store.ReadString(kSettingsKey, "AllowedSenders"), "203.0.113.7, 10.0.0.0/8");
    bool first = false;
    EXPECT_TRUE(program.senderGate.Admit(Address("203.0.113.7"), first));
    EXPECT_TRUE(program.senderGate.Admit(Address("10.9.8.7"), first));
    EXPECT_FALSE(program.senderGate.Admit(Address("192.168.1.1"), first));

    // Opened again: the held choice and the stored list; "any" lets everyone in.
    DestroyWindow(dialog);
    Open(IDD_CONFIGURATION, ConfigDialogProcedure);
    EXPECT_TRUE(Checked(IDC_CONFIG_SENDERS_LISTED));
    EXPECT_EQ(Text(IDC_CONFIG_SENDERS_LIST), "203.0.113.7, 10.0.0.0/8");
    Click(IDC_CONFIG_SENDERS_ANY);
    Click(IDOK);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "SenderFilter"), 0);
    EXPECT_TRUE(program.senderGate.Admit(Address("198.51.100.1"), first));
}

TEST_F(ConnectTest, AMalformedAddressIsRefusedAndNothingIsSaved) {
    Open(IDD_CONFIGURATION, ConfigDialogProcedure);
    ShowWindow(dialog, SW_SHOW);
    Click(IDC_CONFIG_SENDERS_LISTED);
    Click(IDC_CONFIG_MODE_RAW);
    SetDlgItemTextA(dialog, IDC_CONFIG_PORT, "7123");
    SetDlgItemTextA(dialog, IDC_CONFIG_SENDERS_LIST, "10.0.0.1; 300.1.2.3 10.0.0.2");
    {
        DialogWatcher error("Erro", DialogWatcher::Press(IDOK));
        Click(IDOK);
        EXPECT_EQ(error.Text(), "Endereço inválido: 300.1.2.3");
    }
    EXPECT_TRUE(IsWindowVisible(dialog));  // stays open with the user's entries
    EXPECT_EQ(program.settings.injectionMode, ModeTypeable);
    EXPECT_EQ(program.settings.udpPort, 6666);
    EXPECT_FALSE(store.RegValueExists(kSettingsKey, "SenderFilter"));
    EXPECT_FALSE(store.RegValueExists(kSettingsKey, "AllowedSenders"));
    EXPECT_EQ(program.senderGate.Filter().Mode(), SenderFilterMode::PrivateNetworks);
}

TEST_F(ConnectTest, TheConnectWindowTellsWhatThePhoneNeeds) {
    program.settings.udpPort = 6789;
    bool first = false;
    program.senderGate.Admit(Address("203.0.113.2"), first);
    Open(IDD_CONNECT, ConnectWindowProcedure);
    HWND list = GetDlgItem(dialog, IDC_CONNECT_ADDRESSES);
    std::vector<LocalAddress> addresses = LocalIPv4Addresses();
    ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0),
              static_cast<LRESULT>(std::max<std::size_t>(addresses.size(), 1)));
    EXPECT_EQ(Text(IDC_CONNECT_PORT), "6789");
    EXPECT_EQ(Text(IDC_CONNECT_FILTER), "redes privadas (casa e escritório)");
    EXPECT_EQ(Text(IDC_CONNECT_LAST), "nenhum desde que o Zentory abriu");
    EXPECT_EQ(Text(IDC_CONNECT_REFUSED), "1 datagrama de fora das redes permitidas");
    EXPECT_FALSE(Text(IDC_CONNECT_FIREWALL).empty());

    // What arrives while it is open shows at the next refresh.
    program.senderGate.NoteAccepted(Address("192.168.0.23"), "2026/12/07 10:01:02");
    program.senderGate.Admit(Address("203.0.113.9"), first);
    SendMessageA(dialog, WM_TIMER, 1, 0);
    EXPECT_EQ(Text(IDC_CONNECT_LAST), "192.168.0.23 em 2026/12/07 10:01:02");
    EXPECT_EQ(Text(IDC_CONNECT_REFUSED), "2 datagramas de fora das redes permitidas");

    if (addresses.empty()) GTEST_SKIP() << "no network adapter is up";
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);  // the first one, until the user picks
    Click(IDC_CONNECT_COPY);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    std::string copied = data ? static_cast<const char*>(GlobalLock(data)) : "";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, addresses[0].address + ":6789");
}

TEST(ConnectWindowTexts, TargetAddressLineAndFirstStart) {
    LocalAddress wifi{"192.168.0.10", "Wi-Fi"};
    EXPECT_EQ(PhoneTarget(wifi, 6666), "192.168.0.10:6666");
    EXPECT_EQ(AddressLine(wifi), "192.168.0.10   (Wi-Fi)");
    EXPECT_EQ(AddressLine({"10.0.0.2", ""}), "10.0.0.2");
    MemorySettingsStore store;
    EXPECT_TRUE(IsFirstStart(store));
    store.WriteRegString(kSettingsKey, "AllowedSenders", "");
    EXPECT_FALSE(IsFirstStart(store));
}

TEST_F(ConnectTest, ARefusedSenderShowsOneBalloon) {
    MainWindowSink(program).Refuse(Address("203.0.113.2"));
    DrainReceiverEvents(program);
    ASSERT_EQ(BalloonTray::balloons.size(), 1u);
    EXPECT_EQ(BalloonTray::balloons[0],
              "Zentory recusou um código de 203.0.113.2 (fora das redes permitidas). Para "
              "aceitar, veja Opções > Configuração.");
}

TEST_F(ConnectTest, ThePhonePageStartsPairsAndStops) {
    // Off by the stored port 0, and a stored value that is no port.
    store.WriteRegDword(kSettingsKey, "WebPort", 0);
    StartPhonePage(program);
    EXPECT_FALSE(program.webServer);
    EXPECT_NE(program.webProblem.find("desligada"), std::string::npos);
    store.WriteRegDword(kSettingsKey, "WebPort", 70000);
    StartPhonePage(program);
    EXPECT_FALSE(program.webServer);

    // A free port; a stored token that is no token is replaced by a new one.
    int error = 0;
    ASSERT_TRUE(StartNetwork(error));
    UdpSocket probe;
    SocketError socketError;
    ASSERT_TRUE(probe.Open(socketError) && probe.Bind(0, true, socketError));
    int port = probe.LocalPort();  // free for TCP too, as a rule
    probe.Close();
    store.WriteRegDword(kSettingsKey, "WebPort", port);
    store.WriteRegString(kSettingsKey, "PhoneToken", "not a token");
    StartPhonePage(program);
    ASSERT_TRUE(program.webServer) << program.webProblem;
    EXPECT_EQ(program.webPort, port);
    std::string token = store.ReadString(kSettingsKey, "PhoneToken");
    EXPECT_TRUE(IsWellFormedToken(token)) << token;
    EXPECT_EQ(program.phoneScans->Token(), token);

    // The connect window shows the page's address and makes a new pairing. A token made by
    // this version (as on a first start) needs no advice to pair again; one that an earlier
    // version left, without the mark, does until the new pairing.
    Open(IDD_CONNECT, ConnectWindowProcedure);
    EXPECT_FALSE(Shown(IDC_CONNECT_OLD_PAIRING));
    std::vector<LocalAddress> addresses = LocalIPv4Addresses();
    if (!addresses.empty()) {
        EXPECT_EQ(Text(IDC_CONNECT_PAGE), PhonePageAddress(addresses[0].address, port, token));
    }
    // Phones that trust the PC get the secure address, from now on; the authority's
    // fingerprint is there to compare with the phone's.
    ASSERT_TRUE(program.pageIdentity);
    EXPECT_NE(Text(IDC_CONNECT_FINGERPRINT)
                  .find(CertificateFingerprint(program.phoneScans->Authority(), 8)),
              std::string::npos);
    Click(IDC_CONNECT_SECURE);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "PageQrSecure"), 1);
    if (!addresses.empty()) {
        EXPECT_EQ(Text(IDC_CONNECT_PAGE),
                  PhonePageAddress(addresses[0].address, port, token, true));
    }
    Click(IDC_CONNECT_SECURE);
    DestroyWindow(dialog);
    store.DeleteRegValue(kSettingsKey, "PhoneTokenPrivate");
    Open(IDD_CONNECT, ConnectWindowProcedure);
    EXPECT_TRUE(Shown(IDC_CONNECT_OLD_PAIRING));
    Click(IDC_CONNECT_NEW_PAIRING);
    EXPECT_FALSE(Shown(IDC_CONNECT_OLD_PAIRING));
    std::string newToken = store.ReadString(kSettingsKey, "PhoneToken");
    EXPECT_NE(newToken, token);
    EXPECT_EQ(program.phoneScans->Token(), newToken);
    if (!addresses.empty()) {
        EXPECT_EQ(Text(IDC_CONNECT_PAGE), PhonePageAddress(addresses[0].address, port, newToken));
    }
    EXPECT_EQ(Text(IDC_CONNECT_PHONES), "nenhum");

    // The same port again, taken by the first server: the page stays off and says why.
    Program second;
    second.store = &store;
    StartPhonePage(second);
    EXPECT_FALSE(second.webServer);
    EXPECT_NE(second.webProblem.find(std::to_string(port)), std::string::npos);
    StopPhonePage(program);
    EXPECT_FALSE(program.webServer);
    StopNetwork();
}
