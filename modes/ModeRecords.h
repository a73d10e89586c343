// The driver's 8-byte mode records and the table of resolutions Kelvane
// shows: built from the modes Windows enumerates and from the driver's
// restricted-mode list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DriverValues.h"
#include "platform/ModeRecord.h"
#include "platform/Platform.h"
#include "platform/SharedRegistry.h"

namespace kv {

struct ResolutionRow {
    std::uint16_t height = 0;
    std::uint16_t width = 0;
    std::vector<std::uint8_t> rates;  // ascending once the table is built
    // The lowest rate that stays allowed; 0 not set, 255 every rate restricted.
    std::uint8_t selected = 0;
};

inline constexpr std::uint8_t kAllRatesRestricted = 255;

// The table and the records of the driver's lists that the grid cannot show;
// those are written back unchanged.
struct ModeTable {
    std::vector<ResolutionRow> ResolutionRows;
    std::vector<RestrictedResolution> RestrictedResolutions;
    // Kept at full width: a rate record above 255 Hz is written back as read.
    std::vector<std::uint16_t> RestrictedRates;
    // Records that are no valid mode, kept byte for byte.
    std::vector<Bytes> KeptRawRecords;
    // Each list value as read, padding included; an absent one empty.
    std::vector<Bytes> StoredLists;
    bool ExtraListsHoldModes = false;
};

// Rows from the modes Windows enumerates for the device. Only the first run
// of resolutions counts: the enumeration stops at the first width smaller
// than the one before, where the next colour depth begins.
std::vector<ResolutionRow> RowsFromSystemModes(IDisplay& display, const std::string& deviceName,
                                               std::uint32_t enumFlags);

// Adds the rates of full mode records of the first list value to the rows;
// true when the system still offers a rate the list restricts.
bool MergeRestrictedModes(std::vector<ResolutionRow>& rows, const std::vector<ModeEntry>& records);
void SortRows(std::vector<ResolutionRow>& rows);
// Every row's selection becomes the lowest rate the list leaves allowed.
void SelectAllowedRates(std::vector<ResolutionRow>& rows, const std::vector<ModeEntry>& records);
// Keeps the resolution and rate records of one list value; `continuation`
// for the four values after the first.
void CollectKeptRecords(ModeTable& table, const std::vector<ModeEntry>& records, bool continuation);

// Why a value the driver reads as bytes (a mode list, a control panel
// maximum) cannot be read whole into the driver's 2048-byte buffer, in words
// such as "it holds a number"; "" when it can be, or is not there. Such a
// value is left exactly as it is.
std::string ByteValueProblem(const ValueInfo& info);

}  // namespace kv
