#include "modes/Apply.h"

#include <algorithm>
#include <cctype>

#include "lang/Lang.h"
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

namespace {

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
