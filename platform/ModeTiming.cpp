#include "platform/ModeTiming.h"

#include <cmath>
#include <cstdio>

namespace kv {

namespace {

// VESA's Display Monitor Timings that are not reduced blanking: a mode at
// its nominal rate, its totals and its pixel clock. The rates and the
// horizontal rate follow from these.
struct DmtMode {
    std::uint32_t width, height, rate;
    std::uint32_t hTotal, vTotal;
    std::uint32_t clockKHz;
};

constexpr DmtMode kDmt[] = {
    {640, 350, 85, 832, 445, 31500},      {640, 400, 85, 832, 445, 31500},      {720, 400, 85, 936, 446, 35500},
    {640, 480, 60, 800, 525, 25175},      {640, 480, 72, 832, 520, 31500},      {640, 480, 75, 840, 500, 31500},
    {640, 480, 85, 832, 509, 36000},      {800, 600, 56, 1024, 625, 36000},     {800, 600, 60, 1056, 628, 40000},
    {800, 600, 72, 1040, 666, 50000},     {800, 600, 75, 1056, 625, 49500},     {800, 600, 85, 1048, 631, 56250},
    {848, 480, 60, 1088, 517, 33750},     {1024, 768, 60, 1344, 806, 65000},    {1024, 768, 70, 1328, 806, 75000},
    {1024, 768, 75, 1312, 800, 78750},    {1024, 768, 85, 1376, 808, 94500},    {1152, 864, 75, 1600, 900, 108000},
    {1280, 720, 60, 1650, 750, 74250},    {1280, 768, 60, 1664, 798, 79500},    {1280, 768, 75, 1696, 805, 102250},
    {1280, 768, 85, 1712, 809, 117500},   {1280, 800, 60, 1680, 831, 83500},    {1280, 800, 75, 1696, 838, 106500},
    {1280, 800, 85, 1712, 843, 122500},   {1280, 960, 60, 1800, 1000, 108000},  {1280, 960, 85, 1728, 1011, 148500},
    {1280, 1024, 60, 1688, 1066, 108000}, {1280, 1024, 75, 1688, 1066, 135000}, {1280, 1024, 85, 1728, 1072, 157500},
    {1360, 768, 60, 1792, 795, 85500},    {1366, 768, 60, 1792, 798, 85500},    {1400, 1050, 60, 1864, 1089, 121750},
    {1400, 1050, 75, 1896, 1099, 156000}, {1400, 1050, 85, 1912, 1105, 179500}, {1440, 900, 60, 1904, 934, 106500},
    {1440, 900, 75, 1936, 942, 136750},   {1440, 900, 85, 1952, 948, 157000},   {1600, 1200, 60, 2160, 1250, 162000},
    {1600, 1200, 65, 2160, 1250, 175500}, {1600, 1200, 70, 2160, 1250, 189000}, {1600, 1200, 75, 2160, 1250, 202500},
    {1600, 1200, 85, 2160, 1250, 229500}, {1680, 1050, 60, 2240, 1089, 146250}, {1680, 1050, 75, 2272, 1099, 187000},
    {1680, 1050, 85, 2288, 1105, 214750}, {1792, 1344, 60, 2448, 1394, 204750}, {1792, 1344, 75, 2456, 1417, 261000},
    {1856, 1392, 60, 2528, 1439, 218250}, {1856, 1392, 75, 2560, 1500, 288000}, {1920, 1080, 60, 2200, 1125, 148500},
    {1920, 1200, 60, 2592, 1245, 193250}, {1920, 1200, 75, 2608, 1255, 245250}, {1920, 1200, 85, 2624, 1262, 281250},
    {1920, 1440, 60, 2600, 1500, 234000}, {1920, 1440, 75, 2640, 1500, 297000}, {2560, 1600, 60, 3504, 1658, 348500},
    {2560, 1600, 75, 3536, 1672, 443250}, {2560, 1600, 85, 3536, 1682, 505250},
};

}  // namespace

// GTF's default curve: the vertical sync and back porch take at least
// 550 us, the front porch at least one line, the blanking is a whole
// number of 16-pixel pairs of cells, and the blanking share of a line is
// C' - M' * line period (C' = 30 %, M' = 300 %/ms).
ModeNeeds GtfNeeds(std::uint32_t width, std::uint32_t height, std::uint32_t rate) {
    constexpr double kSyncAndBackPorchUs = 550, kFrontPorchLines = 1, kCell = 8, kC = 30, kM = 300;
    ModeNeeds needs;
    needs.source = ModeNeeds::Source::Gtf;
    // No rate, or one so high that the sync alone takes the whole frame:
    // no timing.
    if (rate == 0) return needs;
    const double estimatedPeriodUs = (1e6 / rate - kSyncAndBackPorchUs) / (height + kFrontPorchLines);
    if (!(estimatedPeriodUs > 0)) return needs;
    const double lines = height + std::round(kSyncAndBackPorchUs / estimatedPeriodUs) + kFrontPorchLines;
    const double estimatedRate = 1e6 / (estimatedPeriodUs * lines);
    const double periodUs = estimatedPeriodUs * estimatedRate / rate;
    const double active = std::round(width / kCell) * kCell;
    const double duty = kC - kM * periodUs / 1000;
    const double blanking = std::round(active * duty / (100 - duty) / (2 * kCell)) * 2 * kCell;
    needs.horizontalKHz = 1000 / periodUs;
    needs.clockMHz = (active + blanking) / periodUs;
    return needs;
}

namespace {

// As the user sees a figure: to one decimal, in tenths.
double Tenths(double figure) { return std::round(figure * 10); }

}  // namespace

std::string FigureText(double figure) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", Tenths(figure) / 10 + 0.0);  // no "-0.0"
    return text;
}

ModeNeeds NeedsOfMode(const Edid* edid, std::uint32_t width, std::uint32_t height, std::uint32_t rate) {
    const EdidMode asked{width, height, rate, false};
    if (edid)
        for (const EdidDetailedTiming& t : edid->detailed)
            if (t.Mode() == asked) return {ModeNeeds::Source::Detailed, t.HorizontalKHz(), t.ClockMHz()};
    for (const DmtMode& d : kDmt)
        if (d.width == width && d.height == height && d.rate == rate)
            return {ModeNeeds::Source::Dmt, static_cast<double>(d.clockKHz) / d.hTotal, d.clockKHz / 1000.0};
    return GtfNeeds(width, height, rate);
}

ModeVerdict JudgeMode(const Edid* edid, std::uint32_t width, std::uint32_t height, std::uint32_t rate) {
    ModeVerdict verdict;
    verdict.needs = NeedsOfMode(edid, width, height, rate);
    if (!edid || !edid->range) return verdict;
    const EdidRangeLimits& r = *edid->range;
    using Limit = ModeVerdict::Limit;
    const double kHz = Tenths(verdict.needs.horizontalKHz), mHz = Tenths(verdict.needs.clockMHz);
    const struct {
        bool passed;
        Limit limit;
        std::uint32_t declared;
    } checks[] = {
        {rate < r.minVerticalHz, Limit::VerticalBelow, r.minVerticalHz},
        {rate > r.maxVerticalHz, Limit::VerticalAbove, r.maxVerticalHz},
        {kHz < 10.0 * r.minHorizontalKHz, Limit::HorizontalBelow, r.minHorizontalKHz},
        {kHz > 10.0 * r.maxHorizontalKHz, Limit::HorizontalAbove, r.maxHorizontalKHz},
        // 0: the monitor gives no highest clock.
        {r.maxClockMHz != 0 && mHz > 10.0 * r.maxClockMHz, Limit::ClockAbove, r.maxClockMHz},
    };
    verdict.kind = ModeVerdict::Kind::Inside;
    for (const auto& c : checks) {
        if (!c.passed) continue;
        verdict.kind = ModeVerdict::Kind::Outside;
        verdict.limit = c.limit;
        verdict.declared = c.declared;
        break;
    }
    return verdict;
}

}  // namespace kv
