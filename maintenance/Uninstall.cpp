#include "maintenance/Uninstall.h"

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "maintenance/DriverChange.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/WriteSteps.h"
#include "platform/Settings.h"

namespace kv {

namespace {

// The copy Uninstall puts back, and whether it can.
struct UninstallSource {
    bool pending = false;  // a change awaits its check after the restart
    const char* file = kFirstRunFile;
    DriverKeys driver;
    std::string expected;  // what the kept copy was made from, while a change is pending
    RestoreOutcome usable;

    const std::string* Expected() const { return pending ? &expected : nullptr; }
};

// While a change awaits its check, the settings from before it: the latest
// start's copy may hold that change. Otherwise only the copy this start
// made, once its export is done and checked: an older file left in its
// place (held open by another program, or a start for the check, which
// makes none) is of some other day.
UninstallSource FindSource(Platform& p, RunSnapshots& run, const std::string& deviceKey) {
    UninstallSource source;
    source.pending = ChangePending(p);
    source.file = source.pending ? kBeforeChangeFile : kFirstRunFile;
    bool madeThisStart = source.pending || FinishSnapshot(p, run.firstRun);
    source.driver = run.driver;
    source.driver.keys = run.StartupKeys(deviceKey);
    // A value Kelvane writes that the copy lacks goes too, as with every
    // restore; any other value made since stays, as the registry editor
    // leaves it.
    source.expected = SnapshotBeforeChange(p);
    source.usable = madeThisStart ? CheckSnapshot(p, source.file, source.driver, source.Expected())
                                  : RestoreOutcome{RestoreOutcome::NoSnapshot, run.firstRun.fileName.empty()
                                                                                   ? LangText(kWhyNoneThisStart)
                                                                                   : LangText(kWhyBackupNotMade)};
    return source;
}

// Everything went, or the user hears what stayed.
void Report(const UninstallSource& source, bool settingsGone, bool checkCancelled, ISystem& sys,
            const std::string& folder) {
    if (source.usable.Ok() && settingsGone && checkCancelled) {
        sys.ShowMessageBox(LangText(kMsgUninstalled, {source.file, folder}), LangText(kTxtOk), kMbOk);
        return;
    }
    std::vector<std::string> parts;
    if (!source.usable.Ok())
        parts.push_back(LangText(kMsgUninstallNotPutBack, {kFirstRunFile, source.usable.detail}));
    parts.push_back(settingsGone ? LangText(kMsgOwnSettingsDeleted)
                                 : LangText(kMsgOwnSettingsKept,
                                            {"HKEY_LOCAL_MACHINE\\" + std::string(kProductSettingsKey)}));
    if (!checkCancelled) parts.push_back(LangText(kMsgCheckNotCancelled));
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : " ") + part;
    ShowError(sys, text);
}

}  // namespace

void Uninstall(Platform& p, RunSnapshots& run, const std::string& deviceKey) {
    if (p.system.ShowMessageBox(LangText(kMsgUninstallQuestion), LangText(kMsgUninstallCaption), kMbYesNo) != kIdYes)
        return;
    UninstallSource source = FindSource(p, run, deviceKey);
    if (!source.usable.Ok() && source.pending) {
        // Without the way back the change must stay checked after the restart.
        ShowError(p.system, LangText(kMsgNotUninstalled, {RestoreFailureText(source.usable, source.file)}));
        return;
    }
    if (source.usable.Ok()) {
        auto write = [&] {
            // The kept file may have grown by the keys this run had not
            // written yet.
            source.expected = SnapshotBeforeChange(p);
            RestoreSnapshotOrAbort(p, source.file, source.driver, source.Expected());
        };
        if (ChangeDriverSettings(p, run, source.driver.keys, LangText(kStopUninstall), write) != ChangeResult::Written)
            return;
    }
    // The last change must not go live unchecked at the restart this asks
    // for.
    bool checkCancelled = CancelModeCheck(p);
    // Where the files lie, read before the key that records it goes.
    const std::string folder = GetInstallDir(p.registry);
    p.registry.DeleteKey(kProductSettingsKey);
    Report(source, !p.registry.KeyExists(kProductSettingsKey), checkCancelled, p.system, folder);
    p.system.EndProgram(0);
}

}  // namespace kv
