#include "maintenance/DriverChange.h"

#include <algorithm>

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/WriteSteps.h"
#include "platform/RegFile.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace kv {

namespace {

bool Holds(const std::vector<std::string>& branches, const std::string& key) {
    return std::any_of(branches.begin(), branches.end(), [&](const std::string& b) { return InBranch(key, b); });
}

std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A snapshot of those of `keys` that are there; false when one that is
// there could not be copied whole. `taken`: the keys copied, if any.
bool Take(Platform& p, const std::string& fileName, const std::vector<std::string>& keys,
          std::vector<std::string>& taken) {
    PendingSnapshot pending = StartSnapshot(p, fileName, keys);
    bool trusted = FinishSnapshot(p, pending);
    taken = trusted ? pending.keys : std::vector<std::string>{};
    if (trusted) return true;
    // None there, nothing to copy: the command cannot write any of them.
    return std::none_of(keys.begin(), keys.end(), [&](const std::string& k) { return p.registry.KeyExists(k); });
}

// The file with the branches of `keys` it lacks added as they are now:
// exported, checked and joined to it, its old content returned. Nothing
// when that fails; the file is then as it was.
std::optional<std::string> AddBranches(Platform& p, const std::string& fileName,
                                       const std::vector<std::string>& allowed, const std::vector<std::string>& keys,
                                       std::vector<std::string>& branches) {
    std::optional<std::string> old = p.system.ReadFile(InstallFile(p.registry, fileName));
    RegistryImage parsed;
    if (!old || !CheckRegSnapshot(*old, Plus(allowed, keys), parsed, branches)) return std::nullopt;
    std::vector<std::string> lacking, taken;
    for (const std::string& key : keys)
        if (!Holds(branches, key)) lacking.push_back(key);
    std::string added = fileName + ".add";
    if (!Take(p, added, lacking, taken)) return std::nullopt;
    if (taken.empty()) return old;
    std::optional<std::string> content = p.system.ReadFile(InstallFile(p.registry, added));
    p.system.RemoveFile(InstallFile(p.registry, added));
    std::optional<std::string> joined = content ? JoinRegExports({*old, *content}) : std::nullopt;
    if (!joined || !ReplaceFile(p, fileName, *joined)) return std::nullopt;
    branches.insert(branches.end(), taken.begin(), taken.end());
    return old;
}

// "lastknowngood.dat" holds every key of `keys` before the first write to
// it in this run.
bool CoverKeys(Platform& p, RunSnapshots& run, const std::vector<std::string>& keys) {
    std::vector<std::string> lacking;
    for (const std::string& key : SnapshotBranches(keys))
        if (!run.lastKnownGoodTaken || !Holds(run.lastKnownGood, key)) lacking.push_back(key);
    if (lacking.empty()) return true;
    if (!run.lastKnownGoodTaken) {
        std::vector<std::string> taken;
        if (!Take(p, kLastKnownGoodFile, lacking, taken)) return false;
        run.lastKnownGoodTaken = !taken.empty();
        run.lastKnownGood = taken;
        return true;
    }
    std::vector<std::string> branches;
    if (!AddBranches(p, kLastKnownGoodFile, run.lastKnownGood, lacking, branches)) return false;
    run.lastKnownGood = branches;
    return true;
}

// A change awaiting its check keeps, in "beforechange.dat", the state
// before it of every key that changes until the check is answered.
bool KeepBeforePendingChange(Platform& p, const RunSnapshots& run, const std::vector<std::string>& keys) {
    if (!ChangePending(p)) return true;
    // Which keys it holds cannot be told.
    if (!KeptFileInPlace(p)) return false;
    std::vector<std::string> branches;
    std::optional<std::string> old = AddBranches(p, kBeforeChangeFile, run.driver.keys, keys, branches);
    if (!old) return false;
    std::optional<std::string> now = p.system.ReadFile(InstallFile(p.registry, kBeforeChangeFile));
    if (now == old) return true;
    if (now) RememberSnapshotBeforeChange(p, Fingerprint(*now));
    if (KeptFileInPlace(p)) return true;
    // The record would no longer name the file: the old one comes back.
    if (ReplaceFile(p, kBeforeChangeFile, *old)) RememberSnapshotBeforeChange(p, Fingerprint(*old));
    return false;
}

// Half a change is worse than none: after a write stopped for `why`, every
// key goes back at once, and the user is told what came back.
ChangeResult PutBack(Platform& p, RunSnapshots& run, const std::string& stopped, std::string why) {
    DriverKeys driver = run.driver;
    driver.keys = Plus(driver.keys, run.lastKnownGood);
    RestoreOutcome outcome = RestoreSnapshot(p, kLastKnownGoodFile, driver);
    if (!why.empty() && why.back() == '.') why.pop_back();
    if (outcome.Ok()) {
        ShowError(p.system, LangText(kMsgPutBack, {stopped, why}));
        return ChangeResult::PutBack;
    }
    run.halfWritten = true;
    ShowError(p.system, LangText(kMsgNotPutBack, {stopped, why, RestoreFailureText(outcome, kLastKnownGoodFile)}));
    return ChangeResult::NotPutBack;
}

}  // namespace

void FinishStartupSnapshots(Platform& p, RunSnapshots& run) {
    FinishSnapshot(p, run.firstRun);
    FinishOrRetakeBackup(p, run.backup);
}

ChangeResult ChangeDriverSettings(Platform& p, RunSnapshots& run, const std::vector<std::string>& keys,
                                  const std::string& stopped, const std::function<void()>& write) {
    FinishStartupSnapshots(p, run);
    if (!CoverKeys(p, run, keys)) {
        ShowError(p.system, LangText(kMsgNoLastKnownGood));
        return ChangeResult::Refused;
    }
    if (!KeepBeforePendingChange(p, run, SnapshotBranches(keys))) {
        // A change awaiting its check could not keep the settings from
        // before it of a key this one writes.
        ShowError(p.system, LangText(kMsgBeforeChangeNotKept));
        return ChangeResult::Refused;
    }
    try {
        write();
        return ChangeResult::Written;
    } catch (const CommandAborted& e) {
        return PutBack(p, run, stopped, e.what());
    } catch (const std::exception& e) {
        // Whatever else ends the writes half-way (no memory left for a
        // message, an index out of range) leaves half a change all the
        // same; the command then reports it as it reports any failure.
        PutBack(p, run, stopped, LangText(kMsgUnexpectedError, {e.what()}));
        throw;
    }
}

}  // namespace kv
