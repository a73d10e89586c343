// Trying a rate before the restart: the display shows the mode now, without
// storing it, and goes back by itself unless the user keeps the rate. The
// driver's lists are not touched; a rate kept goes into the grid and reaches
// the driver only through OK.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "lang/Dialog.h"
#include "lang/Entries.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

class TTryRate : public Dialog {
public:
    ui::Control& Label1 = Add(Kind::Label, "Label1", "", {12, 12, 396, 48});  // what is tried
    ui::Control& Label2 = Add(Kind::Label, "Label2", "", {12, 66, 396, 18});  // the count-down
    ui::Control& bKeep = Add(Kind::Button, "bKeep", "", {101, 94, 130, 25}).Entry(kTxtKeepRate);
    ui::Control& bBack = Add(Kind::Button, "bBack", "", {243, 94, 75, 25}).Entry(kTxtTryBack);

    // Switches the device to `tried` in the colour depth it shows now, and
    // returns the window that brings the previous mode back. A mode the
    // driver does not offer, or a change Windows refuses, is said and
    // changes nothing; no window then.
    static std::unique_ptr<TTryRate> Start(Platform& platform, const std::string& deviceName, std::uint32_t width,
                                           std::uint32_t height, std::uint32_t rate);
    ~TTryRate() override;

    void Timer1Timer();
    void bKeepClick();
    void bBackClick();

    static constexpr std::uint8_t kSeconds = 15;
    std::uint8_t Countdown = kSeconds;

    // Told once the previous mode is back: whether the user kept the rate.
    std::function<void(bool kept)> onEnd;

private:
    TTryRate(Platform& platform, std::string deviceName, const DisplayMode& before, bool beforeStored,
             const DisplayMode& tried);
    void ShowCountdown();
    // Every way out: the mode from before the try comes back, and the
    // window closes. `tell`: say so when the mode could not come back.
    void End(bool kept, bool tell = true);
    // Once only: the mode from before the try comes back; false when the
    // display could not be switched back.
    bool SwitchBack();

    Platform& platform_;
    const std::string deviceName_;
    const DisplayMode before_;
    // The mode before the try was the one stored in the registry.
    const bool beforeStored_;
    const DisplayMode tried_;
    bool switchedBack_ = false;
};

}  // namespace kv
