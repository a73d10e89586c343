#include "modes/CheckModes.h"

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/Restart.h"

namespace kv {

TForm5::TForm5(Platform& platform, DriverKeys driver)
    : Dialog("TForm5", kTxtCheckCaption, 400, 128), platform_(platform), driver_(std::move(driver)) {
    // In front of every other window of Kelvane, as every dialog, and the
    // main window takes no input meanwhile: a click there must not cover
    // the count-down.
    modal = true;
    // Nobody may be able to read the screen: closing the window must not
    // stop the count-down, so the window stays until it is answered.
    onCloseQuery = [] { return false; };
    Label1.align = ui::Align::Center;
    Label2.align = ui::Align::Center;
    Create({{bOK, [this] { bOKClick(); }}, {bCancel, [this] { bCancelClick(); }}});
    // Whoever may not read the screen well needs the whole line from the
    // first second on.
    ShowCountdown();
    timers.push_back({"Timer1", 1000, true, [this] { Timer1Timer(); }});
}

void TForm5::ShowCountdown() {
    Label2.text = ModeCheckFirstPhase
                      ? SecondsLeftText(kTxtCheckFirstCountdownIn, kTxtCheckFirstCountdown, ModeCheckCountdown)
                      : SecondsLeftText(kTxtCheckRestoreCountdownIn, kTxtCheckRestoreCountdown, ModeCheckCountdown);
}

void TForm5::Timer1Timer() {
    // Stopped, the count-down keeps its last line: the window may still
    // show when a fallback could not be made.
    if (ModeCheckCountdown == kStopped) return;
    if (ModeCheckCountdown != 0) --ModeCheckCountdown;
    ShowCountdown();
    if (ModeCheckCountdown == 0) {
        ModeCheckCountdown = ModeCheckFirstPhase ? kSeconds : kStopped;
        bCancelClick();
    }
}

void TForm5::bCancelClick() {
    if (ModeCheckFirstPhase) {
        MinimalRateSweep(true);
        ModeCheckFirstPhase = false;
        ModeCheckCountdown = kSeconds;
        Label1.text = LangText(kTxtCheckMinimalSelected);
        ShowCountdown();
        return;
    }
    ModeCheckCountdown = kStopped;
    answered_ = true;
    FallBackToBackup();
}

// The settings from before the change, then a restart to take them. Only
// the file kept when the change was made will do, and only while the record
// of the change still names it: one the user has restored away must not
// come back.
void TForm5::FallBackToBackup() {
    std::string expected = SnapshotBeforeChange(platform_);
    RestoreOutcome outcome;
    if (expected.empty())
        outcome = {RestoreOutcome::NotThisChange, LangText(kWhyNoChangeRecorded)};
    else
        outcome = RestoreSnapshot(platform_, kBeforeChangeFile, driver_, &expected);
    if (!outcome.Ok()) {
        ShowError(platform_.system, LangText(kMsgLowestRateStays, {RestoreFailureText(outcome, kBeforeChangeFile)}));
        if (onAnswered) onAnswered();
        return;
    }
    CancelModeCheck(platform_);
    AskWindowsToRestart(platform_.system);
}

void TForm5::bOKClick() {
    if (!ModeCheckFirstPhase) MinimalRateSweep(false);
    ModeCheckCountdown = kStopped;
    answered_ = true;
    // The change is kept: nothing may take it back now.
    CancelModeCheck(platform_);
    closed = true;
    if (onAnswered) onAnswered();
}

void TForm5::MinimalRateSweep(bool store) {
    std::uint32_t flags = store ? kCdsUpdateRegistry | kCdsFullscreen : kCdsFullscreen;
    for (std::uint32_t rate = 200; rate >= 60; --rate) platform_.display.ChangeFrequency(rate, flags);
}

}  // namespace kv
