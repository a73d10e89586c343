// The system of a run without a window, such as one a start-up script
// makes: nobody may be there to answer, so nothing is shown. Each message
// box becomes a line for the run's log and is answered the careful way (No,
// Cancel, OK); ending the program comes back to the run as ProgramEnded.
// Everything else is the real system's.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kv {

class QuietSystem : public ISystem {
public:
    explicit QuietSystem(ISystem& inner) : inner_(inner) {}

    // The texts of the message boxes that were not shown, in order.
    std::vector<std::string> messages;

    int ShowMessageBox(const std::string& text, const std::string& caption, int buttons) override {
        messages.push_back(caption.empty() ? text : caption + ": " + text);
        switch (buttons & 0xF) {
            case kMbYesNo: return kIdNo;
            case kMbOkCancel: return kIdCancel;
            default: return kIdOk;
        }
    }
    std::optional<std::string> AskFileName(FileDialog, const std::string&, const std::string&,
                                           const std::string&) override {
        return std::nullopt;
    }

    std::uintptr_t ShellOpen(const std::string& file, const std::string& parameters, const std::string& directory,
                             int show) override {
        return inner_.ShellOpen(file, parameters, directory, show);
    }
    bool WaitForProgram(std::uintptr_t handle, std::uint32_t timeoutMs) override {
        return inner_.WaitForProgram(handle, timeoutMs);
    }
    PrivilegeSteps EnableShutdownPrivilege() override { return inner_.EnableShutdownPrivilege(); }
    bool RestartWindows() override { return inner_.RestartWindows(); }
    std::uint32_t GetVersion() override { return inner_.GetVersion(); }
    void Sleep(std::uint32_t ms) override { inner_.Sleep(ms); }
    std::string CommandLine() override { return inner_.CommandLine(); }
    std::string ProgramPath() override { return inner_.ProgramPath(); }
    std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }
    std::vector<std::string> FindFiles(const std::string& pattern) override { return inner_.FindFiles(pattern); }
    std::optional<std::string> ReadFile(const std::string& path) override { return inner_.ReadFile(path); }
    unsigned AnsiCodePage() override { return inner_.AnsiCodePage(); }
    unsigned OemCodePage() override { return inner_.OemCodePage(); }
    bool HasCodePage(unsigned codePage) override { return inner_.HasCodePage(codePage); }
    std::string SystemDecode(const std::string& bytes, unsigned codePage) override {
        return inner_.SystemDecode(bytes, codePage);
    }
    std::string SystemEncode(const std::string& text, unsigned codePage) override {
        return inner_.SystemEncode(text, codePage);
    }
    bool WriteFile(const std::string& path, const std::string& content) override {
        return inner_.WriteFile(path, content);
    }
    bool RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
    bool MoveFileOver(const std::string& from, const std::string& to) override {
        return inner_.MoveFileOver(from, to);
    }
    bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
    bool ClaimSingleInstance(const std::string& name) override { return inner_.ClaimSingleInstance(name); }
    bool WaitForSingleInstance(const std::string& name, std::uint32_t timeoutMs) override {
        return inner_.WaitForSingleInstance(name, timeoutMs);
    }
    void ReleaseSingleInstance(const std::string& name) override { inner_.ReleaseSingleInstance(name); }
    // No window of this run to bring forward, nor to tell.
    bool ActivateWindow(const std::string&) override { return false; }
    void TellOtherStartWaits(const std::string&) override {}
    std::string LocalTimeText() override { return inner_.LocalTimeText(); }

protected:
    [[noreturn]] void Exit(int exitCode) override { throw ProgramEnded{exitCode}; }

private:
    ISystem& inner_;
};

}  // namespace kv
