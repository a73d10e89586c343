// The main window's commands that end the program: OK applies everything,
// Cancel and Restore put a snapshot back.
#include <algorithm>
#include <cctype>

#include "app/KVMAIN.h"
#include "lang/Lang.h"
#include "lang/LngFile.h"
#include "lang/MessageBoxes.h"
#include "maintenance/DriverChange.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/Restart.h"
#include "maintenance/Snapshots.h"
#include "modes/Apply.h"
#include "modes/MonitorRates.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {

void TForm1::OKClick() {
    if (CheckPending()) return;
    // Any command's change may have stopped half-way, whatever stopped it.
    if (snapshots.halfWritten) state.SavingStopped = true;
    if (std::optional<LangEntry> refusal = state.SaveRefusal()) {
        ShowError(platform.system, LangText(*refusal));
        return;
    }
    std::optional<SettingsChange> change = PrepareSave();
    if (!change) return;
    switch (WriteChange(*change).result) {
        case ChangeResult::Written: break;
        case ChangeResult::PutBack: platform.system.EndProgram(1); return;
        case ChangeResult::NotPutBack:
        case ChangeResult::Refused: return;
    }
    FinishSave();
}

TForm1::WriteOutcome TForm1::WriteChange(const SettingsChange& change) {
    WriteOutcome outcome;
    SettingsTarget target{*sharedRegistry, adapter, *this, state.DeviceKeyFound};
    outcome.result = SaveDriverSettings(platform, snapshots, target, change, restartNeed);
    // Another OK would take the half-written settings for the run's own.
    if (outcome.result == ChangeResult::NotPutBack) state.SavingStopped = true;
    outcome.restart = outcome.result == ChangeResult::Written && restartNeed.Needed(BootSettings());
    return outcome;
}

TForm1::WriteOutcome TForm1::WriteWithoutWindow() {
    std::optional<SettingsChange> change = PrepareSave(false);
    if (!change) return {};
    return WriteChange(*change);
}

std::string TForm1::FinishWriteWithoutWindow(bool arrangeCheck) {
    WriteTextValue(platform.registry, kProductSettingsKey, kVersionValue, kVersionText);
    return arrangeCheck ? ScheduleModeCheck(platform, snapshots) : "";
}

std::optional<SettingsChange> TForm1::PrepareSave(bool ask) {
    if (std::optional<std::size_t> bad = grid.StoreVisibleBoxes()) {
        ShowRateError(*bad);
        return std::nullopt;
    }
    if (ask && (!ConfirmRowsWithoutRates() || !ConfirmRatesOutsideRange())) return std::nullopt;
    if (!AnisoDegreeAccepted()) return std::nullopt;
    SettingsChange change;
    Bytes list = RestrictedListBytes(RestrictedRecords(modes, cbHiFreq->Checked(), ChosenDepths()), modes);
    // Lists that could not be read whole are left alone.
    if (!state.DriverListsUnreadable) {
        if (list.size() > kListBufferSize) {
            ShowError(platform.system, LangCount(kMsgListTooLong, (list.size() + 7) / 8));
            return std::nullopt;
        }
        change.lists = ListValuesToWrite(list, modes.StoredLists);
    }
    change.highestRate = HighestSelection(modes.ResolutionRows);
    change.unreadableMaxRates = MaxRateValuesToLeave(platform, adapter.DeviceKey);
    change.aniso = options.aniso->state;
    change.anisoDegree = options.anisoDegree->text;
    // A loaded profile's custom resolutions go with the change.
    if (profileCustom)
        change.customResolutions = [this](SharedRegistry& shared) {
            return ReplaceNonStdEntries(shared, *profileCustom);
        };
    return change;
}

// With every depth off no mode would be left: all of 32 bits stays allowed.
DepthChoice TForm1::ChosenDepths() {
    DepthChoice depths{cb8->Checked(), cb16->Checked(), cb24->Checked(), cb32->Checked()};
    if (!depths.allow8 && !depths.allow16 && !depths.allow24 && !depths.allow32) {
        ShowError(platform.system, LangText(kMsgAllDepthsOff));
        cb32->SetState(ui::CheckState::Checked);
        depths.allow32 = true;
    }
    return depths;
}

// After a save: the version and language are stamped, and a change the
// driver reads at boot gets its check after the restart and the offer to
// restart now.
void TForm1::FinishSave() {
    WriteTextValue(platform.registry, kProductSettingsKey, kVersionValue, kVersionText);
    StoreLangFileName();
    if (state.DriverListsUnreadable) ShowWarning(platform.system, LangText(kMsgListsLeftAlone));

    if (restartNeed.Needed(BootSettings())) {
        // The check after the restart falls back to the settings from
        // before this change, and to no other.
        if (std::string why = ScheduleModeCheck(platform, snapshots); !why.empty()) ShowWarning(platform.system, why);
        OfferRestart(LangText(kMsgRestartQuestion), LangText(kMsgRestartNeeded));
    }
    platform.system.EndProgram(0);
}

// A rate above every rate a row offers restricts them all: after the restart
// the driver offers no mode of that resolution. That needs a yes.
bool TForm1::ConfirmRowsWithoutRates() {
    const std::vector<std::uint8_t>& startup = restartNeed.Startup().selections;
    for (std::size_t i = 0; i < modes.ResolutionRows.size(); ++i) {
        const ResolutionRow& row = modes.ResolutionRows[i];
        if (row.rates.empty() || row.selected <= row.rates.back()) continue;
        if (i < startup.size() && startup[i] > row.rates.back()) continue;
        std::string resolution = RefreshGrid::ResolutionText(row);
        std::string question = LangText(
            kMsgRateAboveAll, {std::to_string(row.selected), resolution, std::to_string(row.rates.back())});
        if (!AskWarning(platform.system, question)) return false;
    }
    return true;
}

// A rate chosen in this run that the monitor declares it cannot show is
// saved only when the user says so; No is the default answer.
bool TForm1::ConfirmRatesOutsideRange() {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < modes.ResolutionRows.size(); ++i) {
        const ResolutionRow& row = modes.ResolutionRows[i];
        if (!restartNeed.ChosenThisRun(i, row.selected)) continue;
        ModeVerdict verdict = JudgeRate(monitor.Declared(), row, row.selected);
        if (verdict.kind == ModeVerdict::Kind::Outside) lines.push_back(OutsideLine(row, row.selected, verdict));
    }
    return lines.empty() ||
           ConfirmOutsideRange(platform.system, kMsgRatesOutsideRange, lines, kMsgSaveOutsideQuestion);
}

// The driver takes the degree as a number: a typed text that is none is
// not written.
bool TForm1::AnisoDegreeAccepted() {
    const std::string& degree = options.anisoDegree->text;
    if (!options.aniso->Checked() || degree == restartNeed.Startup().anisoDegree) return true;
    bool whole = !degree.empty() && degree.size() <= 5 &&
                 std::all_of(degree.begin(), degree.end(), [](unsigned char c) { return std::isdigit(c); });
    if (whole) return true;
    ShowError(platform.system, LangText(kMsgAnisoNotWhole));
    return false;
}

void TForm1::OfferRestart(const std::string& question, const std::string& caption) {
    if (platform.system.ShowMessageBox(question, caption, kMbYesNo) != kIdYes) return;
    if (!AskWindowsToRestart(platform.system))
        platform.system.ShowMessageBox(LangText(kMsgCannotRestart), LangText(kMsgCannotRestartCaption), kMbOk);
}

void TForm1::CancelClick() {
    if (CheckPending()) return;
    // After a restart the start-up snapshot is of the new settings; the
    // mode check has its own way back. Otherwise only the snapshot this
    // run made at its start will do.
    FinishFirstRunSnapshot();
    // A repair made in this run is a change the user applied: Cancel does
    // not take it back (Restore Registry does).
    if (!state.CheckMode && !state.RepairedThisRun) {
        RestoreOutcome outcome{RestoreOutcome::NoSnapshot, LangText(kWhyBackupNotMade)};
        if (FinishSnapshot(platform, snapshots.backup))
            outcome = RestoreSnapshot(platform, kBackupFile, snapshots.driver);
        if (!outcome.Ok()) ShowError(platform.system, RestoreFailureText(outcome, kBackupFile));
    }
    StoreLangFileName();
    platform.system.EndProgram(0);
}

void TForm1::bRestoreClick() {
    if (CheckPending()) return;
    // While a change awaits its check, the settings from before it; the
    // run's own snapshot would bring that change back unchecked. Windows
    // must not restart before the editor has put everything back: the
    // restore waits for it and checks that every value is back.
    bool pending = ChangePending(platform);
    const char* file = pending ? kBeforeChangeFile : kLastKnownGoodFile;
    std::string expected = SnapshotBeforeChange(platform);
    RestoreOutcome outcome = RestoreSnapshot(platform, file, snapshots.driver, pending ? &expected : nullptr);
    if (!outcome.Ok()) {
        ShowError(platform.system, RestoreFailureText(outcome, file));
        platform.system.EndProgram(0);
    }
    // The change is taken back: neither its check after the next restart
    // nor that check's fallback may bring it again.
    if (!CancelModeCheck(platform)) ShowWarning(platform.system, LangText(kMsgCheckNotCancelled));
    OfferRestart(LangText(kMsgRegistryRestored), LangText(kMsgRegistryRestoredCaption));
    platform.system.EndProgram(0);
}

void TForm1::StoreLangFileName() { kv::StoreLangFileName(platform.registry); }

}  // namespace kv
