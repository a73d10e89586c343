// Kelvane's own registry key, the names of the values it keeps there (and
// of its one-shot start entry), and the installation directory.
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

// The values of that key.
// The folder of the exe, where its files and the snapshots lie.
inline constexpr const char* kInstallDirValue = "InstallDir";
// The version that last stamped the key.
inline constexpr const char* kVersionValue = "Version";
// The language file in force; empty for the built-in English.
inline constexpr const char* kLangFileNameValue = "LangFileName";
// The fingerprint of "beforechange.dat" while a change awaits its check.
inline constexpr const char* kBeforeChangeValue = "BackupBeforeChange";
// Read only for the report's log, which has always named it.
inline constexpr const char* kIgnoreMonitorCapsValue = "IgnoreMonitorCAPS";
// Written by the adapter dialog's OK: the adapter it applied, and the state
// of its hidden "always" box, which it reads when it opens.
inline constexpr const char* kAdapterNumValue = "AdapterNum";
inline constexpr const char* kAllwaysValue = "Allways";
// Made when a change is about to be restarted into and held in memory only:
// Windows drops it at every restart, so while it is there the driver has
// not yet taken the change. A value in the registry proper could not tell
// a restart that happened from one still to come.
inline constexpr const char* kAwaitingRestartKey = "SOFTWARE\\Tessaly\\Kelvane\\AwaitingRestart";

// The one-shot start entry's name under Windows' RunOnce key (kRunOnceKey).
inline constexpr const char* kRunOnceValue = "Kelvane - test resolution";

// kInstallDirValue, "." when absent or unreadable. A value stored by another
// program with its terminating zero loses that zero.
std::string GetInstallDir(IRegistry& reg);

// The installation directory joined with a file name.
std::string InstallFile(IRegistry& reg, const std::string& fileName);

// The folder of the program's own exe, where its files lie.
std::string ProgramFolder(ISystem& system);

}  // namespace kv
