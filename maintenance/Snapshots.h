// Copies of the adapter's device key, written and read back by the system's
// registry editor, so that a change to the driver's settings can be undone.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace kv {

inline constexpr const char* kBackupFile = "backup.dat";
inline constexpr const char* kLastKnownGoodFile = "lastknowngood.dat";
inline constexpr const char* kFirstRunFile = "firstrun.dat";

// The registry editor's parameters for exporting the device key into a file
// of the installation directory.
std::string ExportParameters(const std::string& installDir, const std::string& fileName,
                             const std::string& deviceKey);
std::string ImportParameters(const std::string& installDir, const std::string& fileName);

// Start the registry editor and return its process handle (0 when it could
// not be started); neither waits.
std::uintptr_t ExportSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey);
std::uintptr_t ImportSnapshot(Platform& p, const std::string& fileName);

}  // namespace kv
