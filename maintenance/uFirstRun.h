// The issues dialog of an ordinary start: looks for driver settings known to
// do harm, which an older Kelvane or another tool may have left, and offers
// to clear them and restart Windows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lang/Dialog.h"
#include "lang/Entries.h"
#include "maintenance/Snapshots.h"
#include "platform/ModeRecord.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

// What start-up found in the driver's restricted-mode lists.
struct StartupFindings {
    std::vector<RestrictedResolution> RestrictedResolutions;
    std::vector<std::uint16_t> RestrictedRates;
    bool ExtraListsHoldModes = false;
};

class TfFirstRun : public Dialog {
    // The buttons' design widths; a longer caption widens its button.
    static constexpr int kButtonWidth = 75;
    static constexpr int kFixWidth = 90;

public:
    ui::Control& lbFuss = Add(Kind::Label, "lbFuss", "", {8, 8, 584, 16}).Entry(kTxtIssuesLabel);
    // Room for eight lines, and for the longest lines of the shipped
    // languages; a longer one scrolls sideways.
    ui::Control& lbWrngsList = Add(Kind::ListBox, "lbWrngsList", "", {8, 26, 584, 112});
    ui::Control& lWrngs = Add(Kind::Label, "lWrngs", "", {8, 144, 584, 16});  // how many errors and warnings
    // Translations of the caption may need a second line.
    ui::Control& cbDBM = Add(Kind::CheckBox, "cbDBM", "", {8, 166, 584, 30}).Entry(kTxtLiftCrtRestrictions);
    // The buttons stand at the right end of their row (LayOutButtons).
    ui::Control& bFix = Add(Kind::Button, "bFix", "", {0, 208, kFixWidth, 25}).Entry(kTxtFixRestart);
    ui::Control& bIgnore = Add(Kind::Button, "bIgnore", "", {0, 208, kButtonWidth, 25}).Entry(kTxtIgnore);
    ui::Control& bCancel = Add(Kind::Button, "bCancel", "", {0, 208, kButtonWidth, 25}).Entry(kTxtCancel);

    // `run.backup` is the "backup.dat" export the main window started just
    // before (the check after the restart falls back to it); `run.firstRun`
    // receives the "firstrun.dat" export this dialog starts. The run's
    // snapshots are owned by the main window and outlive the dialog.
    TfFirstRun(Platform& platform, std::string deviceKey, StartupFindings findings, RunSnapshots& run);

    // The examination; the constructor calls it. Sets `closed` when nothing
    // was found, so the dialog is never shown.
    void FormCreate() override;
    void bFixClick();
    void bIgnoreClick();
    // Ends the program with exit code 1.
    void bCancelClick();

    std::uint16_t Errors = 0, Warnings = 0;

    // Called after Fix&Restart has written the repair, so that the main window
    // does not later write its stale settings over it.
    std::function<void()> onRepaired;
    // Called when a repair stopped half-way and the settings from before it
    // could not be put back: the driver's settings are half-written, and
    // "lastknowngood.dat" is the only way back, so nothing may replace it.
    std::function<void()> onRepairStoppedHalfWay;

private:
    bool OldVersionFound();
    void StampVersion();
    void LayOutButtons();
    void ExamineDriverKey();
    void ListStartupFindings();
    bool NativeModesFound();
    // The rate of the minimum-resolution list's first record; none when
    // there is no list the driver would take.
    std::optional<std::uint16_t> MinimumRate();
    // Fix&Restart, step by step; each that answers false ends it.
    bool FirstRunSnapshotOrConsent();
    bool Repair();
    void StoppedHalfWay();
    bool ScheduleCheckOrConsent();
    // The repair's writes, in the driver tools' order.
    void WriteRepair();
    void RequestRestart();

    Platform& platform_;
    std::string deviceKey_;
    StartupFindings findings_;
    RunSnapshots& run_;
    // The repair is written: Fix&Restart only asks for the restart again, and
    // never takes "lastknowngood.dat" of the repaired settings.
    bool repaired_ = false;
    // The device key was there when the dialog looked at it.
    bool deviceKeyFound_ = false;
};

}  // namespace kv
