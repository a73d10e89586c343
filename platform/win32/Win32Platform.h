// The real system calls behind the platform interfaces.
#pragma once

#include <windows.h>

#include "platform/Platform.h"

namespace kv::win {

// The message a start that waits for the running Kelvane posts to its main
// window (RegisterWindowMessage makes it one number for every program).
inline constexpr const wchar_t* kOtherStartWaitsMessage = L"Tessaly.Kelvane.OtherStartWaits";

class Win32Registry : public IRegistry {
public:
    bool KeyExists(const std::string& path) override;
    bool CreateKey(const std::string& path) override;
    bool CreateVolatileKey(const std::string& path) override;
    bool DeleteKey(const std::string& path) override;
    RegStatus QueryValue(const std::string& path, const std::string& name, RegValue& out) override;
    RegStatus SetValue(const std::string& path, const std::string& name, const RegValue& value) override;
    RegStatus DeleteValue(const std::string& path, const std::string& name) override;
    std::vector<std::string> SubKeyNames(const std::string& path) override;
    std::vector<std::string> ValueNames(const std::string& path) override;
};

class Win32Display : public IDisplay {
public:
    std::optional<DisplayDeviceInfo> EnumDevice(std::uint32_t index) override;
    std::optional<DisplayDeviceInfo> EnumMonitor(const std::string& adapterName, std::uint32_t index) override;
    std::optional<DisplayMode> EnumMode(const std::string& deviceName, std::uint32_t index,
                                        std::uint32_t flags) override;
    bool ChangeFrequency(std::uint32_t frequency, std::uint32_t flags) override;
    std::optional<DisplayMode> CurrentMode(const std::string& deviceName) override;
    long ChangeMode(const std::string& deviceName, const DisplayMode& mode, std::uint32_t flags) override;
};

class Win32System : public ISystem {
public:
    int ShowMessageBox(const std::string& text, const std::string& caption, int buttons) override;
    std::uintptr_t ShellOpen(const std::string& file, const std::string& parameters, const std::string& directory,
                             int show) override;
    bool WaitForProgram(std::uintptr_t handle, std::uint32_t timeoutMs) override;
    PrivilegeSteps EnableShutdownPrivilege() override;
    bool RestartWindows() override;
    std::uint32_t GetVersion() override;
    void Sleep(std::uint32_t ms) override;
    std::string CommandLine() override;
    std::string ProgramPath() override;
    std::string CurrentDirectory() override;
    std::vector<std::string> FindFiles(const std::string& pattern) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    unsigned AnsiCodePage() override { return GetACP(); }
    unsigned OemCodePage() override { return GetOEMCP(); }
    bool HasCodePage(unsigned codePage) override { return IsValidCodePage(codePage) != 0; }
    std::string SystemDecode(const std::string& bytes, unsigned codePage) override;
    std::string SystemEncode(const std::string& text, unsigned codePage) override;
    bool WriteFile(const std::string& path, const std::string& content) override;
    bool RemoveFile(const std::string& path) override;
    bool MoveFileOver(const std::string& from, const std::string& to) override;
    bool FileExists(const std::string& path) override;
    bool ClaimSingleInstance(const std::string& name) override;
    bool WaitForSingleInstance(const std::string& name, std::uint32_t timeoutMs) override;
    void ReleaseSingleInstance(const std::string&) override {}
    bool ActivateWindow(const std::string& windowClass) override;
    void TellOtherStartWaits(const std::string& windowClass) override;
    std::string LocalTimeText() override;
    std::optional<std::string> AskFileName(FileDialog kind, const std::string& title, const std::string& filter,
                                           const std::string& extension) override;

    // The window that owns message boxes and started programs.
    HWND owner = nullptr;

protected:
    [[noreturn]] void Exit(int exitCode) override;
};

}  // namespace kv::win
