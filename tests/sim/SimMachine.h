// The simulated machine the tests run on: an in-memory registry that fails
// where a test says, a simulated ATI adapter, files in memory, a registry
// editor that works on that registry, scripted message-box answers, and a
// record of every program start and restart request.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/RegistryImage.h"
#include "platform/SimAdapter.h"
#include "platform/Text.h"
#include "tests/sim/SimFaults.h"

namespace kv {

// The machine's registry. A branch is deleted as Windows deletes one:
// children first, stopping at the first key that cannot be deleted, so a
// refused key deep down leaves part of the branch behind.
class SimRegistry : public RegistryImage {
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

    // Counts every change, so a test can tell that nothing was written.
    unsigned long ChangeCount() const { return changes_; }

    // A fault to inject: an operation for which this answers true fails as
    // access denied would (the value name is empty for key operations; a
    // branch's deletion asks for each of its keys).
    enum class Op { CreateKey, DeleteKey, Query, Set, Delete };
    std::function<bool(Op, const std::string& path, const std::string& name)> refuse;
    // Counts every operation through the interface, reads included; the
    // one it picks fails (a list of names comes back empty).
    FaultPlan* faults = nullptr;

private:
    bool Refused(Op op, const std::string& path, const std::string& name) {
        bool faulted = Faulted(path + (name.empty() ? "" : "\\" + name));
        return faulted || (refuse && refuse(op, path, name));
    }
    bool Faulted(const std::string& what) { return faults && faults->Fails("registry", what); }

    unsigned long changes_ = 0;
};

class SimSystem : public ISystem {
public:
    explicit SimSystem(SimRegistry& registry) : registry_(registry) {}

    struct ShownBox {
        std::string text, caption;
        int buttons = 0;
        int answer = 0;
    };
    struct Launch {
        std::string file, parameters, directory;
        int show = 0;
    };

    int ShowMessageBox(const std::string& text, const std::string& caption, int buttons) override;
    std::uintptr_t ShellOpen(const std::string& file, const std::string& parameters, const std::string& directory,
                             int show) override;
    bool WaitForProgram(std::uintptr_t handle, std::uint32_t timeoutMs) override;
    PrivilegeSteps EnableShutdownPrivilege() override;
    bool RestartWindows() override;
    std::uint32_t GetVersion() override { return version; }
    void Sleep(std::uint32_t ms) override { sleptMs += ms; }
    std::string CommandLine() override { return commandLine; }
    std::string ProgramPath() override { return programPath; }
    std::string CurrentDirectory() override { return currentDirectory; }
    std::vector<std::string> FindFiles(const std::string& pattern) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    unsigned AnsiCodePage() override { return ansiCodePage; }
    unsigned OemCodePage() override { return oemCodePage; }
    bool HasCodePage(unsigned codePage) override {
        return codePage == ansiCodePage || codePage == oemCodePage || installedCodePages.count(codePage) != 0;
    }
    // The pages it has no table of read as 1252.
    std::string SystemDecode(const std::string& bytes, unsigned codePage) override {
        return HasCodePage(codePage) ? DecodeWindowsCodePage(bytes, codePage) : std::string();
    }
    std::string SystemEncode(const std::string& text, unsigned codePage) override {
        return HasCodePage(codePage) ? EncodeWindowsCodePage(text, codePage) : std::string();
    }
    bool WriteFile(const std::string& path, const std::string& content) override;
    bool RemoveFile(const std::string& path) override;
    bool MoveFileOver(const std::string& from, const std::string& to) override;
    bool FileExists(const std::string& path) override { return !Faulted("find", FullPath(path)) && HasFile(path); }
    bool ClaimSingleInstance(const std::string& name) override;
    std::string LocalTimeText() override { return localTime; }
    // The file dialog takes the next of `fileAnswers` (a cancel when none
    // is left) and is recorded in `fileDialogs`.
    std::optional<std::string> AskFileName(FileDialog kind, const std::string& title, const std::string& filter,
                                           const std::string& extension) override;
    // The holder gets its chance to end (`whileWaiting`), then the claim is
    // tried once more.
    bool WaitForSingleInstance(const std::string& name, std::uint32_t timeoutMs) override;
    void ReleaseSingleInstance(const std::string& name) override { instances.erase(InstanceKey(name)); }
    // A window of the program that holds a claim in this session.
    bool ActivateWindow(const std::string& windowClass) override;
    void TellOtherStartWaits(const std::string& windowClass) override { toldWaiting.push_back(windowClass); }

    // Started programs that have not finished yet finish now, as they do
    // on their own in time.
    void FinishPrograms();
    // ... or never, when the machine stops first.
    void DropPrograms() {
        running_.clear();
        batches_.clear();
    }

    // A path as the files are keyed: absolute, backslashes, lower case.
    std::string FullPath(const std::string& path) const;
    // A path named by a program started with that working directory ("" or
    // "." for the program's own current directory).
    std::string FullPathIn(const std::string& directory, const std::string& path) const;
    bool HasFile(const std::string& path) const { return files.count(FullPath(path)) != 0; }

    // Answers for the next message boxes, in order. Without one, an OK box
    // is answered OK, OK/Cancel OK and Yes/No No.
    std::deque<int> answers;
    std::vector<ShownBox> shown;
    std::vector<Launch> launches;
    // Every wait for a started program, in order.
    struct Wait {
        std::uintptr_t handle = 0;
        std::uint32_t timeoutMs = 0;
    };
    std::vector<Wait> waits;
    // The registry editor never finishes: every wait for it times out.
    bool editorHangs = false;
    // Batch files run their commands when waited for: "del", "copy" (with
    // "+" to join files, as text unless "/b" comes first), "ren", "echo ...>> file" and the cabinet tool
    // "makecab SOURCE DESTINATION", whose cabinets SimCabinetContent reads.
    bool batchHangs = false;
    bool cabinetToolPresent = true;
    // Programs the shell cannot start, by path (short of memory, a policy).
    std::set<std::string> refusedPrograms;
    // Every command of a batch file that failed, as written in the file.
    std::vector<std::string> failedBatchCommands;
    // An export stops after this many bytes, as on a full disk or when
    // the editor is killed half-way.
    std::size_t exportLimit = std::string::npos;
    // Files another program holds open: they cannot be read, written,
    // replaced or removed. Read-only files can only be read. Full paths
    // as FullPath gives them.
    std::set<std::string> lockedFiles;
    std::set<std::string> readOnlyFiles;
    // Counts every file operation; the one it picks fails. A write that
    // fails leaves the first half of the file, as a disk that fills up does.
    FaultPlan* faults = nullptr;
    // The claims held, each with the session of the program that made it:
    // a name of the session's own is held as "Session N\name".
    std::map<std::string, int> instances;
    // The session the running program belongs to: each user of Fast User
    // Switching and each Remote Desktop has one.
    int session = 0;
    std::string InstanceKey(const std::string& name) const;
    std::vector<std::string> activated;
    std::string localTime = "2026-12-09 08:00:00";
    std::deque<std::optional<std::string>> fileAnswers;
    struct FileDialogShown {
        FileDialog kind;
        std::string title, filter, extension;
    };
    std::vector<FileDialogShown> fileDialogs;
    std::vector<std::string> toldWaiting;
    // What the other programs do while this one waits for a claim; and how
    // long it waited in vain, in all.
    std::function<void()> whileWaiting;
    std::uint64_t waitedForClaimMs = 0;
    std::map<std::string, std::string> files;
    std::uint32_t version = 0x0A280105;  // Windows XP, 5.1.2600
    std::string commandLine = "\"C:\\Kelvane\\Kelvane.exe\"";
    std::string programPath = "C:\\Kelvane\\Kelvane.exe";
    std::string currentDirectory = "C:\\Kelvane";
    // The code page of a Western European Windows; 1251 is a Russian one.
    unsigned ansiCodePage = 1252;
    unsigned oemCodePage = 850;  // 866 on a Russian one
    // Beside those two: a Western Windows 2000 without Cyrillic support
    // installed lacks 1251.
    std::set<unsigned> installedCodePages{437, 1250, 1252};
    bool registryEditorPresent = true;
    bool restartAccepted = true;
    int restartRequests = 0;
    bool privilegeGranted = true;
    std::uint64_t sleptMs = 0;

protected:
    // The registry editor runs on after the program ends.
    [[noreturn]] void Exit(int exitCode) override;

private:
    // The editor reads the registry when it starts and writes its file,
    // or imports one, when it finishes.
    struct EditorRun {
        std::string parameters;
        std::string directory;
        std::string exported;
    };
    EditorRun StartRegistryEditor(const std::string& parameters, const std::string& directory);
    void FinishRegistryEditor(const EditorRun& run);
    struct BatchRun {
        std::string file;
        std::string directory;
    };
    void RunBatch(const BatchRun& run);
    bool RunBatchCommand(const std::string& directory, const std::string& command);
    bool BatchEcho(const std::string& directory, const std::string& command);
    bool BatchCopy(const std::string& directory, std::vector<std::string> args);
    bool Writable(const std::string& fullPath) const {
        return !lockedFiles.count(fullPath) && !readOnlyFiles.count(fullPath);
    }
    bool Faulted(const char* operation, const std::string& path) {
        return faults && faults->Fails(operation, path);
    }

    // The registry editor's runs and the batch files that have not
    // finished, by handle.
    std::map<std::uintptr_t, EditorRun> running_;
    std::map<std::uintptr_t, BatchRun> batches_;

    SimRegistry& registry_;
};

struct SimMachine {
    SimMachine() {
        registry.faults = &faults;
        system.faults = &faults;
    }
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    FaultPlan faults;
    SimRegistry registry;
    SimAtiAdapter display{registry};
    SimSystem system{registry};
    Platform platform{registry, display, system};

    // A restart: programs still running finish first, then the driver
    // takes its lists again.
    void Boot() {
        system.FinishPrograms();
        system.instances.clear();
        registry.DropVolatileKeys();
        display.Boot();
    }
    // The power switch: what runs stops where it is, and the machine
    // starts again.
    void CutPower() {
        system.DropPrograms();
        faults = FaultPlan{};
        Boot();
    }
    // What Windows does with the one-shot start entries at logon: takes them
    // out and returns their commands.
    std::vector<std::string> TakeRunOnceCommands();
    // The logon: Windows takes the one-shot entries out and starts each as
    // CreateProcess does, from a folder of its own, and waits for that
    // program to end before the next entry and before anything else of the
    // logon (the Run keys, the user's entries, the Startup folder). `run`
    // runs the program the system's command line and program path now name
    // and says whether it ended. False while a program holds the logon up.
    bool Logon(const std::function<bool()>& run);
    // Every program the logon started, in order.
    std::vector<std::string> startedAtLogon;
    // The program a command line starts, as CreateProcess finds it: the
    // quoted path; or, unquoted, the first of "C:\Program.exe",
    // "C:\Program Files\Kelvane.exe", ... that exists ("exe" is added to a
    // name without extension). Nothing when none exists.
    std::optional<std::string> ProgramOfCommand(const std::string& commandLine) const;
};

// The simulated cabinet tool's files: the cabinet signature, then the name
// and content of the one file packed.
std::string SimCabinet(const std::string& name, const std::string& content);
// The packed file's content; nothing when the bytes are no such cabinet.
std::optional<std::string> SimCabinetContent(const std::string& bytes);

// Splits a parameter line the way Windows splits a command line: blanks
// separate, double quotes group.
std::vector<std::string> SplitParameters(const std::string& parameters);

}  // namespace kv
