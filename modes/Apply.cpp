#include "modes/Apply.h"

#include <algorithm>
#include <cctype>

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "maintenance/WriteSteps.h"
#include "options/OptionTable.h"
#include "platform/Text.h"

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

Bytes RestrictedListBytes(const std::vector<BcdModeRecord>& records, const ModeTable& table) {
    Bytes list;
    for (const BcdModeRecord& r : records) list.insert(list.end(), r.begin(), r.end());
    std::vector<Bytes> raw = table.KeptRawRecords;
    std::stable_partition(raw.begin(), raw.end(), [](const Bytes& r) { return r.size() == 8; });
    for (const Bytes& r : raw) list.insert(list.end(), r.begin(), r.end());
    return list;
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
        ValueInfo found;
        std::optional<std::size_t> length = shared.ReadBinary(v.name, v.buffer.data(), v.buffer.size(), &found);
        // OK leaves out the pairs it cannot read; a value another program
        // changed since cannot be corrected either, and the save stops.
        if (!length) throw CommandAborted(LangText(kMsgValueUnreadable, {v.name, ByteValueProblem(found)}));
        v.length = *length;
        if (v.length > v.rateByte && rate > v.buffer[v.rateByte]) below = true;
    }
    if (!below) return false;
    bool corrected = false;
    for (Value& v : values) {
        if (v.length <= v.rateByte) continue;
        v.buffer[v.rateByte] = rate;
        WriteBinaryOrAbort(shared, v.name, Bytes(v.buffer.begin(), v.buffer.begin() + static_cast<long>(v.length)));
        corrected = true;
    }
    return corrected;
}

std::vector<std::string> MaxRateValuesToLeave(Platform& p, const std::string& deviceKey) {
    std::vector<std::string> odd;
    SharedRegistry probe(p.registry);
    if (!probe.OpenKey("\\" + deviceKey, false)) return odd;
    std::string names;
    for (const MaxRatePair& pair : kMaxRatePairs) {
        for (const char* name : {pair.info, pair.maxModeInfo}) {
            std::string problem = ByteValueProblem(probe.GetValueInfo(name));
            if (problem.empty()) continue;
            odd.push_back(name);
            names += (names.empty() ? "'" : ", '") + std::string(name) + "' (" + problem + ")";
        }
    }
    if (!odd.empty()) ShowWarning(p.system, LangText(kMsgMaxRateUnreadable, {names}));
    return odd;
}

namespace {

// The first restricted-mode list value always gets its bytes; a
// continuation gets them when there are any, and is deleted otherwise.
void WriteLists(SharedRegistry& shared, const std::vector<Bytes>& lists) {
    for (std::size_t i = 0; i < std::size(kRestrictedListNames); ++i) {
        const Bytes& bytes = i < lists.size() ? lists[i] : Bytes{};
        if (i == 0 || !bytes.empty())
            WriteBinaryOrAbort(shared, kRestrictedListNames[i], bytes);
        else
            DeleteValueOrAbort(shared, kRestrictedListNames[i]);
    }
}

// The ddhal key is the one driver key Kelvane may create, and only below a
// device key that exists.
void WriteAnisoDegree(Platform& p, const SettingsTarget& target, const SettingsChange& change) {
    // Unchecked, a missing key holds no degree to delete.
    bool write = change.aniso == ui::CheckState::Checked;
    const std::string& deviceKey = target.adapter.DeviceKey;
    if (change.aniso == ui::CheckState::Grayed || !p.registry.KeyExists(deviceKey) ||
        !target.shared.OpenKey("\\" + deviceKey + "\\" + kDdhalSubkey, write))
        return;
    if (write)
        WriteTextOrAbort(target.shared, kAnisoDegreeValue, change.anisoDegree);
    else
        DeleteValueOrAbort(target.shared, kAnisoDegreeValue);
}

// The control panel's maxima follow the highest rate chosen, but for the
// values that could not be read; true when one was raised.
bool RaiseMaxima(Platform& p, SharedRegistry& shared, const SettingsChange& change) {
    const std::vector<std::string>& odd = change.unreadableMaxRates;
    bool raised = false;
    for (const MaxRatePair& pair : kMaxRatePairs) {
        bool readable = std::find(odd.begin(), odd.end(), pair.info) == odd.end() &&
                        std::find(odd.begin(), odd.end(), pair.maxModeInfo) == odd.end();
        if (!readable || !CorrectMaxRatePair(shared, change.highestRate, pair)) continue;
        p.system.ShowMessageBox(LangText(kMsgRateAboveMaximum), LangText(kMsgWarning), kMbOk);
        raised = true;
    }
    return raised;
}

// The driver's settings, in the order the driver's tools always wrote them;
// true when a value the driver reads at boot and the window does not show
// was written: the custom resolutions, a maximum raised.
bool WriteSettings(Platform& p, const SettingsTarget& target, const SettingsChange& change) {
    SharedRegistry& shared = target.shared;
    auto openDeviceKey = [&] { return OpenDriverKeyOrAbort(shared, target.adapter.DeviceKey, target.deviceKeyFound); };
    if (change.lists && openDeviceKey()) WriteLists(shared, *change.lists);
    WriteBoundOptions(target.boxes, shared, p.registry, target.adapter);
    WriteAnisoDegree(p, target, change);
    // The driver reads its extra modes at boot.
    bool bootValueWritten = change.customResolutions && openDeviceKey() && change.customResolutions(shared);
    // With the lists left alone no rate was chosen.
    if (change.lists && openDeviceKey() && RaiseMaxima(p, shared, change)) bootValueWritten = true;
    return bootValueWritten;
}

// The key of every display adapter Windows lists, but the one in use.
std::vector<std::string> OtherAdapterKeys(const AdapterContext& adapter) {
    std::vector<std::string> keys;
    for (std::size_t k = 0; k < adapter.DeviceCount && k < adapter.DisplayDevices.size(); ++k) {
        std::string key = KeyBelowMachine(adapter.DisplayDevices[k].registryKey);
        if (!key.empty() && !SameNoCase(key, adapter.DeviceKey)) keys.push_back(key);
    }
    return keys;
}

}  // namespace

ChangeResult SaveDriverSettings(Platform& p, RunSnapshots& run, const SettingsTarget& target,
                                const SettingsChange& change, RestartNeed& restart) {
    const AdapterContext& adapter = target.adapter;
    bool bootValueWritten = false;
    ChangeResult result = ChangeDriverSettings(p, run, {adapter.DeviceKey, adapter.DesktopKey}, LangText(kStopSaving),
                                               [&] { bootValueWritten = WriteSettings(p, target, change); });
    if (result == ChangeResult::Written && bootValueWritten) restart.MarkWritten();
    return result;
}

std::vector<ValueRef> OwnDriverValues(const AdapterContext& adapter) {
    const std::string& deviceKey = adapter.DeviceKey;
    std::vector<ValueRef> values;
    for (const char* name : kRestrictedListNames) values.push_back({deviceKey, name});
    for (const char* name : kNonStandardListNames) values.push_back({deviceKey, name});
    values.push_back({deviceKey, kPruningModeValue});
    // What a repair at start-up writes besides the lists.
    values.push_back({deviceKey, kNativeModesValue});
    values.push_back({deviceKey, kMinResValue});
    for (const OptionDef& def : DriverOptions()) values.push_back({deviceKey, def.registryKey});
    values.push_back({deviceKey + "\\" + kDdhalSubkey, kAnisoDegreeValue});
    if (!adapter.DesktopKey.empty())
        for (const OptionDef& def : DesktopOptions()) values.push_back({adapter.DesktopKey, def.registryKey});
    for (const std::string& key : OtherAdapterKeys(adapter)) values.push_back({key, kPruningModeValue});
    return values;
}

DriverKeys DriverKeysOf(const AdapterContext& adapter) {
    DriverKeys driver;
    driver.keys.push_back(adapter.DeviceKey);
    driver.keys.push_back(adapter.DesktopKey);
    for (const std::string& key : OtherAdapterKeys(adapter)) driver.keys.push_back(key);
    driver.ownValues = OwnDriverValues(adapter);
    return driver;
}

}  // namespace kv
