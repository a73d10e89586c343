// The value helpers, the program launcher and the shutdown privilege: the
// small set of system operations every part of Kelvane goes through.
//
// The value helpers never show anything. They return kDone, kValueFailed or
// kKeyFailed and leave an output untouched on failure, so callers preset
// outputs with their default.
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
// Windows' own limits for starting a program, in UTF-16 characters: a file
// or folder path within MAX_PATH (260 with its zero), and the command line
// it builds from the quoted file and the parameters within 32,767.
inline constexpr std::size_t kMaxLaunchPath = 259;
inline constexpr std::size_t kMaxCommandLine = 32767;

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

// Asks the shell to open a file with its default action and returns at once.
// The handle can be waited on; 0 when nothing was started (a path or command
// line beyond Windows' limits is refused rather than cut).
std::uintptr_t LaunchProgram(ISystem& sys, const std::string& file, const std::string& parameters,
                             const std::string& directory, int show);

// Whether Windows can start the file with these parameters from the folder.
bool FitsWindowsLimits(const std::string& file, const std::string& parameters, const std::string& directory);

// The Windows 95/98/ME family sets the version number's high bit.
bool IsWindows9x(std::uint32_t version);

// Enables the shutdown privilege so that a restart request is honoured.
// Each failing step shows `failure`; the caller restarts all the same.
void AcquireShutdownPrivilege(ISystem& sys, const std::string& failure, const std::string& caption);

}  // namespace kv
