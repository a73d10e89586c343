#include "maintenance/Snapshots.h"

#include <cstdio>

#include "platform/Misc.h"
#include "platform/RegFile.h"
#include "platform/Settings.h"

namespace kv {

namespace {

constexpr const char* kNewSuffix = ".new";
// In the program's settings key: the fingerprint of the "backup.dat" the
// last change awaiting its check was made from.
constexpr const char* kBeforeChangeValue = "BackupBeforeChange";

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
std::string FirstValueNotBack(IRegistry& live, SimRegistry& snapshot, const std::string& path) {
    const SimRegistry::Key* key = snapshot.FindKey(path);
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

bool Check(Platform& p, const std::string& path, const std::string& deviceKey, SimRegistry& parsed,
           std::string& content, std::string& why) {
    std::optional<std::string> read = p.system.ReadFile(path);
    if (!read) {
        why = "the file cannot be found or read";
        return false;
    }
    content = *read;
    return CheckRegExport(content, deviceKey, parsed, &why);
}

}  // namespace

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

PendingSnapshot StartSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey) {
    PendingSnapshot pending;
    pending.fileName = fileName;
    std::string fresh = fileName + kNewSuffix;
    // A file left by an export that never finished must not pass for this one.
    p.system.RemoveFile(InstallFile(p.registry, fresh));
    pending.editor = LaunchProgram(p.system, "regedit.exe",
                                   ExportParameters(GetInstallDir(p.registry), fresh, deviceKey), ".", kShowNormal);
    return pending;
}

bool FinishSnapshot(Platform& p, PendingSnapshot& pending, const std::string& deviceKey) {
    if (pending.finished) return pending.trusted;
    pending.finished = true;
    if (pending.fileName.empty() || !pending.editor || !p.system.WaitForProgram(pending.editor, kSnapshotWaitMs))
        return false;
    std::string fresh = InstallFile(p.registry, pending.fileName + kNewSuffix);
    SimRegistry parsed;
    std::string content, why;
    bool whole = Check(p, fresh, deviceKey, parsed, content, why);
    // Nothing has changed the key since the export: every key of it must be
    // in the copy, or the copy stopped between two keys.
    if (whole) {
        std::vector<std::string> keys;
        LiveKeys(p.registry, deviceKey, keys);
        for (const std::string& key : keys)
            if (!parsed.KeyExists(key)) whole = false;
    }
    if (whole && p.system.MoveFileOver(fresh, InstallFile(p.registry, pending.fileName))) {
        pending.trusted = true;
        return true;
    }
    p.system.RemoveFile(fresh);
    return false;
}

bool TakeSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey) {
    PendingSnapshot pending = StartSnapshot(p, fileName, deviceKey);
    return FinishSnapshot(p, pending, deviceKey);
}

bool PrepareDriverWrite(Platform& p, RunSnapshots& run, const std::string& deviceKey) {
    if (run.lastKnownGoodTaken) return true;
    FinishSnapshot(p, run.firstRun, deviceKey);
    FinishOrRetakeBackup(p, run.backup, deviceKey);
    run.lastKnownGoodTaken = TakeSnapshot(p, kLastKnownGoodFile, deviceKey);
    return run.lastKnownGoodTaken;
}

RestoreOutcome RestoreSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey,
                               const std::vector<ValueRef>& ownValues, const std::string* expectedFingerprint) {
    SimRegistry snapshot;
    std::string content, why;
    if (!Check(p, InstallFile(p.registry, fileName), deviceKey, snapshot, content, why))
        return {RestoreOutcome::NoSnapshot, why};
    if (expectedFingerprint && Fingerprint(content) != *expectedFingerprint)
        return {RestoreOutcome::NotThisChange, "it was made after the change"};

    std::uintptr_t editor = LaunchProgram(p.system, "regedit.exe",
                                          ImportParameters(GetInstallDir(p.registry), fileName), ".", kShowNormal);
    if (!editor) return {RestoreOutcome::ImportFailed, "the registry editor could not be started"};
    if (!p.system.WaitForProgram(editor, kSnapshotWaitMs))
        return {RestoreOutcome::ImportFailed, "the registry editor did not finish"};
    std::string notBack = FirstValueNotBack(p.registry, snapshot, deviceKey);
    if (!notBack.empty()) return {RestoreOutcome::ImportFailed, "the value " + notBack + " did not come back"};

    for (const auto& [key, name] : ownValues) {
        // A value that cannot be read may be there: it is deleted too.
        if (snapshot.Find(key, name) || ValueGone(p.registry, key, name)) continue;
        p.registry.DeleteValue(key, name);
        if (!ValueGone(p.registry, key, name))
            return {RestoreOutcome::PartlyRestored, "the value " + key + "\\" + name + " could not be deleted"};
    }
    return {RestoreOutcome::Restored, ""};
}

std::string RestoreFailureText(const RestoreOutcome& outcome, const std::string& fileName) {
    switch (outcome.result) {
        case RestoreOutcome::Restored: return "";
        case RestoreOutcome::NoSnapshot:
        case RestoreOutcome::NotThisChange:
            return "The snapshot " + fileName + " cannot be used: " + outcome.detail +
                   ". Nothing was restored; the driver's settings were not changed.";
        case RestoreOutcome::ImportFailed:
            return "The registry editor did not put back " + fileName + ": " + outcome.detail +
                   ". Kelvane deleted nothing, and the driver's settings may be only partly restored.";
        case RestoreOutcome::PartlyRestored:
            return fileName + " was put back, but " + outcome.detail +
                   ", so the driver's settings are only partly restored.";
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
    return fingerprint.substr(0, fingerprint.find('\0'));
}

void ForgetSnapshotBeforeChange(Platform& p) { p.registry.DeleteValue(kProductSettingsKey, kBeforeChangeValue); }

bool FinishOrRetakeBackup(Platform& p, PendingSnapshot& backup, const std::string& deviceKey) {
    if (FinishSnapshot(p, backup, deviceKey)) return true;
    backup = StartSnapshot(p, kBackupFile, deviceKey);
    return FinishSnapshot(p, backup, deviceKey);
}

bool ScheduleModeCheck(Platform& p, const PendingSnapshot& backup) {
    std::string fingerprint = backup.trusted ? FileFingerprint(p, backup.fileName) : "";
    if (!fingerprint.empty()) RememberSnapshotBeforeChange(p, fingerprint);
    bool fallback = !fingerprint.empty() && SnapshotBeforeChange(p) == fingerprint;
    if (!fallback) ForgetSnapshotBeforeChange(p);
    // Windows runs this once at the next logon, from a folder of its own:
    // only a full path finds the program.
    std::string folder = GetInstallDir(p.registry);
    if (folder == ".") return false;
    if (!p.registry.KeyExists(kRunOnceKey)) p.registry.CreateKey(kRunOnceKey);
    bool scheduled =
        WriteTextValue(p.registry, kRunOnceKey, kRunOnceValue, folder + "\\Kelvane.exe /CHECK") == kDone;
    return fallback && scheduled;
}

bool CancelModeCheck(Platform& p) {
    // The fallback's record goes first: without it the check brings
    // nothing back, even when its entry stays.
    ForgetSnapshotBeforeChange(p);
    p.registry.DeleteValue(kRunOnceKey, kRunOnceValue);
    return ValueGone(p.registry, kProductSettingsKey, kBeforeChangeValue) &&
           ValueGone(p.registry, kRunOnceKey, kRunOnceValue);
}

}  // namespace kv
