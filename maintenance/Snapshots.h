// Copies of the driver's keys, written and read back by the system's
// registry editor, so that a change to the driver's settings can be undone.
// A snapshot holds every key Kelvane may write (the device key, the desktop
// options where they lie outside it, another head's key), one branch after
// another in one registry file that the editor itself can import.
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
// The settings a change awaiting its check after the restart was made from,
// kept from the moment the check is arranged until it is answered, falls
// back, or Restore or Uninstall takes the change back.
inline constexpr const char* kBeforeChangeFile = "beforechange.dat";

// A registry value: its key under HKEY_LOCAL_MACHINE and its name.
struct ValueRef {
    std::string key;
    std::string name;
};

// The driver's keys Kelvane may write, and the values in them it writes.
struct DriverKeys {
    std::vector<std::string> keys;  // the device key first
    std::vector<ValueRef> ownValues;
};

// Keys as a snapshot takes them: no empty one, none twice, none below
// another of them (on Windows 2000 the desktop options lie in the device
// key).
std::vector<std::string> SnapshotBranches(const std::vector<std::string>& keys);

// A key under HKEY_LOCAL_MACHINE as the registry editor's parameter: its
// full name, quoted when it holds a blank.
std::string BranchParameter(const std::string& keyPath);

// The registry editor's parameters for exporting a key into a file of the
// installation directory.
std::string ExportParameters(const std::string& installDir, const std::string& fileName,
                             const std::string& deviceKey);
std::string ImportParameters(const std::string& installDir, const std::string& fileName);

// How long a change waits for the registry editor to finish a snapshot.
inline constexpr std::uint32_t kSnapshotWaitMs = 60000;

// A snapshot whose exports have been started, one per branch: the first into
// "<fileName>.new", the others into "<fileName>.new2" and so on.
struct PendingSnapshot {
    std::string fileName;  // "" when none was started
    std::vector<std::string> keys;
    std::vector<std::uintptr_t> editors;
    bool finished = false;
    bool trusted = false;  // finished, checked and in place
};

// Starts exporting each key beside the file; does not wait.
PendingSnapshot StartSnapshot(Platform& p, const std::string& fileName, const std::vector<std::string>& keys);
PendingSnapshot StartSnapshot(Platform& p, const std::string& fileName, const std::string& key);
// Waits for the exports, checks that each is a whole copy of its key, joins
// them and puts the result in place of the old file; a key that is not
// there is left out (`keys` then names those taken). False, with the old
// file left as it was, when any of that fails or no key was there. A
// snapshot is finished once; later calls give the first answer.
bool FinishSnapshot(Platform& p, PendingSnapshot& pending);
// The start-up "backup.dat" a change falls back to: finished, or, when its
// export failed, taken again now (the keys have not changed since).
bool FinishOrRetakeBackup(Platform& p, PendingSnapshot& backup);
// Both at once.
bool TakeSnapshot(Platform& p, const std::string& fileName, const std::vector<std::string>& keys);

// The snapshots of one run of the program. "lastknowngood.dat", the one
// Restore puts back, is taken before the run's first write to the driver's
// keys, whichever command makes it, and covers every key the run writes: a
// later command that writes a key not yet in it adds that key's branch
// first. Restore then always goes back to the settings from before this
// run, never to a state half-way through it.
struct RunSnapshots {
    // Every key Kelvane may write on this machine; the start-up snapshots
    // hold them all.
    DriverKeys driver;
    PendingSnapshot backup;    // "backup.dat", started at the first paint
    PendingSnapshot firstRun;  // "firstrun.dat", started by the issues dialog
    // The keys "lastknowngood.dat" holds for this run; empty until taken.
    std::vector<std::string> lastKnownGood;
    bool lastKnownGoodTaken = false;
    // A change stopped half-way and not every key came back: the driver's
    // settings are half-written, and "lastknowngood.dat" is the only way
    // back to before them.
    bool halfWritten = false;
    // The keys the start-up snapshots take: the driver's, or, before the
    // main window has named them, the one key given.
    std::vector<std::string> StartupKeys(const std::string& deviceKey) const;
};

struct RestoreOutcome {
    enum Result {
        Restored,
        NoSnapshot,     // missing, cut off, or of another key: nothing was changed
        NotThisChange,  // a snapshot, but not the one taken before the change
        ImportFailed,   // the registry editor did not put the values back; nothing was deleted
        PartlyRestored, // some branches came back whole, others did not
    };
    RestoreOutcome(Result r = NoSnapshot, std::string d = "") : result(r), detail(std::move(d)) {}
    Result result;
    // What went wrong, in a few words a user can follow.
    std::string detail;
    // The branches that came back whole, and those that did not.
    std::vector<std::string> restored, notRestored;
    bool Ok() const { return result == Restored; }
};

// Puts a snapshot back. The file is checked first; the registry editor
// imports it and is waited for; in each branch whose values are all back,
// the values Kelvane writes (`driver.ownValues`) that the file lacks are
// deleted, since the editor only adds and replaces values. With
// `expectedFingerprint` the file must also be the very one that was
// fingerprinted.
RestoreOutcome RestoreSnapshot(Platform& p, const std::string& fileName, const DriverKeys& driver,
                               const std::string* expectedFingerprint = nullptr);

// Whether a snapshot can be put back at all: NoSnapshot or NotThisChange
// when not, Restored when it can. Nothing is changed.
RestoreOutcome CheckSnapshot(Platform& p, const std::string& fileName, const DriverKeys& driver,
                             const std::string* expectedFingerprint = nullptr);

// The message for a restore that did not restore: what went wrong and what
// was (not) changed.
std::string RestoreFailureText(const RestoreOutcome& outcome, const std::string& fileName);

// A short text that changes whenever a file's contents do.
std::string Fingerprint(const std::string& content);
// The fingerprint of the snapshot file as it is now; "" when it cannot be
// read.
std::string FileFingerprint(Platform& p, const std::string& fileName);

// A change awaiting its check after the restart: the fingerprint of the
// "beforechange.dat" it was made from, recorded in the program's settings
// key. The check's fallback, Restore and Uninstall put that file back only
// while the record names it; a change taken back forgets it.
void RememberSnapshotBeforeChange(Platform& p, const std::string& fingerprint);
std::string SnapshotBeforeChange(Platform& p);
void ForgetSnapshotBeforeChange(Platform& p);
// The record is surely not there; one that cannot be read may be.
bool SnapshotBeforeChangeForgotten(Platform& p);
// The kept file is the one the record names.
bool KeptFileInPlace(Platform& p);

// Writes a file beside its old one, reads it back, and only then puts it in
// the old one's place. False, with the old file as it was, on any failure.
bool ReplaceFile(Platform& p, const std::string& fileName, const std::string& content);

}  // namespace kv
