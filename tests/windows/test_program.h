#pragma once

#include <windows.h>

#include <memory>

#include "../core/test_doubles.h"
#include "settings/memory_settings_store.h"
#include "ui/main_window.h"

// The program of the tests that build its windows: the settings in memory, typed texts
// recorded, the main window's class registered. A fixture derives from it and sets what
// else it needs before it creates the main window.
struct TestProgram {
    TestProgram() {
        program.instance = GetModuleHandleA(nullptr);
        program.store = &store;
        program.typer = &typer;
        program.injector = std::make_unique<KeyboardInjector>(program.settings, store, typer);
        RegisterMainWindowClass(program.instance);
    }

    MemorySettingsStore store;
    RecordingTyper typer;
    Program program;
};
