#include "platform/SimMachine.h"

#include <algorithm>
#include <cctype>

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
    int answer = buttons == kMbYesNo ? kIdNo : kIdOk;
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
    if (Lower(file) == "regedit.exe") {
        if (!registryEditorPresent) return 0;
        // It does its work when it is waited for, or later on its own: a
        // program that does not wait cannot rely on it being done.
        running_[handle] = StartRegistryEditor(parameters);
    }
    return handle;
}

bool SimSystem::WaitForProgram(std::uintptr_t handle, std::uint32_t timeoutMs) {
    waits.push_back({handle, timeoutMs});
    if (handle == 0) return false;
    auto it = running_.find(handle);
    if (it == running_.end()) return true;
    if (editorHangs) return false;
    EditorRun run = it->second;
    running_.erase(it);
    FinishRegistryEditor(run);
    return true;
}

void SimSystem::FinishPrograms() {
    if (editorHangs) return;
    while (!running_.empty()) WaitForProgram(running_.begin()->first, 0);
}

SimSystem::EditorRun SimSystem::StartRegistryEditor(const std::string& parameters) {
    EditorRun run{parameters, ""};
    std::vector<std::string> args = SplitParameters(parameters);
    if (args.size() >= 3 && Lower(args[0]) == "/e" && Lower(args[2]).rfind(kHklmPrefix, 0) == 0)
        run.exported = ExportRegBranch(registry_, args[2].substr(std::string(kHklmPrefix).size()));
    return run;
}

void SimSystem::FinishRegistryEditor(const EditorRun& run) {
    std::vector<std::string> args = SplitParameters(run.parameters);
    if (args.size() >= 3 && Lower(args[0]) == "/e") {
        if (!run.exported.empty()) WriteFile(args[1], run.exported.substr(0, exportLimit));
    } else if (args.size() >= 2 && Lower(args[0]) == "/s") {
        if (std::optional<std::string> content = ReadFile(args[1])) ImportRegFile(registry_, *content);
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

std::vector<std::string> SimSystem::FindFiles(const std::string& pattern) {
    std::string full = FullPath(pattern);
    std::size_t slash = full.rfind('\\');
    std::string dir = full.substr(0, slash), mask = full.substr(slash + 1);
    std::vector<std::string> names;
    for (const auto& [path, content] : files) {
        std::size_t s = path.rfind('\\');
        if (path.substr(0, s) == dir && WildMatch(mask.c_str(), path.c_str() + s + 1))
            names.push_back(path.substr(s + 1));
    }
    return names;
}

std::string SimSystem::DecodeAnsiText(const std::string& bytes, unsigned codePage) {
    return DecodeWindowsCodePage(bytes, codePage == 1251 || codePage == 1252 ? codePage : ansiCodePage);
}

std::optional<std::string> SimSystem::ReadFile(const std::string& path) {
    std::string full = FullPath(path);
    auto it = files.find(full);
    if (it == files.end() || lockedFiles.count(full)) return std::nullopt;
    return it->second;
}

bool SimSystem::WriteFile(const std::string& path, const std::string& content) {
    std::string full = FullPath(path);
    if (!Writable(full)) return false;
    files[full] = content;
    return true;
}

bool SimSystem::RemoveFile(const std::string& path) {
    std::string full = FullPath(path);
    return Writable(full) && files.erase(full) != 0;
}

bool SimSystem::MoveFileOver(const std::string& from, const std::string& to) {
    std::string source = FullPath(from), target = FullPath(to);
    auto it = files.find(source);
    if (it == files.end() || !Writable(source) || !Writable(target)) return false;
    std::string content = it->second;
    files.erase(it);
    files[target] = content;
    return true;
}

void SimSystem::EndProgram(int exitCode) {
    // Windows drops the ended program's claims.
    instances.clear();
    FinishPrograms();
    throw ProgramEnded{exitCode};
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
