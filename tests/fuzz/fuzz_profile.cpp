// A profile: any bytes a file may hold. The reader must say exactly one of
// a profile or why not, and a profile it reads must read back the same from
// the text Kelvane writes of it. Applied with no window on the demo machine
// it ends in 0, 1 or 2 (nothing fails there), writes nothing when it ends in
// 1 or 2, and a second apply finds nothing left to do.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzMachine.h"
#include "app/ProfileRun.h"
#include "platform/Settings.h"
#include "profile/Profile.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const ProfileReading reading = ReadProfile(bytes);
    if (reading.profile.has_value() == !reading.problem.empty()) fuzz::Fault("a profile exactly when no problem");
    if (reading.profile) {
        const std::string text = ProfileText(*reading.profile);
        const ProfileReading again = ReadProfile(text);
        if (!again.profile) fuzz::Fault("the text written of a profile does not read: " + again.problem);
        if (ProfileText(*again.profile) != text) fuzz::Fault("a profile does not read back as written");
    }

    fuzz::Machine m;
    // Kelvane ran here before: its own key records where it lives.
    m.registry.SetString(kProductSettingsKey, "InstallDir", fuzz::kInstallDir);
    m.system.WriteFile("C:\\lab.ini", bytes);
    m.system.commandLine = "\"C:\\Kelvane\\Kelvane.exe\" /APPLY C:\\lab.ini";
    const unsigned long before = m.registry.ChangeCount();
    const int code = RunProfileCommand(m.platform);
    if (code != kExitDone && code != kExitNothing && code != kExitRefused) fuzz::Fault("a write failed on its own");
    if (code != kExitDone && m.registry.ChangeCount() != before) fuzz::Fault("written though nothing was applied");
    if (code == kExitRefused && reading.profile) {
        const std::string log = m.system.ReadFile("C:\\Kelvane\\Kelvane.log").value_or("");
        fuzz::Fault("a profile that reads refused on the demo machine:\n" + log);
    }
    if (code == kExitDone) {
        const unsigned long applied = m.registry.ChangeCount();
        if (RunProfileCommand(m.platform) != kExitNothing || m.registry.ChangeCount() != applied)
            fuzz::Fault("a second apply of the same profile found something to do:\n" +
                        m.system.ReadFile("C:\\Kelvane\\Kelvane.log").value_or(""));
    }
    return 0;
}
