// The display adapter in use, where its driver keeps its settings, and who
// made it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kv {

struct DisplayDeviceEntry {
    std::string description;  // the system's device string
    std::string registryKey;  // \Registry\Machine\...
    std::string deviceName;   // \\.\DISPLAYn
};

struct AdapterContext {
    std::vector<DisplayDeviceEntry> DisplayDevices;  // by enumeration index; skipped ones empty
    std::uint8_t DeviceCount = 0;
    std::uint8_t SelectedIndex = 0;
    std::string DeviceKey;   // under HKEY_LOCAL_MACHINE, no leading backslash
    std::string DeviceName;
    std::string DDHALKey;
    std::string DesktopKey;
    std::string ClassID;
    std::string VideoID;
    std::uint32_t WinVersion = 0;
    std::string WinVer;
    std::string VendorID, DeviceID, SubSystemID, SubSystemVendorID, Revision;
};

// The key under HKEY_LOCAL_MACHINE of a device's \Registry\Machine\... key;
// "" when there is none.
std::string KeyBelowMachine(const std::string& kernelKey);

// Fills the device lists, DeviceKey and DeviceName from display device 0.
// False when there is no usable device 0: nothing to select.
bool EnumerateDisplayDevices(IDisplay& display, AdapterContext& ctx);

// ClassID and VideoID from the ATI control panel's record of the hardware
// key; a value that cannot be read leaves the field as it was.
void FindClassAndVideoIds(IRegistry& reg, AdapterContext& ctx);

// Cuts the PCI identifiers from a device instance path such as
// PCI\VEN_1002&DEV_4E48&SUBSYS_00021002&REV_00\4&1A2B3C&0&0008.
void CutInstanceIds(const std::string& instanceText, AdapterContext& ctx);

// The card type named by the lines of "ati.pci": the family, refined by the
// board and then by the board maker; "???" when nothing matches.
std::string CardTypeFromPciIds(const std::string& fileContent, const AdapterContext& ctx);

// WinVer from the version number: major.minor.build on the NT family,
// major.minor on Windows 95/98/ME.
std::string VersionText(std::uint32_t version);

struct AdapterIdentity {
    std::string chip;
    std::string driverVersion;
    std::string cardType;
};

// Reads the chip, the driver version and the PCI identifiers; the card type
// needs "ati.pci" and is filled by the caller. A value the driver's keys
// lack shows as `missingText`.
AdapterIdentity ReadAdapterIdentity(IRegistry& reg, AdapterContext& ctx, const std::string& missingText);

}  // namespace kv
