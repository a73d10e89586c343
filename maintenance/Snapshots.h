// Copies of the adapter's device key, written and read back by the system's
// registry editor, so that a change to the driver's settings can be undone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// How long a change waits for the registry editor to finish a snapshot.
inline constexpr std::uint32_t kSnapshotWaitMs = 60000;

// Makes a fresh snapshot and waits for it; false when no file with content
// exists afterwards, so a change must not rely on it.
bool TakeSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey);

// A registry value: its key under HKEY_LOCAL_MACHINE and its name.
struct ValueRef {
    std::string key;
    std::string name;
};

// Puts a snapshot back. The registry editor only adds and replaces values,
// so of `ownValues` (the values Kelvane itself writes) those that the
// snapshot does not hold are deleted first: otherwise a restricted-mode list
// written after the snapshot would survive its restore. Returns the
// editor's process handle.
std::uintptr_t RestoreSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey,
                               const std::vector<ValueRef>& ownValues);

}  // namespace kv
