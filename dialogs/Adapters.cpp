#include "dialogs/Adapters.h"

#include <algorithm>

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "maintenance/DriverChange.h"
#include "maintenance/WriteSteps.h"
#include "platform/DriverValues.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {

TForm4::TForm4(Platform& platform, const AdapterContext& adapter, RunSnapshots& snapshots)
    : Dialog("TForm4", kTxtSelectAdapterCaption, 340, 190),
      platform_(platform),
      adapter_(adapter),
      snapshots_(snapshots) {
    lbAdapters.showAccel = false;
    lbAdapters.onChange = [this] { lbAdaptersClick(); };
    cbAllways.visible = false;
    cbAllways.state = ui::CheckState::Checked;
    Create({{lbAdapters, [this] { lbAdaptersDblClick(); }},
            {bOK, [this] { bOKClick(); }},
            {bExit, [this] { bExitClick(); }}});
}

void TForm4::FormCreate() {
    ui::Control& list = lbAdapters;
    for (std::size_t k = 0; k < adapter_.DeviceCount && k < adapter_.DisplayDevices.size(); ++k)
        list.items.push_back(adapter_.DisplayDevices[k].description);
    list.itemIndex = -1;
    if (IgnoresMonitor(0)) cbIgnoreMC.state = ui::CheckState::Checked;
    std::uint16_t always = 0;
    ReadDwordValue(platform_.registry, kProductSettingsKey, kAllwaysValue, always);
    cbAllways.state = always == 1 ? ui::CheckState::Checked : ui::CheckState::Unchecked;
}

std::string TForm4::AdapterKey(int line) const {
    if (line < 0 || static_cast<std::size_t>(line) >= adapter_.DisplayDevices.size()) return "";
    return KeyBelowMachine(adapter_.DisplayDevices[static_cast<std::size_t>(line)].registryKey);
}

// The start-up sequence enumerates raw modes exactly when the value is 0;
// an absent value, or any other number, leaves the monitor's word in force.
bool TForm4::IgnoresMonitor(int line) {
    std::string key = AdapterKey(line);
    std::uint16_t pruning = 1;
    if (!key.empty()) ReadDwordValue(platform_.registry, key, kPruningModeValue, pruning);
    return pruning == 0;
}

void TForm4::lbAdaptersClick() {
    int line = lbAdapters.itemIndex;
    if (line < 0) return;
    cbIgnoreMC.state = IgnoresMonitor(line) ? ui::CheckState::Checked : ui::CheckState::Unchecked;
}

void TForm4::lbAdaptersDblClick() { bOK.Click(); }

void TForm4::bOKClick() {
    int line = std::max(lbAdapters.itemIndex, 0);
    std::string key = AdapterKey(line);
    if (key.empty()) {
        ShowError(platform_.system, LangText(kMsgNoSuchAdapter));
        return;
    }
    if (confirmRerun && !confirmRerun()) return;

    bool ignore = cbIgnoreMC.Checked();
    // A value that already says what the box says is left as it is: no
    // write, no snapshot and no restart for nothing.
    bool wanted = ignore != IgnoresMonitor(line);
    bool pruningChanged = wanted && platform_.registry.KeyExists(key);
    if (wanted && !pruningChanged)
        ShowWarning(platform_.system, LangText(kMsgPruningNotChanged));
    if (pruningChanged) {
        auto write = [&] { WriteDwordOrAbort(platform_.registry, key, kPruningModeValue, ignore ? 0 : 1); };
        if (ChangeDriverSettings(platform_, snapshots_, {key}, LangText(kStopAdapter), write) !=
            ChangeResult::Written)
            return;
    }
    WriteDwordValue(platform_.registry, kProductSettingsKey, kAdapterNumValue, static_cast<std::uint16_t>(line));
    closed = true;
    WriteDwordValue(platform_.registry, kProductSettingsKey, kAllwaysValue,
                    cbAllways.Checked() ? 1 : 0);
    if (onApplied) onApplied(pruningChanged);
}

void TForm4::bExitClick() { closed = true; }

}  // namespace kv
