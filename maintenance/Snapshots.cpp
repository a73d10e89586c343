#include "maintenance/Snapshots.h"

#include <algorithm>
#include <cstdio>

#include "lang/Lang.h"
#include "platform/Launch.h"
#include "platform/RegFile.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace kv {

namespace {

constexpr const char* kNewSuffix = ".new";

bool IsStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// Texts come back from the registry with or without their terminating
// zero, depending on who stored them.
Bytes Comparable(const RegValue& v) {
    Bytes data = v.data;
    if (IsStringType(v.type))
        while (!data.empty() && data.back() == 0) data.pop_back();
    return data;
}

// Every key of the live branch, relative paths included in `keys`.
void LiveKeys(IRegistry& reg, const std::string& path, std::vector<std::string>& keys) {
    keys.push_back(path);
    for (const std::string& name : reg.SubKeyNames(path)) LiveKeys(reg, path + "\\" + name, keys);
}

// The first value of the snapshot's branch that the registry does not hold
// as the snapshot has it, as "key\name"; "" when all are back.
std::string FirstValueNotBack(IRegistry& live, RegistryImage& snapshot, const std::string& path) {
    const RegistryImage::Key* key = snapshot.FindKey(path);
    if (!key) return "";
    for (const auto& [name, value] : key->values) {
        RegValue now;
        if (live.QueryValue(path, name, now) != RegStatus::Ok || now.type != value.type ||
            Comparable(now) != Comparable(value))
            return path + "\\" + name;
    }
    for (const auto& [ignored, sub] : key->subkeys) {
        std::string missing = FirstValueNotBack(live, snapshot, path + "\\" + sub->name);
        if (!missing.empty()) return missing;
    }
    return "";
}

std::string PartName(const PendingSnapshot& pending, std::size_t part) {
    return pending.fileName + kNewSuffix + (part == 0 ? "" : std::to_string(part + 1));
}

std::string FaultText(const SnapshotFault& fault) {
    switch (fault.kind) {
        case SnapshotFault::NotRegistryFile: return LangText(kWhyNotRegistryFile);
        case SnapshotFault::NotACopy: return LangText(kWhyNotACopy, {fault.key});
        case SnapshotFault::KeyOutside: return LangText(kWhyKeyOutside, {fault.key});
        case SnapshotFault::LinesUnreadable: return LangText(kWhyLinesUnreadable);
        case SnapshotFault::CutOff: return LangText(kWhyCutOff);
        case SnapshotFault::None: break;
    }
    return "";
}

// Reads a snapshot and checks it: a whole export of some of `keys`, the
// branches it holds in `branches`.
bool ReadAndCheckSnapshot(Platform& p, const std::string& path, const std::vector<std::string>& keys,
                          RegistryImage& parsed, std::string& content, std::vector<std::string>& branches,
                          std::string& why) {
    std::optional<std::string> read = p.system.ReadFile(path);
    if (!read) {
        why = LangText(kWhyFileUnreadable);
        return false;
    }
    content = *read;
    SnapshotFault fault;
    if (CheckRegSnapshot(content, keys, parsed, branches, &fault)) return true;
    why = FaultText(fault);
    return false;
}

// One branch's export, finished: waited for, whole, and holding every key
// the branch has (nothing has changed it since the export). Its content, or
// nothing.
std::optional<std::string> FinishPart(Platform& p, const PendingSnapshot& pending, std::size_t part) {
    std::uintptr_t editor = part < pending.editors.size() ? pending.editors[part] : 0;
    if (!editor || !p.system.WaitForProgram(editor, kSnapshotWaitMs)) return std::nullopt;
    const std::string& key = pending.keys[part];
    RegistryImage parsed;
    std::string content, why;
    std::vector<std::string> branches;
    std::string path = InstallFile(p.registry, PartName(pending, part));
    if (!ReadAndCheckSnapshot(p, path, {key}, parsed, content, branches, why)) return std::nullopt;
    std::vector<std::string> keys;
    LiveKeys(p.registry, key, keys);
    for (const std::string& k : keys)
        if (!parsed.KeyExists(k)) return std::nullopt;
    return content;
}

}  // namespace

std::vector<std::string> SnapshotBranches(const std::vector<std::string>& keys) {
    std::vector<std::string> out;
    for (const std::string& key : keys) {
        if (key.empty()) continue;
        bool covered = std::any_of(keys.begin(), keys.end(),
                                   [&](const std::string& other) {
                                       return !other.empty() && other.size() < key.size() && InBranch(key, other);
                                   }) ||
                       std::any_of(out.begin(), out.end(), [&](const std::string& k) { return SameNoCase(k, key); });
        if (!covered) out.push_back(key);
    }
    return out;
}

std::string BranchParameter(const std::string& keyPath) {
    std::string branch = "HKEY_LOCAL_MACHINE\\" + keyPath;
    return branch.find(' ') == std::string::npos ? branch : "\"" + branch + "\"";
}

std::string ExportParameters(const std::string& installDir, const std::string& fileName,
                             const std::string& deviceKey) {
    return "/e \"" + installDir + "\\" + fileName + "\" " + BranchParameter(deviceKey);
}

std::string ImportParameters(const std::string& installDir, const std::string& fileName) {
    return "/s \"" + installDir + "\\" + fileName + "\"";
}

PendingSnapshot StartSnapshot(Platform& p, const std::string& fileName, const std::vector<std::string>& keys) {
    PendingSnapshot pending;
    pending.fileName = fileName;
    pending.keys = SnapshotBranches(keys);
    for (std::size_t part = 0; part < pending.keys.size(); ++part) {
        std::string fresh = PartName(pending, part);
        // A file left by an export that never finished must not pass for this one.
        p.system.RemoveFile(InstallFile(p.registry, fresh));
        pending.editors.push_back(LaunchProgram(p.system, "regedit.exe",
                                                ExportParameters(GetInstallDir(p.registry), fresh, pending.keys[part]),
                                                ".", kShowNormal));
    }
    return pending;
}

PendingSnapshot StartSnapshot(Platform& p, const std::string& fileName, const std::string& key) {
    return StartSnapshot(p, fileName, std::vector<std::string>{key});
}

bool FinishSnapshot(Platform& p, PendingSnapshot& pending) {
    if (pending.finished) return pending.trusted;
    pending.finished = true;
    std::vector<std::string> parts, kept;
    bool whole = !pending.fileName.empty();
    for (std::size_t part = 0; part < pending.keys.size(); ++part) {
        std::optional<std::string> content = FinishPart(p, pending, part);
        if (content) {
            parts.push_back(*content);
            kept.push_back(pending.keys[part]);
        } else if (p.registry.KeyExists(pending.keys[part])) {
            whole = false;
        }
        // A key that is not there has nothing to copy, and nothing of it
        // can be written: commands create no driver key.
    }
    for (std::size_t part = 1; part < pending.keys.size(); ++part)
        p.system.RemoveFile(InstallFile(p.registry, PartName(pending, part)));
    pending.keys = kept;
    std::string fresh = InstallFile(p.registry, PartName(pending, 0));
    if (whole && !parts.empty()) {
        // The branches one after another in the file the first export made.
        std::optional<std::string> joined = JoinRegExports(parts);
        whole = joined && p.system.WriteFile(fresh, *joined) && p.system.ReadFile(fresh) == joined;
    } else {
        whole = false;
    }
    if (whole && p.system.MoveFileOver(fresh, InstallFile(p.registry, pending.fileName))) {
        pending.trusted = true;
        return true;
    }
    p.system.RemoveFile(fresh);
    return false;
}

bool TakeSnapshot(Platform& p, const std::string& fileName, const std::vector<std::string>& keys) {
    PendingSnapshot pending = StartSnapshot(p, fileName, keys);
    return FinishSnapshot(p, pending);
}

bool FinishOrRetakeBackup(Platform& p, PendingSnapshot& backup) {
    if (FinishSnapshot(p, backup)) return true;
    if (backup.fileName.empty()) return false;
    backup = StartSnapshot(p, kBackupFile, backup.keys);
    return FinishSnapshot(p, backup);
}

std::vector<std::string> RunSnapshots::StartupKeys(const std::string& deviceKey) const {
    return driver.keys.empty() ? std::vector<std::string>{deviceKey} : driver.keys;
}

namespace {

// Reads and checks a snapshot before it is put back: Restored when it can be.
RestoreOutcome LoadSnapshot(Platform& p, const std::string& fileName, const DriverKeys& driver,
                            const std::string* expectedFingerprint, RegistryImage& snapshot,
                            std::vector<std::string>& branches) {
    std::string content, why;
    if (!ReadAndCheckSnapshot(p, InstallFile(p.registry, fileName), driver.keys, snapshot, content, branches, why))
        return {RestoreOutcome::NoSnapshot, why};
    if (expectedFingerprint && Fingerprint(content) != *expectedFingerprint)
        return {RestoreOutcome::NotThisChange, LangText(kWhyMadeAfterChange)};
    return {RestoreOutcome::Restored};
}

}  // namespace

RestoreOutcome CheckSnapshot(Platform& p, const std::string& fileName, const DriverKeys& driver,
                             const std::string* expectedFingerprint) {
    RegistryImage snapshot;
    std::vector<std::string> branches;
    return LoadSnapshot(p, fileName, driver, expectedFingerprint, snapshot, branches);
}

namespace {

// Why the registry editor did not put the file back; "" once it has run to
// its end.
std::string ImportFailure(Platform& p, const std::string& fileName) {
    std::uintptr_t editor = LaunchProgram(p.system, "regedit.exe",
                                          ImportParameters(GetInstallDir(p.registry), fileName), ".", kShowNormal);
    if (!editor) return LangText(kWhyEditorNotStarted);
    if (!p.system.WaitForProgram(editor, kSnapshotWaitMs)) return LangText(kWhyEditorNotFinished);
    return "";
}

// Why a branch is not back as the snapshot holds it; "" when it is. Values
// Kelvane writes that the snapshot lacks are deleted, only once the branch
// is back: a value that cannot be read may be there, and is deleted too.
std::string BranchFailure(Platform& p, RegistryImage& snapshot, const DriverKeys& driver,
                          const std::string& branch, bool& imported) {
    std::string notBack = FirstValueNotBack(p.registry, snapshot, branch);
    imported = notBack.empty();
    if (!imported) return LangText(kWhyValueNotBack, {notBack});
    for (const auto& [key, name] : driver.ownValues) {
        if (!InBranch(key, branch)) continue;
        if (snapshot.Find(key, name) || ValueGone(p.registry, key, name)) continue;
        p.registry.DeleteValue(key, name);
        if (!ValueGone(p.registry, key, name)) return LangText(kWhyValueNotDeleted, {key + "\\" + name});
    }
    return "";
}

}  // namespace

RestoreOutcome RestoreSnapshot(Platform& p, const std::string& fileName, const DriverKeys& driver,
                               const std::string* expectedFingerprint) {
    RegistryImage snapshot;
    std::vector<std::string> branches;
    RestoreOutcome usable = LoadSnapshot(p, fileName, driver, expectedFingerprint, snapshot, branches);
    if (!usable.Ok()) return usable;

    std::string notFinished = ImportFailure(p, fileName);
    if (!notFinished.empty()) {
        RestoreOutcome outcome{RestoreOutcome::ImportFailed, notFinished};
        outcome.notRestored = branches;
        return outcome;
    }

    RestoreOutcome outcome{RestoreOutcome::Restored};
    bool allImported = true;
    for (const std::string& branch : branches) {
        bool imported = true;
        std::string failure = BranchFailure(p, snapshot, driver, branch, imported);
        if (!imported) allImported = false;
        (failure.empty() ? outcome.restored : outcome.notRestored).push_back(branch);
        if (!failure.empty() && outcome.detail.empty()) outcome.detail = failure;
    }
    if (!outcome.notRestored.empty())
        outcome.result = outcome.restored.empty() && !allImported && outcome.notRestored.size() == branches.size()
                             ? RestoreOutcome::ImportFailed
                             : RestoreOutcome::PartlyRestored;
    return outcome;
}

namespace {

std::string KeyList(const std::vector<std::string>& keys) {
    std::vector<std::string> full;
    for (const std::string& key : keys) full.push_back("HKEY_LOCAL_MACHINE\\" + key);
    return Enumeration(full);
}

}  // namespace

std::string RestoreFailureText(const RestoreOutcome& outcome, const std::string& fileName) {
    switch (outcome.result) {
        case RestoreOutcome::Restored: return "";
        case RestoreOutcome::NoSnapshot:
        case RestoreOutcome::NotThisChange:
            return LangText(kMsgSnapshotUnusable, {fileName, outcome.detail});
        case RestoreOutcome::ImportFailed:
            return LangText(kMsgSnapshotNotImported, {fileName, outcome.detail});
        case RestoreOutcome::PartlyRestored:
            if (outcome.restored.empty())
                return LangText(kMsgSnapshotPartlyBack, {fileName, outcome.detail, KeyList(outcome.notRestored)});
            return LangText(kMsgSnapshotBackInPart,
                            {fileName, KeyList(outcome.restored), outcome.detail, KeyList(outcome.notRestored)});
    }
    return "";
}

std::string Fingerprint(const std::string& content) {
    // FNV-1a, 64 bits: enough to tell two exports of a key apart.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : content) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string FileFingerprint(Platform& p, const std::string& fileName) {
    std::optional<std::string> content = p.system.ReadFile(InstallFile(p.registry, fileName));
    return content ? Fingerprint(*content) : "";
}

void RememberSnapshotBeforeChange(Platform& p, const std::string& fingerprint) {
    WriteTextValue(p.registry, kProductSettingsKey, kBeforeChangeValue, fingerprint);
}

std::string SnapshotBeforeChange(Platform& p) {
    std::string fingerprint;
    ReadTextValue(p.registry, kProductSettingsKey, kBeforeChangeValue, fingerprint);
    return fingerprint;
}

void ForgetSnapshotBeforeChange(Platform& p) { p.registry.DeleteValue(kProductSettingsKey, kBeforeChangeValue); }

bool SnapshotBeforeChangeForgotten(Platform& p) {
    return ValueGone(p.registry, kProductSettingsKey, kBeforeChangeValue);
}

bool KeptFileInPlace(Platform& p) {
    std::string fingerprint = SnapshotBeforeChange(p);
    return !fingerprint.empty() && FileFingerprint(p, kBeforeChangeFile) == fingerprint;
}

bool ReplaceFile(Platform& p, const std::string& fileName, const std::string& content) {
    std::string fresh = InstallFile(p.registry, fileName + kNewSuffix);
    if (p.system.WriteFile(fresh, content) && p.system.ReadFile(fresh) == content &&
        p.system.MoveFileOver(fresh, InstallFile(p.registry, fileName)))
        return true;
    p.system.RemoveFile(fresh);
    return false;
}

}  // namespace kv
