// The grid's rates judged against what the monitor declares it can show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lang/Entries.h"
#include "modes/ModeRecords.h"
#include "platform/Monitor.h"
#include "platform/ModeTiming.h"

namespace kv {

// The marker after a rate outside the monitor's range, in a row's list.
inline constexpr const char* kOutsideMarker = " !";

// A row's rate against the monitor: Unknown without a declared range, and
// for the grid's "not set" (0) and "every rate restricted" (255).
ModeVerdict JudgeRate(const Edid* monitor, const ResolutionRow& row, std::uint8_t rate);
bool OutsideRange(const Edid* monitor, const ResolutionRow& row, std::uint8_t rate);

// Why a mode lies outside, in the user's language: "needs 107.0 kHz; the
// monitor declares at most 96 kHz".
std::string OutsideReason(const ModeVerdict& verdict);
// "1600x1200 at 85 Hz: needs 107.0 kHz; ..."
std::string OutsideLine(const ResolutionRow& row, std::uint8_t rate, const ModeVerdict& verdict);

// Asks before rates outside the monitor's range are used: `lines` name
// each row, its rate and why (OutsideLine); No is the default answer. True
// for Yes.
bool ConfirmOutsideRange(ISystem& system, LangEntry heading, const std::vector<std::string>& lines, LangEntry question);

// The highest rate of the row inside the monitor's range (every rate is,
// when the range is not known); nothing when none is.
std::optional<std::uint8_t> HighestRateInside(const Edid* monitor, const ResolutionRow& row);

// The Adapter Info page's words for the monitor: its name and declared
// range, or why it is not known.
std::string MonitorText(const MonitorInfo& monitor);

}  // namespace kv
