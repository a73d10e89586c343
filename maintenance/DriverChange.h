// The one way Kelvane changes the driver's settings. Every command that
// writes them (OK, the repair at start-up, the list of extra resolutions,
// the adapter dialog, uninstall) names the keys it may write and hands its
// writes to ChangeDriverSettings, which takes care of the rest: no export
// may run while the keys change, nothing is written before this run's
// snapshot holds every one of those keys, and a write that fails, or
// anything else that stops the writes half-way, puts them all back and says
// what came back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "maintenance/Snapshots.h"
#include "platform/Platform.h"

namespace kv {

enum class ChangeResult {
    Written,     // every write was done
    Refused,     // the snapshot could not be made: nothing was written
    PutBack,     // a write failed; every key is back as it was before this run changed it
    NotPutBack,  // a write failed, and not all came back (`run.halfWritten`)
};

// Runs `write`, made of the steps of WriteSteps.h: the first that fails
// ends it with CommandAborted. `keys`: every key it may write. `stopped`:
// the first words of the message when a write fails, such as "Saving
// stopped". The user is told of every outcome but Written. Any other
// exception puts the keys back the same way, is told the same way, and then
// goes on to the caller, which reports it as it reports any failure; when
// not every key came back, `run.halfWritten` says so.
ChangeResult ChangeDriverSettings(Platform& p, RunSnapshots& run, const std::vector<std::string>& keys,
                                  const std::string& stopped, const std::function<void()>& write);

// Waits for the start-up snapshots ("backup.dat" is taken again when its
// export failed): none may still be exporting while the keys change.
void FinishStartupSnapshots(Platform& p, RunSnapshots& run);

}  // namespace kv
