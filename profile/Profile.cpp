#include "profile/Profile.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "lang/Lang.h"
#include "modes/ModeRecords.h"
#include "platform/DriverValues.h"
#include "platform/Text.h"

namespace kv {

namespace {

constexpr const char* kMainSection = "Kelvane Profile";
constexpr const char* kMadeOnSection = "Made On";
constexpr const char* kRatesSection = "Rates";
constexpr const char* kDepthsSection = "Colour Depths";
constexpr const char* kOptionsSection = "Options";
constexpr const char* kCustomSection = "Custom Resolutions";
constexpr const char* kNoRate = "none";
constexpr const char* kDegreeOff = "off";

std::string Trim(const std::string& s) {
    std::size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A whole number of at most `digits` digits, no sign.
std::optional<unsigned long> Number(const std::string& s, std::size_t digits = 5) {
    if (s.empty() || s.size() > digits || !std::all_of(s.begin(), s.end(), [](unsigned char c) {
            return std::isdigit(c) != 0;
        }))
        return std::nullopt;
    return std::stoul(s);
}

// The parts of "WxH[xD][@R]", split at the "x"s and the "@".
bool SplitMode(const std::string& text, std::vector<std::string>& sizes, std::string& rate) {
    std::string s = Lower(text);
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    std::size_t at = s.find('@');
    rate = at == std::string::npos ? "" : s.substr(at + 1);
    if (at != std::string::npos && rate.empty()) return false;
    s = s.substr(0, at);
    sizes.clear();
    std::size_t start = 0;
    for (std::size_t x; (x = s.find('x', start)) != std::string::npos; start = x + 1) sizes.push_back(s.substr(start, x - start));
    sizes.push_back(s.substr(start));
    return true;
}

// Text as UTF-8: a UTF-16 file (Notepad's "Unicode") is converted, a UTF-8
// byte order mark dropped.
std::optional<std::string> AsUtf8(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) return std::nullopt;
        std::u16string wide;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 static_cast<unsigned char>(bytes[i + 1]) << 8));
        return Utf16ToUtf8(wide);
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
    return bytes;
}

class Reader {
public:
    ProfileReading Read(const std::string& text) {
        std::size_t start = 0;
        while (start <= text.size() && !failed_) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            ++lineNumber_;
            Line(Trim(line));
            start = end + 1;
        }
        if (failed_) return {std::nullopt, problem_};
        if (!version_) return {std::nullopt, LangText(kMsgProfileNotKelvane)};
        return {profile_, ""};
    }

private:
    void Line(const std::string& line) {
        if (line.empty() || line[0] == ';') return;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            if (close == std::string::npos) return Fail(line, kWhyProfileNotIni);
            section_ = Lower(Trim(line.substr(1, close - 1)));
            // A section given empty sets an empty list.
            if (section_ == Lower(kRatesSection) && !profile_.rates) profile_.rates.emplace();
            if (section_ == Lower(kCustomSection) && !profile_.custom) profile_.custom.emplace();
            return;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) return Fail(line, kWhyProfileNotIni);
        if (section_.empty()) return Fail(line, kWhyProfileOutsideSection);
        std::string name = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        // Windows takes a value's enclosing quotes off.
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (!seen_.insert(section_ + "\n" + Lower(name)).second) return Fail(line, kWhyProfileTwice);
        Entry(line, name, value);
    }

    void Entry(const std::string& line, const std::string& name, const std::string& value) {
        std::string key = Lower(name);
        if (section_ == Lower(kMainSection)) {
            if (key == "version") {
                std::optional<unsigned long> v = Number(value);
                if (!v || *v == 0) return Fail(line, kWhyProfileNoVersion);
                if (*v > static_cast<unsigned long>(kProfileVersion)) {
                    failed_ = true;
                    problem_ = LangText(kMsgProfileNewer, {value});
                    return;
                }
                version_ = true;
            } else if (key == "program") {
                profile_.program = value;
            } else if (key == "made") {
                profile_.made = value;
            }
        } else if (section_ == Lower(kMadeOnSection)) {
            if (key == "adapter") profile_.adapter = value;
            if (key == "adapterid") profile_.adapterId = value;
            if (key == "monitor") profile_.monitor = value;
            if (key == "monitorid") profile_.monitorId = value;
        } else if (section_ == Lower(kRatesSection)) {
            Rate(line, name, value);
        } else if (section_ == Lower(kDepthsSection)) {
            Depth(line, name, value);
        } else if (section_ == Lower(kOptionsSection)) {
            Option(line, name, value);
        } else if (section_ == Lower(kCustomSection)) {
            std::optional<NonStdEntry> entry = ParseCustomResolution(value);
            if (!entry) return Fail(line, kWhyProfileNoCustom);
            profile_.custom->push_back(*entry);
        }
        // Sections of its own a reader may add are left to the reader.
    }

    void Rate(const std::string& line, const std::string& name, const std::string& value) {
        std::optional<std::pair<std::uint16_t, std::uint16_t>> size = ParseResolution(name);
        if (!size) return Fail(line, kWhyProfileNoResolution);
        std::optional<unsigned long> rate = Number(value, 3);
        bool none = Lower(value) == kNoRate;
        if (!none && (!rate || *rate == 0 || *rate >= kAllRatesRestricted)) return Fail(line, kWhyProfileNoRate);
        profile_.rates->push_back(
            {size->first, size->second, none ? kAllRatesRestricted : static_cast<std::uint8_t>(*rate)});
    }

    void Depth(const std::string& line, const std::string& name, const std::string& value) {
        std::optional<unsigned long> depth = Number(name, 2);
        auto known = std::find(std::begin(kProfileDepths), std::end(kProfileDepths), depth.value_or(0));
        if (known == std::end(kProfileDepths)) return Fail(line, kWhyProfileNoDepth);
        if (value != "1" && value != "0") return Fail(line, kWhyProfileNoAllowed);
        profile_.depths[static_cast<std::size_t>(known - std::begin(kProfileDepths))] = value == "1";
    }

    void Option(const std::string& line, const std::string& name, const std::string& value) {
        if (SameNoCase(name, kAnisoDegreeValue)) {
            if (Lower(value) != kDegreeOff && !Number(value)) return Fail(line, kWhyProfileNoDegree);
            profile_.anisoDegree = Lower(value) == kDegreeOff ? std::string(kDegreeOff) : value;
            return;
        }
        std::string setting = Lower(value);
        if (setting == "1")
            profile_.options.push_back({name, OptionSetting::One});
        else if (setting == "0")
            profile_.options.push_back({name, OptionSetting::Zero});
        else if (setting == "default")
            profile_.options.push_back({name, OptionSetting::Default});
        else
            Fail(line, kWhyProfileNoSetting);
    }

    void Fail(const std::string& line, LangEntry why) {
        failed_ = true;
        std::string shown = line.size() > 60 ? line.substr(0, 57) + "..." : line;
        problem_ = LangText(kMsgProfileLine, {std::to_string(lineNumber_), shown, LangText(why)});
    }

    Profile profile_;
    std::string section_;
    std::set<std::string> seen_;
    int lineNumber_ = 0;
    bool version_ = false;
    bool failed_ = false;
    std::string problem_;
};

// Info lines stay on one line and in plain ASCII, which every Notepad and
// Windows' own INI functions read alike.
std::string Plain(const std::string& s) {
    std::string out;
    for (unsigned char c : s) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseResolution(const std::string& text) {
    std::vector<std::string> sizes;
    std::string rate;
    if (!SplitMode(text, sizes, rate) || !rate.empty() || sizes.size() != 2) return std::nullopt;
    std::optional<unsigned long> w = Number(sizes[0]), h = Number(sizes[1]);
    if (!w || !h || *w == 0 || *h == 0 || *w > 65535 || *h > 65535) return std::nullopt;
    return std::pair{static_cast<std::uint16_t>(*w), static_cast<std::uint16_t>(*h)};
}

std::optional<NonStdEntry> ParseCustomResolution(const std::string& text) {
    std::vector<std::string> sizes;
    std::string rateText;
    if (!SplitMode(text, sizes, rateText) || sizes.size() < 2 || sizes.size() > 3) return std::nullopt;
    std::optional<unsigned long> w = Number(sizes[0], 4), h = Number(sizes[1], 4);
    std::optional<unsigned long> depth = sizes.size() == 3 ? Number(sizes[2], 3) : 0UL;
    std::optional<unsigned long> rate = rateText.empty() ? 0UL : Number(rateText, 3);
    if (!w || !h || !depth || !rate || *w == 0 || *h == 0) return std::nullopt;
    if ((sizes.size() == 3 && *depth == 0) || (!rateText.empty() && *rate == 0)) return std::nullopt;
    if (*depth > kMaxNonStdDepthOrRate || *rate > kMaxNonStdDepthOrRate) return std::nullopt;
    return NonStdEntry{static_cast<std::uint16_t>(*w), static_cast<std::uint16_t>(*h),
                       static_cast<std::uint8_t>(*rate), static_cast<std::uint8_t>(*depth)};
}

std::string CustomResolutionText(const NonStdEntry& e) {
    std::string text = std::to_string(e.width) + "x" + std::to_string(e.height);
    if (e.depth != 0) text += "x" + std::to_string(e.depth);
    if (e.refresh != 0) text += "@" + std::to_string(e.refresh);
    return text;
}

std::string OptionSettingText(OptionSetting setting) {
    switch (setting) {
        case OptionSetting::One: return "1";
        case OptionSetting::Zero: return "0";
        case OptionSetting::Default: break;
    }
    return "default";
}

ProfileReading ReadProfile(const std::string& bytes) {
    if (bytes.size() > kMaxProfileBytes)
        return {std::nullopt, LangText(kMsgProfileTooLarge, {std::to_string(kMaxProfileBytes / 1024)})};
    std::optional<std::string> text = AsUtf8(bytes);
    if (!text || text->find('\0') != std::string::npos) return {std::nullopt, LangText(kMsgProfileNotText)};
    return Reader().Read(*text);
}

std::string ProfileText(const Profile& p) {
    std::string t;
    auto line = [&t](const std::string& s) { t += s + "\r\n"; };
    line("; A Kelvane profile: the lowest refresh rate of each resolution, the colour");
    line("; depths, the driver's options and the custom resolutions of one machine.");
    line("; Kelvane.exe /APPLY <this file> sets them on another. A section or name");
    line("; left out is left as it is on that machine.");
    line(std::string("[") + kMainSection + "]");
    line("Version=" + std::to_string(kProfileVersion));
    if (!p.program.empty()) line("Program=" + Plain(p.program));
    if (!p.made.empty()) line("Made=" + Plain(p.made));
    line("");
    line(std::string("[") + kMadeOnSection + "]");
    line("Adapter=" + Plain(p.adapter));
    line("AdapterID=" + Plain(p.adapterId));
    line("Monitor=" + Plain(p.monitor));
    line("MonitorID=" + Plain(p.monitorId));
    if (p.rates) {
        line("");
        line("; Each resolution's lowest rate in Hz; none: no rate of it is offered.");
        line(std::string("[") + kRatesSection + "]");
        for (const ProfileRate& r : *p.rates)
            line(std::to_string(r.width) + "x" + std::to_string(r.height) + "=" +
                 (r.rate == kAllRatesRestricted ? std::string(kNoRate) : std::to_string(r.rate)));
    }
    bool anyDepth = std::any_of(p.depths.begin(), p.depths.end(), [](const auto& d) { return d.has_value(); });
    if (anyDepth) {
        line("");
        line("; 1: the driver offers modes of this many bits per pixel; 0: it does not.");
        line(std::string("[") + kDepthsSection + "]");
        for (std::size_t i = 0; i < p.depths.size(); ++i)
            if (p.depths[i]) line(std::to_string(kProfileDepths[i]) + "=" + (*p.depths[i] ? "1" : "0"));
    }
    if (!p.options.empty() || p.anisoDegree) {
        line("");
        line("; The driver's values: 1 or 0 as the driver reads them (a value named");
        line("; Disable... turns its feature off with 1); default: no value, the");
        line("; driver's own default. AnisoDegree: a degree, or off.");
        line(std::string("[") + kOptionsSection + "]");
        for (const ProfileOption& o : p.options) line(Trim(o.name) + "=" + OptionSettingText(o.setting));
        if (p.anisoDegree) line(std::string(kAnisoDegreeValue) + "=" + *p.anisoDegree);
    }
    if (p.custom) {
        line("");
        line("; Width x height, then x bits per pixel and @ rate where the mode has them.");
        line(std::string("[") + kCustomSection + "]");
        for (std::size_t i = 0; i < p.custom->size(); ++i)
            line(std::to_string(i + 1) + "=" + CustomResolutionText((*p.custom)[i]));
    }
    return t;
}

ProfileReading ReadProfileFile(ISystem& system, const std::string& file) {
    std::optional<std::string> bytes = system.ReadFile(file);
    if (!bytes) return {std::nullopt, LangText(kWhyProfileNoFile)};
    return ReadProfile(*bytes);
}

}  // namespace kv
