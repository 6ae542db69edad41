#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/program.h"

// What the main window offers the program's other windows and commands: its status bar,
// the reception it runs, and the queue through which the receiver and the phone page hand
// it records.

// The status-bar text of an injection mode.
const char* ModeStatusText(std::int32_t mode);

// Shows `text` in the status bar's first part.
void ShowStatusText(Program& program, const char* text);

// The status bar's first part while no UDP socket is open: "Recepção UDP desligada" with
// the page's port, or "Recepção desligada" when the page is off too. With a socket, the
// receiver says where it waits.
void ShowReceptionStatus(Program& program);

// Starts the receiver on the program's socket. When the system has no thread to give,
// the user is told, and the status bar says that nothing is received.
bool StartReceiver(Program& program);

// Moves the reception to another port: the endpoint opens on the new port first (telling
// the user when it cannot, and leaving the reception as it was); then the receiver on the
// old socket ends, the socket closes, the new port is held and a new receiver starts on
// it. True when the endpoint opened.
bool MoveReception(Program& program, std::int32_t port);

// Turns UDP reception on (the endpoint on the held port, then a receiver; false, with the
// user told why, when the port cannot be had) or off (the receiver ends and the socket
// closes), and says so in the status bar.
bool SetUdpReception(Program& program, bool on);

// Takes what the receiver handed over: status texts and records, which it stores in the
// history with their rows, a slice at a time unless `everything`. The rows left are those
// that appending every record one by one with the cap would leave. Main thread only.
void DrainReceiverEvents(Program& program, bool everything = false);

// The receiver's sink in the program: queues everything for the main thread and wakes it
// only when the queue was empty, so that a flood cannot fill its message queue.
class MainWindowSink : public ReceiverSink {
public:
    explicit MainWindowSink(Program& owner) : program(owner) {}
    void ShowStatus(const std::string& text) override;
    void Deliver(CodeRecord record) override;
    void Refuse(std::uint32_t senderAddress) override;

private:
    void Push(ReceiverEvent event);
    Program& program;
};

// The program's one MainWindowSink, made on first use: the receiver and the phone page
// hand their records to the same queue.
ReceiverSink& MainSinkOf(Program& program);
