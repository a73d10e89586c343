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

// Where a main-window item keeps the text of its entry.
enum class Slot { Text, Hint, Tab, MenuTitle, MenuItem };

struct MainItem {
    int entry;
    Slot slot;
    const char* control;  // for Text, Hint and Tab
    int menu = 0;         // for MenuTitle and MenuItem
    int index = 0;        // the tab, or the item within its menu
};

// Every main-window item a language file can re-caption. The adapter
// labels' hints show on the caption and on the value beside it.
const std::vector<MainItem>& MainItems() {
    static const std::vector<MainItem> items = {
        {2, Slot::Text, "gbRefresh"},
        {3, Slot::Tab, "tcMainTabs", 0, 0},
        {4, Slot::Tab, "tcMainTabs", 0, 1},
        {5, Slot::Tab, "tcMainTabs", 0, 2},
        {6, Slot::Text, "OK"},
        {7, Slot::Text, "Cancel"},
        {8, Slot::Text, "Help"},
        {9, Slot::Text, "bAdapter"},
        {10, Slot::Text, "bReport"},
        {11, Slot::Text, "Label1"},
        {12, Slot::Text, "Label31"},
        {13, Slot::Text, "Label33"},
        {14, Slot::Text, "cbAnisoD3D"},
        {15, Slot::Text, "tcbBlockWrite"},
        {16, Slot::Text, "tcbLCD"},
        {17, Slot::Text, "tcbDDC2"},
        {18, Slot::Text, "tcbDmaCopy"},
        {19, Slot::Text, "tcbProjector"},
        {20, Slot::Text, "tcbRotation"},
        {41, Slot::Hint, "Label1"},
        {41, Slot::Hint, "lbChip"},
        {42, Slot::Hint, "Label31"},
        {42, Slot::Hint, "lbDRVver"},
        {43, Slot::Hint, "Label35"},
        {43, Slot::Hint, "lbRev"},
        {44, Slot::Hint, "Label33"},
        {44, Slot::Hint, "lbCardType"},
        {45, Slot::Hint, "tcbOpenGL"},
        {46, Slot::Hint, "tcbD3D"},
        {47, Slot::Hint, "tcbProjector"},
        {48, Slot::Hint, "tcbRotation"},
        {49, Slot::MenuTitle, nullptr, 0},
        {50, Slot::MenuTitle, nullptr, 1},
        {51, Slot::MenuTitle, nullptr, 2},
        // The Program menu: Uninstall, Restore Registry, Clean Registry,
        // Create Report, Save and Exit, Exit.
        {72, Slot::MenuItem, nullptr, 0, 0},
        {52, Slot::MenuItem, nullptr, 0, 1},
        {115, Slot::MenuItem, nullptr, 0, 2},
        {53, Slot::MenuItem, nullptr, 0, 3},
        {54, Slot::MenuItem, nullptr, 0, 4},
        {55, Slot::MenuItem, nullptr, 0, 5},
        // Configure: Adapter, Language, Resolutions.
        {56, Slot::MenuItem, nullptr, 1, 0},
        {57, Slot::MenuItem, nullptr, 1, 1},
        {58, Slot::MenuItem, nullptr, 1, 2},
        // Help: Contents, About.
        {59, Slot::MenuItem, nullptr, 2, 0},
        {60, Slot::MenuItem, nullptr, 2, 1},
        {80, Slot::Text, "bAuto"},
        {81, Slot::Text, "tcbHideRM"},
        {82, Slot::Text, "tcbTheM"},
        {83, Slot::Text, "tcbOpenGL"},
        {84, Slot::Text, "tcbD3D"},
        {85, Slot::Text, "tcbOverl"},
        {86, Slot::Text, "tcbATV"},
        {87, Slot::Text, "tcbDTM"},
        {88, Slot::Text, "tcbDispl"},
        {89, Slot::Text, "tcbDPF"},
        {90, Slot::Text, "tcbWorkstation"},
        {91, Slot::Text, "tcbHideOL"},
        {92, Slot::Text, "tcbMaxx"},
        {93, Slot::Text, "tcbOvlEM"},
        {94, Slot::Text, "tcbNoCRTTV"},
        {95, Slot::Text, "tcbNoCRTTVDVI"},
        {96, Slot::Text, "tcbCRTTVsc"},
        {97, Slot::Text, "tcbCRTLCDsc"},
        {116, Slot::Text, "ttsLDFPA"},
        {117, Slot::Text, "tcbCRTSAM"},
        {118, Slot::Text, "tcbDFPSAM"},
        {119, Slot::Text, "tcbLCDSAM"},
        {120, Slot::Text, "ttsMF"},
        {121, Slot::Text, "ttsGVE"},
        {122, Slot::Text, "ttsDFPHP"},
        {123, Slot::Text, "ttsDDFPHP"},
    };
    return items;
}

// The place of an item's text in the window; nullptr when the window has
// no such item.
std::string* SlotOf(ui::Form& form, const MainItem& item) {
    switch (item.slot) {
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
    LangLoaded = 0;
    int outcome = kLangNoFile;
    std::string name;
    ReadTextValue(p.registry, kProductSettingsKey, "LangFileName", name);
    LangFileNameInForce = name;
    if (!name.empty()) {
        std::optional<std::string> bytes = p.system.ReadFile(InstallFile(p.registry, name));
        LngFile file = bytes ? ParseLngFile(p.system, *bytes) : LngFile{};
        if (!bytes) {
            if (showMessages) p.system.ShowMessageBox("Can't open " + name, "Error", kMbOk);
            outcome = kLangNotRead;
        } else if (!file.versionMatches) {
            if (showMessages) p.system.ShowMessageBox("Wrong version of LNG File", "Error", kMbOk);
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
