#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "typing/typing.h"

// Windows drops, without a word, the keys sent to a window of a program that runs at a
// higher integrity level (as administrator) than the sender. Before each text, this typer
// asks whether the focused window is such a program's; if so it types nothing, and tells
// once for each such program.
class TargetCheckingTyper : public TextTyper {
public:
    // Fills the program's name (its executable) when the focused window's program is
    // above Zentory; false otherwise, or when that cannot be told.
    using ElevatedTargetProbe = std::function<bool(std::string& program)>;
    // Called the first time each such program was the target, on the typing caller's thread.
    using BlockedTargetReport = std::function<void(const std::string& program)>;

    TargetCheckingTyper(TextTyper& inner, ElevatedTargetProbe probe, BlockedTargetReport report)
        : typer(inner), elevatedTarget(std::move(probe)), reportBlocked(std::move(report)) {}

    bool TypeText(const std::string& text) override;

private:
    TextTyper& typer;
    ElevatedTargetProbe elevatedTarget;
    BlockedTargetReport reportBlocked;
    std::mutex mutex;
    std::set<std::string> told;
};

// What the user is told, in the status bar and a balloon.
inline constexpr const char* kElevatedTargetMessage =
    "A janela de destino pertence a um programa executado como administrador: o Zentory não "
    "consegue digitar nela.";
