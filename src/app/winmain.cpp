// Zentory's entry point: one instance, the command line, the network, the settings, the
// UDP endpoint, the main window, the message loop, and an orderly end.

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include "reception/endpoint.h"
#include "reception/user_messages_win32.h"
#include "settings/command_line.h"
#include "settings/registry_store_win32.h"
#include "typing/key_sender_win32.h"
#include "typing/target_check.h"
#include "resource.h"
#include "ui/connect_window.h"
#include "ui/history_journal.h"
#include "ui/main_window.h"
#include "ui/phone_page.h"
#include "util/debug_trace.h"

namespace {

// Any argument turns the global hot key on ("-f name" included).
bool HasArguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    DebugTrace("argc %d", count);
    LocalFree(arguments);
    return count > 1;
}

int MessageLoop(Program& program, HACCEL accelerators) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        HWND window = program.mainWindow;
        if (window && TranslateAcceleratorA(window, accelerators, &message)) continue;
        if (window && IsWindow(window) && IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    bool hotKeyEnabled = HasArguments();
    InitCommonControls();
    // The HTML help dialog is an OLE service.
    OleInitialize(nullptr);

    if (HWND running = FindWindowA("ZentoryWinClass", nullptr)) {
        ShowWindow(running, SW_SHOWNORMAL);
        SetForegroundWindow(running);
        return 0;
    }

    // Lives until the process ends: typing threads that are still pausing when the user
    // quits read its key delay, and they are never waited for.
    Program* program = new Program;
    program->hotKeyEnabled = hotKeyEnabled;
    program->exportFileName = ExportFileNameOption(commandLine ? commandLine : "");

    int networkError = 0;
    if (!StartNetwork(networkError)) {
        DebugTrace("[E] WSAStartup error\n");
        MessageBoxA(nullptr, "WSAStartup error", "zentory", MB_OK | MB_ICONERROR);
        return -1;
    }

    static RegistrySettingsStore registry;
    static MessageBoxUserMessages messages;
    // Typing threads are never waited for: the typer lives until the process ends.
    static SendInputKeySender* keySender = new SendInputKeySender(program->settings);
    static ThreadedTyper* typer = new ThreadedTyper(*keySender, program->settings);
    // Nothing is typed into a program that runs as administrator: Windows would drop the
    // keys without a word. The main window tells the user, once for each such program.
    static TargetCheckingTyper* checkedTyper =
        new TargetCheckingTyper(*typer, FocusedProgramRunsAboveUs, [program](const std::string&) {
            PostMessageA(program->mainWindow, kTypingBlockedMessage, 0, 0);
        });
    program->store = &registry;
    program->messages = &messages;
    bool firstStart = IsFirstStart(registry);
    LoadSettings(registry, program->settings);
    program->senderGate.SetFilter(ReadSenderFilter(registry));
    program->typer = typer;
    program->injector =
        std::make_unique<KeyboardInjector>(program->settings, registry, *checkedTyper);
    program->hotKeyId = GlobalAddAtomA("ZentoryTypematicHotkey");
    program->instance = instance;

    // With UDP reception off (the phone page alone), no socket is held at all.
    if (program->settings.udpReceive != 0 &&
        !OpenEndpoint(program->socket, program->settings.udpPort, messages)) {
        StopNetwork();
        DebugTrace("Exit error\n");
        return -1;
    }
    if (!RegisterMainWindowClass(instance)) {
        DebugTrace("[E] RegisterClassEx - %lu\n", GetLastError());
    }
    HWND window = CreateMainWindow(*program);
    if (!window) {
        DebugTrace("[E] CreateDialog - %lu\n", GetLastError());
        DebugTrace("Exit error\n");
        return 1;
    }
    // The list's rows of the last run, before the window shows.
    StartJournal(*program);
    if (program->settings.startMinimized != 0) {
        ShowWindow(window, SW_MINIMIZE);
        ShowWindow(window, SW_HIDE);
    } else {
        ShowWindow(window, showCommand);
        UpdateWindow(window);
    }
    StartPhonePage(*program);
    ShowReceptionStatus(*program);
    if (firstStart) {
        // The new user's first question is how to connect the phone. Storing the filter
        // makes this the only time the window opens by itself.
        registry.WriteRegDword(kSettingsKey, kSenderFilterValue,
                               static_cast<std::int32_t>(program->senderGate.Filter().Mode()));
        PostMessageA(window, WM_COMMAND, IDM_CONNECT, 0);
    }
    HACCEL accelerators = LoadAcceleratorsA(instance, "ACCELERATORS");

    int exitCode = MessageLoop(*program, accelerators);

    // The receiver and the page go before the history they write to.
    StopPhonePage(*program);
    if (program->receiver) program->receiver->Stop();
    StopJournal(*program);
    program->socket.Close();
    StopNetwork();
    OleUninitialize();
    return exitCode;
}
