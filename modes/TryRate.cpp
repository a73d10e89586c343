#include "modes/TryRate.h"

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"

namespace kv {

namespace {

std::string SizeText(const DisplayMode& mode) {
    return std::to_string(mode.width) + "x" + std::to_string(mode.height);
}

bool Offered(IDisplay& display, const std::string& deviceName, const DisplayMode& wanted) {
    for (std::uint32_t i = 0; i < kMaxModesListed; ++i) {
        std::optional<DisplayMode> mode = display.EnumMode(deviceName, i, 0);
        if (!mode) return false;
        if (*mode == wanted) return true;
    }
    return false;
}

// Back to the mode shown before a try. When that is the mode stored in the
// registry, Windows' own way back to it (no mode, flags 0), after which the
// display no longer counts as changed for now; otherwise that very mode,
// its display flags too, for now as it was. Should the driver refuse the
// one, the other.
bool SwitchBackTo(IDisplay& display, const std::string& deviceName, const DisplayMode& before, bool stored) {
    auto back = [&](bool toStored) {
        return (toStored ? display.ChangeMode(deviceName, DisplayMode{}, 0)
                         : display.ChangeMode(deviceName, before, kCdsFullscreen)) == kDispChangeSuccessful;
    };
    return back(stored) || back(!stored);
}

}  // namespace

std::unique_ptr<TTryRate> TTryRate::Start(Platform& platform, const std::string& deviceName, std::uint32_t width,
                                          std::uint32_t height, std::uint32_t rate) {
    std::optional<DisplayMode> before = platform.display.CurrentMode(deviceName);
    if (!before) {
        ShowError(platform.system, LangText(kMsgTryNoCurrentMode));
        return nullptr;
    }
    DisplayMode tried{width, height, before->bitsPerPixel, rate};
    if (!Offered(platform.display, deviceName, tried)) {
        ShowError(platform.system, LangText(kMsgTryNotOffered, {SizeText(tried), std::to_string(rate)}));
        return nullptr;
    }
    bool stored = platform.display.StoredMode(deviceName) == before;
    if (platform.display.ChangeMode(deviceName, tried, kCdsFullscreen) != kDispChangeSuccessful) {
        // A driver that failed half-way may have left another mode.
        if (platform.display.CurrentMode(deviceName) != before)
            SwitchBackTo(platform.display, deviceName, *before, stored);
        ShowError(platform.system, LangText(kMsgTryRefused, {SizeText(tried), std::to_string(rate)}));
        return nullptr;
    }
    return std::unique_ptr<TTryRate>(new TTryRate(platform, deviceName, *before, stored, tried));
}

TTryRate::TTryRate(Platform& platform, std::string deviceName, const DisplayMode& before, bool beforeStored,
                   const DisplayMode& tried)
    : Dialog("TTryRate", kTxtTryCaption, 420, 128),
      platform_(platform),
      deviceName_(std::move(deviceName)),
      before_(before),
      beforeStored_(beforeStored),
      tried_(tried) {
    // Whoever cannot read the screen must find it in front, as every
    // dialog, and need not find it at all: it goes back by itself.
    modal = true;
    Label1.align = ui::Align::Center;
    Label1.wordWrap = true;
    Label2.align = ui::Align::Center;
    escapeButton = &bBack;
    onCloseQuery = [this] {
        bBackClick();
        return true;
    };
    // The screen comes back before Windows' session ends too. Nobody would
    // read a message by then.
    onEndSession = [this] {
        if (!closed) End(false, false);
    };
    Create({{bKeep, [this] { bKeepClick(); }}, {bBack, [this] { bBackClick(); }}});
    Label1.text = LangText(kTxtTryShowing, {SizeText(tried_), std::to_string(tried_.frequency)});
    ShowCountdown();
    timers.push_back({"Timer1", 1000, true, [this] { Timer1Timer(); }});
    // However the program ends meanwhile, the screen comes back first.
    platform_.system.beforeEnd = [this] { SwitchBack(); };
}

TTryRate::~TTryRate() { SwitchBack(); }

void TTryRate::ShowCountdown() {
    Label2.text = LangCount(kTxtTryCountdown, Countdown);
}

void TTryRate::Timer1Timer() {
    if (closed || Countdown == 0) return;
    --Countdown;
    ShowCountdown();
    if (Countdown == 0) End(false);
}

void TTryRate::bKeepClick() {
    if (!closed) End(true);
}

void TTryRate::bBackClick() {
    if (!closed) End(false);
}

void TTryRate::End(bool kept, bool tell) {
    closed = true;
    for (ui::Timer& t : timers) t.enabled = false;
    if (!SwitchBack() && tell)
        ShowError(platform_.system, LangText(kMsgTryNotBack, {SizeText(before_), std::to_string(before_.frequency)}));
    if (onEnd) onEnd(kept);
}

bool TTryRate::SwitchBack() {
    if (switchedBack_) return true;
    switchedBack_ = true;
    platform_.system.beforeEnd = nullptr;
    return SwitchBackTo(platform_.display, deviceName_, before_, beforeStored_);
}

}  // namespace kv
