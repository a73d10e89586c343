// The check after a restart, arranged and taken back. A change about to be
// restarted into leaves a one-shot start entry that runs Kelvane with /CHECK
// at the next logon, and keeps "beforechange.dat" with its record
// (Snapshots.h) for the check to fall back to when the screen stays dark.
// Windows deletes a one-shot entry before it runs it: the check writes it
// again as it begins, so a power switch or a crash at the dark screen only
// brings the check back at the next logon.
#pragma once

#include <string>

#include "maintenance/Snapshots.h"
#include "platform/Platform.h"

namespace kv {

// A change awaits its check: its record is there (or cannot be read, and
// may be), from the moment it is made until the check is answered or has
// put the settings back. Restore and Uninstall then put back the kept file
// and no other.
bool ChangePending(Platform& p);

// A change awaiting its check has been restarted into: whatever cut its
// check short, the next start runs it first.
bool CheckDue(Platform& p);

// A change about to be restarted into: its check after the restart runs at
// every logon until it is answered and falls back to "beforechange.dat",
// which holds this run's "lastknowngood.dat" unless an earlier change still
// awaits its check (its file is kept: that change was never checked
// either). Returns what the user must hear before a restart when the check,
// or its way back, could not be arranged; empty when it was. A program
// file Windows could not find arranges nothing.
std::string ScheduleModeCheck(Platform& p, const RunSnapshots& run);

// The check begins: its entry is written again, so that the next logon runs
// it should this one not be answered. False when it could not be written.
bool ArmModeCheck(Platform& p);

// The command the one-shot entry holds: the program's own file, as Windows
// started it, quoted when its path has a blank.
std::string ModeCheckCommand(const std::string& program);

// The change is taken back, or kept for good: neither its check nor the
// check's fallback may bring it again. False when the check's entries could
// not be deleted.
bool CancelModeCheck(Platform& p);

}  // namespace kv
