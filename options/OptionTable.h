// The driver's on/off options as bound check boxes, and the loops that read
// them from the driver's keys at start-up and write them back on OK.
#pragma once

#include <string>
#include <vector>

#include "options/TSCheckBox.h"
#include "platform/AdapterContext.h"
#include "platform/SharedRegistry.h"
#include "ui/Form.h"

namespace kv {

struct OptionDef {
    const char* component;
    const char* registryKey;
    RegType type;
    bool inverted;
    RBranch branch;
    bool restart;
    int entry;  // the language entry of its caption
    int hintEntry = ui::kNoEntry;
};

// In component order, page by page.
const std::vector<OptionDef>& DesktopOptions();
const std::vector<OptionDef>& DriverOptions();

// The boxes the main window itself reads and places.
struct OptionBoxes {
    TTSCheckBox* aniso = nullptr;
    ui::Control* anisoDegree = nullptr;
    std::vector<TTSCheckBox*> desktop;  // in component order
    std::vector<TTSCheckBox*> driver;   // the device options, in component order
};

// Adds every bound box to its page: the desktop options to gbDriver, the
// anisotropy controls and the device options to gbAdvanced. Each names the
// entry of its caption; the device options take their places by their
// texts (LayOutDriverOptions).
OptionBoxes AddOptionBoxes(ui::Form& form, TSClickState& clicks, ISystem& system);

// Places the device options in their two columns by their captions, as
// they are now: a caption too long for its column takes two lines.
void LayOutDriverOptions(const OptionBoxes& boxes);

// The key the desktop options live in.
std::string FindDesktopKey(IRegistry& reg, const AdapterContext& ctx);

void ReadBoundOptions(ui::Form& form, SharedRegistry& shared, IRegistry& reg, AdapterContext& ctx);
void WriteBoundOptions(ui::Form& form, SharedRegistry& shared, IRegistry& reg, const AdapterContext& ctx);

// The states of the boxes whose change needs a restart, in component order.
std::vector<ui::CheckState> RestartOptionStates(ui::Form& form);
// A box bound to a value shows another state than the value gave it.
bool BoundOptionChanged(ui::Form& form);

}  // namespace kv
