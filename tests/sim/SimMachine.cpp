#include "tests/sim/SimMachine.h"

#include <algorithm>
#include <cctype>

#include "platform/Launch.h"
#include "platform/RegFile.h"
#include "platform/Text.h"

namespace kv {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Matches a file name against a pattern of * and ? without regard to case.
bool WildMatch(const char* pattern, const char* name) {
    if (*pattern == '\0') return *name == '\0';
    if (*pattern == '*') return WildMatch(pattern + 1, name) || (*name && WildMatch(pattern, name + 1));
    if (*name == '\0') return false;
    if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) !=
                               std::tolower(static_cast<unsigned char>(*name)))
        return false;
    return WildMatch(pattern + 1, name + 1);
}

constexpr const char* kHklmPrefix = "hkey_local_machine\\";

}  // namespace

bool SimRegistry::KeyExists(const std::string& path) { return !Faulted(path) && RegistryImage::KeyExists(path); }

bool SimRegistry::CreateKey(const std::string& path) {
    if (Refused(Op::CreateKey, path, "")) return false;
    if (!FindKey(path)) ++changes_;
    return RegistryImage::CreateKey(path);
}

bool SimRegistry::CreateVolatileKey(const std::string& path) {
    if (Refused(Op::CreateKey, path, "")) return false;
    if (!FindKey(path)) ++changes_;
    return RegistryImage::CreateVolatileKey(path);
}

bool SimRegistry::DeleteKey(const std::string& path) {
    Key* key = SplitPath(path).empty() ? nullptr : FindKey(path);
    // A key Windows will not open for writing is left whole, children and all.
    if (!key || Refused(Op::DeleteKey, path, "")) return false;
    // Windows only deletes empty keys: the children go first, and the first
    // one that stays keeps its parent, and every key above it, in place.
    while (!key->subkeys.empty())
        if (!DeleteKey(path + "\\" + key->subkeys.begin()->second->name)) return false;
    ++changes_;
    return RegistryImage::DeleteKey(path);
}

RegStatus SimRegistry::QueryValue(const std::string& path, const std::string& name, RegValue& out) {
    if (!FindKey(path)) return RegStatus::NoKey;
    if (Refused(Op::Query, path, name)) return RegStatus::Failed;
    return RegistryImage::QueryValue(path, name, out);
}

RegStatus SimRegistry::SetValue(const std::string& path, const std::string& name, const RegValue& value) {
    if (!FindKey(path)) return RegStatus::NoKey;
    if (Refused(Op::Set, path, name)) return RegStatus::Failed;
    ++changes_;
    return RegistryImage::SetValue(path, name, value);
}

RegStatus SimRegistry::DeleteValue(const std::string& path, const std::string& name) {
    if (!FindKey(path)) return RegStatus::NoKey;
    if (Refused(Op::Delete, path, name)) return RegStatus::Failed;
    RegStatus status = RegistryImage::DeleteValue(path, name);
    if (status == RegStatus::Ok) ++changes_;
    return status;
}

std::vector<std::string> SimRegistry::SubKeyNames(const std::string& path) {
    if (Faulted(path)) return {};
    return RegistryImage::SubKeyNames(path);
}

std::vector<std::string> SimRegistry::ValueNames(const std::string& path) {
    if (Faulted(path)) return {};
    return RegistryImage::ValueNames(path);
}

std::vector<std::string> SplitParameters(const std::string& parameters) {
    std::vector<std::string> args;
    std::string cur;
    bool inQuotes = false, have = false;
    for (char c : parameters) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if (c == ' ' && !inQuotes) {
            if (have) args.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have) args.push_back(cur);
    return args;
}

int SimSystem::ShowMessageBox(const std::string& text, const std::string& caption, int buttons) {
    int answer = (buttons & 0xF) == kMbYesNo ? kIdNo : kIdOk;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    shown.push_back({text, caption, buttons, answer});
    return answer;
}

std::uintptr_t SimSystem::ShellOpen(const std::string& file, const std::string& parameters,
                                    const std::string& directory, int show) {
    launches.push_back({file, parameters, directory, show});
    std::uintptr_t handle = launches.size();
    // Beyond Windows' limits the start fails: nothing is cut.
    if (!FitsWindowsLimits(file, parameters, directory)) return 0;
    if (Lower(file) == "regedit.exe") {
        if (!registryEditorPresent) return 0;
        // It does its work when it is waited for, or later on its own: a
        // program that does not wait cannot rely on it being done.
        running_[handle] = StartRegistryEditor(parameters, directory);
    } else if (Lower(file).size() > 4 && Lower(file).substr(file.size() - 4) == ".bat") {
        if (!HasFile(FullPathIn(directory, file))) return 0;
        batches_[handle] = {file, directory};
    } else if (file.find('\\') != std::string::npos && (!HasFile(file) || refusedPrograms.count(file))) {
        return 0;  // a program named by its path that is not there, or cannot start
    }
    return handle;
}

bool SimSystem::WaitForProgram(std::uintptr_t handle, std::uint32_t timeoutMs) {
    waits.push_back({handle, timeoutMs});
    if (handle == 0) return false;
    if (auto batch = batches_.find(handle); batch != batches_.end()) {
        if (batchHangs) return false;
        BatchRun run = batch->second;
        batches_.erase(batch);
        RunBatch(run);
        return true;
    }
    auto it = running_.find(handle);
    if (it == running_.end()) return true;
    if (editorHangs) return false;
    EditorRun run = it->second;
    running_.erase(it);
    FinishRegistryEditor(run);
    return true;
}

void SimSystem::FinishPrograms() {
    if (!editorHangs)
        while (!running_.empty()) WaitForProgram(running_.begin()->first, 0);
    if (!batchHangs)
        while (!batches_.empty()) WaitForProgram(batches_.begin()->first, 0);
}

SimSystem::EditorRun SimSystem::StartRegistryEditor(const std::string& parameters, const std::string& directory) {
    EditorRun run{parameters, directory, ""};
    std::vector<std::string> args = SplitParameters(parameters);
    if (args.size() >= 3 && Lower(args[0]) == "/e" && Lower(args[2]).rfind(kHklmPrefix, 0) == 0)
        run.exported = ExportRegBranch(registry_, args[2].substr(std::string(kHklmPrefix).size()));
    return run;
}

void SimSystem::FinishRegistryEditor(const EditorRun& run) {
    std::vector<std::string> args = SplitParameters(run.parameters);
    if (args.size() >= 3 && Lower(args[0]) == "/e") {
        if (!run.exported.empty()) WriteFile(FullPathIn(run.directory, args[1]), run.exported.substr(0, exportLimit));
    } else if (args.size() >= 2 && Lower(args[0]) == "/s") {
        if (std::optional<std::string> content = ReadFile(FullPathIn(run.directory, args[1])))
            ImportRegFile(registry_, *content);
    }
}

ISystem::PrivilegeSteps SimSystem::EnableShutdownPrivilege() {
    return {privilegeGranted, privilegeGranted, privilegeGranted};
}

bool SimSystem::RestartWindows() {
    ++restartRequests;
    return restartAccepted;
}

std::string SimSystem::FullPath(const std::string& path) const {
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    bool absolute = p.size() >= 2 && p[1] == ':';
    if (!absolute) p = currentDirectory + "\\" + p;
    std::vector<std::string> parts;
    std::string cur;
    auto flush = [&] {
        if (cur == "..") {
            if (parts.size() > 1) parts.pop_back();
        } else if (!cur.empty() && cur != ".") {
            parts.push_back(cur);
        }
        cur.clear();
    };
    for (char c : p) {
        if (c == '\\') flush();
        else cur += c;
    }
    flush();
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : "\\") + part;
    return Lower(out);
}

std::string SimSystem::FullPathIn(const std::string& directory, const std::string& path) const {
    bool absolute = path.size() >= 2 && path[1] == ':';
    if (absolute || directory.empty() || directory == ".") return FullPath(path);
    return FullPath(directory + "\\" + path);
}

void SimSystem::RunBatch(const BatchRun& run) {
    std::optional<std::string> script = ReadFile(FullPathIn(run.directory, run.file));
    if (!script) return;
    std::size_t start = 0;
    while (start < script->size()) {
        std::size_t end = script->find("\r\n", start);
        if (end == std::string::npos) end = script->size();
        std::string line = script->substr(start, end - start);
        start = end + 2;
        // The command interpreter drops carriage returns inside a line.
        std::string command;
        for (char c : line)
            if (c != '\r') command += c;
        if (!command.empty() && !RunBatchCommand(run.directory, command)) failedBatchCommands.push_back(command);
    }
}

bool SimSystem::RunBatchCommand(const std::string& directory, const std::string& command) {
    auto path = [&](const std::string& name) { return FullPathIn(directory, name); };
    std::string verb = Lower(command.substr(0, command.find(' ')));
    if (verb == "@echo") return true;
    if (verb == "echo") return BatchEcho(directory, command);
    std::vector<std::string> args = SplitParameters(command.substr(verb.size()));
    if (verb == "del") return args.size() == 1 && RemoveFile(path(args[0]));
    if (verb == "ren") {
        if (args.size() != 2 || HasFile(path(args[1]))) return false;
        return MoveFileOver(path(args[0]), path(args[1]));
    }
    if (verb == "copy") return BatchCopy(directory, args);
    if (verb == "makecab") {
        if (!cabinetToolPresent || args.size() != 2) return false;
        std::optional<std::string> source = ReadFile(path(args[0]));
        if (!source) return false;
        std::string name = args[0].substr(args[0].find_last_of("\\") + 1);
        return WriteFile(path(args[1]), SimCabinet(name, *source));
    }
    return false;
}

// "echo TEXT >> FILE" adds a line to the file; without a file it shows the
// text, which nobody reads.
bool SimSystem::BatchEcho(const std::string& directory, const std::string& command) {
    std::size_t redirect = command.find(">>");
    if (redirect == std::string::npos) return true;
    std::vector<std::string> targets = SplitParameters(command.substr(redirect + 2));
    if (targets.size() != 1) return false;
    const std::string target = FullPathIn(directory, targets[0]);
    std::string text = command.substr(5, redirect - 5);
    std::optional<std::string> old = ReadFile(target);
    return WriteFile(target, old.value_or("") + text + "\r\n");
}

// copy A + B + C TARGET joins the sources into the target. Without /b a
// join is made as text: each source is read up to its first ^Z and the
// target ends with one.
bool SimSystem::BatchCopy(const std::string& directory, std::vector<std::string> args) {
    bool binary = !args.empty() && Lower(args[0]) == "/b";
    if (binary) args.erase(args.begin());
    if (args.size() < 2) return false;
    std::string joined;
    std::size_t sources = 0;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "+") continue;
        std::optional<std::string> part = ReadFile(FullPathIn(directory, args[i]));
        if (!part) return false;
        ++sources;
        joined += binary || args.size() == 2 ? *part : part->substr(0, part->find('\x1A'));
    }
    if (!binary && sources > 1) joined += '\x1A';
    return WriteFile(FullPathIn(directory, args.back()), joined);
}

std::vector<std::string> SimSystem::FindFiles(const std::string& pattern) {
    std::string full = FullPath(pattern);
    std::size_t slash = full.rfind('\\');
    std::string dir = full.substr(0, slash), mask = full.substr(slash + 1);
    std::vector<std::string> names;
    if (Faulted("find", full)) return names;
    for (const auto& [path, content] : files) {
        std::size_t s = path.rfind('\\');
        if (path.substr(0, s) == dir && WildMatch(mask.c_str(), path.c_str() + s + 1))
            names.push_back(path.substr(s + 1));
    }
    return names;
}

std::optional<std::string> SimSystem::ReadFile(const std::string& path) {
    std::string full = FullPath(path);
    auto it = files.find(full);
    if (Faulted("read", full) || it == files.end() || lockedFiles.count(full)) return std::nullopt;
    return it->second;
}

bool SimSystem::WriteFile(const std::string& path, const std::string& content) {
    std::string full = FullPath(path);
    if (!Writable(full)) return false;
    if (Faulted("write", full)) {
        files[full] = content.substr(0, content.size() / 2);
        return false;
    }
    files[full] = content;
    return true;
}

bool SimSystem::RemoveFile(const std::string& path) {
    std::string full = FullPath(path);
    return !Faulted("remove", full) && Writable(full) && files.erase(full) != 0;
}

bool SimSystem::MoveFileOver(const std::string& from, const std::string& to) {
    std::string source = FullPath(from), target = FullPath(to);
    auto it = files.find(source);
    if (Faulted("move", source) || it == files.end() || !Writable(source) || !Writable(target)) return false;
    std::string content = it->second;
    files.erase(it);
    files[target] = content;
    return true;
}

std::string SimSystem::InstanceKey(const std::string& name) const {
    if (name.rfind("Global\\", 0) == 0) return name.substr(7);
    std::string own = name.rfind("Local\\", 0) == 0 ? name.substr(6) : name;
    return "Session " + std::to_string(session) + "\\" + own;
}

bool SimSystem::ClaimSingleInstance(const std::string& name) {
    return instances.emplace(InstanceKey(name), session).second;
}

bool SimSystem::WaitForSingleInstance(const std::string& name, std::uint32_t timeoutMs) {
    if (ClaimSingleInstance(name)) return true;
    if (whileWaiting) whileWaiting();
    if (ClaimSingleInstance(name)) return true;
    waitedForClaimMs += timeoutMs;
    return false;
}

bool SimSystem::ActivateWindow(const std::string& windowClass) {
    activated.push_back(windowClass);
    return std::any_of(instances.begin(), instances.end(), [this](const auto& i) { return i.second == session; });
}

std::optional<std::string> SimSystem::AskFileName(FileDialog kind, const std::string& title,
                                                  const std::string& filter, const std::string& extension) {
    fileDialogs.push_back({kind, title, filter, extension});
    if (fileAnswers.empty()) return std::nullopt;
    std::optional<std::string> answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

void SimSystem::Exit(int exitCode) {
    // Windows drops the ended program's claims.
    instances.clear();
    FinishPrograms();
    throw ProgramEnded{exitCode};
}

std::string SimCabinet(const std::string& name, const std::string& content) {
    return std::string("MSCF\0\0\0\0", 8) + name + '\n' + content;
}

std::optional<std::string> SimCabinetContent(const std::string& bytes) {
    if (bytes.compare(0, 8, std::string("MSCF\0\0\0\0", 8)) != 0) return std::nullopt;
    std::size_t nameEnd = bytes.find('\n', 8);
    if (nameEnd == std::string::npos) return std::nullopt;
    return bytes.substr(nameEnd + 1);
}

std::optional<std::string> SimMachine::ProgramOfCommand(const std::string& commandLine) const {
    auto existing = [this](std::string path) -> std::optional<std::string> {
        std::size_t slash = path.rfind('\\');
        if (path.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) path += ".exe";
        if (system.HasFile(path)) return path;
        return std::nullopt;
    };
    if (!commandLine.empty() && commandLine[0] == '"') {
        std::size_t end = commandLine.find('"', 1);
        return existing(commandLine.substr(1, end == std::string::npos ? std::string::npos : end - 1));
    }
    for (std::size_t blank = commandLine.find(' ');; blank = commandLine.find(' ', blank + 1)) {
        if (std::optional<std::string> found = existing(commandLine.substr(0, blank))) return found;
        if (blank == std::string::npos) return std::nullopt;
    }
}

bool SimMachine::Logon(const std::function<bool()>& run) {
    for (const std::string& command : TakeRunOnceCommands()) {
        std::optional<std::string> program = ProgramOfCommand(command);
        // A program that cannot be found is passed over.
        if (!program) continue;
        startedAtLogon.push_back(*program);
        system.commandLine = command;
        system.programPath = *program;
        system.currentDirectory = "C:\\WINDOWS\\system32";
        if (!run()) return false;
    }
    return true;
}

std::vector<std::string> SimMachine::TakeRunOnceCommands() {
    std::vector<std::string> commands;
    for (const std::string& name : registry.ValueNames(kRunOnceKey)) {
        RegValue v;
        registry.QueryValue(kRunOnceKey, name, v);
        std::string command(v.data.begin(), v.data.end());
        commands.push_back(command.substr(0, command.find('\0')));
        registry.DeleteValue(kRunOnceKey, name);
    }
    return commands;
}

}  // namespace kv
