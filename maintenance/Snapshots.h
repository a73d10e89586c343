// Copies of the adapter's device key, written and read back by the system's
// registry editor, so that a change to the driver's settings can be undone.
//
// A snapshot is trusted only when it is whole: a new one is exported beside
// the old file, waited for, checked, and only then put in the old file's
// place; every restore checks the file again before the editor imports it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kv {

inline constexpr const char* kBackupFile = "backup.dat";
inline constexpr const char* kLastKnownGoodFile = "lastknowngood.dat";
inline constexpr const char* kFirstRunFile = "firstrun.dat";

// A key under HKEY_LOCAL_MACHINE as the registry editor's parameter: its
// full name, quoted when it holds a blank.
std::string BranchParameter(const std::string& keyPath);

// The registry editor's parameters for exporting the device key into a file
// of the installation directory.
std::string ExportParameters(const std::string& installDir, const std::string& fileName,
                             const std::string& deviceKey);
std::string ImportParameters(const std::string& installDir, const std::string& fileName);

// How long a change waits for the registry editor to finish a snapshot.
inline constexpr std::uint32_t kSnapshotWaitMs = 60000;

// A snapshot whose export has been started into a file beside its own.
struct PendingSnapshot {
    std::string fileName;  // "" when none was started
    std::uintptr_t editor = 0;
    bool finished = false;
    bool trusted = false;  // finished, checked and in place
};

// Starts exporting the device key into "<fileName>.new"; does not wait.
PendingSnapshot StartSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey);
// Waits for the export, checks that it is a whole copy of the device key
// and puts it in place of the old file. False, with the old file left as it
// was, when any of that fails. A snapshot is finished once; later calls
// give the first answer.
bool FinishSnapshot(Platform& p, PendingSnapshot& pending, const std::string& deviceKey);
// The start-up "backup.dat" a change falls back to: finished, or, when its
// export failed, taken again now (the device key has not changed since).
bool FinishOrRetakeBackup(Platform& p, PendingSnapshot& backup, const std::string& deviceKey);
// Both at once: a change must not be written unless this says true.
bool TakeSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey);

// The snapshots of one run of the program. "lastknowngood.dat", the one
// Restore puts back, is taken once a run, before the run's first write to the
// device key, whichever command makes it: Restore then always goes back to the
// settings from before this run, never to a state half-way through it.
struct RunSnapshots {
    PendingSnapshot backup;    // "backup.dat", started at the first paint
    PendingSnapshot firstRun;  // "firstrun.dat", started by the issues dialog
    bool lastKnownGoodTaken = false;
};

// Every command calls this before its first write to the device key. It
// finishes the start-up exports, so that no export runs while the key
// changes ("backup.dat" is taken again when its export failed), and takes
// "lastknowngood.dat" unless this run has. False when this run has no
// trusted "lastknowngood.dat": the command must then write nothing.
bool PrepareDriverWrite(Platform& p, RunSnapshots& run, const std::string& deviceKey);

// What a command says when PrepareDriverWrite refused.
inline constexpr const char* kNoLastKnownGoodText =
    "Kelvane could not make a complete snapshot of the driver's settings (lastknowngood.dat), so Restore could "
    "not undo this change. Nothing was changed.";

// A registry value: its key under HKEY_LOCAL_MACHINE and its name.
struct ValueRef {
    std::string key;
    std::string name;
};

struct RestoreOutcome {
    enum Result {
        Restored,
        NoSnapshot,     // missing, cut off, or of another key: nothing was changed
        NotThisChange,  // a snapshot, but not the one taken before the change
        ImportFailed,   // the registry editor did not put the values back; nothing was deleted
        PartlyRestored, // imported, but a value the snapshot lacks could not be deleted
    };
    Result result = NoSnapshot;
    // What went wrong, in a few words a user can follow.
    std::string detail;
    bool Ok() const { return result == Restored; }
};

// Puts a snapshot back. The file is checked first; the registry editor
// imports it and is waited for; only when every value of the file is back
// in the registry are those of `ownValues` (the values Kelvane writes) that
// the file lacks deleted, since the editor only adds and replaces values.
// With `expectedFingerprint` the file must also be the very one that was
// fingerprinted.
RestoreOutcome RestoreSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey,
                               const std::vector<ValueRef>& ownValues, const std::string* expectedFingerprint = nullptr);

// The message for a restore that did not restore: what went wrong and what
// was (not) changed.
std::string RestoreFailureText(const RestoreOutcome& outcome, const std::string& fileName);

// A short text that changes whenever a file's contents do.
std::string Fingerprint(const std::string& content);
// The fingerprint of the snapshot file as it is now; "" when it cannot be
// read.
std::string FileFingerprint(Platform& p, const std::string& fileName);

// The check after a restart puts back "backup.dat" only when it is the file
// the change it checks was made from: the change records its fingerprint
// here, and a restore that takes the change back forgets it.
void RememberSnapshotBeforeChange(Platform& p, const std::string& fingerprint);
std::string SnapshotBeforeChange(Platform& p);
void ForgetSnapshotBeforeChange(Platform& p);

// The one-shot start entry that runs the check after the next restart.
inline constexpr const char* kRunOnceValue = "Kelvane - test resolution";
// A change about to be restarted into: its check after the restart runs
// once, and falls back to "backup.dat" only when `backup` is the trusted
// snapshot the change was made from. False when the check, or its way
// back, could not be arranged: the user must hear it before a restart.
bool ScheduleModeCheck(Platform& p, const PendingSnapshot& backup);
inline constexpr const char* kCheckNotArrangedText =
    "Kelvane could not arrange the check after the restart in full (the registry or backup.dat could not be "
    "written or read), so if the screen stays dark it may not put the settings back by itself. Restore Registry "
    "takes this change back.";
// The change is taken back: neither its check nor the check's fallback
// may bring it again. False when the check's entries could not be deleted.
bool CancelModeCheck(Platform& p);
inline constexpr const char* kCheckNotCancelledText =
    "Kelvane could not cancel the check after the next restart (the registry refused to delete its entry). When "
    "the check comes, answer it with OK.";

}  // namespace kv
