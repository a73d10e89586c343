// The monitor's EDID as Kelvane reads it: EDIDs made by tests/EdidBuilder.h,
// odd ones as real monitors send them.
#include "platform/Edid.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "EdidBuilder.h"

namespace kv {
namespace {

using test::Aspect;
using test::EdidBuilder;
using test::Timing;

std::string ModeText(const EdidMode& m) {
    return std::to_string(m.width) + "x" + std::to_string(m.height) + (m.interlaced ? "i" : "") + "@" +
           std::to_string(m.rate);
}

// What a reading comes to, on one line.
std::string Summary(const EdidReading& r) {
    if (!r.edid) return "problem " + std::to_string(static_cast<int>(r.problem));
    const Edid& e = *r.edid;
    std::ostringstream s;
    s << EdidDisplayName(e) << " | " << EdidVersionText(e) << " | ";
    if (e.range)
        s << e.range->minVerticalHz << "-" << e.range->maxVerticalHz << " Hz " << e.range->minHorizontalKHz << "-"
          << e.range->maxHorizontalKHz << " kHz " << e.range->maxClockMHz << " MHz";
    else
        s << "no range";
    s << " | preferred " << (e.preferred ? ModeText(e.preferred->Mode()) : "none");
    for (const auto* list : {&e.established, &e.standard}) {
        s << " |";
        for (const EdidMode& m : *list) s << " " << ModeText(m);
    }
    s << " | " << e.detailed.size() << " detailed, ext " << int(e.extensionCount) << " of " << e.bytes.size()
      << " bytes";
    return s.str();
}

EdidBuilder Named(const std::string& name) {
    EdidBuilder b;
    b.Name(name);
    return b;
}

const Timing k640x350at70{640, 350, 160, 99, 2518};

TEST(Edid, ReadsWhatTheMonitorDeclaresAndJudgesOddEdidsAsTheStandardDoes) {
    const Bytes crt = test::Crt19().Build();
    auto with = [](EdidBuilder b, auto change) {
        change(b);
        return b.Build();
    };
    auto bytesWith = [](Bytes b, std::size_t at, std::uint8_t value) {
        b[127] = static_cast<std::uint8_t>(b[127] + b[at] - value);
        b[at] = value;
        return b;
    };
    struct Row {
        const char* what;
        Bytes bytes;
        std::string summary;
    };
    const Row rows[] = {
        {"the demo machine's CRT", crt,
         "KELVANE CRT19 | 1.3 | 50-160 Hz 30-96 kHz 200 MHz | preferred 1280x1024@85 | 720x400@70 640x480@60 "
         "640x480@75 800x600@60 800x600@75 1024x768@60 1024x768@75 1280x1024@75 | 1600x1200@70 1280x1024@85 "
         "1152x864@75 1024x768@85 800x600@85 640x480@85 | 1 detailed, ext 0 of 128 bytes"},
        {"1.0: no preferred mode without the feature bit; 00 is 1:1",
         with(test::Crt19(),
              [](EdidBuilder& b) {
                  b.Version(0).preferredFlag = false;
                  b.standard = {0x61, 0x00};
              }),
         "KELVANE CRT19 | 1.0 | 50-160 Hz 30-96 kHz 200 MHz | preferred none | 720x400@70 640x480@60 640x480@75 "
         "800x600@60 800x600@75 1024x768@60 1024x768@75 1280x1024@75 | 1024x1024@60 | 1 detailed, ext 0 of 128 bytes"},
        {"1.2 with the feature bit; the rest of the established timings",
         EdidBuilder().Version(2).Establish({test::k1024x768iat87, test::k1152x870at75}).Detailed(k640x350at70).Build(),
         "TSY 0x1913 | 1.2 | no range | preferred 640x350@70 | 1024x768i@87 1152x870@75 | | 1 detailed, ext 0 of 128 "
         "bytes"},
        {"1.3: 00 is 16:10; FA descriptors add standard timings",
         EdidBuilder().Standard(1280, Aspect::Wide16x10, 60).MoreStandard({{0xD1, 0xC0}, {0x81, 0x4F}}).Build(),
         "TSY 0x1913 | 1.3 | no range | preferred none | | 1280x800@60 1920x1080@60 1280x960@75 | 0 detailed, ext 0 of "
         "128 bytes"},
        {"1.4 with offsets: both vertical and the highest horizontal",
         EdidBuilder().Version(4).Detailed(test::kDmt1280x1024at85).Range(10, 20, 30, 40, 60, 0x0B).Build(),
         "TSY 0x1913 | 1.4 | 265-275 Hz 30-295 kHz 600 MHz | preferred 1280x1024@85 | | | 1 detailed, ext 0 of 128 "
         "bytes"},
        {"1.4 without the lowest offsets' partners: reserved, no offset",
         EdidBuilder().Version(4).Range(10, 20, 30, 40, 60, 0x05).Build(),
         "TSY 0x1913 | 1.4 | 10-20 Hz 30-40 kHz 600 MHz | preferred none | | | 0 detailed, ext 0 of 128 bytes"},
        {"1.3 ignores the offset byte", EdidBuilder().Range(10, 20, 30, 40, 60, 0x0F).Build(),
         "TSY 0x1913 | 1.3 | 10-20 Hz 30-40 kHz 600 MHz | preferred none | | | 0 detailed, ext 0 of 128 bytes"},
        {"1.4 means the first detailed timing even without the bit",
         with(EdidBuilder().Version(4).Detailed(k640x350at70), [](EdidBuilder& b) { b.preferredFlag = false; }),
         "TSY 0x1913 | 1.4 | no range | preferred 640x350@70 | | | 1 detailed, ext 0 of 128 bytes"},
        {"a clock byte of FF is 2550 MHz as declared", EdidBuilder().Range(50, 160, 30, 96, 0xFF).Build(),
         "TSY 0x1913 | 1.3 | 50-160 Hz 30-96 kHz 2550 MHz | preferred none | | | 0 detailed, ext 0 of 128 bytes"},
        {"640x350 first, not marked preferred",
         with(EdidBuilder().Detailed(k640x350at70).Detailed(test::kDmt1280x1024at85),
              [](EdidBuilder& b) { b.preferredFlag = false; }),
         "TSY 0x1913 | 1.3 | no range | preferred none | | | 2 detailed, ext 0 of 128 bytes"},
        {"a timing below 10 MHz is none",
         EdidBuilder().Detailed({640, 480, 160, 45, 999}).Detailed(test::kDmt1280x1024at85).Build(),
         "TSY 0x1913 | 1.3 | no range | preferred none | | | 1 detailed, ext 0 of 128 bytes"},
        {"a detailed timing after a descriptor is never preferred",
         EdidBuilder().Name("X").Detailed(test::kDmt1280x1024at85).Build(),
         "X | 1.3 | no range | preferred none | | | 1 detailed, ext 0 of 128 bytes"},
        {"a name in two descriptors runs on", Named("KELVANE SUPERWIDE 19").Build(),
         "KELVANE SUPERWIDE 19 | 1.3 | no range | preferred none | | | 0 detailed, ext 0 of 128 bytes"},
        {"a short first piece is a word of its own", Named("KELVANE").Name("WIDE").Build(),
         "KELVANE WIDE | 1.3 | no range | preferred none | | | 0 detailed, ext 0 of 128 bytes"},
        {"the name is trimmed; unprintable bytes show as ?",
         Named("  A\x01"
               "B\x80  ")
             .Build(),
         "A?B? | 1.3 | no range | preferred none | | | 0 detailed, ext 0 of 128 bytes"},
        {"the base block again though byte 126 says none",
         with(test::Crt19(), [](EdidBuilder& b) { b.fakeExtension = true; }),
         "KELVANE CRT19 | 1.3 | 50-160 Hz 30-96 kHz 200 MHz | preferred 1280x1024@85 | 720x400@70 640x480@60 "
         "640x480@75 800x600@60 800x600@75 1024x768@60 1024x768@75 1280x1024@75 | 1600x1200@70 1280x1024@85 "
         "1152x864@75 1024x768@85 800x600@85 640x480@85 | 1 detailed, ext 0 of 256 bytes"},
        {"no name: the manufacturer and product", bytesWith(EdidBuilder().Build(), 9, 0x60),
         "TS? 0x1913 | 1.3 | no range"},
        {"truncated", Bytes(crt.begin(), crt.end() - 1), "problem 1"},
        {"no header", bytesWith(crt, 0, 0x01), "problem 2"},
        {"bad checksum", with(test::Crt19(), [](EdidBuilder& b) { b.breakChecksum = true; }), "problem 3"},
        {"version 2", bytesWith(crt, 18, 2), "problem 4"},
        {"version 1.5", bytesWith(crt, 19, 5), "problem 4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const EdidReading r = ReadEdid(row.bytes);
        EXPECT_EQ(r.edid.has_value(), r.problem == EdidProblem::None);
        const std::string summary = Summary(r);
        EXPECT_EQ(summary.substr(0, row.summary.size()), row.summary);
    }
}

// The demo machine ships the CRT's EDID, and the fuzz target starts from
// these; KELVANE_WRITE_EDID_FILES=1 writes them again after a change.
TEST(Edid, TheCommittedEdidFilesAreTheBuildersOwn) {
    auto with = [](EdidBuilder b, auto change) {
        change(b);
        return b.Build();
    };
    const std::pair<const char*, Bytes> files[] = {
        {"tests/data/edid/crt19.bin", test::Crt19().Build()},
        {"tests/fuzz/corpus/edid/crt19.bin", test::Crt19().Build()},
        {"tests/fuzz/corpus/edid/offsets14.bin", EdidBuilder()
                                                     .Version(4)
                                                     .Detailed(test::kDmt1280x1024at85)
                                                     .Range(10, 20, 30, 40, 60, 0x0B)
                                                     .Name("OFFSETS")
                                                     .Build()},
        {"tests/fuzz/corpus/edid/norange.bin", EdidBuilder().Detailed(k640x350at70).Name("NO RANGE").Build()},
        {"tests/fuzz/corpus/edid/clockff.bin",
         EdidBuilder().Detailed(test::kDmt1280x1024at85).Range(50, 160, 30, 96, 0xFF).Name("CLOCK FF").Build()},
        {"tests/fuzz/corpus/edid/fakeext.bin", with(test::Crt19(), [](EdidBuilder& b) { b.fakeExtension = true; })},
        {"tests/fuzz/corpus/edid/old350.bin", with(EdidBuilder()
                                                       .Version(1)
                                                       .Detailed(k640x350at70)
                                                       .Detailed(test::kDmt1280x1024at85)
                                                       .Name("KELVANE SUPERWIDE 19"),
                                                   [](EdidBuilder& b) { b.preferredFlag = false; })},
    };
    const bool write = std::getenv("KELVANE_WRITE_EDID_FILES") != nullptr;
    for (const auto& [name, bytes] : files) {
        const std::string path = std::string(KELVANE_SOURCE_DIR) + "/" + name;
        if (write)
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), bytes) << name;
    }
}

}  // namespace
}  // namespace kv
