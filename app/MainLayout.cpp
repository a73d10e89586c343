// The main window's controls: where each lies, its language entries and the
// handler it calls. The start-up sequence fills them (KVMAIN.cpp).
#include "app/CommandIds.h"
#include "app/KVMAIN.h"
#include "lang/Lang.h"
#include "lang/WindowTexts.h"
#include "options/OptionTable.h"
#include "platform/Settings.h"

namespace kv {

using ui::Align;
using ui::Control;
using ui::Kind;
using ui::Rect;

namespace {

constexpr int kClientWidth = 644;
constexpr int kClientHeight = 433;

// The grid: a label, a box and the unit on each of fifteen rows.
constexpr int kGridTop = 38;
constexpr int kGridRowHeight = 22;

// The three pages lie in the same place beside the grid.
constexpr Rect kPageRect{196, 32, 440, 362};

// Controls that no user sees: the groups of design-time settings lie below
// the client area, and the buttons that only the menu reaches beside it.
constexpr int kHiddenTop = kClientHeight + 40;

}  // namespace

TForm1::TForm1(Platform& platform)
    : ui::Form("TForm1", kProgramTitle, kClientWidth, kClientHeight), platform(platform) {
    // One main window a run: its creation is the program's start.
    LanguageInForce() = Language{};
    BuildControls();
    // Every control that names an entry shows its text, and the device
    // options take their columns by them.
    ApplyWindowTexts(*this);
    LayOutDriverOptions(options);
}

void TForm1::BuildControls() {
    BuildGrid();
    tcMainTabs = &Add(Kind::TabControl, "tcMainTabs", "", Rect{196, 6, 440, 24});
    tcMainTabs->items.resize(3);  // captioned by their entries
    tcMainTabs->itemEntries = {kTxtTabAdapterInfo, kTxtTabDriverSettings, kTxtTabDesktopSettings};
    tcMainTabs->itemIndex = 0;
    tcMainTabs->onChange = [this] { tcMainTabsChange(); };
    BuildAdapterInfo();
    gbAdvanced = &Add(Kind::GroupBox, "gbAdvanced", "", kPageRect);
    gbAdvanced->visible = false;
    gbDriver = &Add(Kind::GroupBox, "gbDriver", "", kPageRect);
    gbDriver->visible = false;
    options = AddOptionBoxes(*this, clicks, platform.system);

    OK = &Add(Kind::Button, "OK", "", Rect{399, 402, 75, 25}).Entry(kTxtOk);
    OK->onClick = [this] { OKClick(); };
    Cancel = &Add(Kind::Button, "Cancel", "", Rect{480, 402, 75, 25}).Entry(kTxtCancel);
    Cancel->onClick = [this] { CancelClick(); };
    Help = &Add(Kind::Button, "Help", "", Rect{561, 402, 75, 25}).Entry(kTxtHelp);
    Help->onClick = [this] { HelpClick(); };
    BuildMenuButtons();
    BuildHiddenGroups();
    BuildMenu();
    onPaint = [this] { FormPaint(); };
    onOtherStartWaits = [this] { OtherStartWaits(); };
    onCloseQuery = [this] {
        if (CheckPending()) return false;
        // A change this run wrote (List OK, the adapter dialog's OK) would
        // stay without its check after the restart: the close box takes it
        // back as Cancel does.
        if (snapshots.lastKnownGoodTaken) CancelClick();
        FinishFirstRunSnapshot();
        return true;
    };
}

void TForm1::BuildGrid() {
    // Wide enough that a longer caption (the German one) still leaves the
    // frame's top edge on both sides of it.
    Add(Kind::GroupBox, "gbRefresh", "", Rect{8, 4, 180, 396}).Entry(kTxtRefreshRates);
    auto arrow = [this](const char* name, int y, const char* glyph, void (TForm1::*handler)()) {
        auto& button = Add(Kind::SpeedButton, name, "gbRefresh", Rect{82, y, 56, 18}, glyph);
        button.fontName = "Webdings";
        button.fontSize = 10;
        button.enabled = false;
        button.onClick = [this, handler] { (this->*handler)(); };
        return &button;
    };
    grid.up = arrow("sbUp", 16, "5", &TForm1::sbUpClick);
    for (std::size_t i = 0; i < grid.shown.size(); ++i) {
        const std::string k = std::to_string(i + 1);
        int y = kGridTop + static_cast<int>(i) * kGridRowHeight;
        RefreshGrid::Row& row = grid.shown[i];
        row.label = &Add(Kind::Label, "l" + k, "gbRefresh", Rect{12, y + 3, 64, 16});
        row.label->align = Align::Right;
        row.box = &Add(Kind::ComboBox, "ComboBox" + k, "gbRefresh", Rect{82, y, 56, 21}, "60");
        row.unit = &Add(Kind::Label, "hz" + k, "gbRefresh", Rect{144, y + 3, 26, 16}).Entry(kTxtHz);
        row.label->onContextMenu = row.box->onContextMenu = [this, i] { return GridRowMenu(static_cast<int>(i) + 1); };
    }
    grid.down = arrow("sbDown", kGridTop + RefreshGrid::kRows * kGridRowHeight + 2, "6", &TForm1::sbDownClick);
    bAuto = &Add(Kind::Button, "bAuto", "", Rect{43, 404, 110, 25}).Entry(kTxtAutoconfig);
    bAuto->onClick = [this] { bAutoClick(); };
}

void TForm1::BuildAdapterInfo() {
    gbAdInfo = &Add(Kind::GroupBox, "gbAdInfo", "", kPageRect);
    struct Row {
        const char* name;
        int captionEntry;
        int hintEntry;
        const char* value;
        Control* TForm1::*shown;
        // The card type names the board and its maker, the monitor its
        // name and range: each over several lines.
        int lines = 1;
    };
    const Row rows[] = {
        {"Label1", kTxtChip, kHintChip, "lbChip", &TForm1::lbChip},
        {"Label31", kTxtDriverVersion, kHintDriverVersion, "lbDRVver", &TForm1::lbDRVver},
        {"Label2", kTxtVendorId, ui::kNoEntry, "lbVendorID", &TForm1::lbVendorID},
        {"Label3", kTxtDeviceId, ui::kNoEntry, "lbDevID", &TForm1::lbDevID},
        {"Label4", kTxtSubSystemId, ui::kNoEntry, "lbSSID1", &TForm1::lbSSID1},
        {"Label5", kTxtSubSystemVendorId, ui::kNoEntry, "lbSSID2", &TForm1::lbSSID2},
        {"Label35", kTxtRevision, kHintRevision, "lbRev", &TForm1::lbRev},
        {"Label33", kTxtCardType, kHintCardType, "lbCardType", &TForm1::lbCardType, 4},
        {"lMonitor", kTxtMonitor, kHintMonitor, "lbMonitor", &TForm1::lbMonitor, 3},
    };
    // Captions of other languages run longer than the English ones.
    int y = 30;
    for (const Row& row : rows) {
        auto& caption = Add(Kind::Label, row.name, "gbAdInfo", Rect{8, y, 188, 16});
        caption.Entry(row.captionEntry, row.hintEntry);
        caption.align = Align::Right;
        auto& value = Add(Kind::Label, row.value, "gbAdInfo", Rect{204, y, 224, 16}).HintEntry(row.hintEntry);
        value.showAccel = false;  // driver texts are shown as they are
        this->*row.shown = &value;
        value.rect.h = row.lines * 16;
        value.wordWrap = row.lines > 1;
        y += 28 + (row.lines - 1) * 16;
    }
    lbCardType->text = "Unknown - please, email to program's author...";
}

// The buttons the menu clicks; no user sees them.
void TForm1::BuildMenuButtons() {
    struct Button {
        const char* name;
        const char* caption;  // where no entry gives it one
        int entry;
        void (TForm1::*handler)();
        Control* TForm1::*shown;
    };
    const Button buttons[] = {
        {"About", "About...", ui::kNoEntry, &TForm1::AboutClick, &TForm1::About},
        {"bLang", "Language", ui::kNoEntry, &TForm1::bLangClick, &TForm1::bLang},
        {"bReport", "", kTxtReport, &TForm1::bReportClick, &TForm1::bReport},
        {"bAdapter", "", kTxtAdapterButton, &TForm1::bAdapterClick, &TForm1::bAdapter},
        {"bRes", "Resolution", ui::kNoEntry, &TForm1::bResClick, &TForm1::bRes},
        {"bRestore", "bRestore", ui::kNoEntry, &TForm1::bRestoreClick, &TForm1::bRestore},
    };
    int x = 0;
    for (const Button& b : buttons) {
        auto& button = Add(Kind::Button, b.name, "", Rect{x, kHiddenTop + 60, 75, 25}, b.caption).Entry(b.entry);
        button.onClick = [this, handler = b.handler] { (this->*handler)(); };
        this->*b.shown = &button;
        x += 80;
    }
}

void TForm1::BuildHiddenGroups() {
    auto hiddenGroup = [this](const char* name, const char* caption, int x) {
        Add(Kind::GroupBox, name, "", Rect{x, kHiddenTop, 200, 100}, caption).visible = false;
    };
    hiddenGroup("gbSettings", "", 0);
    cbHiFreq = &Add(Kind::CheckBox, "cbHiFreq", "gbSettings", Rect{8, 16, 184, 17},
                    "Запретить частоты выше установленных");
    hiddenGroup("gbColor", "Разрешенная глубина цвета:", 210);
    int y = 16;
    for (auto [depth, shown] : {std::pair{"8", &TForm1::cb8}, {"16", &TForm1::cb16}, {"24", &TForm1::cb24},
                                {"32", &TForm1::cb32}}) {
        auto& box = Add(Kind::CheckBox, std::string("cb") + depth, "gbColor", Rect{8, y, 100, 17},
                        std::string(depth) + " BPP");
        box.state = ui::CheckState::Checked;
        this->*shown = &box;
        y += 20;
    }
    hiddenGroup("gbDebug", "", 420);
    lbClassID = &Add(Kind::Label, "lbClassID", "gbDebug", Rect{8, 16, 184, 16});
    lbVideoID = &Add(Kind::Label, "lbVideoID", "gbDebug", Rect{8, 36, 184, 16});
}

void TForm1::BuildMenu() {
    // Each item clicks a button of the window, or runs its handler.
    auto clicks = [](const char* name, int entry, unsigned short id, Control* button) {
        return ui::MenuItem{name, "", id, entry, true, [button] { button->Click(); }};
    };
    auto runs = [this](const char* name, int entry, unsigned short id, void (TForm1::*handler)()) {
        return ui::MenuItem{name, "", id, entry, true, [this, handler] { (this->*handler)(); }};
    };
    menus.push_back({"",
                     {runs("Uninstall1", kMenuUninstall, cmd::kUninstall, &TForm1::Uninstall1Click),
                      clicks("RestoreRegistry1", kMenuRestoreRegistry, cmd::kRestoreRegistry, bRestore),
                      runs("CleanRegistry1", kMenuCleanRegistry, cmd::kCleanRegistry, &TForm1::CleanRegistry1Click),
                      clicks("CreateReport1", kMenuCreateReport, cmd::kCreateReport, bReport),
                      runs("SaveProfile1", kMenuSaveProfile, cmd::kSaveProfile, &TForm1::SaveProfileClick),
                      runs("LoadProfile1", kMenuLoadProfile, cmd::kLoadProfile, &TForm1::LoadProfileClick),
                      clicks("SaveExit1", kMenuSaveExit, cmd::kSaveExit, OK),
                      clicks("Exit1", kMenuExit, cmd::kExit, Cancel)},
                     kMenuProgram});
    menus.push_back({"",
                     {clicks("Adapter1", kMenuAdapter, cmd::kAdapter, bAdapter),
                      clicks("Language1", kMenuLanguage, cmd::kLanguage, bLang),
                      clicks("Resolutions1", kMenuResolutions, cmd::kResolutions, bRes),
                      runs("TryRate1", kMenuTryRate, cmd::kTryRate, &TForm1::TryRate1Click)},
                     kMenuConfigure});
    menus.push_back({"",
                     {clicks("Contens1", kMenuContents, cmd::kContents, Help),
                      clicks("About1", kMenuAbout, cmd::kAbout, About)},
                     kMenuHelp});
    Language1 = &menus[1].items[1];
    TryRate1 = &menus[1].items[3];
}

}  // namespace kv
