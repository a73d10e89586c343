#include "maintenance/Uninstall.h"

#include "lang/Lang.h"
#include "platform/Settings.h"

namespace kv {

void Uninstall(Platform& p, RunSnapshots& run, const std::string& deviceKey) {
    if (p.system.ShowMessageBox(LangText(74), LangText(73), kMbYesNo) != kIdYes) return;

    // This start's copy, once its export is done; after a start for the
    // check, the one of the latest ordinary start.
    FinishSnapshot(p, run.firstRun, deviceKey);
    RestoreOutcome outcome{RestoreOutcome::NoSnapshot, "Kelvane could not first make its own snapshot"};
    // Only what the copy holds is written back: a value made since then
    // stays, as the registry editor leaves it.
    if (PrepareDriverWrite(p, run, deviceKey)) outcome = RestoreSnapshot(p, kFirstRunFile, deviceKey, {});

    // The last change must not go live unchecked at the restart this asks
    // for.
    bool checkCancelled = CancelModeCheck(p);
    p.registry.DeleteKey(kProductSettingsKey);
    bool settingsGone = !p.registry.KeyExists(kProductSettingsKey);

    if (outcome.Ok() && settingsGone && checkCancelled) {
        p.system.ShowMessageBox(LangText(75), "OK", kMbOk);
    } else {
        std::string text;
        if (!outcome.Ok())
            text = "The driver's settings could not be put back as they were at the latest start (" +
                   std::string(kFirstRunFile) + "): " + outcome.detail + ".";
        text += settingsGone ? " Kelvane's own settings were deleted."
                             : " Kelvane's own settings (HKEY_LOCAL_MACHINE\\" + std::string(kProductSettingsKey) +
                                   ") could not be deleted.";
        if (!checkCancelled) text += std::string(" ") + kCheckNotCancelledText;
        if (text.front() == ' ') text.erase(0, 1);
        p.system.ShowMessageBox(text, "Error", kMbOk);
    }
    p.system.EndProgram(0);
}

}  // namespace kv
