// Kelvane's own registry key and the installation directory.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace kv {

inline constexpr const char* kVersionText = "0.9.9.6";
inline constexpr const char* kProgramTitle = "Kelvane";
// Where users report a problem, such as a card the identifier file lacks.
inline constexpr const char* kProjectPage = "https://github.com/kelvane/kelvane/issues";
// Addressed without a leading backslash by the value helpers and with one by
// the shared registry object.
inline constexpr const char* kProductSettingsKey = "SOFTWARE\\Tessaly\\Kelvane";

// "InstallDir", "." when absent or unreadable. A value stored by another
// program with its terminating zero loses that zero.
std::string GetInstallDir(IRegistry& reg);

// The installation directory joined with a file name.
std::string InstallFile(IRegistry& reg, const std::string& fileName);

// The folder of the program's own exe, where its files lie.
std::string ProgramFolder(ISystem& system);

}  // namespace kv
