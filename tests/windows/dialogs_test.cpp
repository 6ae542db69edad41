// The configuration, custom separators and export dialogs driven through their controls.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "../core/read_file.h"
#include "../core/test_doubles.h"
#include "dialog_watcher.h"
#include "history/csv_export.h"
#include "reception/endpoint.h"
#include "reception/scan_datagram.h"
#include "resource.h"
#include "settings/memory_settings_store.h"
#include "ui/config_dialog.h"
#include "ui/custom_separators_dialog.h"
#include "ui/help_page.h"
#include "ui/main_window.h"
#include "ui/save_dialog.h"
#include "test_program.h"

namespace {

class RecordingMessages : public UserMessages {
public:
    void ShowError(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

class DialogsTest : public ::testing::Test, protected TestProgram {
protected:
    void SetUp() override { program.messages = &messages; }
    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        if (program.mainWindow) DestroyWindow(program.mainWindow);
    }
    void CreateMain() { ASSERT_TRUE(CreateMainWindow(program)); }
    // The configuration dialog, modeless so that the test can work its controls.
    void OpenConfig() {
        dialog = CreateDialogParamA(program.instance, MAKEINTRESOURCEA(IDD_CONFIGURATION),
                                    program.mainWindow, ConfigDialogProcedure,
                                    reinterpret_cast<LPARAM>(&program));
        ASSERT_TRUE(dialog);
        ShowWindow(dialog, SW_SHOW);
    }
    bool Checked(int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    void Click(int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    std::string Text(int id) {
        char text[64] = {};
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return text;
    }
    void Pump() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    std::string StatusText(int part) {
        char text[128] = {};
        SendMessageA(program.statusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
        return text;
    }

    RecordingMessages messages;
    HWND dialog = nullptr;
};

}  // namespace

TEST_F(DialogsTest, ConfigOpensWithTheHeldSettings) {
    CreateMain();
    program.settings.injectionMode = ModeCustom;
    program.settings.keyDelay = 250;
    program.settings.startMinimized = 2;  // only the lowest bit counts
    program.settings.udpPort = 7000;
    program.settings.typingMethod = TypeKeys;
    store.WriteRegString(kRunKey, "Zentory", "\"C:\\zentory.exe\"");
    OpenConfig();
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CONFIG_TYPING_METHOD, CB_GETCURSEL, 0, 0), TypeKeys);
    EXPECT_TRUE(Checked(IDC_CONFIG_MODE_CUSTOM));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG_CUSTOM)));
    EXPECT_EQ(Text(IDC_CONFIG_DELAY_LABEL), "250 ms");
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CONFIG_DELAY, TBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(Text(IDC_CONFIG_PORT), "7000");
    EXPECT_FALSE(Checked(IDC_CONFIG_START_MINIMIZED));
    EXPECT_TRUE(Checked(IDC_CONFIG_START_AT_LOGON));

    // Another mode disables "Config"; an unknown held mode opens with "off".
    Click(IDC_CONFIG_MODE_RAW);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG_CUSTOM)));
    DestroyWindow(dialog);
    program.settings.injectionMode = 7;
    OpenConfig();
    EXPECT_TRUE(Checked(IDC_CONFIG_MODE_OFF));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CONFIG_CUSTOM)));
}

TEST_F(DialogsTest, SaveStoresExactlyWhatChanged) {
    CreateMain();
    program.settings.keyDelay = 250;
    OpenConfig();
    TraceRecorder traces;
    Click(IDC_CONFIG_MODE_CUSTOM);
    Click(IDC_CONFIG_START_MINIMIZED);
    Click(IDC_CONFIG_START_AT_LOGON);
    Click(IDOK);
    EXPECT_FALSE(IsWindowVisible(dialog));  // closed
    EXPECT_EQ(program.settings.injectionMode, ModeCustom);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "KBDinjection"), ModeCustom);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "StartMinimized"), 1);
    EXPECT_FALSE(store.RegValueExists(kSettingsKey, "UDPport"));      // unchanged
    EXPECT_FALSE(store.RegValueExists(kSettingsKey, "KBDkeydelay"));  // untouched: stays 250
    EXPECT_FALSE(store.RegValueExists(kSettingsKey, "KBDtypingMethod"));
    EXPECT_EQ(program.settings.keyDelay, 250);
    std::string entry = store.ReadString(kRunKey, "Zentory");
    ASSERT_GE(entry.size(), 3u);
    EXPECT_EQ(entry.front(), '"');  // quoted: a path with blanks starts nothing else
    EXPECT_EQ(entry.back(), '"');
    EXPECT_EQ(StatusText(1), "Injeção de teclado ativada (digitável CUSTOM)");
    EXPECT_EQ(traces.Count("Injection RADIO5"), 1);
    EXPECT_EQ(traces.Count("RUN changed"), 1);
}

TEST_F(DialogsTest, TypingMethodAndTypingOnArrivalAreSavedAndCountAtOnce) {
    CreateMain();
    OpenConfig();
    HWND methods = GetDlgItem(dialog, IDC_CONFIG_TYPING_METHOD);
    EXPECT_EQ(SendMessageA(methods, CB_GETCURSEL, 0, 0), TypeCharacters);  // by default
    EXPECT_TRUE(Checked(IDC_CONFIG_TYPE_ON_ARRIVAL));
    SendMessageA(methods, CB_SETCURSEL, TypePaste, 0);
    Click(IDC_CONFIG_TYPE_ON_ARRIVAL);
    Click(IDOK);
    EXPECT_EQ(program.settings.typingMethod, TypePaste);  // for the next code already
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "KBDtypingMethod"), TypePaste);
    EXPECT_EQ(program.settings.typeOnArrival, 0);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "TypeOnArrival"), 0);
}

TEST_F(DialogsTest, EveryTrackbarRequestShowsAndKeepsTheDelay) {
    CreateMain();
    OpenConfig();
    HWND trackbar = GetDlgItem(dialog, IDC_CONFIG_DELAY);
    auto position = [&] {
        return std::to_string(SendMessageA(trackbar, TBM_GETPOS, 0, 0)) + " ms";
    };
    // The keys a user presses on the focused slider: page and line steps, End and Home.
    for (WPARAM key : {VK_NEXT, VK_NEXT, VK_RIGHT, VK_PRIOR, VK_END, VK_HOME, VK_NEXT}) {
        SendMessageA(trackbar, WM_KEYDOWN, key, 0);
        SendMessageA(trackbar, WM_KEYUP, key, 0);
        EXPECT_EQ(Text(IDC_CONFIG_DELAY_LABEL), position()) << key;
    }
    EXPECT_NE(position(), "0 ms");
    std::string shown = Text(IDC_CONFIG_DELAY_LABEL);
    Click(IDOK);
    EXPECT_EQ(std::to_string(program.settings.keyDelay) + " ms", shown);
    EXPECT_EQ(std::to_string(store.ReadRegDword(kSettingsKey, "KBDkeydelay")) + " ms", shown);
}

TEST_F(DialogsTest, APortInUseLeavesTheReceptionAsItWas) {
    int error;
    ASSERT_TRUE(StartNetwork(error));
    SocketError socketError;
    UdpSocket other;  // another program on the port the user wants
    ASSERT_TRUE(other.Open(socketError) && other.Bind(0, false, socketError));
    std::uint16_t takenPort = other.LocalPort();
    ASSERT_TRUE(OpenEndpoint(program.socket, 0, messages));
    std::uint16_t oldPort = program.socket.LocalPort();
    program.settings.udpPort = oldPort;
    CreateMain();
    Pump();
    OpenConfig();
    SetDlgItemTextA(dialog, IDC_CONFIG_PORT, std::to_string(takenPort).c_str());
    Click(IDC_CONFIG_MODE_RAW);  // changed in the same Save: still applies
    Click(IDOK);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(messages.shown,
              (std::vector<std::string>{"Porta " + std::to_string(takenPort) + " esta em uso."}));
    EXPECT_EQ(program.settings.udpPort, oldPort);
    EXPECT_FALSE(store.RegValueExists(kSettingsKey, "UDPport"));
    EXPECT_EQ(program.settings.injectionMode, ModeRaw);
    DestroyWindow(dialog);
    OpenConfig();
    EXPECT_EQ(Text(IDC_CONFIG_PORT), std::to_string(oldPort));

    // The old port still receives, and the status bar still tells the truth.
    UdpSocket phone;
    ASSERT_TRUE(phone.Open(socketError));
    auto datagram = *BuildScanDatagram("00191455700000110009956850418332600000624818", 1);
    phone.SendTo(LoopbackAddress(), oldPort, datagram.data(), datagram.size(), socketError);
    for (int i = 0; i < 500 && program.history.Count() == 0; ++i) {
        Pump();
        Sleep(10);
    }
    EXPECT_EQ(program.history.Count(), 1u);
    EXPECT_EQ(StatusText(0), "Esperando dados na porta " + std::to_string(oldPort) + " UDP");
    DestroyWindow(program.mainWindow);
    program.mainWindow = nullptr;
    program.socket.Close();
    other.Close();
    StopNetwork();
}

TEST_F(DialogsTest, RefusedRegistryWritesAreReportedOnceAndHoldForTheRun) {
    CreateMain();
    OpenConfig();
    store.RefuseWrites(5);
    Click(IDC_CONFIG_MODE_CUSTOM);
    Click(IDC_CONFIG_START_MINIMIZED);
    Click(IDC_CONFIG_START_AT_LOGON);
    {
        // One box for the four refused writes (a second one would keep Save waiting).
        DialogWatcher report("zentory", DialogWatcher::Press(IDOK));
        Click(IDOK);
        EXPECT_EQ(report.Text(),
                  "Não foi possível gravar a configuração no registro (erro 5). Ela vale até o "
                  "programa ser fechado.");
    }
    EXPECT_EQ(program.settings.injectionMode, ModeCustom);
    EXPECT_EQ(program.settings.startMinimized, 1);
    EXPECT_FALSE(store.RegValueExists(kSettingsKey, "KBDinjection"));

    // Nothing refused: no message.
    store.RefuseWrites(0);
    OpenConfig();
    Click(IDC_CONFIG_MODE_RAW);
    DialogWatcher none("zentory", DialogWatcher::Press(IDOK));
    Click(IDOK);
    EXPECT_FALSE(none.Seen());
}

TEST_F(DialogsTest, InvalidPortsAreRefusedAndTheDialogStays) {
    CreateMain();
    OpenConfig();
    for (const char* port : {"", "0", "70000", "99999999999"}) {
        SetDlgItemTextA(dialog, IDC_CONFIG_PORT, port);
        DialogWatcher box("Erro", DialogWatcher::Press(IDOK));
        Click(IDOK);
        EXPECT_TRUE(box.Seen()) << port;
        std::string expected = std::string("Porta ") + (*port ? port : "0") + " é inválida.";
        EXPECT_EQ(box.Text(), expected);
        EXPECT_TRUE(IsWindowVisible(dialog));
    }
    EXPECT_EQ(program.settings.udpPort, 6666);
    EXPECT_FALSE(store.RegValueExists(kSettingsKey, "UDPport"));
}

TEST_F(DialogsTest, CancelChangesNothing) {
    CreateMain();
    OpenConfig();
    Click(IDC_CONFIG_MODE_OFF);
    SetDlgItemTextA(dialog, IDC_CONFIG_PORT, "7001");
    Click(IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(program.settings.injectionMode, ModeTypeable);
    EXPECT_EQ(program.settings.udpPort, 6666);
}

TEST_F(DialogsTest, APortChangeMovesTheReception) {
    int error;
    ASSERT_TRUE(StartNetwork(error));
    UdpSocket probe;
    SocketError socketError;
    // Two free ports: the first for the program, the second to move to.
    UdpSocket spare;
    ASSERT_TRUE(spare.Open(socketError) && spare.Bind(0, false, socketError));
    std::uint16_t newPort = spare.LocalPort();
    spare.Close();
    ASSERT_TRUE(OpenEndpoint(program.socket, 0, messages));
    std::uint16_t oldPort = program.socket.LocalPort();
    program.settings.udpPort = oldPort;
    CreateMain();
    ASSERT_TRUE(program.receiver);
    OpenConfig();
    SetDlgItemTextA(dialog, IDC_CONFIG_PORT, std::to_string(newPort).c_str());
    Click(IDOK);
    EXPECT_EQ(program.settings.udpPort, newPort);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "UDPport"), newPort);

    ASSERT_TRUE(probe.Open(socketError));
    auto datagram = *BuildScanDatagram("00191455700000110009956850418332600000624818", 1);
    probe.SendTo(LoopbackAddress(), oldPort, datagram.data(), datagram.size(), socketError);
    probe.SendTo(LoopbackAddress(), newPort, datagram.data(), datagram.size(), socketError);
    for (int i = 0; i < 500 && program.history.Count() == 0; ++i) {
        Pump();
        Sleep(10);
    }
    Sleep(100);
    Pump();
    EXPECT_EQ(program.history.Count(), 1u);  // only the new port receives
    EXPECT_EQ(StatusText(0), "Esperando dados na porta " + std::to_string(newPort) + " UDP");
    DestroyWindow(program.mainWindow);
    program.mainWindow = nullptr;
    program.socket.Close();
    StopNetwork();
}

TEST_F(DialogsTest, CustomSeparatorBitsRoundTrip) {
    auto open = [&] {
        HWND separators =
            CreateDialogParamA(program.instance, MAKEINTRESOURCEA(IDD_CUSTOM_SEPARATORS), nullptr,
                               CustomSeparatorsProcedure,
                               reinterpret_cast<LPARAM>(static_cast<SettingsStore*>(&store)));
        EXPECT_TRUE(separators);
        return separators;
    };
    auto checkedBoxes = [](HWND separators) {
        int bits = 0;
        for (int i = 0; i < 10; ++i)
            bits |= IsDlgButtonChecked(separators, 1128 + i) ? 1 << i : 0;
        return bits;
    };
    HWND separators = open();
    EXPECT_EQ(checkedBoxes(separators), 0);  // nothing stored
    CheckDlgButton(separators, 1133, BST_CHECKED);
    SendMessageA(separators, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "CustomSeparators"), 0x20);
    DestroyWindow(separators);

    store.WriteRegDword(kSettingsKey, "CustomSeparators", 0x7FFFF);  // bits above 9 set
    separators = open();
    EXPECT_EQ(checkedBoxes(separators), 0x3FF);
    SendMessageA(separators, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "CustomSeparators"), 0x3FF);
    DestroyWindow(separators);

    separators = open();
    CheckDlgButton(separators, 1128, BST_UNCHECKED);
    SendMessageA(separators, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(store.ReadRegDword(kSettingsKey, "CustomSeparators"), 0x3FF);
    DestroyWindow(separators);
}

namespace {

// Types a name into the Save dialog and presses Save.
DialogWatcher::Action SaveAs(const std::string& name) {
    return [name](HWND dialog) {
        SetDlgItemTextA(dialog, 0x47C, name.c_str());  // the file name box
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    };
}

}  // namespace

TEST_F(DialogsTest, ExportAddsTxtAsksBeforeReplacingAndReportsFailures) {
    CreateMain();
    CodeRecord record;
    record.code = "12345678901234567890123456789012345678901235";
    record.kind = CodeKind::NfeKey;
    program.pending.Push(ReceiverEvent{ReceiverEvent::Type::Record, record, {}, 0});
    DrainReceiverEvents(program);

    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string base = std::string(folder) + "zentory-export";
    std::remove((base + ".txt").c_str());
    {
        DialogWatcher save("Save log", SaveAs(base));
        EXPECT_EQ(ChooseExportFile(program.mainWindow, program), 0);
        EXPECT_TRUE(save.Seen());
    }
    const std::string line =
        "NFe 12345678901234567890123456789012345678901235 "
        "12-3456-78.901.234/5678-90-12-345-678.901.234-567.890.123-5\r\n";
    EXPECT_EQ(ReadWholeFile(base + ".txt"), line);

    // It exists now: "No" keeps the old file.
    std::FILE* file = std::fopen((base + ".txt").c_str(), "wb");
    std::fputs("old", file);
    std::fclose(file);
    {
        DialogWatcher save("Save log", SaveAs(base));
        DialogWatcher question("zentory", DialogWatcher::Press(IDNO));
        ChooseExportFile(program.mainWindow, program);
        EXPECT_NE(question.Text().find("já existe"), std::string::npos);
    }
    EXPECT_EQ(ReadWholeFile(base + ".txt"), "old");

    // A name that, with ".txt" added, is a folder: the failure is reported.
    std::string folderName = base + "-folder";
    CreateDirectoryA((folderName + ".txt").c_str(), nullptr);
    {
        DialogWatcher save("Save log", SaveAs(folderName));
        DialogWatcher failure("zentory", DialogWatcher::Press(IDOK), "Não foi possível");
        ChooseExportFile(program.mainWindow, program);
        EXPECT_TRUE(failure.Seen());
    }
    RemoveDirectoryA((folderName + ".txt").c_str());
    std::remove((base + ".txt").c_str());

    // Cancel: nothing written, -1.
    DialogWatcher cancel("Save log", DialogWatcher::Press(IDCANCEL));
    EXPECT_EQ(ChooseExportFile(program.mainWindow, program), -1);
}

namespace {

// Chooses "Planilha CSV (*.csv)" in the Save dialog's type box, then saves as `name`.
DialogWatcher::Action SaveAsSpreadsheet(const std::string& name) {
    return [name](HWND dialog) {
        HWND types = GetDlgItem(dialog, 0x470);  // the file type box
        SendMessageA(types, CB_SETCURSEL, kCsvFilterIndex - 1, 0);
        // What the box tells its dialog when a user picks an entry with the mouse.
        for (WORD notification : {CBN_SELCHANGE, CBN_SELENDOK}) {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x470, notification),
                         reinterpret_cast<LPARAM>(types));
        }
        SaveAs(name)(dialog);
    };
}

bool IsSpreadsheet(const std::string& bytes) {
    return bytes.rfind(
               std::string("Recebido em;Remetente;Tipo;DV;Linha digit") + char(0xE1) + "vel;", 0) ==
               0 &&
           bytes.find(";\"=\"\"12345678901234567890123456789012345678901235\"\"\";") !=
               std::string::npos;
}

}  // namespace

TEST_F(DialogsTest, ExportWritesCsvForTheSpreadsheetTypeAndACsvName) {
    CreateMain();
    CodeRecord record;
    record.code = "12345678901234567890123456789012345678901235";
    record.kind = CodeKind::NfeKey;
    program.pending.Push(ReceiverEvent{ReceiverEvent::Type::Record, record, {}, 0});
    DrainReceiverEvents(program);

    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string base = std::string(folder) + "zentory-sheet";
    std::remove((base + ".csv").c_str());
    {
        DialogWatcher save("Save log", SaveAsSpreadsheet(base));
        EXPECT_EQ(ChooseExportFile(program.mainWindow, program), 0);
        EXPECT_TRUE(save.Seen());
    }
    EXPECT_TRUE(IsSpreadsheet(ReadWholeFile(base + ".csv")));

    // "-f" names a spreadsheet: its type comes chosen, and the existing file is replaced
    // after "Yes".
    program.exportFileName = base + ".CSV";
    std::FILE* file = std::fopen((base + ".csv").c_str(), "wb");
    std::fputs("old", file);
    std::fclose(file);
    LRESULT chosenType = -1;
    {
        DialogWatcher save("Save log", [&chosenType](HWND saveDialog) {
            chosenType = SendDlgItemMessageA(saveDialog, 0x470, CB_GETCURSEL, 0, 0);
            PostMessageA(saveDialog, WM_COMMAND, IDOK, 0);
        });
        DialogWatcher question("zentory", DialogWatcher::Press(IDYES));
        ChooseExportFile(program.mainWindow, program);
        EXPECT_NE(question.Text().find("já existe"), std::string::npos);
    }
    EXPECT_EQ(chosenType, kCsvFilterIndex - 1);
    EXPECT_TRUE(IsSpreadsheet(ReadWholeFile(base + ".csv")));
    std::remove((base + ".csv").c_str());
    program.exportFileName.clear();

    // A name that, with ".csv" added, is a folder: the failure is reported.
    CreateDirectoryA((base + "-folder.csv").c_str(), nullptr);
    {
        DialogWatcher save("Save log", SaveAsSpreadsheet(base + "-folder"));
        DialogWatcher failure("zentory", DialogWatcher::Press(IDOK), "Não foi possível");
        ChooseExportFile(program.mainWindow, program);
        EXPECT_TRUE(failure.Seen());
    }
    RemoveDirectoryA((base + "-folder.csv").c_str());
}

TEST(HelpPage, FallsBackToTheBrowserWithThePage) {
    static std::string opened;
    std::string file = OpenHelpPageInBrowser(nullptr, IDR_HELP_PAGE,
                                             [](HWND, const std::string& name) { opened = name; });
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(opened, file);
    std::string page = ReadWholeFile(file);
    EXPECT_NE(page.find("6666"), std::string::npos);
    EXPECT_NE(page.find("firewall"), std::string::npos);
    // A heading for each subject of the guide, and in it what the program does today. The
    // page is UTF-8; this file's texts are the program's code page.
    int wide =
        MultiByteToWideChar(CP_UTF8, 0, page.data(), static_cast<int>(page.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, page.data(), static_cast<int>(page.size()), text.data(), wide);
    page.assign(static_cast<std::size_t>(wide), '\0');
    WideCharToMultiByte(1252, 0, text.data(), wide, page.data(), wide, nullptr, nullptr);
    for (const char* heading : {">Conectar o celular</h2>", ">A página do Zentory no celular</h2>",
                                ">Quem pode enviar códigos</h2>", ">Como o código é digitado</h2>",
                                ">O histórico guardado e os códigos repetidos</h2>",
                                ">Salvar a lista e abrir numa planilha</h2>", ">A lista</h2>",
                                ">Boleto em PDF: copiar a linha digitável e teclar Ctrl+Alt+V</h2>",
                                ">Pix: o QR code do boleto e o Pix Copia e Cola</h2>",
                                ">Telas em 125 %, 150 % e 200 %</h2>"}) {
        EXPECT_NE(page.find(heading), std::string::npos) << heading;
    }
    for (const char* promise :
         {"QR code", "Abrir pasta do histórico", "Lido antes em", "Planilha CSV",
          "Apagar todos os N códigos da lista?", "Retardo entre teclas",
          "Digitar como teclado físico", "Somente redes locais"}) {
        EXPECT_NE(page.find(promise), std::string::npos) << promise;
    }
    std::remove(file.c_str());
}
