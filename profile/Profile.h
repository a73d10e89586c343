// A profile: what Kelvane owns of one machine's driver settings, as a text
// file in Windows' own INI format that Notepad opens, so that the settings
// made on one machine can be applied on many. It names resolutions, not
// driver records: each machine's driver decides which records that takes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nonstd/NonStdList.h"
#include "platform/Platform.h"

namespace kv {

// A profile is a few kilobytes; a larger file is not read as one.
inline constexpr std::size_t kMaxProfileBytes = 64 * 1024;
inline constexpr int kProfileVersion = 1;

// What a profile sets of an option: the value 1 or 0, as the driver reads
// it, or no value, so that the driver uses its own default.
enum class OptionSetting { One, Zero, Default };

struct ProfileRate {
    std::uint16_t width = 0, height = 0;
    // The lowest rate allowed; kAllRatesRestricted (255): none.
    std::uint8_t rate = 0;
};

struct ProfileOption {
    std::string name;  // the driver's value name, without the blank two of them end in
    OptionSetting setting = OptionSetting::Default;
};

struct Profile {
    // Where and by what it was made: read and logged, never applied.
    std::string program, made, adapter, adapterId, monitor, monitorId;
    // What it sets. A part it leaves out is left as it is on the machine.
    std::optional<std::vector<ProfileRate>> rates;
    std::array<std::optional<bool>, 4> depths{};  // 8, 16, 24 and 32 bits allowed
    std::vector<ProfileOption> options;
    // A whole number forces that anisotropy degree; "off" takes it out.
    std::optional<std::string> anisoDegree;
    std::optional<std::vector<NonStdEntry>> custom;
};

inline constexpr std::uint16_t kProfileDepths[] = {8, 16, 24, 32};

struct ProfileReading {
    std::optional<Profile> profile;
    // Why the text is no profile Kelvane can use, naming the line.
    std::string problem;
};

// Reads a profile's bytes: ANSI or UTF-8 text, or UTF-16 with its byte
// order mark as Notepad saves "Unicode". Anything it cannot use whole is
// refused, with the first reason.
ProfileReading ReadProfile(const std::string& bytes);
// Reads the file; one that cannot be read is refused the same way.
ProfileReading ReadProfileFile(ISystem& system, const std::string& file);
// The profile's text, CR LF line ends, with comments for a reader.
std::string ProfileText(const Profile& profile);

// "1024x768" and the like; nothing when the text is no resolution.
std::optional<std::pair<std::uint16_t, std::uint16_t>> ParseResolution(const std::string& text);
// "1280x960", "1280x960x32", "1280x960@85", "1280x960x32@85".
std::optional<NonStdEntry> ParseCustomResolution(const std::string& text);
std::string CustomResolutionText(const NonStdEntry& entry);
std::string OptionSettingText(OptionSetting setting);

}  // namespace kv
