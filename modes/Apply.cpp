#include "modes/Apply.h"

#include <algorithm>

namespace kv {

std::vector<BcdModeRecord> RestrictedRecords(const ModeTable& table, bool restrictHigher, const DepthChoice& depths) {
    std::vector<BcdModeRecord> records;
    for (const ResolutionRow& row : table.ResolutionRows) {
        for (std::uint8_t rate : row.rates) {
            if (rate >= row.selected && !restrictHigher) break;
            if (rate == row.selected) continue;
            records.push_back(EncodeModeRecord({row.width, row.height, 0, rate}));
        }
    }
    for (const RestrictedResolution& r : table.RestrictedResolutions)
        records.push_back(EncodeModeRecord({r.width, r.height, 0, 0}));
    for (std::uint16_t rate : table.RestrictedRates) records.push_back(EncodeModeRecord({0, 0, 0, rate}));
    const std::pair<bool, std::uint16_t> depthBoxes[] = {
        {depths.allow8, 8}, {depths.allow16, 16}, {depths.allow24, 24}, {depths.allow32, 32}};
    for (auto [allowed, depth] : depthBoxes)
        if (!allowed) records.push_back(EncodeModeRecord({0, 0, depth, 0}));
    return records;
}

std::uint8_t HighestSelection(const std::vector<ResolutionRow>& rows) {
    std::uint8_t highest = 0;
    for (const ResolutionRow& row : rows)
        if (row.selected != kAllRatesRestricted) highest = std::max(highest, row.selected);
    return highest;
}

bool CorrectMaxRatePair(SharedRegistry& shared, std::uint8_t rate, const MaxRatePair& pair) {
    struct Value {
        const char* name;
        std::size_t rateByte;
        ListBuffer buffer;
        std::size_t length;
    };
    Value values[] = {{pair.info, kInfoRateByte, EmptyListBuffer(), 0},
                      {pair.maxModeInfo, kMaxModeInfoRateByte, EmptyListBuffer(), 0}};
    bool below = false;
    for (Value& v : values) {
        v.length = shared.ReadBinary(v.name, v.buffer.data(), v.buffer.size());
        if (v.length > v.rateByte && rate > v.buffer[v.rateByte]) below = true;
    }
    if (!below) return false;
    bool corrected = false;
    for (Value& v : values) {
        if (v.length <= v.rateByte) continue;
        v.buffer[v.rateByte] = rate;
        shared.WriteBinary(v.name, Bytes(v.buffer.begin(), v.buffer.begin() + static_cast<long>(v.length)));
        corrected = true;
    }
    return corrected;
}

}  // namespace kv

// OK: the main window's command that applies everything.

#include "app/KVMAIN.h"
#include "app/Settings.h"
#include "maintenance/Snapshots.h"
#include "options/OptionTable.h"
#include "platform/Misc.h"

namespace kv {

namespace {

constexpr const char* kRunOnceValue = "Kelvane - test resolution";

}  // namespace

void TForm1::OKClick() {
    // Writing back what was never read would overwrite the driver's settings
    // with guesses.
    if (!StartupComplete) {
        platform.system.ShowMessageBox("Kelvane could not read all of the driver's settings at start-up, so it "
                                       "will not write any. Nothing was changed.",
                                       "Error", kMbOk);
        return;
    }
    if (DriverListsUnreadable) {
        platform.system.ShowMessageBox("The driver's mode lists could not be read whole at start-up, so Kelvane "
                                       "will not write them. Nothing was changed.",
                                       "Error", kMbOk);
        return;
    }
    if (std::optional<std::size_t> bad = grid.StoreVisibleBoxes()) {
        ShowRateError(*bad);
        return;
    }

    DepthChoice depths{(*this)["cb8"].Checked(), (*this)["cb16"].Checked(), (*this)["cb24"].Checked(),
                       (*this)["cb32"].Checked()};
    if (!depths.allow8 && !depths.allow16 && !depths.allow24 && !depths.allow32) {
        platform.system.ShowMessageBox("Can't disable all modes, 32BPP will be enabled", "Error", kMbOk);
        (*this)["cb32"].SetState(ui::CheckState::Checked);
        depths.allow32 = true;
    }
    std::vector<BcdModeRecord> records = RestrictedRecords(modes, (*this)["cbHiFreq"].Checked(), depths);
    if (records.size() > kMaxListRecords) {
        platform.system.ShowMessageBox("The rates chosen need " + std::to_string(records.size()) +
                                           " restricted modes, but the driver's list holds at most 256. Nothing "
                                           "was changed: allow more rates and try again.",
                                       "Error", kMbOk);
        return;
    }

    // Restore must be able to undo this change, so the snapshot has to be
    // complete before the first value is written.
    if (!TakeSnapshot(platform, kLastKnownGoodFile, adapter.DeviceKey) &&
        platform.system.ShowMessageBox("The snapshot of the driver's settings (lastknowngood.dat) could not be "
                                       "made, so Restore could not undo these changes. Apply them anyway?",
                                       "Warning", kMbYesNo) != kIdYes)
        return;

    SharedRegistry& shared = *sharedRegistry;
    std::string deviceKey = "\\" + adapter.DeviceKey;
    if (shared.OpenKey(deviceKey, false)) {
        Bytes list;
        for (const BcdModeRecord& r : records) list.insert(list.end(), r.begin(), r.end());
        shared.WriteBinary(kRestrictedListNames[0], list);
        for (std::size_t i = 1; i < std::size(kRestrictedListNames); ++i) shared.DeleteValue(kRestrictedListNames[i]);
    }

    WriteBoundOptions(*this, shared, platform.registry, adapter);

    // The ddhal key is the one driver key Kelvane may create, and only
    // below a device key that exists.
    ui::Control& aniso = (*this)["cbAnisoD3D"];
    if (platform.registry.KeyExists(adapter.DeviceKey) && shared.OpenKey(deviceKey + "\\ddhal", true)) {
        if (aniso.state == ui::CheckState::Checked)
            shared.WriteString("AnisoDegree", (*this)["cbAnisoDegree"].text);
        else if (aniso.state == ui::CheckState::Unchecked)
            shared.DeleteValue("AnisoDegree");
    }

    bool restart = false;
    if (shared.OpenKey(deviceKey, false)) {
        std::uint8_t highest = HighestSelection(modes.ResolutionRows);
        for (const MaxRatePair& pair : kMaxRatePairs) {
            if (!CorrectMaxRatePair(shared, highest, pair)) continue;
            platform.system.ShowMessageBox("Selected Refresh Rate larger than maximum refresh rate setted up in "
                                           "Control Panel. Control Panel settings will be corrected.",
                                           "Warning", kMbOk);
            restart = true;
        }
    }

    WriteTextValue(platform.registry, kProductSettingsKey, "Version", kVersionText);
    StoreLangFileName();

    if (RestartDecision()) restart = true;
    if (restart) {
        // Windows runs this once at the next logon: the mode check then asks
        // whether the screen can be read.
        if (!platform.registry.KeyExists(kRunOnceKey)) platform.registry.CreateKey(kRunOnceKey);
        WriteTextValue(platform.registry, kRunOnceKey, kRunOnceValue,
                       GetInstallDir(platform.registry) + "\\Kelvane.exe /CHECK");
        OfferRestart("All changes do not take effect until next boot. Restart?", "Restart needed");
    }
    platform.system.EndProgram(0);
}

bool TForm1::RestartDecision() {
    for (std::size_t i = 0; i < modes.ResolutionRows.size(); ++i)
        if (i >= InitialSelections.size() || modes.ResolutionRows[i].selected != InitialSelections[i]) return true;
    if ((*this)["cbAnisoD3D"].Checked() && (*this)["cbAnisoDegree"].text != InitialAnisoDegree) return true;
    return RestartNeededByOptions(*this, InitialOptionStates);
}

void TForm1::OfferRestart(const std::string& question, const std::string& caption) {
    if (platform.system.ShowMessageBox(question, caption, kMbYesNo) != kIdYes) return;
    AcquireShutdownPrivilege(platform.system);
    if (!platform.system.RestartWindows())
        platform.system.ShowMessageBox("Can't restart Windows [No admin access?]", "Restart needed", kMbOk);
}

}  // namespace kv
