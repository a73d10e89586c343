#include "maintenance/ModeCheckSchedule.h"

#include <optional>

#include "lang/Lang.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {

namespace {

bool WriteEntry(Platform& p) {
    if (!p.registry.KeyExists(kRunOnceKey)) p.registry.CreateKey(kRunOnceKey);
    return WriteTextValue(p.registry, kRunOnceKey, kRunOnceValue, ModeCheckCommand(p.system.ProgramPath())) == kDone;
}

// The settings from before the first change not yet checked: an earlier
// one's kept file stays, since the state between the two was never checked
// either.
bool KeepWayBack(Platform& p, const RunSnapshots& run) {
    // Kept even when it cannot be read now: it is the only way back.
    if (ChangePending(p)) return KeptFileInPlace(p);
    std::optional<std::string> before =
        run.lastKnownGoodTaken ? p.system.ReadFile(InstallFile(p.registry, kLastKnownGoodFile)) : std::nullopt;
    bool kept = false;
    if (before && ReplaceFile(p, kBeforeChangeFile, *before)) {
        RememberSnapshotBeforeChange(p, Fingerprint(*before));
        kept = KeptFileInPlace(p);
    }
    if (!kept) ForgetSnapshotBeforeChange(p);
    return kept;
}

}  // namespace

bool ChangePending(Platform& p) { return !SnapshotBeforeChangeForgotten(p); }

bool CheckDue(Platform& p) {
    RegValue ignored;
    // A key that is there but cannot be read may be the one: no restart.
    return ChangePending(p) && p.registry.QueryValue(kAwaitingRestartKey, "", ignored) == RegStatus::NoKey;
}

std::string ScheduleModeCheck(Platform& p, const RunSnapshots& run) {
    // Windows runs the entry at the next logon from a folder of its own: it
    // finds the program only by its full path, and the program its files
    // only by the folder it noted.
    const std::string program = p.system.ProgramPath();
    if (!p.system.FileExists(program)) return LangText(kMsgCheckProgramMissing, {program});
    if (GetInstallDir(p.registry) == ".") return LangText(kMsgCheckNotArranged);
    bool wayBack = KeepWayBack(p, run);
    bool awaited = p.registry.CreateVolatileKey(kAwaitingRestartKey);
    bool scheduled = WriteEntry(p);
    return wayBack && awaited && scheduled ? std::string() : LangText(kMsgCheckNotArranged);
}

bool ArmModeCheck(Platform& p) { return WriteEntry(p); }

std::string ModeCheckCommand(const std::string& program) {
    // Unquoted, C:\Program Files\... would first start C:\Program.exe,
    // with the administrator's rights, if such a file were there.
    if (program.find(' ') == std::string::npos) return program + " /CHECK";
    return "\"" + program + "\" /CHECK";
}

bool CancelModeCheck(Platform& p) {
    // The fallback's record goes first: without it the check brings
    // nothing back, even when its entry or its file stays.
    ForgetSnapshotBeforeChange(p);
    // A record that stays keeps the change pending, and its check with its
    // way back: they stay too.
    if (!SnapshotBeforeChangeForgotten(p)) return false;
    p.registry.DeleteValue(kRunOnceKey, kRunOnceValue);
    p.registry.DeleteKey(kAwaitingRestartKey);
    p.system.RemoveFile(InstallFile(p.registry, kBeforeChangeFile));
    return ValueGone(p.registry, kRunOnceKey, kRunOnceValue);
}

}  // namespace kv
