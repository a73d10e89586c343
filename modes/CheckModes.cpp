#include "modes/CheckModes.h"

#include "maintenance/Snapshots.h"
#include "modes/Apply.h"
#include "platform/Misc.h"

namespace kv {

namespace {

constexpr const char* kFirstPrefix = "Minimal refresh rate will be automatically selected in";
constexpr const char* kSecondPrefix = "Settings will be automatically restored from backup in";

}  // namespace

TForm5::TForm5(Platform& platform, std::string deviceKey)
    : ui::Form("TForm5", "Kelvane - Checking Video Modes...", 380, 128),
      platform_(platform),
      deviceKey_(std::move(deviceKey)) {
    stayOnTop = true;
    auto& label1 = Add(ui::Kind::Label, "Label1", "", ui::Rect{10, 14, 360, 30},
                       "Settings implemented. If you can read this message, click \"OK\".");
    label1.align = ui::Align::Center;
    auto& label2 = Add(ui::Kind::Label, "Label2", "", ui::Rect{10, 50, 360, 30}, kFirstPrefix);
    label2.align = ui::Align::Center;
    Add(ui::Kind::Button, "bOK", "", ui::Rect{106, 90, 75, 25}, "OK").onClick = [this] { bOKClick(); };
    Add(ui::Kind::Button, "bCancel", "", ui::Rect{199, 90, 75, 25}, "Cancel").onClick = [this] { bCancelClick(); };
    timers.push_back({"Timer1", 1000, true, [this] { Timer1Timer(); }});
    CountdownPrefix = kFirstPrefix;
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
        (*this)["Label1"].text = "Minimal refresh rate selected. If you can read this message, click \"OK\".";
        (*this)["Label2"].text = "Settings will be automatically restored from backup in 15 seconds";
        CountdownPrefix = kSecondPrefix;
        return;
    }
    ModeCheckCountdown = kStopped;
    std::uintptr_t editor = RestoreSnapshot(platform_, kBackupFile, deviceKey_, OwnDriverValues(deviceKey_));
    AcquireShutdownPrivilege(platform_.system);
    // Restart only once the old settings are back in place.
    platform_.system.WaitForProgram(editor, kSnapshotWaitMs);
    platform_.system.RestartWindows();
}

void TForm5::bOKClick() {
    if (!ModeCheckFirstPhase) MinimalRateSweep(false);
    ModeCheckCountdown = kStopped;
    closed = true;
}

void TForm5::MinimalRateSweep(bool store) {
    std::uint32_t flags = store ? kCdsUpdateRegistry | kCdsFullscreen : kCdsFullscreen;
    for (std::uint32_t rate = 200; rate >= 60; --rate) platform_.display.ChangeFrequency(rate, flags);
}

}  // namespace kv
