#include "modes/CheckModes.h"

#include "lang/Lang.h"
#include "platform/Misc.h"

namespace kv {

TForm5::TForm5(Platform& platform, DriverKeys driver)
    : ui::Form("TForm5", LangText(35), 380, 128), platform_(platform), driver_(std::move(driver)) {
    stayOnTop = true;
    // Nobody may be able to read the screen: closing the window must not
    // stop the count-down, so the window stays until it is answered.
    onCloseQuery = [] { return false; };
    CountdownPrefix = LangText(37);
    UnitWord = LangText(38);
    auto& label1 = Add(ui::Kind::Label, "Label1", "", ui::Rect{10, 14, 360, 30}, LangText(36));
    label1.align = ui::Align::Center;
    // In English the count-down shows its number from the first tick on.
    std::string countdown = LangLoaded == 1 ? CountdownPrefix + " 15 " + UnitWord : CountdownPrefix;
    auto& label2 = Add(ui::Kind::Label, "Label2", "", ui::Rect{10, 50, 360, 30}, countdown);
    label2.align = ui::Align::Center;
    Add(ui::Kind::Button, "bOK", "", ui::Rect{106, 90, 75, 25}, LangText(6)).onClick = [this] { bOKClick(); };
    Add(ui::Kind::Button, "bCancel", "", ui::Rect{199, 90, 75, 25}, LangText(7)).onClick = [this] {
        bCancelClick();
    };
    timers.push_back({"Timer1", 1000, true, [this] { Timer1Timer(); }});
}

void TForm5::Timer1Timer() {
    if (ModeCheckCountdown != 0 && ModeCheckCountdown != kStopped) --ModeCheckCountdown;
    (*this)["Label2"].text = CountdownPrefix + " " + std::to_string(ModeCheckCountdown) + " " + UnitWord;
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
        CountdownPrefix = LangText(40);
        (*this)["Label1"].text = LangText(39);
        (*this)["Label2"].text = LangLoaded == 1 ? CountdownPrefix + " 15 " + UnitWord
                                                 : "Settings will be automatically restored from backup in 15 seconds";
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
        outcome = {RestoreOutcome::NotThisChange, "no change awaiting this check was recorded"};
    else
        outcome = RestoreSnapshot(platform_, kBeforeChangeFile, driver_, &expected);
    if (!outcome.Ok()) {
        platform_.system.ShowMessageBox(RestoreFailureText(outcome, kBeforeChangeFile) +
                                            " The lowest refresh rate stays selected.",
                                        "Error", kMbOk);
        if (onAnswered) onAnswered();
        return;
    }
    CancelModeCheck(platform_);
    AcquireShutdownPrivilege(platform_.system);
    platform_.system.RestartWindows();
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
