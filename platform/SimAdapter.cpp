#include "platform/SimAdapter.h"

#include <algorithm>
#include <optional>
#include <span>
#include <tuple>

#include "platform/DriverValues.h"

namespace kv {

namespace {

struct ModeRecord {
    std::uint32_t width, height, depth, rate;  // 0 = any
};

std::uint32_t Bcd(std::uint8_t b) { return (b >> 4) * 10u + (b & 0x0F); }

// Reads the records of one list value; the list ends at its first record
// that begins with 0xFF.
std::vector<ModeRecord> ReadList(IRegistry& reg, const std::string& key, const std::string& name) {
    std::vector<ModeRecord> records;
    RegValue v;
    if (reg.QueryValue(key, name, v) != RegStatus::Ok || v.type != kRegBinary) return records;
    for (std::size_t i = 0; i + 8 <= v.data.size(); i += 8) {
        const std::uint8_t* r = &v.data[i];
        if (r[0] == 0xFF) break;
        records.push_back({Bcd(r[0]) * 100 + Bcd(r[1]), Bcd(r[2]) * 100 + Bcd(r[3]), Bcd(r[4]) * 100 + Bcd(r[5]),
                           Bcd(r[6]) * 100 + Bcd(r[7])});
    }
    return records;
}

bool Matches(std::uint32_t field, std::uint32_t value) { return field == 0 || field == value; }

bool ModeLess(const DisplayMode& a, const DisplayMode& b) {
    return std::tie(a.bitsPerPixel, a.width, a.height, a.frequency, a.displayFlags) <
           std::tie(b.bitsPerPixel, b.width, b.height, b.frequency, b.displayFlags);
}

bool SameMode(const DisplayMode& a, const DisplayMode& b) {
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
           a.frequency == b.frequency && a.displayFlags == b.displayFlags;
}

}  // namespace

SimAtiAdapter::SimAtiAdapter(IRegistry& registry) : registry_(registry) { Boot(); }

std::vector<DisplayMode> SimAtiAdapter::HardwareModes() {
    struct Group {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;
        std::vector<std::uint32_t> rates;
    };
    const std::vector<Group> groups = {
        {{{320, 200}, {320, 240}, {400, 300}, {512, 384}, {640, 400}, {640, 480}}, {60, 70, 72, 75, 85, 100, 120}},
        {{{720, 480}, {720, 576}, {800, 600}}, {56, 60, 70, 72, 75, 85, 100, 120}},
        {{{848, 480}, {1024, 768}}, {60, 70, 72, 75, 85, 100}},
        {{{1152, 864}}, {60, 70, 75, 85, 100}},
        {{{1280, 720}, {1280, 768}, {1280, 960}}, {60, 75, 85}},
        {{{1280, 1024}}, {60, 70, 75, 85}},
        {{{1600, 1200}}, {60, 65, 70, 75}},
        {{{1920, 1440}}, {60}},
    };
    std::vector<DisplayMode> modes;
    for (std::uint32_t depth : {8u, 16u, 32u})
        for (const Group& g : groups)
            for (auto [w, h] : g.sizes)
                for (std::uint32_t rate : g.rates) modes.push_back({w, h, depth, rate});
    std::sort(modes.begin(), modes.end(), ModeLess);
    return modes;
}

std::vector<DisplayMode> SimAtiAdapter::RawOnlyModes() {
    std::vector<DisplayMode> modes;
    for (std::uint32_t depth : {8u, 16u, 32u}) {
        modes.push_back({1024, 768, depth, 120});
        modes.push_back({1280, 1024, depth, 100});
        modes.push_back({1600, 1200, depth, 85});
    }
    std::sort(modes.begin(), modes.end(), ModeLess);
    return modes;
}

namespace {

// The records of several list values, one after another.
std::vector<ModeRecord> ReadLists(IRegistry& reg, std::span<const char* const> names) {
    std::vector<ModeRecord> records;
    for (const char* name : names) {
        auto list = ReadList(reg, SimAtiAdapter::kDeviceKey, name);
        records.insert(records.end(), list.begin(), list.end());
    }
    return records;
}

// Extra modes the user listed; the card shows them all. A zero depth means
// every depth, a zero rate the monitor's safe 60 Hz.
void AddExtraModes(std::vector<DisplayMode>& modes, const std::vector<ModeRecord>& extra) {
    for (const ModeRecord& r : extra) {
        if (r.width == 0 || r.height == 0) continue;
        for (std::uint32_t depth : {8u, 16u, 32u}) {
            if (!Matches(r.depth, depth)) continue;
            DisplayMode m{r.width, r.height, depth, r.rate ? r.rate : 60};
            if (std::none_of(modes.begin(), modes.end(), [&](const DisplayMode& x) { return SameMode(x, m); }))
                modes.push_back(m);
        }
    }
    std::sort(modes.begin(), modes.end(), ModeLess);
}

// The mode Windows starts in: 1024x768 at 32 bpp at the lowest rate the
// driver offers there. When the lists leave no rate of it (a rate chosen
// above every rate offered, or from the card's raw modes), never a mode at
// 0 Hz: the largest 32-bpp size offered up to that, at its lowest rate, and
// with none of those the first mode offered; a driver that offers nothing
// shows the VGA mode.
DisplayMode StartMode(const std::vector<DisplayMode>& offered) {
    std::optional<DisplayMode> start;
    for (const DisplayMode& m : offered) {
        bool larger = !start || m.width * m.height > start->width * start->height;
        if (m.bitsPerPixel == 32 && m.width <= 1024 && m.height <= 768 && larger) start = m;
    }
    if (start) return *start;
    return offered.empty() ? DisplayMode{640, 480, 4, 60} : offered.front();
}

bool Restricted(const std::vector<ModeRecord>& restricted, const DisplayMode& m) {
    return std::any_of(restricted.begin(), restricted.end(), [&](const ModeRecord& r) {
        return Matches(r.width, m.width) && Matches(r.height, m.height) && Matches(r.depth, m.bitsPerPixel) &&
               Matches(r.rate, m.frequency);
    });
}

}  // namespace

void SimAtiAdapter::Boot() {
    std::vector<DisplayMode> modes = HardwareModes();
    modes.insert(modes.end(), moreModes.begin(), moreModes.end());
    AddExtraModes(modes, ReadLists(registry_, kNonStandardListNames));
    std::vector<ModeRecord> restricted = ReadLists(registry_, kRestrictedListNames);
    offered_.clear();
    for (const DisplayMode& m : modes)
        if (!Restricted(restricted, m)) offered_.push_back(m);
    offeredRaw_ = offered_;
    for (const DisplayMode& m : RawOnlyModes())
        if (!Restricted(restricted, m)) offeredRaw_.push_back(m);
    std::sort(offeredRaw_.begin(), offeredRaw_.end(), ModeLess);

    current_ = StartMode(offered_);
    stored_ = current_;
    storedFrequency_ = 0;
    temporary_ = false;
}

std::optional<DisplayDeviceInfo> SimAtiAdapter::EnumDevice(std::uint32_t index) {
    if (index != 0) {
        if (index - 1 < moreDevices.size()) return moreDevices[index - 1];
        return std::nullopt;
    }
    return DisplayDeviceInfo{kDeviceName, kDeviceString, kDisplayAttachedToDesktop | kDisplayPrimaryDevice,
                             std::string("\\Registry\\Machine\\") + kDeviceKey,
                             "PCI\\VEN_1002&DEV_4E48&SUBSYS_00021002&REV_00"};
}

std::optional<DisplayDeviceInfo> SimAtiAdapter::EnumMonitor(const std::string& adapterName, std::uint32_t index) {
    if (adapterName != kDeviceName || index >= monitors.size()) return std::nullopt;
    return monitors[index];
}

std::optional<DisplayMode> SimAtiAdapter::EnumMode(const std::string& deviceName, std::uint32_t index,
                                                   std::uint32_t flags) {
    lastEnumFlags = flags;
    if (deviceName == kDeviceName && index == kEnumCurrentSettings) return current_;
    if (deviceName == kDeviceName && index == kEnumRegistrySettings) return stored_;
    const std::vector<DisplayMode>& modes =
        enumeration ? *enumeration : (flags & kEnumRawMode) ? offeredRaw_ : offered_;
    if (deviceName != kDeviceName || index >= modes.size()) return std::nullopt;
    return modes[index];
}

bool SimAtiAdapter::Offers(const DisplayMode& mode) const {
    return std::any_of(offered_.begin(), offered_.end(), [&](const DisplayMode& m) { return SameMode(m, mode); });
}

bool SimAtiAdapter::ChangeFrequency(std::uint32_t frequency, std::uint32_t flags) {
    DisplayMode wanted = current_;
    wanted.frequency = frequency;
    return Show(wanted, flags);
}

bool SimAtiAdapter::Show(const DisplayMode& mode, std::uint32_t flags) {
    if (!Offers(mode)) return false;
    current_ = mode;
    temporary_ = !(flags & kCdsUpdateRegistry);
    if (flags & kCdsUpdateRegistry) {
        stored_ = current_;
        storedFrequency_ = current_.frequency;
    }
    return true;
}

std::optional<DisplayMode> SimAtiAdapter::CurrentMode(const std::string& deviceName) {
    if (deviceName != kDeviceName) return std::nullopt;
    return current_;
}

long SimAtiAdapter::ChangeMode(const std::string& deviceName, const DisplayMode& mode, std::uint32_t flags) {
    ++modeChanges;
    if (changeAnswer) return *changeAnswer;
    if (deviceName != kDeviceName) return kDispChangeFailed;
    if (mode != DisplayMode{}) return Show(mode, flags) ? kDispChangeSuccessful : kDispChangeBadMode;
    // Only the documented way back: no mode and flags 0.
    if (flags != 0) return kDispChangeBadParam;
    if (!Offers(stored_)) return kDispChangeBadMode;
    current_ = stored_;
    temporary_ = false;
    return kDispChangeSuccessful;
}

}  // namespace kv
