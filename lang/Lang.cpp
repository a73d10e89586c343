#include "lang/Lang.h"

#include <algorithm>
#include <cctype>

#include "platform/Misc.h"
#include "platform/Settings.h"

namespace kv {

LangTable LangTexts;
LangTable DefaultTexts;
std::uint16_t LangLoaded = 0;
std::size_t LangEntriesLoaded = 0;
std::string LangFileNameInForce;

namespace {

using Slot = TextSlot;

using MainItem = WindowText;

// The grid's rows, each with "Hz" after its rate box.
constexpr const char* kGridUnitLabels[] = {"hz1", "hz2",  "hz3",  "hz4",  "hz5",  "hz6",  "hz7", "hz8",
                                           "hz9", "hz10", "hz11", "hz12", "hz13", "hz14", "hz15"};

// Every main-window item a language file can re-caption. The adapter
// labels' hints show on the caption and on the value beside it.
const std::vector<MainItem>& MainItems() {
    static const std::vector<MainItem> items = [] {
        std::vector<MainItem> list = {
            {kTxtRefreshRates, Slot::Text, "gbRefresh"},
            {kTxtTabAdapterInfo, Slot::Tab, "tcMainTabs", 0, 0},
            {kTxtTabDriverSettings, Slot::Tab, "tcMainTabs", 0, 1},
            {kTxtTabDesktopSettings, Slot::Tab, "tcMainTabs", 0, 2},
            {kTxtOk, Slot::Text, "OK"},
            {kTxtCancel, Slot::Text, "Cancel"},
            {kTxtHelp, Slot::Text, "Help"},
            {kTxtAdapterButton, Slot::Text, "bAdapter"},
            {kTxtReport, Slot::Text, "bReport"},
            {kTxtChip, Slot::Text, "Label1"},
            {kTxtDriverVersion, Slot::Text, "Label31"},
            {kTxtCardType, Slot::Text, "Label33"},
            {kTxtForceAnisotropic, Slot::Text, "cbAnisoD3D"},
            {kTxtBlockWrite, Slot::Text, "tcbBlockWrite"},
            {kTxtEnableLcd, Slot::Text, "tcbLCD"},
            {kTxtEnableDdc2, Slot::Text, "tcbDDC2"},
            {kTxtEnableDmaCopy, Slot::Text, "tcbDmaCopy"},
            {kTxtProjectorTab, Slot::Text, "tcbProjector"},
            {kTxtRotationTab, Slot::Text, "tcbRotation"},
            {kTxtVendorId, Slot::Text, "Label2"},
            {kTxtDeviceId, Slot::Text, "Label3"},
            {kTxtSubSystemId, Slot::Text, "Label4"},
            {kTxtSubSystemVendorId, Slot::Text, "Label5"},
            {kTxtRevision, Slot::Text, "Label35"},
            {kHintChip, Slot::Hint, "Label1"},
            {kHintChip, Slot::Hint, "lbChip"},
            {kHintDriverVersion, Slot::Hint, "Label31"},
            {kHintDriverVersion, Slot::Hint, "lbDRVver"},
            {kHintRevision, Slot::Hint, "Label35"},
            {kHintRevision, Slot::Hint, "lbRev"},
            {kHintCardType, Slot::Hint, "Label33"},
            {kHintCardType, Slot::Hint, "lbCardType"},
            {kHintOpenGLTab, Slot::Hint, "tcbOpenGL"},
            {kHintDirect3DTab, Slot::Hint, "tcbD3D"},
            {kHintProjectorTab, Slot::Hint, "tcbProjector"},
            {kHintRotationTab, Slot::Hint, "tcbRotation"},
            {kMenuProgram, Slot::MenuTitle, nullptr, 0},
            {kMenuConfigure, Slot::MenuTitle, nullptr, 1},
            {kMenuHelp, Slot::MenuTitle, nullptr, 2},
            // The Program menu: Uninstall, Restore Registry, Clean Registry,
            // Create Report, Save and Exit, Exit.
            {kMenuUninstall, Slot::MenuItem, nullptr, 0, 0},
            {kMenuRestoreRegistry, Slot::MenuItem, nullptr, 0, 1},
            {kMenuCleanRegistry, Slot::MenuItem, nullptr, 0, 2},
            {kMenuCreateReport, Slot::MenuItem, nullptr, 0, 3},
            {kMenuSaveExit, Slot::MenuItem, nullptr, 0, 4},
            {kMenuExit, Slot::MenuItem, nullptr, 0, 5},
            // Configure: Adapter, Language, Resolutions.
            {kMenuAdapter, Slot::MenuItem, nullptr, 1, 0},
            {kMenuLanguage, Slot::MenuItem, nullptr, 1, 1},
            {kMenuResolutions, Slot::MenuItem, nullptr, 1, 2},
            // Help: Contents, About.
            {kMenuContents, Slot::MenuItem, nullptr, 2, 0},
            {kMenuAbout, Slot::MenuItem, nullptr, 2, 1},
            {kTxtAutoconfig, Slot::Text, "bAuto"},
            {kTxtHideRestrictedModes, Slot::Text, "tcbHideRM"},
            {kTxtTheaterModeSupport, Slot::Text, "tcbTheM"},
            {kTxtOpenGLTab, Slot::Text, "tcbOpenGL"},
            {kTxtDirect3DTab, Slot::Text, "tcbD3D"},
            {kTxtOverlayTab, Slot::Text, "tcbOverl"},
            {kTxtAdvancedTvTab, Slot::Text, "tcbATV"},
            {kTxtTheaterMode, Slot::Text, "tcbDTM"},
            {kTxtDisplaysTab, Slot::Text, "tcbDispl"},
            {kTxtDisplaysPageFunction, Slot::Text, "tcbDPF"},
            {kTxtWorkstationTab, Slot::Text, "tcbWorkstation"},
            {kTxtHideThxLogo, Slot::Text, "tcbHideOL"},
            {kTxtMaxxTab, Slot::Text, "tcbMaxx"},
            {kTxtOverlayWarning, Slot::Text, "tcbOvlEM"},
            {kTxtCrtTvActive, Slot::Text, "tcbNoCRTTV"},
            {kTxtCrtTvDviActive, Slot::Text, "tcbNoCRTTVDVI"},
            {kTxtTvCrtController, Slot::Text, "tcbCRTTVsc"},
            {kTxtTvLcdController, Slot::Text, "tcbCRTLCDsc"},
            {kTxtStretchBlt, Slot::Text, "tcbBitBlt"},
            {kTxtUncachedWriteCombining, Slot::Text, "TSCheckBox1"},
            {kTxtPrimaryTiling, Slot::Text, "tcbTilling"},
            {kTxtVBlankFlip, Slot::Text, "TSCheckBox2"},
            {kTxtLaptopDfpAdvanced, Slot::Text, "ttsLDFPA"},
            {kTxtCrtAllModes, Slot::Text, "tcbCRTSAM"},
            {kTxtDfpAllModes, Slot::Text, "tcbDFPSAM"},
            {kTxtLcdAllModes, Slot::Text, "tcbLCDSAM"},
            {kTxtMobileFeatures, Slot::Text, "ttsMF"},
            {kTxtVgaExpansion, Slot::Text, "ttsGVE"},
            {kTxtDfpHotPlugSupported, Slot::Text, "ttsDFPHP"},
            {kTxtDisableDfpHotPlug, Slot::Text, "ttsDDFPHP"},
        };
        // The unit beside each rate box of the grid.
        for (const char* hz : kGridUnitLabels) list.push_back({kTxtHz, Slot::Text, hz});
        return list;
    }();
    return items;
}

// The place of an item's text in the window; nullptr when the window has
// no such item.
std::string* SlotOf(ui::Form& form, const MainItem& item) {
    switch (item.slot) {
        case Slot::Caption: return &form.caption;
        case Slot::Text:
        case Slot::Hint:
        case Slot::Tab: {
            ui::Control* c = form.Find(item.control);
            if (!c) return nullptr;
            if (item.slot == Slot::Text) return &c->text;
            if (item.slot == Slot::Hint) return &c->hint;
            if (item.index >= static_cast<int>(c->items.size())) return nullptr;
            return &c->items[static_cast<std::size_t>(item.index)];
        }
        case Slot::MenuTitle:
        case Slot::MenuItem: {
            if (item.menu >= static_cast<int>(form.menus.size())) return nullptr;
            ui::Menu& menu = form.menus[static_cast<std::size_t>(item.menu)];
            if (item.slot == Slot::MenuTitle) return &menu.caption;
            if (item.index >= static_cast<int>(menu.items.size())) return nullptr;
            return &menu.items[static_cast<std::size_t>(item.index)].caption;
        }
    }
    return nullptr;
}

bool Loaded(int entry) {
    return LangLoaded == 1 && entry >= 0 && static_cast<std::size_t>(entry) < LangEntriesLoaded;
}

// "[codepage=1251]": the code page the file's texts are written in.
unsigned CodePageLine(const std::string& line) {
    std::string lower;
    for (char c : line)
        if (c != ' ') lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string head = "[codepage=";
    if (lower.compare(0, head.size(), head) != 0 || lower.back() != ']') return 0;
    std::string digits = lower.substr(head.size(), lower.size() - head.size() - 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    return static_cast<unsigned>(std::stoul(digits));
}

}  // namespace

void ResetLanguage() {
    for (std::string& s : LangTexts) s.clear();
    for (std::string& s : DefaultTexts) s.clear();
    LangLoaded = 0;
    LangEntriesLoaded = 0;
    LangFileNameInForce.clear();
}

std::string LangText(int entry) {
    return Loaded(entry) ? LangTexts[static_cast<std::size_t>(entry)] : EnglishText(entry);
}

namespace {

// "%1" to "%9" in `text`, each replaced by its value; a placeholder without
// a value stays as it is.
std::string Fill(const std::string& text, const std::vector<std::string>& values) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        char next = at + 1 < text.size() ? text[at + 1] : '\0';
        std::size_t n = next >= '1' && next <= '9' ? static_cast<std::size_t>(next - '1') : values.size();
        if (text[at] == '%' && n < values.size()) {
            out += values[n];
            ++at;
        } else {
            out += text[at];
        }
    }
    return out;
}

bool HoldsEveryPlaceholder(const std::string& text, std::size_t count) {
    for (std::size_t n = 1; n <= count; ++n)
        if (text.find("%" + std::to_string(n)) == std::string::npos) return false;
    return true;
}

}  // namespace

std::string LangText(int entry, std::initializer_list<std::string> values) {
    const std::string& english = EnglishText(entry);
    std::size_t used = 0;
    while (used < values.size() && HoldsEveryPlaceholder(english, used + 1)) ++used;
    std::string text = LangText(entry);
    if (!HoldsEveryPlaceholder(text, used)) text = english;
    return Fill(text, values);
}

std::string Enumeration(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? LangText(kTxtListAnd) : ", ") + parts[i];
    return text;
}

void ShowError(ISystem& sys, const std::string& text) { sys.ShowMessageBox(text, LangText(kMsgError), kMbOk); }

void ShowWarning(ISystem& sys, const std::string& text) { sys.ShowMessageBox(text, LangText(kMsgWarning), kMbOk); }

bool AskWarning(ISystem& sys, const std::string& text) {
    return sys.ShowMessageBox(text, LangText(kMsgWarning), kMbYesNo) == kIdYes;
}

void AcquireShutdownPrivilege(ISystem& sys) {
    AcquireShutdownPrivilege(sys, LangText(kMsgNoShutdownPrivilege), LangText(kMsgError));
}

void ApplyWindowTexts(ui::Form& window, const std::vector<WindowText>& texts) {
    for (const WindowText& item : texts)
        if (std::string* slot = SlotOf(window, item)) *slot = LangText(item.entry);
}

LngFile ParseLngFile(ISystem& system, const std::string& bytes) {
    // The lines as they are; a text never holds a line break.
    std::vector<std::string> counted;
    LngFile file;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (file.codePage == 0) file.codePage = CodePageLine(line);
            continue;
        }
        counted.push_back(std::move(line));
    }
    file.countedLines = counted.size();
    if (counted.empty()) return file;
    file.versionMatches = counted[0].size() >= 10 && counted[0].substr(10) == kLangVersion;
    // The last line names the translator: an older file that ends early
    // shows English for the entries it lacks, never that name.
    for (std::size_t i = 1; i + 1 < counted.size() && file.entries.size() < kLangEntryCount; ++i)
        file.entries.push_back(system.DecodeAnsiText(counted[i], file.codePage));
    file.translator = system.DecodeAnsiText(counted.back(), file.codePage);
    return file;
}

void CaptureDefaultTexts(ui::Form& mainWindow) {
    for (const MainItem& item : MainItems())
        if (std::string* slot = SlotOf(mainWindow, item)) DefaultTexts[static_cast<std::size_t>(item.entry)] = *slot;
}

void ApplyMainWindowTexts(ui::Form& mainWindow) {
    for (const MainItem& item : MainItems()) {
        std::size_t entry = static_cast<std::size_t>(item.entry);
        if (std::string* slot = SlotOf(mainWindow, item))
            *slot = Loaded(item.entry) ? LangTexts[entry] : DefaultTexts[entry];
    }
}

int LoadLanguage(ui::Form& mainWindow, Platform& p, bool showMessages) {
    std::string name;
    ReadTextValue(p.registry, kProductSettingsKey, "LangFileName", name);
    // A file that cannot be used is named in the language in force until
    // now.
    const std::string notOpened = LangText(kMsgCannotOpenLangFile, {name});
    const std::string wrongVersion = LangText(kMsgWrongLangVersion), error = LangText(kMsgError);
    LangLoaded = 0;
    int outcome = kLangNoFile;
    LangFileNameInForce = name;
    if (!name.empty()) {
        std::optional<std::string> bytes = p.system.ReadFile(InstallFile(p.registry, name));
        LngFile file = bytes ? ParseLngFile(p.system, *bytes) : LngFile{};
        if (!bytes) {
            if (showMessages) p.system.ShowMessageBox(notOpened, error, kMbOk);
            outcome = kLangNotRead;
        } else if (!file.versionMatches) {
            if (showMessages) p.system.ShowMessageBox(wrongVersion, error, kMbOk);
            outcome = kLangWrongVersion;
        } else {
            std::copy(file.entries.begin(), file.entries.end(), LangTexts.begin());
            LangEntriesLoaded = file.entries.size();
            LangLoaded = 1;
            outcome = kLangApplied;
        }
    }
    ApplyMainWindowTexts(mainWindow);
    return outcome;
}

void StoreLangFileName(IRegistry& reg) {
    WriteTextValue(reg, kProductSettingsKey, "LangFileName", LangFileNameInForce);
}

}  // namespace kv
