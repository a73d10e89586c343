// What every fuzz target starts from: the simulated machine the native tests
// use (the demo machine's registry, Kelvane in C:\Kelvane with an "ati.pci",
// Windows XP), the main window's start-up as Windows runs it, and the checks
// that turn a fault the program would hide into a crash the fuzzer sees.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "TestMachine.h"
#include "app/KVMAIN.h"

namespace kv::fuzz {

using test::kDeviceKey;
using test::kInstallDir;
// Booted already; a target that changes the driver's lists boots it again.
using Machine = test::TestMachine;

[[noreturn]] inline void Fault(const std::string& what) {
    std::fprintf(stderr, "fuzz: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// The main window's safety net turns an exception into this message; no
// input may reach it, since it stands for a fault in the program.
inline void CheckNoUnexpectedError(const SimSystem& system) {
    for (const SimSystem::ShownBox& box : system.shown)
        if (box.text.rfind("Unexpected error", 0) == 0) Fault("the program hid an exception: " + box.text);
}

// The creation and first paint of the main window, as Windows delivers
// them; false when the program ended on the way.
inline bool StartMainWindow(TForm1& form) {
    try {
        form.RunCommand([&] { form.FormCreate(); });
        form.RunCommand([&] { form.FormPaint(); });
    } catch (const ProgramEnded&) {
        return false;
    }
    return true;
}

// Runs one of the window's commands; false when the program ended.
inline bool Command(TForm1& form, const std::function<void()>& command) {
    try {
        form.RunCommand(command);
    } catch (const ProgramEnded&) {
        return false;
    }
    return true;
}

}  // namespace kv::fuzz
