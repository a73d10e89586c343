#include "options/OptionTable.h"

#include <cctype>

#include "lang/Entries.h"
#include "maintenance/WriteSteps.h"
#include "platform/DriverValues.h"
#include "platform/RegValues.h"
#include "ui/TextWidth.h"

namespace kv {

using ui::CheckState;

namespace {

constexpr RegType D = RegType::REG_DWORD;
constexpr RegType B = RegType::REG_BINARY;
constexpr RBranch Dev = RBranch::rbDevice;
constexpr RBranch Desk = RBranch::rbDesktop;

constexpr const char* kDesktopRoot = "SOFTWARE\\ATI Technologies\\Desktop";

// Layout of the two pages.
constexpr int kDesktopRowHeight = 22;
constexpr int kDriverRowHeight = 19;
constexpr int kDriverTop = 52;
// The driver page's two columns: the hardware switches, then the display
// rules, whose captions run longer.
constexpr ui::Rect kColumns[] = {{12, 0, 188, 0}, {204, 0, 228, 0}};
// A check box's own square and the gap before its caption, with room to
// spare: a caption wider than the rest of the column takes two lines.
constexpr int kCheckRoom = 21;

std::vector<TTSCheckBox*> Boxes(ui::Form& form) {
    std::vector<TTSCheckBox*> boxes;
    for (auto& c : form.controls)
        if (auto* box = dynamic_cast<TTSCheckBox*>(c.get())) boxes.push_back(box);
    return boxes;
}

bool IsWholeNumber(const std::string& s) {
    std::size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (i >= s.size()) return false;
    for (; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

std::string BranchKey(const TTSCheckBox& box, const AdapterContext& ctx) {
    switch (box.RegistryBranch) {
        case RBranch::rbDevice: return ctx.DeviceKey;
        case RBranch::rbDesktop: return ctx.DesktopKey;
        case RBranch::rbDDHAL: return ctx.DDHALKey;
        case RBranch::rbOpenGL: return ctx.DeviceKey + "\\OpenGL";
        case RBranch::rbOther: break;
    }
    return "";
}

// 0 and 1 are the only states a value can show; anything else stays grayed.
void ShowStoredFlag(TTSCheckBox& box, unsigned value) {
    if (value > 1) return;
    bool on = (value == 1) != box.RegistryKeyInverted;
    box.SetState(on ? CheckState::Checked : CheckState::Unchecked);
}

void ReadOne(TTSCheckBox& box, SharedRegistry& shared, IRegistry& reg, const std::string& key) {
    bool opened = !key.empty() && shared.OpenKey("\\" + key, false);
    box.KeyFound = opened;
    box.SetState(CheckState::Grayed);
    if (!opened) return;
    ValueInfo info = shared.GetValueInfo(box.RegistryKey);
    if (!info.exists) return;
    if (info.kind == ValueKind::Dword) {
        box.RegistryKeyType = RegType::REG_DWORD;
        // Only the low half counts, as the driver's tools have always read
        // it: 0x10001 shows checked.
        std::uint16_t value = 255;
        ReadDwordValue(reg, key, box.RegistryKey, value);
        ShowStoredFlag(box, value);
    } else if (info.kind == ValueKind::Binary && info.size <= 4) {
        box.RegistryKeyType = RegType::REG_BINARY;
        std::uint8_t buffer[4] = {255, 0, 0, 0};
        shared.ReadBinary(box.RegistryKey, buffer, sizeof buffer);
        ShowStoredFlag(box, buffer[0]);
    } else if (info.kind == ValueKind::Binary) {
        // A longer binary shows grayed and is kept as it is.
        box.RegistryKeyType = RegType::REG_BINARY;
    }
}

void WriteOne(TTSCheckBox& box, SharedRegistry& shared, IRegistry& reg, const std::string& key) {
    if (box.state == box.StartState || key.empty()) return;
    if (!OpenKeyOfValueOrAbort(shared, key, box.RegistryKey, box.KeyFound)) return;
    bool on = (box.state == CheckState::Checked) != box.RegistryKeyInverted;
    if (box.state == CheckState::Grayed) {
        DeleteValueOrAbort(shared, box.RegistryKey);
        return;
    }
    switch (box.RegistryKeyType) {
        case RegType::REG_BINARY:
            WriteBinaryOrAbort(shared, box.RegistryKey, {static_cast<std::uint8_t>(on ? 1 : 0), 0, 0, 0});
            break;
        case RegType::REG_DWORD: WriteDwordOrAbort(reg, key, box.RegistryKey, on ? 1 : 0); break;
        default: break;
    }
}

}  // namespace

const std::vector<OptionDef>& DesktopOptions() {
    static const std::vector<OptionDef> options = {
        {"tcbOpenGL", "OpenGL", D, false, Desk, false, kTxtOpenGLTab, kHintOpenGLTab},
        {"tcbD3D", "D3D", D, false, Desk, false, kTxtDirect3DTab, kHintDirect3DTab},
        {"tcbProjector", "Projector", D, false, Desk, false, kTxtProjectorTab, kHintProjectorTab},
        {"tcbRotation", "Rotation", D, false, Desk, false, kTxtRotationTab, kHintRotationTab},
        {"tcbOverl", "Overlay", B, false, Desk, false, kTxtOverlayTab},
        {"tcbATV", "TVAdvanced", B, false, Desk, false, kTxtAdvancedTvTab},
        {"tcbDTM", "DisableOverlayTheaterMode", B, true, Desk, false, kTxtTheaterMode},
        {"tcbDispl", "Displays", B, false, Desk, false, kTxtDisplaysTab},
        {"tcbDPF", "DisableDisplaysPageFunction", B, true, Desk, false, kTxtDisplaysPageFunction},
        {"tcbWorkstation", "Workstation", B, false, Desk, false, kTxtWorkstationTab},
        {"tcbHideOL", "HideOverlayTHXLogo", B, false, Desk, false, kTxtHideThxLogo},
        {"tcbMaxx", "Maxx", B, false, Desk, false, kTxtMaxxTab},
        {"tcbOvlEM", "OverlayWarningMessage", D, false, Desk, false, kTxtOverlayWarning},
        {"ttsLDFPA", "LaptopDFPAdvanced", B, false, Desk, false, kTxtLaptopDfpAdvanced},
    };
    return options;
}

const std::vector<OptionDef>& DriverOptions() {
    // Two value names end in a blank: the driver reads them that way.
    static const std::vector<OptionDef> options = {
        {"tcbBitBlt", "DisableDrvStretchBlt", D, true, Dev, true, kTxtStretchBlt},
        {"tcbBlockWrite", "DisableBlockWrite", D, true, Dev, true, kTxtBlockWrite},
        {"TSCheckBox1", "DisableUSWC", D, true, Dev, true, kTxtUncachedWriteCombining},
        {"tcbTilling", "DisableTiling", D, true, Dev, true, kTxtPrimaryTiling},
        {"TSCheckBox2", "DisableVBlankFlip", D, true, Dev, true, kTxtVBlankFlip},
        {"tcbLCD", "DisableLCD", D, true, Dev, true, kTxtEnableLcd},
        {"tcbDDC2", "DDC2Disabled", D, true, Dev, true, kTxtEnableDdc2},
        {"tcbDmaCopy", "DisableDMACopy", D, true, Dev, true, kTxtEnableDmaCopy},
        {"tcbHideRM", "DALRULE_ENUMDISPLAYSRESTRICTMODES", D, false, Dev, false, kTxtHideRestrictedModes},
        {"tcbTheM", "OvlTheaterMode", B, false, Dev, true, kTxtTheaterModeSupport},
        {"tcbNoCRTTV", "DALRULE_NOCRTANDTVACTIVESIMULTANEOUSLY", D, true, Dev, false, kTxtCrtTvActive},
        {"tcbNoCRTTVDVI", "DALRULE_NOCRTTVANDDVIACTIVESIMULTANEOUSLY", D, true, Dev, false, kTxtCrtTvDviActive},
        {"tcbCRTTVsc", "DALRULE_NOTVANDCRTONSAMECONTROLLER", D, true, Dev, false, kTxtTvCrtController},
        {"tcbCRTLCDsc", "DALRULE_NOTVANDLCDONCRTC", D, true, Dev, false, kTxtTvLcdController},
        {"tcbCRTSAM", kCrtAllModesValue, D, false, Dev, true, kTxtCrtAllModes},
        {"tcbDFPSAM", "DALRULE_DFPSUPPORTSALLMODES ", D, false, Dev, true, kTxtDfpAllModes},
        {"tcbLCDSAM", "DALRULE_LCDSUPPORTSALLMODES ", D, false, Dev, true, kTxtLcdAllModes},
        {"ttsMF", "DALRULE_MOBILEFEATURES", D, false, Dev, false, kTxtMobileFeatures},
        {"ttsGVE", "DALRULE_GETVGAEXPANSIONATBOOT", D, false, Dev, false, kTxtVgaExpansion},
        {"ttsDFPHP", "DFPRULE_HotplugSupported", D, false, Dev, false, kTxtDfpHotPlugSupported},
        {"ttsDDFPHP", "DisableHotPlugDFP", D, false, Dev, false, kTxtDisableDfpHotPlug},
    };
    return options;
}

OptionBoxes AddOptionBoxes(ui::Form& form, TSClickState& clicks, ISystem& system) {
    auto add = [&](const OptionDef& def, const char* page, ui::Rect rect) -> TTSCheckBox& {
        auto& box = form.Add<TTSCheckBox>(def.component, page, rect, "", clicks, system);
        box.Entry(def.entry, def.hintEntry);
        box.RegistryKey = def.registryKey;
        box.RegistryKeyType = def.type;
        box.RegistryKeyInverted = def.inverted;
        box.RegistryBranch = def.branch;
        box.RestartRequred = def.restart;
        box.state = CheckState::Grayed;
        return box;
    };
    OptionBoxes boxes;

    int y = 20;
    for (const OptionDef& def : DesktopOptions()) {
        boxes.desktop.push_back(&add(def, "gbDriver", ui::Rect{16, y, 410, 17}));
        y += kDesktopRowHeight;
    }

    // The anisotropy box is bound to no value of its own: its degree is
    // read and written with the drop-down beside it.
    auto& aniso = form.Add<TTSCheckBox>("cbAnisoD3D", "gbAdvanced", ui::Rect{12, 20, 240, 17}, "", clicks, system);
    aniso.Entry(kTxtForceAnisotropic);
    aniso.allowGrayed = false;
    aniso.RegistryKeyType = RegType::REG_SZ;
    aniso.RegistryBranch = RBranch::rbOther;
    aniso.RestartRequred = true;
    auto& degree = form.Add(ui::Kind::ComboBox, "cbAnisoDegree", "gbAdvanced", ui::Rect{256, 18, 56, 21}, "16");
    degree.items = {"16", "32", "64", "128"};
    degree.enabled = false;
    aniso.onClick = [&aniso, &degree] { degree.enabled = aniso.Checked(); };
    boxes.aniso = &aniso;
    boxes.anisoDegree = &degree;

    for (const OptionDef& def : DriverOptions()) boxes.driver.push_back(&add(def, "gbAdvanced", ui::Rect{}));
    return boxes;
}

void LayOutDriverOptions(const OptionBoxes& boxes) {
    // Two columns: the hardware switches on the left, the display rules on
    // the right. Captions too long for a column take two lines.
    const std::vector<TTSCheckBox*>& driver = boxes.driver;
    const std::size_t leftCount = 10;
    int columnTop[2] = {kDriverTop, kDriverTop};
    for (std::size_t i = 0; i < driver.size(); ++i) {
        int column = i < leftCount ? 0 : 1;
        const ui::Rect& place = kColumns[column];
        ui::Control& box = *driver[i];
        bool twoLines = ui::CaptionWidth(box.text) > place.w - kCheckRoom;
        int height = twoLines ? 2 * kDriverRowHeight - 6 : 17;
        box.rect = ui::Rect{place.x, columnTop[column], place.w, height};
        box.wordWrap = twoLines;
        columnTop[column] += twoLines ? 2 * kDriverRowHeight - 2 : kDriverRowHeight;
    }
}

std::string FindDesktopKey(IRegistry& reg, const AdapterContext& ctx) {
    const std::string& v = ctx.WinVer;
    bool xp = v.size() >= 3 && v[0] == '5' && v[2] == '1';
    if (!xp) return ctx.DeviceKey + "\\Desktop";
    // Without a video identifier the candidate would be the parent key itself.
    std::string candidate = std::string(kDesktopRoot) + "\\" + ctx.VideoID;
    if (!ctx.VideoID.empty() && reg.KeyExists(candidate)) return candidate;
    std::string found;
    for (const std::string& name : reg.SubKeyNames(kDesktopRoot))
        if (IsWholeNumber(name)) found = std::string(kDesktopRoot) + "\\" + name;
    return found;
}

void ReadBoundOptions(ui::Form& form, SharedRegistry& shared, IRegistry& reg, AdapterContext& ctx) {
    // Looked for once: every desktop box, and the writes and snapshots
    // after them, must name the same key, whatever a read of it says.
    ctx.DesktopKey = FindDesktopKey(reg, ctx);
    for (TTSCheckBox* box : Boxes(form)) {
        if (box->RegistryBranch == RBranch::rbOther) continue;
        ReadOne(*box, shared, reg, BranchKey(*box, ctx));
        box->StartState = box->state;
        box->touched = false;
    }
}

void WriteBoundOptions(ui::Form& form, SharedRegistry& shared, IRegistry& reg, const AdapterContext& ctx) {
    for (TTSCheckBox* box : Boxes(form)) {
        if (box->RegistryBranch == RBranch::rbOther) continue;
        WriteOne(*box, shared, reg, BranchKey(*box, ctx));
    }
}

std::vector<CheckState> RestartOptionStates(ui::Form& form) {
    std::vector<CheckState> states;
    for (TTSCheckBox* box : Boxes(form))
        if (box->RestartRequred) states.push_back(box->state);
    return states;
}

bool BoundOptionChanged(ui::Form& form) {
    for (TTSCheckBox* box : Boxes(form))
        if (box->RegistryBranch != RBranch::rbOther && box->state != box->StartState) return true;
    return false;
}

}  // namespace kv
