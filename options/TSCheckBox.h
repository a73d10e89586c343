// A three-state check box bound to one driver registry value: checked is on,
// unchecked off, grayed means the value is absent and the driver's default
// applies.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

// Declared types, in this order; only REG_BINARY and REG_DWORD are written.
enum class RegType {
    REG_BINARY,
    REG_DWORD,
    REG_DWORD_LITTLE_ENDIAN,
    REG_DWORD_BIG_ENDIAN,
    REG_EXPAND_SZ,
    REG_LINK,
    REG_MULTI_SZ,
    REG_NONE,
    REG_RESOURCE_LIST,
    REG_SZ,
};

enum class RBranch { rbDevice, rbDesktop, rbDDHAL, rbOpenGL, rbOther };

// Shared by every box of a window: the first state change, whether boxes may
// still ask to create a value, and a guard against asking twice at once.
struct TSClickState {
    bool firstClick = true;
    bool askCreate = true;
    bool startedGrayed = false;
    bool promptBusy = false;
};

class TTSCheckBox : public ui::Control {
public:
    TTSCheckBox(std::string name, std::string parent, ui::Rect rect, std::string caption, TSClickState& clicks,
                ISystem& system);

    // The toolkit's click first (the window's own handler), then the box's.
    void Click() override;

    bool Warnings = false;
    RegType RegistryKeyType = RegType::REG_DWORD;
    bool RegistryKeyInverted = false;
    std::string RegistryKey;
    bool RestartRequred = false;
    RBranch RegistryBranch = RBranch::rbDevice;

    // The state start-up showed. A box that ends where it started leaves
    // its value exactly as it is, whatever the value holds: one the box
    // cannot show (another number, type or length) is never rewritten.
    ui::CheckState StartState = ui::CheckState::Grayed;
    // Its key could be opened when the value was read: a key that was
    // there then and cannot be opened now stops a save.
    bool KeyFound = false;

private:
    TSClickState& clicks_;
    ISystem& system_;
};

}  // namespace kv
