// What Kelvane makes of a mode against the monitor's EDID: the figures it
// needs (the EDID's own, VESA's DMT list or GTF) and the declared limit it
// passes, on EDIDs made by tests/EdidBuilder.h.
#include "platform/ModeTiming.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "EdidBuilder.h"
#include "platform/Edid.h"

namespace kv {
namespace {

using test::EdidBuilder;

std::string Judged(const ModeVerdict& v) {
    static const char* const sources[] = {"detailed", "DMT", "GTF"};
    static const char* const kinds[] = {"inside", "outside", "unknown"};
    static const char* const limits[] = {
        "", " vertical below ", " vertical above ", " horizontal below ", " horizontal above ", " clock above "};
    std::string text = std::string(sources[int(v.needs.source)]) + " " + FigureText(v.needs.horizontalKHz) + " kHz " +
                       FigureText(v.needs.clockMHz) + " MHz " + kinds[int(v.kind)] + limits[int(v.limit)];
    if (v.limit != ModeVerdict::Limit::None) text += std::to_string(v.declared);
    return text;
}

TEST(ModeTiming, AModeIsJudgedByTheFiguresItNeedsAgainstTheFirstLimitItPasses) {
    const Edid crt = *ReadEdid(test::Crt19().Build()).edid;
    const Edid noRange = *ReadEdid(EdidBuilder().Detailed(test::kDmt1280x1024at85).Build()).edid;
    // A monitor for 1600x1200 at 85 Hz but for a slower clock; 1024x768 at
    // 85 Hz in its own figures, and at 87 Hz interlaced only.
    const Edid fast = *ReadEdid(EdidBuilder()
                                    .Range(50, 160, 30, 110, 20)
                                    .Detailed({1024, 768, 336, 32, 9250})
                                    .Detailed({1024, 384, 240, 24, 4490, 8, 176, 0, 4, true})
                                    .Build())
                           .edid;
    const Edid noClockLimit = *ReadEdid(EdidBuilder().Range(50, 160, 30, 110, 0xFF).Build()).edid;
    // Limits a DMT figure only shows equal to: 63.981 and 60.023 kHz.
    const Edid edgeLow = *ReadEdid(EdidBuilder().Range(50, 160, 64, 96, 0).Build()).edid;
    const Edid edgeHigh = *ReadEdid(EdidBuilder().Range(50, 160, 30, 60, 0).Build()).edid;
    struct Row {
        const Edid* edid;
        std::uint32_t width, height, rate;
        std::string judged;
    };
    const Row rows[] = {
        {&crt, 1024, 768, 85, "DMT 68.7 kHz 94.5 MHz inside"},
        {&crt, 1280, 1024, 85, "detailed 91.1 kHz 157.5 MHz inside"},
        {&crt, 1152, 864, 85, "GTF 77.1 kHz 119.7 MHz inside"},
        {&crt, 1600, 1200, 85, "DMT 106.3 kHz 229.5 MHz outside horizontal above 96"},
        {&crt, 1280, 1024, 100, "GTF 108.5 kHz 191.0 MHz outside horizontal above 96"},
        {&crt, 1024, 768, 43, "GTF 33.9 kHz 43.9 MHz outside vertical below 50"},
        {&crt, 640, 480, 170, "GTF 90.3 kHz 79.4 MHz outside vertical above 160"},
        {&crt, 640, 400, 50, "GTF 20.6 kHz 15.5 MHz outside horizontal below 30"},
        // Past two limits, the first in the order of ModeVerdict::Limit.
        {&crt, 1600, 1200, 170, "GTF 225.3 kHz 504.6 MHz outside vertical above 160"},
        {&crt, 1920, 1440, 75, "DMT 112.5 kHz 297.0 MHz outside horizontal above 96"},
        {&fast, 1600, 1200, 85, "DMT 106.3 kHz 229.5 MHz outside clock above 200"},
        {&fast, 1024, 768, 85, "detailed 68.0 kHz 92.5 MHz inside"},
        {&fast, 1024, 768, 87, "GTF 70.3 kHz 96.7 MHz inside"},
        {&noClockLimit, 1600, 1200, 85, "DMT 106.3 kHz 229.5 MHz inside"},
        {&edgeHigh, 1024, 768, 75, "DMT 60.0 kHz 78.8 MHz inside"},
        {&edgeLow, 1280, 1024, 60, "DMT 64.0 kHz 108.0 MHz inside"},
        {&noRange, 1280, 1024, 85, "detailed 91.1 kHz 157.5 MHz unknown"},
        {nullptr, 640, 480, 60, "DMT 31.5 kHz 25.2 MHz unknown"},
        {&crt, 1024, 768, 0, "GTF 0.0 kHz 0.0 MHz outside vertical below 50"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height) + "@" + std::to_string(row.rate));
        EXPECT_EQ(Judged(JudgeMode(row.edid, row.width, row.height, row.rate)), row.judged);
    }
    // GTF's own worked examples, 1024x768 at 85 Hz among them though DMT
    // has it; a width GTF rounds to whole cells of 8 pixels.
    for (const auto& [w, h, rate, kHz, mHz] :
         {std::tuple{1152u, 864u, 85u, "77.1", "119.7"}, std::tuple{1024u, 768u, 85u, "68.6", "94.4"},
          std::tuple{1600u, 1200u, 85u, "107.1", "234.8"}, std::tuple{1366u, 768u, 75u, "60.2", "110.2"}}) {
        const ModeNeeds n = GtfNeeds(w, h, rate);
        EXPECT_EQ(FigureText(n.horizontalKHz) + " " + FigureText(n.clockMHz), std::string(kHz) + " " + mHz) << w;
    }
}

}  // namespace
}  // namespace kv
