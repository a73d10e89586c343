// The value helpers: single values of the registry read and written as the
// driver's tools have always read and written them. They never show
// anything: each says how it went and leaves an output untouched on failure,
// so a caller presets the output with its default and may go on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace kv {

enum : std::uint16_t {
    kDone = 0,
    kValueFailed = 1,
    kKeyFailed = 2,
};

// The fixed buffers the driver tools have always used for texts.
inline constexpr std::size_t kMaxTextRead = 250;
inline constexpr std::size_t kMaxTextWrite = 255;

// DWORDs are 16-bit numbers to this program: the low half is kept on reading
// and the number is zero-extended on writing.
std::uint16_t WriteDwordValue(IRegistry& reg, const std::string& path, const std::string& name,
                              std::uint16_t value);
std::uint16_t ReadDwordValue(IRegistry& reg, const std::string& path, const std::string& name,
                             std::uint16_t& value);
// Reads a text value up to its first zero, so one stored with its
// terminating zero and one stored without read the same.
std::uint16_t ReadTextValue(IRegistry& reg, const std::string& path, const std::string& name,
                            std::string& text);
// Writes REG_SZ with its terminating zero. Texts longer than 255 bytes are
// refused (result 1) rather than cut, so a path is never stored half.
std::uint16_t WriteTextValue(IRegistry& reg, const std::string& path, const std::string& name,
                             const std::string& text);

// Whether a value is surely not there: the key holds no such value, or the
// key itself is gone. A value that cannot be read is not gone.
bool ValueGone(IRegistry& reg, const std::string& path, const std::string& name);

}  // namespace kv
