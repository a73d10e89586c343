// Uninstall: the driver's settings back as the latest ordinary start found
// them, and the program's own settings out of the registry. Program files
// are left alone.
#pragma once

#include <string>

#include "maintenance/Snapshots.h"
#include "platform/Platform.h"

namespace kv {

// Asks first; on Yes puts "firstrun.dat" back into the device key (only a
// whole, checked copy of that key, and only once this run has its own
// snapshot), takes back a pending check after the restart, deletes the
// settings key, says what was done and ends the program.
void Uninstall(Platform& p, RunSnapshots& run, const std::string& deviceKey);

}  // namespace kv
