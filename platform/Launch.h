// Starting another program: the registry editor, the report's batch file,
// the help viewer, a copy of Kelvane for the check after a restart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace kv {

// Windows' own limits for starting a program, in UTF-16 characters: a file
// or folder path within MAX_PATH (260 with its zero), and the command line
// it builds from the quoted file and the parameters within 32,767.
inline constexpr std::size_t kMaxLaunchPath = 259;
inline constexpr std::size_t kMaxCommandLine = 32767;

// Asks the shell to open a file with its default action and returns at once.
// The handle can be waited on; 0 when nothing was started. A path or command
// line beyond Windows' limits is refused rather than cut: a cut path could
// name another file, a cut line drop the parameters' end.
std::uintptr_t LaunchProgram(ISystem& sys, const std::string& file, const std::string& parameters,
                             const std::string& directory, int show);

// Whether Windows can start the file with these parameters from the folder.
bool FitsWindowsLimits(const std::string& file, const std::string& parameters, const std::string& directory);

}  // namespace kv
