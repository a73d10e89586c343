// What a run of the main window has found and done so far. Its commands
// ask it what they may still do, rather than each testing the flags.
#pragma once

#include <optional>

#include "lang/Entries.h"

namespace kv {

struct RunState {
    bool FirstPaintPending = true;
    // Started for the check after a restart: nothing modal may come before
    // the check's count-down.
    bool CheckMode = false;
    // The driver did not take its list at boot and the user chose to put
    // the last known good settings back; the first paint does it.
    bool RestoreAtStart = false;
    // Start-up ran to its end; a command aborted half-way leaves the window
    // open but not fit to write anything back.
    bool StartupComplete = false;
    // A driver list could not be read whole: the driver's lists must then
    // not be written, or the records not read would be lost.
    bool DriverListsUnreadable = false;
    // The device key could be opened at start-up: one that cannot be opened
    // at OK stops the save instead of being passed over.
    bool DeviceKeyFound = false;
    // The issues dialog repaired the driver's settings: what the window read
    // at start-up is stale and must not be written over the repair.
    bool RepairedThisRun = false;
    // A failed save whose previous settings could not be put back: OK must
    // not overwrite "lastknowngood.dat" with the half-written state.
    bool SavingStopped = false;

    // Why OK may not save now; nothing when it may.
    std::optional<LangEntry> SaveRefusal() const {
        if (!StartupComplete) return kMsgStartupIncomplete;
        if (RepairedThisRun) return kMsgRepairedThisRun;
        if (SavingStopped) return kMsgEarlierSaveStopped;
        return std::nullopt;
    }
};

}  // namespace kv
