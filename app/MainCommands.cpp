// The main window's commands that end the program: OK applies everything,
// Cancel and Restore put a snapshot back.
#include "app/KVMAIN.h"
#include "maintenance/Snapshots.h"
#include "modes/Apply.h"
#include "options/OptionTable.h"
#include "platform/Misc.h"
#include "platform/Settings.h"

namespace kv {

namespace {

constexpr const char* kRunOnceValue = "Kelvane - test resolution";

}  // namespace

void TForm1::OKClick() {
    // Writing back what was never read would overwrite the driver's settings
    // with guesses.
    if (!StartupComplete) {
        platform.system.ShowMessageBox("Kelvane could not read all of the driver's settings at start-up, so it "
                                       "will not write any. Nothing was changed.",
                                       "Error", kMbOk);
        return;
    }
    if (DriverListsUnreadable) {
        platform.system.ShowMessageBox("The driver's mode lists could not be read whole at start-up, so Kelvane "
                                       "will not write them. Nothing was changed.",
                                       "Error", kMbOk);
        return;
    }
    if (std::optional<std::size_t> bad = grid.StoreVisibleBoxes()) {
        ShowRateError(*bad);
        return;
    }

    DepthChoice depths{(*this)["cb8"].Checked(), (*this)["cb16"].Checked(), (*this)["cb24"].Checked(),
                       (*this)["cb32"].Checked()};
    if (!depths.allow8 && !depths.allow16 && !depths.allow24 && !depths.allow32) {
        platform.system.ShowMessageBox("Can't disable all modes, 32BPP will be enabled", "Error", kMbOk);
        (*this)["cb32"].SetState(ui::CheckState::Checked);
        depths.allow32 = true;
    }
    std::vector<BcdModeRecord> records = RestrictedRecords(modes, (*this)["cbHiFreq"].Checked(), depths);
    if (records.size() > kMaxListRecords) {
        platform.system.ShowMessageBox("The rates chosen need " + std::to_string(records.size()) +
                                           " restricted modes, but the driver's list holds at most 256. Nothing "
                                           "was changed: allow more rates and try again.",
                                       "Error", kMbOk);
        return;
    }

    // Restore must be able to undo this change, so the snapshot has to be
    // complete before the first value is written.
    if (!TakeSnapshot(platform, kLastKnownGoodFile, adapter.DeviceKey) &&
        platform.system.ShowMessageBox("The snapshot of the driver's settings (lastknowngood.dat) could not be "
                                       "made, so Restore could not undo these changes. Apply them anyway?",
                                       "Warning", kMbYesNo) != kIdYes)
        return;

    SharedRegistry& shared = *sharedRegistry;
    std::string deviceKey = "\\" + adapter.DeviceKey;
    if (shared.OpenKey(deviceKey, false)) {
        Bytes list;
        for (const BcdModeRecord& r : records) list.insert(list.end(), r.begin(), r.end());
        shared.WriteBinary(kRestrictedListNames[0], list);
        for (std::size_t i = 1; i < std::size(kRestrictedListNames); ++i) shared.DeleteValue(kRestrictedListNames[i]);
    }

    WriteBoundOptions(*this, shared, platform.registry, adapter);

    // The ddhal key is the one driver key Kelvane may create, and only
    // below a device key that exists.
    ui::Control& aniso = (*this)["cbAnisoD3D"];
    if (platform.registry.KeyExists(adapter.DeviceKey) && shared.OpenKey(deviceKey + "\\" + kDdhalSubkey, true)) {
        if (aniso.state == ui::CheckState::Checked)
            shared.WriteString(kAnisoDegreeValue, (*this)["cbAnisoDegree"].text);
        else if (aniso.state == ui::CheckState::Unchecked)
            shared.DeleteValue(kAnisoDegreeValue);
    }

    bool restart = false;
    if (shared.OpenKey(deviceKey, false)) {
        std::uint8_t highest = HighestSelection(modes.ResolutionRows);
        for (const MaxRatePair& pair : kMaxRatePairs) {
            if (!CorrectMaxRatePair(shared, highest, pair)) continue;
            platform.system.ShowMessageBox("Selected Refresh Rate larger than maximum refresh rate setted up in "
                                           "Control Panel. Control Panel settings will be corrected.",
                                           "Warning", kMbOk);
            restart = true;
        }
    }

    WriteTextValue(platform.registry, kProductSettingsKey, "Version", kVersionText);
    StoreLangFileName();

    if (RestartDecision()) restart = true;
    if (restart) {
        // Windows runs this once at the next logon: the mode check then asks
        // whether the screen can be read.
        if (!platform.registry.KeyExists(kRunOnceKey)) platform.registry.CreateKey(kRunOnceKey);
        WriteTextValue(platform.registry, kRunOnceKey, kRunOnceValue,
                       GetInstallDir(platform.registry) + "\\Kelvane.exe /CHECK");
        OfferRestart("All changes do not take effect until next boot. Restart?", "Restart needed");
    }
    platform.system.EndProgram(0);
}

bool TForm1::RestartDecision() {
    for (std::size_t i = 0; i < modes.ResolutionRows.size(); ++i)
        if (i >= InitialSelections.size() || modes.ResolutionRows[i].selected != InitialSelections[i]) return true;
    if ((*this)["cbAnisoD3D"].Checked() && (*this)["cbAnisoDegree"].text != InitialAnisoDegree) return true;
    return RestartNeededByOptions(*this, InitialOptionStates);
}

void TForm1::OfferRestart(const std::string& question, const std::string& caption) {
    if (platform.system.ShowMessageBox(question, caption, kMbYesNo) != kIdYes) return;
    AcquireShutdownPrivilege(platform.system);
    if (!platform.system.RestartWindows())
        platform.system.ShowMessageBox("Can't restart Windows [No admin access?]", "Restart needed", kMbOk);
}

void TForm1::CancelClick() {
    // After a restart the start-up snapshot is of the new settings; the
    // mode check has its own way back.
    if (!CheckMode) RestoreSnapshot(platform, kBackupFile, adapter.DeviceKey, OwnDriverValues(adapter.DeviceKey));
    StoreLangFileName();
    platform.system.EndProgram(0);
}

void TForm1::bRestoreClick() {
    std::uintptr_t editor =
        RestoreSnapshot(platform, kLastKnownGoodFile, adapter.DeviceKey, OwnDriverValues(adapter.DeviceKey));
    // Windows must not restart before the editor has put everything back.
    platform.system.WaitForProgram(editor, kSnapshotWaitMs);
    OfferRestart("Registry restored from backup. Restart now?", "Restart Needed");
    platform.system.EndProgram(0);
}

void TForm1::StoreLangFileName() {
    WriteTextValue(platform.registry, kProductSettingsKey, "LangFileName", LangFileName);
}

}  // namespace kv
