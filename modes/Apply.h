// Turning the grid, the colour depths and the kept records into the
// driver's restricted-mode list, and the driver's maximum-rate values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "maintenance/Snapshots.h"
#include "modes/ModeRecords.h"
#include "platform/AdapterContext.h"
#include "platform/DriverValues.h"
#include "platform/SharedRegistry.h"

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

// The values Kelvane writes: a restore deletes those its snapshot lacks.
std::vector<ValueRef> OwnDriverValues(const AdapterContext& adapter);
// Every key Kelvane may write for this adapter, the device key first: the
// desktop options' key (on Windows XP outside the device key) and the key of
// every other display adapter, whose "PruningMode" the adapter dialog sets.
DriverKeys DriverKeysOf(const AdapterContext& adapter);

}  // namespace kv
