#include "platform/AdapterContext.h"

#include "platform/RegValues.h"
#include "platform/WindowsVersion.h"

namespace kv {

namespace {

// Windows reports device keys as kernel paths under this prefix.
constexpr std::size_t kKernelPrefixLength = 18;  // \Registry\Machine\ .

constexpr const char* kCdsDriverKey = "SOFTWARE\\ATI Technologies\\CDS\\0000\\0\\Driver";

std::string UpTo(const std::string& s, const std::string& marker) {
    std::size_t p = s.find(marker);
    return p == std::string::npos ? s : s.substr(0, p);
}

// Removes the marker's position plus `extra` characters, keeps n.
std::string Cut(const std::string& text, const std::string& marker, std::size_t extra, std::size_t n) {
    std::size_t found = text.find(marker);
    std::size_t position = found == std::string::npos ? 0 : found + 1;
    std::size_t skip = position + extra;
    if (skip >= text.size()) return "";
    return text.substr(skip, n);
}

}  // namespace

std::string KeyBelowMachine(const std::string& kernelKey) {
    return kernelKey.size() > kKernelPrefixLength ? kernelKey.substr(kKernelPrefixLength) : "";
}

bool EnumerateDisplayDevices(IDisplay& display, AdapterContext& ctx) {
    ctx.DisplayDevices.clear();
    ctx.DeviceCount = 0;
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::optional<DisplayDeviceInfo> dev = display.EnumDevice(i);
        if (!dev) break;
        // Mirroring drivers (and devices with no state at all) are not adapters.
        if ((dev->stateFlags & ~kDisplayMirroringDriver) == 0) continue;
        ctx.DisplayDevices.resize(i + 1);
        ctx.DeviceCount = static_cast<std::uint8_t>(i + 1);
        ctx.DisplayDevices[i] = {dev->deviceString, dev->deviceKey, dev->deviceName};
    }
    ctx.SelectedIndex = 0;
    if (ctx.DisplayDevices.empty() || ctx.DisplayDevices[0].deviceName.empty()) {
        ctx.DeviceName.clear();
        ctx.DeviceKey.clear();
        return false;
    }
    ctx.DeviceName = ctx.DisplayDevices[0].deviceName;
    ctx.DeviceKey = KeyBelowMachine(ctx.DisplayDevices[0].registryKey);
    return true;
}

void FindClassAndVideoIds(IRegistry& reg, AdapterContext& ctx) {
    std::string hardwareKey;
    ReadTextValue(reg, kCdsDriverKey, "Hardware RegKey", hardwareKey);
    hardwareKey = UpTo(hardwareKey, " ");

    std::string classId;
    if (ReadTextValue(reg, hardwareKey, "Driver", classId) == kDone)
        ctx.ClassID = UpTo(classId, "\\0000");

    std::string videoId;
    if (ReadTextValue(reg, hardwareKey + "\\Device Parameters", "VideoID", videoId) == kDone) {
        videoId = UpTo(videoId, "\\0000");
        std::size_t brace = videoId.find('}');
        ctx.VideoID = brace == std::string::npos ? "" : videoId.substr(0, brace + 1);
    }
}

void CutInstanceIds(const std::string& instanceText, AdapterContext& ctx) {
    std::string text = instanceText.substr(0, instanceText.find('\0'));
    ctx.VendorID = Cut(text, "VEN_", 3, 4);
    ctx.DeviceID = Cut(text, "DEV_", 3, 4);
    ctx.SubSystemID = Cut(text, "SUBSYS_", 6, 4);
    ctx.SubSystemVendorID = Cut(text, "SUBSYS_", 10, 4);
    ctx.Revision = Cut(text, "REV_", 3, 2);
}

std::string CardTypeFromPciIds(const std::string& fileContent, const AdapterContext& ctx) {
    std::string cardType = "???";
    bool deviceMatched = false, boardMatched = false;
    std::size_t start = 0;
    while (start < fileContent.size()) {
        std::size_t end = fileContent.find('\n', start);
        if (end == std::string::npos) end = fileContent.size();
        std::string line = fileContent.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::string id = line.size() > 2 ? line.substr(2, 4) : "";
        std::string name = line.size() > 7 ? line.substr(7) : "";
        switch (line[0]) {
            case 'D':
                deviceMatched = id == ctx.DeviceID;
                if (deviceMatched) cardType = name;
                break;
            case 'S':
                if (!deviceMatched) break;
                boardMatched = id == ctx.SubSystemID;
                if (boardMatched) cardType = name;
                break;
            case 'O':
                if (deviceMatched && boardMatched && id == ctx.SubSystemVendorID) {
                    deviceMatched = boardMatched = false;
                    cardType = name;
                }
                break;
            default: break;
        }
    }
    return cardType;
}

std::string VersionText(std::uint32_t version) {
    std::string text = std::to_string(version & 0xFF) + "." + std::to_string((version >> 8) & 0xFF);
    if (!IsWindows9x(version)) text += "." + std::to_string(version >> 16);
    return text;
}

AdapterIdentity ReadAdapterIdentity(IRegistry& reg, AdapterContext& ctx, const std::string& missingText) {
    AdapterIdentity id;
    id.chip = missingText;
    ReadTextValue(reg, ctx.DeviceKey, "Device Description", id.chip);
    id.chip = UpTo(id.chip, "<");

    // The last of these present wins: the control panel's own records are
    // newer than the class key's.
    id.driverVersion = missingText;
    ReadTextValue(reg, "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000",
                  "DriverVersion", id.driverVersion);
    ReadTextValue(reg, kCdsDriverKey, "Version", id.driverVersion);
    ReadTextValue(reg, "SOFTWARE\\ATI Technologies\\CBT", "ReleaseVersion", id.driverVersion);
    id.driverVersion = UpTo(id.driverVersion, "(");

    std::string instanceText;
    for (const char* service : {"ati2mtaa", "ati2mtag", "atimtag", "atimtaa"})
        ReadTextValue(reg, std::string("SYSTEM\\CurrentControlSet\\Services\\") + service + "\\Enum", "0",
                      instanceText);
    CutInstanceIds(instanceText, ctx);
    id.cardType = "???";
    return id;
}

}  // namespace kv
