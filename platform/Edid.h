// What a monitor tells the system about itself: its EDID, the 128-byte
// blocks Windows keeps in the registry for each monitor it has seen. Read
// from bytes only; nothing here asks the system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kv {

// Why bytes are no EDID Kelvane can use; the window names the reason in the
// user's language.
enum class EdidProblem {
    None,
    TooShort,     // fewer than the 128 bytes of the base block
    NoHeader,     // the first eight bytes are not 00 FF FF FF FF FF FF 00
    BadChecksum,  // the base block's 128 bytes do not add up to 0 modulo 256
    BadVersion,   // a version other than 1.0 to 1.4
};

// A mode the EDID names: width, height and vertical rate in whole Hz.
struct EdidMode {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t rate = 0;
    bool interlaced = false;
    bool operator==(const EdidMode&) const = default;
};

// A detailed timing descriptor: the mode with its exact totals and clock.
struct EdidDetailedTiming {
    std::uint32_t width = 0, height = 0;
    std::uint32_t hBlank = 0, vBlank = 0;
    std::uint32_t clock10kHz = 0;  // pixel clock in units of 10 kHz
    bool interlaced = false;
    std::uint32_t HTotal() const { return width + hBlank; }
    std::uint32_t VTotal() const { return height + vBlank; }
    double ClockMHz() const { return clock10kHz / 100.0; }
    double HorizontalKHz() const;  // 0 when the totals are 0
    double VerticalHz() const;     // 0 when the totals are 0
    // The mode it shows, the rate rounded to whole Hz.
    EdidMode Mode() const;
};

// The range-limits descriptor (tag FD), EDID 1.4's offsets applied.
struct EdidRangeLimits {
    std::uint32_t minVerticalHz = 0, maxVerticalHz = 0;
    std::uint32_t minHorizontalKHz = 0, maxHorizontalKHz = 0;
    std::uint32_t maxClockMHz = 0;  // as declared (byte 9 times 10, so 2550 for 0xFF); 0 when not given
    std::uint8_t formula = 0;       // 0 default GTF, 1 range limits only, 2 secondary GTF, 4 CVT
};

struct Edid {
    std::uint8_t version = 0, revision = 0;
    std::string manufacturer;  // three letters, such as "SNY"
    std::uint16_t productCode = 0;
    std::uint32_t serialNumber = 0;
    std::uint8_t week = 0;     // 0 not given; 255 the year is the model year (1.4)
    std::uint16_t year = 0;    // 1990 plus byte 17
    bool digital = false;
    std::string name;          // the monitor name descriptors' text, trimmed; "" none
    std::optional<EdidRangeLimits> range;
    std::vector<EdidMode> established;
    std::vector<EdidMode> standard;  // the eight standard timings and those of FA descriptors
    // Those below 10 MHz or without pixels across are no timings.
    std::vector<EdidDetailedTiming> detailed;
    // The first descriptor when it is a detailed timing, only where the
    // EDID marks it preferred (feature bit 1, which 1.3 requires set; a 1.4
    // EDID always means it so).
    std::optional<EdidDetailedTiming> preferred;
    std::uint8_t extensionCount = 0;  // byte 126 as stored
    Bytes bytes;                      // every byte read, extension blocks included
};

struct EdidReading {
    std::optional<Edid> edid;  // set exactly when problem is None
    EdidProblem problem = EdidProblem::None;
};

// Reads any bytes without failing: a block whose checksum is wrong is not
// used. Extension blocks are kept in `bytes` but not read.
EdidReading ReadEdid(const Bytes& bytes);

// "1.3"
std::string EdidVersionText(const Edid& edid);

// "SONY CPD-G420" when the EDID names the monitor, else the manufacturer's
// ID and product code ("SNY 0x0190").
std::string EdidDisplayName(const Edid& edid);

// The bytes in hex, 16 to a line, upper case, separated by blanks; no line
// break after the last.
std::string EdidHex(const Bytes& bytes);

}  // namespace kv
