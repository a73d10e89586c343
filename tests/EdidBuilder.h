// Makes EDIDs for the tests, the fuzz corpus and the demo machine: a valid
// 128-byte base block of any version 1.0 to 1.4 from the fields a test
// cares about, its checksum fixed (or broken on purpose).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kv::test {

using Descriptor = std::array<std::uint8_t, 18>;

// A detailed timing: the mode, its blanking and sync, its pixel clock.
struct Timing {
    std::uint32_t width, height, hBlank, vBlank, clock10kHz;
    std::uint32_t hFront = 8, hSync = 32, vFront = 1, vSync = 3;
    bool interlaced = false;
    std::uint32_t widthMm = 360, heightMm = 270;
};

// VESA's 1280x1024 at 85 Hz: 1728x1072 in all, 157.5 MHz.
inline const Timing kDmt1280x1024at85{1280, 1024, 448, 48, 15750, 64, 160, 1, 3};

enum class Aspect : std::uint8_t { Wide16x10 = 0, Four3 = 1, Five4 = 2, Wide16x9 = 3 };

// Established timings, by their bit: bytes 35-37, bit 7 of byte 35 first.
enum Established : unsigned {
    k720x400at70 = 0,
    k640x480at60 = 2,
    k640x480at75 = 5,
    k800x600at60 = 7,
    k800x600at75 = 9,
    k1024x768iat87 = 11,
    k1024x768at60 = 12,
    k1024x768at75 = 14,
    k1280x1024at75 = 15,
    k1152x870at75 = 16,
};

struct EdidBuilder {
    std::uint8_t version = 1, revision = 3;
    std::string manufacturer = "TSY";
    std::uint16_t product = 0x1913;
    std::uint32_t serial = 1;
    std::uint8_t week = 12, yearSince1990 = 13;
    std::uint8_t videoInput = 0x0E;  // analog: separate, composite and green sync
    bool preferredFlag = true;       // feature byte 24, bit 1
    std::array<std::uint8_t, 3> established{};
    std::vector<std::uint8_t> standard;   // byte pairs, up to eight
    std::vector<Descriptor> descriptors;  // up to four; dummies fill the rest
    std::uint8_t extensionCount = 0;
    bool breakChecksum = false;
    bool fakeExtension = false;  // the base block again, as some monitors send it

    EdidBuilder& Version(std::uint8_t minor) {
        revision = minor;
        return *this;
    }
    EdidBuilder& Detailed(const Timing& t) {
        Descriptor d{};
        d[0] = t.clock10kHz & 0xFF;
        d[1] = t.clock10kHz >> 8 & 0xFF;
        d[2] = t.width & 0xFF;
        d[3] = t.hBlank & 0xFF;
        d[4] = static_cast<std::uint8_t>((t.width >> 8 & 0x0F) << 4 | (t.hBlank >> 8 & 0x0F));
        d[5] = t.height & 0xFF;
        d[6] = t.vBlank & 0xFF;
        d[7] = static_cast<std::uint8_t>((t.height >> 8 & 0x0F) << 4 | (t.vBlank >> 8 & 0x0F));
        d[8] = t.hFront & 0xFF;
        d[9] = t.hSync & 0xFF;
        d[10] = static_cast<std::uint8_t>((t.vFront & 0x0F) << 4 | (t.vSync & 0x0F));
        d[11] = static_cast<std::uint8_t>((t.hFront >> 8 & 3) << 6 | (t.hSync >> 8 & 3) << 4 |
                                          (t.vFront >> 4 & 3) << 2 | (t.vSync >> 4 & 3));
        d[12] = t.widthMm & 0xFF;
        d[13] = t.heightMm & 0xFF;
        d[14] = static_cast<std::uint8_t>((t.widthMm >> 8 & 0x0F) << 4 | (t.heightMm >> 8 & 0x0F));
        d[17] = static_cast<std::uint8_t>((t.interlaced ? 0x80 : 0) | 0x1E);  // separate sync, both positive
        descriptors.push_back(d);
        return *this;
    }
    // A text descriptor (FC name, FE text, FF serial): 13 bytes at most,
    // ended by 0x0A and padded with blanks.
    EdidBuilder& Text(std::uint8_t tag, const std::string& text) {
        Descriptor d = Display(tag);
        std::fill(d.begin() + 5, d.end(), ' ');
        std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 13), d.begin() + 5);
        if (text.size() < 13) d[5 + text.size()] = 0x0A;
        descriptors.push_back(d);
        return *this;
    }
    // The monitor's name, in as many name descriptors as it takes.
    EdidBuilder& Name(const std::string& name) {
        for (std::size_t at = 0; at < name.size(); at += 13) Text(0xFC, name.substr(at, 13));
        return *this;
    }
    // Rates as stored, the clock in 10 MHz units; `offsets` is 1.4's byte 4.
    EdidBuilder& Range(std::uint8_t minV, std::uint8_t maxV, std::uint8_t minH, std::uint8_t maxH,
                       std::uint8_t clock10MHz, std::uint8_t offsets = 0) {
        Descriptor d = Display(0xFD);
        d[4] = offsets;
        d[5] = minV;
        d[6] = maxV;
        d[7] = minH;
        d[8] = maxH;
        d[9] = clock10MHz;
        d[10] = 0x00;  // the default GTF curve
        d[11] = 0x0A;
        std::fill(d.begin() + 12, d.end(), ' ');
        descriptors.push_back(d);
        return *this;
    }
    EdidBuilder& Establish(std::initializer_list<unsigned> bits) {
        for (unsigned bit : bits) established[bit / 8] |= static_cast<std::uint8_t>(0x80 >> bit % 8);
        return *this;
    }
    static std::array<std::uint8_t, 2> StandardBytes(std::uint32_t width, Aspect aspect, std::uint32_t rate) {
        return {static_cast<std::uint8_t>(width / 8 - 31),
                static_cast<std::uint8_t>(static_cast<unsigned>(aspect) << 6 | ((rate - 60) & 0x3F))};
    }
    EdidBuilder& Standard(std::uint32_t width, Aspect aspect, std::uint32_t rate) {
        const auto b = StandardBytes(width, aspect, rate);
        standard.insert(standard.end(), b.begin(), b.end());
        return *this;
    }
    // An FA descriptor: six more standard timings, 01 01 where unused.
    EdidBuilder& MoreStandard(std::initializer_list<std::array<std::uint8_t, 2>> timings) {
        Descriptor d = Display(0xFA);
        std::fill(d.begin() + 5, d.end() - 1, 0x01);
        std::size_t at = 5;
        for (const auto& t : timings) {
            d[at++] = t[0];
            d[at++] = t[1];
        }
        d[17] = 0x0A;
        descriptors.push_back(d);
        return *this;
    }

    Bytes Build() const {
        Bytes b(128, 0);
        const std::uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
        std::copy(std::begin(header), std::end(header), b.begin());
        const unsigned id = static_cast<unsigned>(manufacturer[0] - '@') << 10 |
                            static_cast<unsigned>(manufacturer[1] - '@') << 5 |
                            static_cast<unsigned>(manufacturer[2] - '@');
        b[8] = id >> 8 & 0xFF;
        b[9] = id & 0xFF;
        b[10] = product & 0xFF;
        b[11] = product >> 8;
        for (int i = 0; i < 4; ++i) b[12 + i] = serial >> (8 * i) & 0xFF;
        b[16] = week;
        b[17] = yearSince1990;
        b[18] = version;
        b[19] = revision;
        b[20] = videoInput;
        b[21] = 36;                                                            // cm wide
        b[22] = 27;                                                            // cm high
        b[23] = 120;                                                           // gamma 2.2
        b[24] = static_cast<std::uint8_t>(0xED | (preferredFlag ? 0x02 : 0));  // power saving, RGB, sRGB, GTF
        const std::uint8_t colour[10] = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
        std::copy(std::begin(colour), std::end(colour), b.begin() + 25);
        std::copy(established.begin(), established.end(), b.begin() + 35);
        for (std::size_t i = 38; i < 54; ++i) b[i] = i - 38 < standard.size() ? standard[i - 38] : 0x01;
        for (std::size_t n = 0; n < 4; ++n) {
            const Descriptor d = n < descriptors.size() ? descriptors[n] : Display(0x10);
            std::copy(d.begin(), d.end(), b.begin() + 54 + 18 * n);
        }
        b[126] = extensionCount;
        unsigned sum = 0;
        for (std::size_t i = 0; i < 127; ++i) sum += b[i];
        b[127] = static_cast<std::uint8_t>((256 - sum % 256) % 256 + (breakChecksum ? 1 : 0));
        if (fakeExtension) b.insert(b.end(), b.begin(), b.begin() + 128);
        return b;
    }

private:
    static Descriptor Display(std::uint8_t tag) {
        Descriptor d{};
        d[3] = tag;
        return d;
    }
};

// The 19-inch CRT of the demo machine: an analog monitor for 30-96 kHz and
// 50-160 Hz up to 200 MHz, preferring 1280x1024 at 85 Hz.
inline EdidBuilder Crt19() {
    EdidBuilder e;
    e.Establish({k720x400at70, k640x480at60, k640x480at75, k800x600at60, k800x600at75, k1024x768at60, k1024x768at75,
                 k1280x1024at75})
        .Standard(1600, Aspect::Four3, 70)
        .Standard(1280, Aspect::Five4, 85)
        .Standard(1152, Aspect::Four3, 75)
        .Standard(1024, Aspect::Four3, 85)
        .Standard(800, Aspect::Four3, 85)
        .Standard(640, Aspect::Four3, 85)
        .Detailed(kDmt1280x1024at85)
        .Range(50, 160, 30, 96, 20)
        .Name("KELVANE CRT19")
        .Text(0xFF, "KV19-000001");
    return e;
}

}  // namespace kv::test
