// The simulated machine the tests start from: the demo machine's registry,
// Kelvane installed in C:\Kelvane with its "ati.pci", Windows XP.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "maintenance/Snapshots.h"
#include "platform/RegFile.h"
#include "platform/Settings.h"
#include "tests/sim/SimMachine.h"

namespace kv::test {

inline constexpr const char* kInstallDir = "C:\\Kelvane";
// The start that runs the check after a restart: the copy the logon's
// one-shot start hands the check to.
inline constexpr const char* kCheckCommand = "\"C:\\Kelvane\\Kelvane.exe\" /CHECK /DETACHED";
inline constexpr const char* kDeviceKey = "System\\CurrentControlSet\\Services\\ati2mtag\\Device0";

inline std::string SourceFile(const std::string& relative) {
    std::ifstream in(std::string(KELVANE_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every language file that ships: lang/*.lng by name, in sorted order.
inline std::vector<std::string> ShippedLanguageFiles() {
    std::vector<std::string> names;
    for (const auto& file : std::filesystem::directory_iterator(std::string(KELVANE_SOURCE_DIR) + "/lang"))
        if (file.path().extension() == ".lng") names.push_back(file.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// "" for the built-in English, then every shipped language file.
inline std::vector<std::string> EveryLanguage() {
    std::vector<std::string> names = ShippedLanguageFiles();
    names.insert(names.begin(), "");
    return names;
}

inline constexpr const char* kSmallPciIds =
    "D 4E48 R350 [Radeon 9800 Series]\r\n"
    "S 0002 Radeon 9800 Pro 128MB\r\n"
    "O 1002 Radeon 9800 Pro 128MB, ATI Technologies Inc\r\n"
    "D 5159 RV100 [Radeon 7000 / Radeon VE]\r\n";

struct TestMachine : SimMachine {
    TestMachine() {
        ImportRegFile(registry, SourceFile("demo/demo-machine.reg"));
        system.currentDirectory = kInstallDir;
        system.WriteFile(std::string(kInstallDir) + "\\ati.pci", kSmallPciIds);
        system.WriteFile(std::string(kInstallDir) + "\\Kelvane.exe", "MZ");
        Boot();
    }
    // A change awaits its check, as OK leaves one: its record, and the
    // settings from before it (as they are now) kept in beforechange.dat.
    void AwaitCheck() {
        std::string before = ExportRegBranch(registry, kDeviceKey);
        system.WriteFile(std::string(kInstallDir) + "\\beforechange.dat", before);
        registry.CreateKey(kProductSettingsKey);
        RememberSnapshotBeforeChange(platform, Fingerprint(before));
    }
};

// A machine whose display functions name no device at all.
struct NoDisplay : IDisplay {
    std::optional<DisplayDeviceInfo> EnumDevice(std::uint32_t) override { return std::nullopt; }
    std::optional<DisplayMode> EnumMode(const std::string&, std::uint32_t, std::uint32_t) override {
        return std::nullopt;
    }
    bool ChangeFrequency(std::uint32_t, std::uint32_t) override { return false; }
    std::optional<DisplayMode> CurrentMode(const std::string&) override { return std::nullopt; }
    long ChangeMode(const std::string&, const DisplayMode&, std::uint32_t) override { return kDispChangeFailed; }
};

}  // namespace kv::test
