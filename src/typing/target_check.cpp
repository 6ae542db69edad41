#include "typing/target_check.h"

#include "util/debug_trace.h"

bool TargetCheckingTyper::TypeText(const std::string& text) {
    std::string program;
    if (!elevatedTarget || !elevatedTarget(program)) return typer.TypeText(text);
    DebugTrace("[E] Code not typed: the focused window's program runs as administrator (%s)\n",
               program.c_str());
    bool first = false;
    {
        std::lock_guard lock(mutex);
        first = told.insert(program).second;
    }
    if (first && reportBlocked) reportBlocked(program);
    return false;
}
