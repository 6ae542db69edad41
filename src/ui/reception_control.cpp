#include "ui/main_window_services.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <system_error>

#include "reception/endpoint.h"
#include "typing/layouts.h"
#include "util/debug_trace.h"

// The status bar's first two parts and the UDP reception behind them.

void ShowStatusText(Program& program, const char* text) {
    SendMessageA(program.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

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
