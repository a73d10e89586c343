// The check after the restart: can the user read the screen at the new
// rates? Without an answer it falls back to the lowest rate the driver
// allows, and then to the settings from before the change.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lang/Dialog.h"
#include "lang/Entries.h"
#include "maintenance/Snapshots.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

class TForm5 : public Dialog {
public:
    ui::Control& Label1 = Add(Kind::Label, "Label1", "", {10, 14, 380, 30}).Entry(kTxtCheckReadable);
    ui::Control& Label2 = Add(Kind::Label, "Label2", "", {10, 50, 380, 30});  // the count-down
    ui::Control& bOK = Add(Kind::Button, "bOK", "", {116, 90, 75, 25}).Entry(kTxtOk);
    ui::Control& bCancel = Add(Kind::Button, "bCancel", "", {209, 90, 75, 25}).Entry(kTxtCancel);

    // `driver`: the keys the fallback may put back, and the values Kelvane
    // writes there, deleted when the snapshot lacks them.
    TForm5(Platform& platform, DriverKeys driver);

    void Timer1Timer();
    void bOKClick();
    void bCancelClick();
    // Asks for every rate from 200 Hz down to 60 Hz; the display ends at the
    // lowest one the driver accepts for the current resolution.
    void MinimalRateSweep(bool store);

    static constexpr std::uint8_t kStopped = 255;
    static constexpr std::uint8_t kSeconds = 15;

    std::uint8_t ModeCheckCountdown = kSeconds;
    bool ModeCheckFirstPhase = true;

    // Until the user answers, or the count-down has run its course, the
    // check decides what happens to the new settings.
    bool Pending() const { return !answered_; }
    // Called once the check is answered, or has fallen back without a
    // restart.
    std::function<void()> onAnswered;

private:
    // The count-down line: the prefix, the seconds left and their unit.
    void ShowCountdown();

    void FallBackToBackup();

    Platform& platform_;
    DriverKeys driver_;
    bool answered_ = false;
};

}  // namespace kv
