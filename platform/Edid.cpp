#include "platform/Edid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kv {

namespace {

constexpr std::size_t kBlockSize = 128;
constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::size_t kDescriptorAt[4] = {54, 72, 90, 108};
constexpr std::size_t kDescriptorSize = 18;

// Display descriptor tags (byte 3 of a descriptor whose first two bytes are 0).
constexpr std::uint8_t kTagName = 0xFC;
constexpr std::uint8_t kTagRangeLimits = 0xFD;
constexpr std::uint8_t kTagStandardTimings = 0xFA;

// Bytes 35-37, bit 7 of byte 35 first; the last is byte 37's bit 7. The
// other bits of byte 37 are the manufacturer's own and name no mode.
constexpr EdidMode kEstablished[17] = {
    {720, 400, 70},  {720, 400, 88},  {640, 480, 60},  {640, 480, 67},   {640, 480, 72},  {640, 480, 75},
    {800, 600, 56},  {800, 600, 60},  {800, 600, 72},  {800, 600, 75},   {832, 624, 75},  {1024, 768, 87, true},
    {1024, 768, 60}, {1024, 768, 70}, {1024, 768, 75}, {1280, 1024, 75}, {1152, 870, 75},
};

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

char ManufacturerLetter(unsigned code) { return code >= 1 && code <= 26 ? static_cast<char>('A' + code - 1) : '?'; }

// A standard timing's two bytes; nothing for an unused slot: 01 01, or a
// first byte of 0, which some older monitors leave there (it would be 248
// pixels wide).
std::optional<EdidMode> StandardTiming(std::uint8_t b1, std::uint8_t b2, std::uint8_t revision) {
    if ((b1 == 0x01 && b2 == 0x01) || b1 == 0x00) return std::nullopt;
    EdidMode m;
    m.width = (b1 + 31u) * 8u;
    switch (b2 >> 6) {
        case 0:  // 16:10 from 1.3 on; before, 1:1
            m.height = revision >= 3 ? m.width * 10 / 16 : m.width;
            break;
        case 1:
            m.height = m.width * 3 / 4;
            break;
        case 2:
            m.height = m.width * 4 / 5;
            break;
        default:
            m.height = m.width * 9 / 16;
            break;
    }
    m.rate = (b2 & 0x3Fu) + 60u;
    return m;
}

EdidDetailedTiming DetailedTiming(const std::uint8_t* d) {
    EdidDetailedTiming t;
    t.clock10kHz = Le16(d);
    t.width = d[2] | (d[4] >> 4) << 8;
    t.hBlank = d[3] | (d[4] & 0x0Fu) << 8;
    t.height = d[5] | (d[7] >> 4) << 8;
    t.vBlank = d[6] | (d[7] & 0x0Fu) << 8;
    t.interlaced = (d[17] & 0x80) != 0;
    return t;
}

// EDID 1.4 lets byte 4 add 255 to a rate: bit 1 to the highest vertical
// rate and, with it, bit 0 to the lowest; bit 3 to the highest horizontal
// rate and, with it, bit 2 to the lowest. A lowest offset without the
// highest one is reserved and adds nothing; before 1.4 the byte is 0.
EdidRangeLimits RangeLimits(const std::uint8_t* d, std::uint8_t revision) {
    const std::uint8_t offsets = revision >= 4 ? d[4] : 0;
    const unsigned maxV = offsets & 0x02 ? 255 : 0;
    const unsigned minV = (offsets & 0x03) == 0x03 ? 255 : 0;
    const unsigned maxH = offsets & 0x08 ? 255 : 0;
    const unsigned minH = (offsets & 0x0C) == 0x0C ? 255 : 0;
    EdidRangeLimits r;
    r.minVerticalHz = d[5] + minV;
    r.maxVerticalHz = d[6] + maxV;
    r.minHorizontalKHz = d[7] + minH;
    r.maxHorizontalKHz = d[8] + maxH;
    // Byte 9 is taken as declared, 0xFF too: some monitors put 0xFF there
    // meaning "no limit", and 2550 MHz is what it says and what other
    // decoders show. A limit that high never binds, so such a monitor's
    // modes are judged by its rates alone.
    r.maxClockMHz = d[9] * 10u;
    r.formula = d[10];
    return r;
}

// A text descriptor's text: up to 13 bytes, ended by 0x0A (some monitors
// end it with 0x00 or 0xFF instead); bytes that are not printable ASCII
// show as '?'. `full` when the text fills all 13 bytes and so may go on in
// the next descriptor.
std::string DescriptorText(const std::uint8_t* d, bool& full) {
    std::string text;
    full = true;
    for (std::size_t i = 5; i < kDescriptorSize; ++i) {
        const std::uint8_t c = d[i];
        if (c == 0x0A || c == 0x00 || c == 0xFF) {
            full = false;
            break;
        }
        text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return text;
}

std::string Trimmed(const std::string& s) {
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// A monitor whose name is longer than one descriptor holds goes on in the
// next name descriptor: a full first piece runs straight on, a shorter one
// is a word of its own.
void AddNamePiece(Edid& e, const std::string& piece, bool lastFull) {
    if (Trimmed(piece).empty()) return;
    if (!e.name.empty() && !lastFull) e.name = Trimmed(e.name) + ' ';
    e.name += piece;
}

// True when the first descriptor is a detailed timing. One whose clock is
// below 10 MHz (slower than any mode a PC monitor shows; what is there is
// usually a display descriptor with something in its first bytes) or that
// has no pixels across is no timing at all, as edid-decode takes it too.
bool ReadDescriptors(const std::uint8_t* block, Edid& e) {
    bool lastFull = false, firstIsTiming = false;
    for (std::size_t n = 0; n < 4; ++n) {
        const std::uint8_t* d = block + kDescriptorAt[n];
        if (d[0] != 0 || d[1] != 0) {
            const EdidDetailedTiming t = DetailedTiming(d);
            if (t.clock10kHz < 1000 || t.width == 0) continue;
            e.detailed.push_back(t);
            firstIsTiming = firstIsTiming || n == 0;
            continue;
        }
        switch (d[3]) {
            case kTagName: {
                bool full = false;
                AddNamePiece(e, DescriptorText(d, full), lastFull);
                lastFull = full;
                break;
            }
            case kTagRangeLimits:
                if (!e.range) e.range = RangeLimits(d, e.revision);
                break;
            case kTagStandardTimings:
                for (std::size_t i = 5; i + 1 < 17; i += 2)
                    if (auto m = StandardTiming(d[i], d[i + 1], e.revision)) e.standard.push_back(*m);
                break;
            default:
                break;
        }
    }
    e.name = Trimmed(e.name);
    return firstIsTiming;
}

}  // namespace

double EdidDetailedTiming::HorizontalKHz() const {
    if (HTotal() == 0) return 0;
    return clock10kHz * 10.0 / HTotal();
}

// An interlaced timing gives the lines of one field; each field has half a
// line more than they add up to.
double EdidDetailedTiming::VerticalHz() const {
    if (HTotal() == 0 || VTotal() == 0) return 0;
    const double lines = interlaced ? VTotal() + 0.5 : VTotal();
    return clock10kHz * 10000.0 / (HTotal() * lines);
}

EdidMode EdidDetailedTiming::Mode() const {
    return {width, interlaced ? height * 2 : height, static_cast<std::uint32_t>(std::lround(VerticalHz())), interlaced};
}

EdidReading ReadEdid(const Bytes& bytes) {
    EdidReading reading;
    if (bytes.size() < kBlockSize) {
        reading.problem = EdidProblem::TooShort;
        return reading;
    }
    const std::uint8_t* b = bytes.data();
    if (!std::equal(std::begin(kHeader), std::end(kHeader), b)) {
        reading.problem = EdidProblem::NoHeader;
        return reading;
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBlockSize; ++i) sum += b[i];
    if (sum % 256 != 0) {
        reading.problem = EdidProblem::BadChecksum;
        return reading;
    }
    if (b[18] != 1 || b[19] > 4) {
        reading.problem = EdidProblem::BadVersion;
        return reading;
    }

    Edid e;
    e.version = b[18];
    e.revision = b[19];
    const unsigned id = static_cast<unsigned>(b[8] << 8 | b[9]);
    e.manufacturer = {ManufacturerLetter(id >> 10 & 0x1F), ManufacturerLetter(id >> 5 & 0x1F),
                      ManufacturerLetter(id & 0x1F)};
    e.productCode = Le16(b + 10);
    e.serialNumber = static_cast<std::uint32_t>(b[12]) | static_cast<std::uint32_t>(b[13]) << 8 |
                     static_cast<std::uint32_t>(b[14]) << 16 | static_cast<std::uint32_t>(b[15]) << 24;
    e.week = b[16];
    e.year = static_cast<std::uint16_t>(1990 + b[17]);
    e.digital = (b[20] & 0x80) != 0;

    for (std::size_t bit = 0; bit < 17; ++bit)
        if (b[35 + bit / 8] & (0x80 >> bit % 8)) e.established.push_back(kEstablished[bit]);
    for (std::size_t i = 38; i < 54; i += 2)
        if (auto m = StandardTiming(b[i], b[i + 1], e.revision)) e.standard.push_back(*m);

    // Only the first descriptor can be the preferred mode. Before 1.4 the
    // feature bit says whether it is; a 1.4 EDID always means it so (the
    // bit then says whether it is also the native format).
    if (ReadDescriptors(b, e) && ((b[24] & 0x02) || e.revision >= 4)) e.preferred = e.detailed.front();

    e.extensionCount = b[126];
    e.bytes = bytes;
    reading.edid = std::move(e);
    return reading;
}

std::string EdidVersionText(const Edid& edid) {
    return std::to_string(edid.version) + "." + std::to_string(edid.revision);
}

std::string EdidDisplayName(const Edid& edid) {
    if (!edid.name.empty()) return edid.name;
    char code[8];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(edid.productCode));
    return edid.manufacturer + " " + code;
}

std::string EdidHex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) hex += i % 16 == 0 ? '\n' : ' ';
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0x0F];
    }
    return hex;
}

}  // namespace kv
