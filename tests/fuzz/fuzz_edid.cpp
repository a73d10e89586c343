// A monitor's EDID: any bytes the registry may hold. The reading must say
// exactly one of an EDID or why not, keep every byte, and give a name no
// longer than the name descriptors hold; modes, the EDID's own among them,
// are judged with a limit named exactly when they are outside, and a mode
// the EDID lists in detail is judged by the EDID's own figures.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzMachine.h"
#include "platform/Edid.h"
#include "platform/ModeTiming.h"

using namespace kv;

namespace {

void CheckVerdict(const Edid& e, const EdidMode& mode) {
    const ModeVerdict v = JudgeMode(&e, mode.width, mode.height, mode.rate);
    const bool outside = v.kind == ModeVerdict::Kind::Outside;
    if (outside != (v.limit != ModeVerdict::Limit::None))
        fuzz::Fault("a limit named unless outside, or none when outside");
    if ((v.kind == ModeVerdict::Kind::Unknown) != !e.range) fuzz::Fault("unknown though the EDID has range limits");
    if (std::isnan(v.needs.horizontalKHz) || std::isnan(v.needs.clockMHz))
        fuzz::Fault("a mode's needs are not numbers");
    if (FigureText(v.needs.horizontalKHz).empty()) fuzz::Fault("a figure shows as nothing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, data + size);
    const EdidReading reading = ReadEdid(bytes);
    if (reading.edid.has_value() != (reading.problem == EdidProblem::None))
        fuzz::Fault("an EDID exactly when there is no problem");
    if (!reading.edid) return 0;
    const Edid& e = *reading.edid;
    if (e.bytes != bytes) fuzz::Fault("the EDID does not keep the bytes read");
    // Four descriptors of 13 characters and the blanks between them.
    if (e.name.size() > 4 * 13 + 3) fuzz::Fault("a name longer than the descriptors hold");
    if (e.detailed.size() > 4 || e.established.size() > 17 || e.standard.size() > 8 + 4 * 6)
        fuzz::Fault("more modes than the base block holds");
    if (e.preferred && (e.detailed.empty() || !(e.detailed.front().Mode() == e.preferred->Mode())))
        fuzz::Fault("a preferred mode that is not the first detailed timing");
    if (EdidDisplayName(e).empty() || EdidVersionText(e).size() != 3) fuzz::Fault("no name or version to show");
    if (EdidHex(e.bytes).size() != 3 * size - 1) fuzz::Fault("the hex dump does not show every byte");

    std::vector<EdidMode> modes = {{640, 480, 60}, {1024, 768, 85}, {1280, 1024, 100}, {1600, 1200, 85}};
    modes.insert(modes.end(), e.established.begin(), e.established.end());
    modes.insert(modes.end(), e.standard.begin(), e.standard.end());
    for (const EdidDetailedTiming& t : e.detailed) {
        const EdidMode m = t.Mode();
        if (t.interlaced) continue;
        modes.push_back(m);
        if (NeedsOfMode(&e, m.width, m.height, m.rate).source != ModeNeeds::Source::Detailed)
            fuzz::Fault("a mode the EDID lists in detail is not judged by its figures");
    }
    for (const EdidMode& m : modes) CheckVerdict(e, m);
    return 0;
}
