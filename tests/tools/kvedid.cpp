// Reads monitors' EDIDs with Kelvane's own reader and judges modes against
// them, so that tests/tools/edid_decode_test.sh can hold it against another
// decoder:
//
//   kvedid [--mode WxH@HZ]... FILE...
//
// A file holds the EDID's bytes, or them in hex text (as EdidHex writes it,
// or as edid-decode's own output begins). For each file:
//
//   file: <path>
//   name: <monitor name, or ->
//   version: 1.3
//   range: 50-160 Hz, 30-96 kHz, 230 MHz   (no ", N MHz" when it gives no clock;
//                                            "range: none" without range limits)
//   preferred: 1280x1024@85                (or: preferred: none)
//   mode 1024x768@85: inside (68.7 kHz, 94.5 MHz)
//
// or "error: <why>" after the file line; then a blank line. Exits 1 when a
// file is no EDID, 2 on bad arguments.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Edid.h"
#include "platform/ModeTiming.h"

namespace {

struct AskedMode {
    std::uint32_t width, height, rate;
};

bool ParseNumber(const std::string& text, std::size_t& at, char end, std::uint32_t& value) {
    const std::size_t start = at;
    value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && at - start < 6)
        value = value * 10 + static_cast<std::uint32_t>(text[at++] - '0');
    if (at == start || value == 0) return false;
    if (end == '\0') return at == text.size();
    return at < text.size() && text[at++] == end;
}

bool ParseMode(const std::string& text, AskedMode& mode) {
    std::size_t at = 0;
    return ParseNumber(text, at, 'x', mode.width) && ParseNumber(text, at, '@', mode.height) &&
           ParseNumber(text, at, '\0', mode.rate);
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Hex text: after edid-decode's "(hex):" where it has one, else only when
// the file starts as hex does. Pairs of digits up to the first other mark.
bool FromHexText(const std::string& text, kv::Bytes& bytes) {
    std::size_t at = 0;
    for (const char* marker : {"edid-decode (hex):", "EDID (hex):"}) {
        const std::size_t found = text.find(marker);
        if (found != std::string::npos) {
            at = found + std::strlen(marker);
            break;
        }
    }
    for (std::size_t i = at; i < text.size() && i < at + 32; ++i)
        if (!IsHexDigit(text[i]) && !std::isspace(static_cast<unsigned char>(text[i]))) return false;
    bytes.clear();
    while (at < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
            continue;
        }
        if (at + 1 >= text.size() || !IsHexDigit(text[at]) || !IsHexDigit(text[at + 1])) break;
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(at, 2), nullptr, 16)));
        at += 2;
    }
    return true;
}

const char* Why(kv::EdidProblem problem) {
    switch (problem) {
        case kv::EdidProblem::TooShort:
            return "fewer than the 128 bytes of an EDID";
        case kv::EdidProblem::NoHeader:
            return "no EDID header";
        case kv::EdidProblem::BadChecksum:
            return "the checksum of the base block is wrong";
        case kv::EdidProblem::BadVersion:
            return "not an EDID of version 1.0 to 1.4";
        case kv::EdidProblem::None:
            break;
    }
    return "";
}

const char* KindText(kv::ModeVerdict::Kind kind) {
    switch (kind) {
        case kv::ModeVerdict::Kind::Inside:
            return "inside";
        case kv::ModeVerdict::Kind::Outside:
            return "outside";
        case kv::ModeVerdict::Kind::Unknown:
            break;
    }
    return "unknown";
}

// Prints one file's lines; false when it is no EDID.
bool Describe(const std::string& path, const std::vector<AskedMode>& modes) {
    std::cout << "file: " << path << "\n";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cout << "error: cannot read the file\n\n";
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    kv::Bytes bytes(text.begin(), text.end());
    const bool binary = text.size() >= 8 && text.compare(0, 8, std::string("\0\xFF\xFF\xFF\xFF\xFF\xFF\0", 8)) == 0;
    if (!binary) FromHexText(text, bytes);

    const kv::EdidReading reading = kv::ReadEdid(bytes);
    if (!reading.edid) {
        std::cout << "error: " << Why(reading.problem) << "\n\n";
        return false;
    }
    const kv::Edid& e = *reading.edid;
    std::cout << "name: " << (e.name.empty() ? "-" : e.name) << "\n";
    std::cout << "version: " << kv::EdidVersionText(e) << "\n";
    if (e.range) {
        const kv::EdidRangeLimits& r = *e.range;
        std::cout << "range: " << r.minVerticalHz << "-" << r.maxVerticalHz << " Hz, " << r.minHorizontalKHz << "-"
                  << r.maxHorizontalKHz << " kHz";
        if (r.maxClockMHz) std::cout << ", " << r.maxClockMHz << " MHz";
        std::cout << "\n";
    } else {
        std::cout << "range: none\n";
    }
    if (e.preferred) {
        const kv::EdidMode m = e.preferred->Mode();
        std::cout << "preferred: " << m.width << "x" << m.height << (m.interlaced ? "i" : "") << "@" << m.rate << "\n";
    } else {
        std::cout << "preferred: none\n";
    }
    for (const AskedMode& m : modes) {
        const kv::ModeVerdict v = kv::JudgeMode(&e, m.width, m.height, m.rate);
        std::cout << "mode " << m.width << "x" << m.height << "@" << m.rate << ": " << KindText(v.kind) << " ("
                  << kv::FigureText(v.needs.horizontalKHz) << " kHz, " << kv::FigureText(v.needs.clockMHz) << " MHz)\n";
    }
    std::cout << "\n";
    return true;
}

int Usage() {
    std::cerr << "usage: kvedid [--mode WxH@HZ]... FILE...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<AskedMode> modes;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mode") {
            AskedMode m{};
            if (i + 1 >= argc || !ParseMode(argv[++i], m)) return Usage();
            modes.push_back(m);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return Usage();
    bool allRead = true;
    for (const std::string& file : files) allRead = Describe(file, modes) && allRead;
    return allRead ? 0 : 1;
}
