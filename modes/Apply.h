// What OK writes into the driver's keys: the grid, the colour depths and the
// kept records turned into the restricted-mode list, the driver's value
// layout, and the whole write of a change through the one guarded path, in
// the order the driver's tools always wrote it. The main window's command
// only decides what goes into a SettingsChange.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "maintenance/DriverChange.h"
#include "maintenance/RestartNeed.h"
#include "maintenance/Snapshots.h"
#include "modes/ModeRecords.h"
#include "platform/AdapterContext.h"
#include "platform/DriverValues.h"
#include "platform/Platform.h"
#include "platform/SharedRegistry.h"
#include "ui/Form.h"

namespace kv {

struct DepthChoice {
    bool allow8 = true, allow16 = true, allow24 = true, allow32 = true;
};

// Every offered rate below a row's selection is restricted; with
// `restrictHigher` the rates above it too, so only the selection stays.
// Then the kept resolution and rate records, then one record per colour
// depth that is not allowed.
std::vector<BcdModeRecord> RestrictedRecords(const ModeTable& table, bool restrictHigher, const DepthChoice& depths);
// The list value's bytes: the records, then the kept records that are no
// valid mode, byte for byte (a short one can only come last).
Bytes RestrictedListBytes(const std::vector<BcdModeRecord>& records, const ModeTable& table);

// The largest selection, 255 ("every rate restricted") not counted.
std::uint8_t HighestSelection(const std::vector<ResolutionRow>& rows);

// The driver's control panel keeps its highest rate in byte 8 of an Info
// value and byte 16 of the matching MaxModeInfo value (kMaxRatePairs).
inline constexpr std::size_t kInfoRateByte = 8;
inline constexpr std::size_t kMaxModeInfoRateByte = 16;

// Raises the pair's highest rate to `rate` when it is lower, in the current
// key of the shared registry; true when a value was corrected. Values that
// are absent, or too short to hold the rate byte, are left alone.
bool CorrectMaxRatePair(SharedRegistry& shared, std::uint8_t rate, const MaxRatePair& pair);

// The check before a save: the maximum-rate values of the device key that
// cannot be read as the binary data they should be. The user is told which
// and why; the save leaves them alone.
std::vector<std::string> MaxRateValuesToLeave(Platform& p, const std::string& deviceKey);

// What a save writes, as the command decided it.
struct SettingsChange {
    // What each restricted-mode list value gets (ListValuesToWrite); one
    // after the first that gets nothing is deleted. Nothing when the lists
    // could not be read whole: they stay as they are, and so do the control
    // panel's maxima, since no rate was chosen.
    std::optional<std::vector<Bytes>> lists;
    // The highest rate chosen (HighestSelection); the maxima follow it.
    std::uint8_t highestRate = 0;
    // What MaxRateValuesToLeave found.
    std::vector<std::string> unreadableMaxRates;
    // The anisotropy box: checked writes the degree, unchecked deletes it,
    // grayed leaves it as it is.
    ui::CheckState aniso = ui::CheckState::Grayed;
    std::string anisoDegree;
    // The custom resolutions a loaded profile sets, kept with their list in
    // nonstd/: written into the current key, the device key; true when
    // the list changed. Empty: the list is left alone.
    std::function<bool(SharedRegistry&)> customResolutions;
};

// Where a save writes: the adapter's keys, through the window's shared
// registry; the option boxes bound to their values in `boxes`. A device key
// that could be opened at start-up (`deviceKeyFound`) and will not open now
// stops the save.
struct SettingsTarget {
    SharedRegistry& shared;
    const AdapterContext& adapter;
    ui::Form& boxes;
    bool deviceKeyFound;
};

// Writes the change through ChangeDriverSettings into the device key and
// the desktop options' key: the lists, the bound options, the degree, the
// custom resolutions, then the control panel's maxima, raised to the
// highest rate chosen (the user is told). A value the driver reads at boot
// that was written (the custom resolutions, a maximum) is marked in
// `restart` once the whole change is written.
ChangeResult SaveDriverSettings(Platform& p, RunSnapshots& run, const SettingsTarget& target,
                                const SettingsChange& change, RestartNeed& restart);

// The values Kelvane writes: a restore deletes those its snapshot lacks.
std::vector<ValueRef> OwnDriverValues(const AdapterContext& adapter);
// Every key Kelvane may write for this adapter, the device key first: the
// desktop options' key (on Windows XP outside the device key) and the key of
// every other display adapter, whose "PruningMode" the adapter dialog sets.
DriverKeys DriverKeysOf(const AdapterContext& adapter);

}  // namespace kv
