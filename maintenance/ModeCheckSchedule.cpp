#include "maintenance/ModeCheckSchedule.h"

#include <optional>

#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {

bool ChangePending(Platform& p) {
    // A record or an entry that cannot be read may be there.
    return !SnapshotBeforeChangeForgotten(p) && !ValueGone(p.registry, kRunOnceKey, kRunOnceValue);
}

bool ScheduleModeCheck(Platform& p, const RunSnapshots& run) {
    // The settings from before the first change not yet checked: an earlier
    // one's kept file stays, since the state between the two was never
    // checked either.
    bool fallback = false;
    if (ChangePending(p)) {
        // Kept even when it cannot be read now: it is the only way back.
        fallback = KeptFileInPlace(p);
    } else {
        std::optional<std::string> before =
            run.lastKnownGoodTaken ? p.system.ReadFile(InstallFile(p.registry, kLastKnownGoodFile)) : std::nullopt;
        if (before && ReplaceFile(p, kBeforeChangeFile, *before)) {
            RememberSnapshotBeforeChange(p, Fingerprint(*before));
            fallback = KeptFileInPlace(p);
        }
        if (!fallback) ForgetSnapshotBeforeChange(p);
    }
    // Windows runs this once at the next logon, from a folder of its own:
    // only a full path finds the program.
    std::string folder = GetInstallDir(p.registry);
    if (folder == ".") return false;
    if (!p.registry.KeyExists(kRunOnceKey)) p.registry.CreateKey(kRunOnceKey);
    bool scheduled = WriteTextValue(p.registry, kRunOnceKey, kRunOnceValue, ModeCheckCommand(folder)) == kDone;
    return fallback && scheduled;
}

std::string ModeCheckCommand(const std::string& folder) {
    const std::string program = folder + "\\Kelvane.exe";
    // Unquoted, C:\Program Files\... would first start C:\Program.exe,
    // with the administrator's rights, if such a file were there.
    if (program.find(' ') == std::string::npos) return program + " /CHECK";
    return "\"" + program + "\" /CHECK";
}

bool CancelModeCheck(Platform& p) {
    // The fallback's record goes first: without it the check brings
    // nothing back, even when its entry or its file stays.
    ForgetSnapshotBeforeChange(p);
    p.registry.DeleteValue(kRunOnceKey, kRunOnceValue);
    p.system.RemoveFile(InstallFile(p.registry, kBeforeChangeFile));
    return SnapshotBeforeChangeForgotten(p) && ValueGone(p.registry, kRunOnceKey, kRunOnceValue);
}

}  // namespace kv
