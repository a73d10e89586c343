#include "maintenance/Uninstall.h"

#include "lang/Lang.h"
#include "maintenance/DriverChange.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/WriteSteps.h"
#include "platform/Settings.h"

namespace kv {

void Uninstall(Platform& p, RunSnapshots& run, const std::string& deviceKey) {
    if (p.system.ShowMessageBox(LangText(kMsgUninstallQuestion), LangText(kMsgUninstallCaption), kMbYesNo) != kIdYes)
        return;

    // While a change awaits its check, the settings from before it: the
    // latest start's copy may hold that change. Otherwise only the copy this
    // start made, once its export is done and checked: an older file left in
    // its place (held open by another program, or a start for the check,
    // which makes none) is of some other day.
    bool pending = ChangePending(p);
    const char* file = pending ? kBeforeChangeFile : kFirstRunFile;
    bool madeThisStart = pending || FinishSnapshot(p, run.firstRun);
    DriverKeys driver = run.driver;
    driver.keys = run.StartupKeys(deviceKey);
    // A value Kelvane writes that the copy lacks goes too, as with every
    // restore; any other value made since stays, as the registry editor
    // leaves it.
    std::string expected = SnapshotBeforeChange(p);
    RestoreOutcome usable =
        madeThisStart ? CheckSnapshot(p, file, driver, pending ? &expected : nullptr)
                      : RestoreOutcome{RestoreOutcome::NoSnapshot, run.firstRun.fileName.empty()
                                                                       ? LangText(kWhyNoneThisStart)
                                                                       : LangText(kWhyBackupNotMade)};
    if (!usable.Ok() && pending) {
        // Without the way back the change must stay checked after the restart.
        ShowError(p.system, LangText(kMsgNotUninstalled, {RestoreFailureText(usable, file)}));
        return;
    }
    if (usable.Ok()) {
        auto write = [&] {
            // The kept file may have grown by the keys this run had not
            // written yet.
            expected = SnapshotBeforeChange(p);
            RestoreSnapshotOrAbort(p, file, driver, pending ? &expected : nullptr);
        };
        if (ChangeDriverSettings(p, run, driver.keys, LangText(kStopUninstall), write) != ChangeResult::Written) return;
    }

    // The last change must not go live unchecked at the restart this asks
    // for.
    bool checkCancelled = CancelModeCheck(p);
    p.registry.DeleteKey(kProductSettingsKey);
    bool settingsGone = !p.registry.KeyExists(kProductSettingsKey);

    if (usable.Ok() && settingsGone && checkCancelled) {
        p.system.ShowMessageBox(LangText(kMsgUninstalled), LangText(kTxtOk), kMbOk);
    } else {
        std::vector<std::string> parts;
        if (!usable.Ok()) parts.push_back(LangText(kMsgUninstallNotPutBack, {kFirstRunFile, usable.detail}));
        parts.push_back(settingsGone ? LangText(kMsgOwnSettingsDeleted)
                                     : LangText(kMsgOwnSettingsKept,
                                                {"HKEY_LOCAL_MACHINE\\" + std::string(kProductSettingsKey)}));
        if (!checkCancelled) parts.push_back(LangText(kMsgCheckNotCancelled));
        std::string text;
        for (const std::string& part : parts) text += (text.empty() ? "" : " ") + part;
        ShowError(p.system, text);
    }
    p.system.EndProgram(0);
}

}  // namespace kv
