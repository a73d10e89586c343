// A simulated ATI adapter driving a 19-inch CRT. Like the real driver it
// reads its restricted-mode and non-standard-mode lists from its device key
// at boot and offers its modes accordingly until the next boot.
#pragma once

#include <vector>

#include "platform/Platform.h"

namespace kv {

class SimAtiAdapter : public IDisplay {
public:
    static constexpr const char* kDeviceName = "\\\\.\\DISPLAY1";
    static constexpr const char* kDeviceString = "RADEON 9800 PRO";
    static constexpr const char* kDeviceKey = "System\\CurrentControlSet\\Services\\ati2mtag\\Device0";

    explicit SimAtiAdapter(IRegistry& registry);

    // Reads both lists from the device key, as the driver does when Windows
    // starts, and sets the current mode to 1024x768 at 32 bpp at the lowest
    // rate offered there, or, with none offered, to the largest 32-bpp mode
    // offered below it.
    void Boot();

    std::optional<DisplayDeviceInfo> EnumDevice(std::uint32_t index) override;
    std::optional<DisplayDeviceInfo> EnumMonitor(const std::string& adapterName, std::uint32_t index) override;
    std::optional<DisplayMode> EnumMode(const std::string& deviceName, std::uint32_t index,
                                        std::uint32_t flags) override;
    bool ChangeFrequency(std::uint32_t frequency, std::uint32_t flags) override;
    std::optional<DisplayMode> CurrentMode(const std::string& deviceName) override;
    // Only a mode the driver offers, display flags and all; nothing changes
    // otherwise. No mode takes only flags 0: the way back to the stored mode.
    long ChangeMode(const std::string& deviceName, const DisplayMode& mode, std::uint32_t flags) override;

    const DisplayMode& Current() const { return current_; }
    // The display shows a mode set for now (not stored), even one equal to
    // the stored mode: Windows drops it when the session ends, and only the
    // way back (no mode, flags 0) or storing a mode ends it.
    bool TemporaryMode() const { return temporary_; }
    // The rate last stored with CDS_UPDATEREGISTRY (0 if none).
    std::uint32_t StoredFrequency() const { return storedFrequency_; }
    // When set, every mode change gets this answer and changes nothing: a
    // driver that fails, or one that wants a restart first.
    std::optional<long> changeAnswer;
    // The mode changes asked for, answered or not.
    int modeChanges = 0;
    const std::vector<DisplayMode>& OfferedModes() const { return offered_; }
    bool Offers(const DisplayMode& mode) const;

    // Every mode the monitor and card can show, in the order Windows
    // enumerates them: by depth, then width, height and rate.
    static std::vector<DisplayMode> HardwareModes();
    // Modes the card makes but the monitor cannot take: Windows prunes them
    // unless asked for the raw list.
    static std::vector<DisplayMode> RawOnlyModes();
    // Modes the card makes beside those, such as interlaced ones; offered
    // from the next boot on.
    std::vector<DisplayMode> moreModes;

    // When set, the enumeration returns exactly these modes, in this order
    // (duplicates and all), whatever the flags: the odd lists some drivers
    // give.
    std::optional<std::vector<DisplayMode>> enumeration;
    // Display devices after the card's own (numbers 1, 2, ...), such as its
    // second head or a mirroring driver (state flags 0, which Kelvane
    // passes over).
    std::vector<DisplayDeviceInfo> moreDevices;
    // The monitors on the card's own output, as Windows lists them: a CRT
    // whose instance in Enum\DISPLAY\TSY1913 names the driver key in its
    // ID. Its EDID is where the machine's registry keeps it, if anywhere.
    std::vector<DisplayDeviceInfo> monitors{
        {"\\\\.\\DISPLAY1\\Monitor0", "Plug and Play Monitor", kDisplayAttachedToDesktop, "",
         "MONITOR\\TSY1913\\{4D36E96E-E325-11CE-BFC1-08002BE10318}\\0000"}};
    // The flags of the last enumeration call.
    std::uint32_t lastEnumFlags = 0;

private:
    // Shows a mode the driver offers, storing it when the flags ask; false
    // for any other.
    bool Show(const DisplayMode& mode, std::uint32_t flags);

    IRegistry& registry_;
    std::vector<DisplayMode> offered_;
    std::vector<DisplayMode> offeredRaw_;
    DisplayMode current_;
    DisplayMode stored_;  // the mode Windows starts in
    bool temporary_ = false;
    std::uint32_t storedFrequency_ = 0;
};

}  // namespace kv
