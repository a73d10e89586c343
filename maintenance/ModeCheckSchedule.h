// The check after a restart, arranged and taken back. A change about to be
// restarted into leaves a one-shot start entry that runs Kelvane with /CHECK
// at the next logon, and keeps "beforechange.dat" with its record
// (Snapshots.h) for the check to fall back to when the screen stays dark.
#pragma once

#include <string>

#include "maintenance/Snapshots.h"
#include "platform/Platform.h"

namespace kv {

// The one-shot start entry's name under the RunOnce key.
inline constexpr const char* kRunOnceValue = "Kelvane - test resolution";

// A change awaits its check: the record is there, and so is the entry that
// runs the check at the next logon (or either cannot be read, and may be).
// Restore and Uninstall then put back the kept file and no other.
bool ChangePending(Platform& p);

// A change about to be restarted into: its check after the restart runs
// once and falls back to "beforechange.dat", which holds this run's
// "lastknowngood.dat" unless an earlier change still awaits its check (its
// file is kept: that change was never checked either). False when the
// check, or its way back, could not be arranged: the user must hear it
// before a restart.
bool ScheduleModeCheck(Platform& p, const RunSnapshots& run);

// The command the one-shot entry holds: the program in the installation
// folder, quoted when the folder's path has a blank.
std::string ModeCheckCommand(const std::string& folder);

// The change is taken back: neither its check nor the check's fallback
// may bring it again. False when the check's entries could not be deleted.
bool CancelModeCheck(Platform& p);

}  // namespace kv
