// What a mode asks of a monitor, its horizontal rate and pixel clock, and
// whether the monitor declares it can show it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Edid.h"

namespace kv {

struct ModeNeeds {
    enum class Source {
        Detailed,  // the EDID lists the mode in detail: its own figures
        Dmt,       // VESA's Display Monitor Timing list
        Gtf,       // estimated by VESA's Generalized Timing Formula
    };
    Source source = Source::Gtf;
    double horizontalKHz = 0;
    double clockMHz = 0;
};

// The needs of a non-interlaced mode at a vertical rate in whole Hz: from
// the EDID's detailed timings when one shows that mode (pass nullptr when
// there is no EDID), else from the DMT list, else by GTF's default curve.
ModeNeeds NeedsOfMode(const Edid* edid, std::uint32_t width, std::uint32_t height, std::uint32_t rate);

// The needs by GTF's default curve alone; 0 for a rate no timing can meet.
ModeNeeds GtfNeeds(std::uint32_t width, std::uint32_t height, std::uint32_t rate);

// A rate or clock as the user sees it, to one decimal ("107.1"): rounded as
// JudgeMode rounds it, so that a figure shown equal to a limit is inside.
std::string FigureText(double figure);

struct ModeVerdict {
    enum class Kind { Inside, Outside, Unknown };
    // Which declared limit the mode passes; None unless Outside.
    enum class Limit { None, VerticalBelow, VerticalAbove, HorizontalBelow, HorizontalAbove, ClockAbove };
    Kind kind = Kind::Unknown;
    Limit limit = Limit::None;
    ModeNeeds needs;
    // The declared limit it passes (Hz, kHz or MHz, as the limit is).
    std::uint32_t declared = 0;
};

// Inside or outside the EDID's range limits; Unknown without an EDID or
// range limits. The first limit passed, in the order of `Limit`, is named.
ModeVerdict JudgeMode(const Edid* edid, std::uint32_t width, std::uint32_t height, std::uint32_t rate);

}  // namespace kv
