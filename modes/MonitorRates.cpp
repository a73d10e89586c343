#include "modes/MonitorRates.h"

#include "lang/Lang.h"
#include "modes/RefreshGrid.h"

namespace kv {

ModeVerdict JudgeRate(const Edid* monitor, const ResolutionRow& row, std::uint8_t rate) {
    if (rate == 0 || rate == kAllRatesRestricted) return {};
    ModeVerdict verdict = JudgeMode(monitor, row.width, row.height, rate);
    // GTF's blanking is the least a mode may have; a driver meets a
    // monitor's lowest horizontal rate by adding blank lines, as VGA's
    // 640x400 at 70 Hz does (449 lines, 31.5 kHz). Only an exact figure
    // below it tells.
    if (verdict.limit == ModeVerdict::Limit::HorizontalBelow && verdict.needs.source == ModeNeeds::Source::Gtf)
        verdict = {ModeVerdict::Kind::Unknown, ModeVerdict::Limit::None, verdict.needs, 0};
    return verdict;
}

bool OutsideRange(const Edid* monitor, const ResolutionRow& row, std::uint8_t rate) {
    return JudgeRate(monitor, row, rate).kind == ModeVerdict::Kind::Outside;
}

std::string OutsideReason(const ModeVerdict& v) {
    const std::string declared = std::to_string(v.declared);
    switch (v.limit) {
        case ModeVerdict::Limit::VerticalBelow: return LangText(kTxtWhyVerticalBelow, {declared});
        case ModeVerdict::Limit::VerticalAbove: return LangText(kTxtWhyVerticalAbove, {declared});
        case ModeVerdict::Limit::HorizontalBelow:
            return LangText(kTxtWhyHorizontalBelow, {FigureText(v.needs.horizontalKHz), declared});
        case ModeVerdict::Limit::HorizontalAbove:
            return LangText(kTxtWhyHorizontalAbove, {FigureText(v.needs.horizontalKHz), declared});
        case ModeVerdict::Limit::ClockAbove:
            return LangText(kTxtWhyClockAbove, {FigureText(v.needs.clockMHz), declared});
        case ModeVerdict::Limit::None: break;
    }
    return "";
}

std::string OutsideLine(const ResolutionRow& row, std::uint8_t rate, const ModeVerdict& verdict) {
    return LangText(kTxtRateOutsideLine,
                    {RefreshGrid::ResolutionText(row), std::to_string(rate), OutsideReason(verdict)});
}

bool ConfirmOutsideRange(ISystem& system, LangEntry heading, const std::vector<std::string>& lines, LangEntry question) {
    std::string text = LangText(heading) + "\n";
    for (const std::string& line : lines) text += "\n" + line;
    text += "\n\n" + LangText(kMsgOutsideRisk) + " " + LangText(question);
    return system.ShowMessageBox(text, LangText(kMsgOutsideRangeCaption), kMbYesNo | kMbDefaultSecond) == kIdYes;
}

std::optional<std::uint8_t> HighestRateInside(const Edid* monitor, const ResolutionRow& row) {
    for (auto rate = row.rates.rbegin(); rate != row.rates.rend(); ++rate)
        if (!OutsideRange(monitor, row, *rate)) return *rate;
    return std::nullopt;
}

std::string MonitorText(const MonitorInfo& monitor) {
    switch (monitor.state) {
        case MonitorInfo::State::NoMonitor: return LangText(kTxtMonitorNone);
        case MonitorInfo::State::NoEdid: return LangText(kTxtMonitorNoEdid);
        case MonitorInfo::State::Unreadable: return LangText(kTxtMonitorUnreadable);
        case MonitorInfo::State::BadEdid: {
            LangEntry why = kTxtEdidBadVersion;
            if (monitor.problem == EdidProblem::TooShort) why = kTxtEdidTooShort;
            if (monitor.problem == EdidProblem::NoHeader) why = kTxtEdidNoHeader;
            if (monitor.problem == EdidProblem::BadChecksum) why = kTxtEdidBadChecksum;
            return LangText(kTxtMonitorBadEdid, {LangText(why)});
        }
        case MonitorInfo::State::Known: break;
    }
    const Edid& edid = *monitor.edid;
    const std::string name = EdidDisplayName(edid);
    if (!edid.range) return LangText(kTxtMonitorNoRange, {name});
    const EdidRangeLimits& r = *edid.range;
    auto n = [](std::uint32_t v) { return std::to_string(v); };
    if (r.maxClockMHz == 0)
        return LangText(kTxtMonitorRangeNoClock,
                        {name, n(r.minHorizontalKHz), n(r.maxHorizontalKHz), n(r.minVerticalHz), n(r.maxVerticalHz)});
    return LangText(kTxtMonitorRange, {name, n(r.minHorizontalKHz), n(r.maxHorizontalKHz), n(r.minVerticalHz),
                                       n(r.maxVerticalHz), n(r.maxClockMHz)});
}

}  // namespace kv
