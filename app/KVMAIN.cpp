#include "app/KVMAIN.h"

#include <algorithm>
#include <cctype>

#include "app/CommandIds.h"
#include "lang/Lang.h"
#include "maintenance/Snapshots.h"
#include "modes/Apply.h"
#include "modes/CheckModes.h"
#include "options/OptionTable.h"
#include "platform/Misc.h"
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

// A second Kelvane would write over the first one's changes, or undo them
// on Cancel: one runs at a time.
constexpr const char* kInstanceName = "Tessaly.Kelvane.OneInstance";

// The word that marks the copy a check start hands its check to.
constexpr const char* kHandedCheckWord = "/DETACHED";

bool CommandLineHolds(std::string commandLine, const char* word) {
    std::transform(commandLine.begin(), commandLine.end(), commandLine.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return commandLine.find(word) != std::string::npos;
}

bool AsksForCheck(const std::string& commandLine) { return CommandLineHolds(commandLine, "/CHECK"); }

}  // namespace

TForm1::TForm1(Platform& platform)
    : ui::Form("TForm1", kProgramTitle, kClientWidth, kClientHeight), platform(platform) {
    // One main window a run: its creation is the program's start.
    ResetLanguage();
    BuildControls();
}

TForm1::~TForm1() {
    if (instanceClaimed_) platform.system.ReleaseSingleInstance(kInstanceName);
}

void TForm1::BuildControls() {
    BuildGrid();
    auto& tabs = Add(Kind::TabControl, "tcMainTabs", "", Rect{196, 6, 440, 24}, "");
    tabs.items = {"Adapter Info", "Driver Settings", "Desktop Settings"};
    tabs.itemIndex = 0;
    tabs.onChange = [this] { tcMainTabsChange(); };
    BuildAdapterInfo();
    auto& advanced = Add(Kind::GroupBox, "gbAdvanced", "", kPageRect, "");
    advanced.visible = false;
    auto& driver = Add(Kind::GroupBox, "gbDriver", "", kPageRect, "");
    driver.visible = false;
    AddOptionBoxes(*this, clicks, platform.system);

    Add(Kind::Button, "OK", "", Rect{399, 402, 75, 25}, "OK").onClick = [this] { OKClick(); };
    Add(Kind::Button, "Cancel", "", Rect{480, 402, 75, 25}, "Cancel").onClick = [this] { CancelClick(); };
    Add(Kind::Button, "Help", "", Rect{561, 402, 75, 25}, "Help").onClick = [this] { HelpClick(); };

    // Reached through the menu only.
    int x = 0;
    for (auto [name, caption] : {std::pair{"About", "About..."}, {"bLang", "Language"}, {"bReport", "Report"},
                                 {"bAdapter", "Adapter..."}, {"bRes", "Resolution"}, {"bRestore", "bRestore"}}) {
        Add(Kind::Button, name, "", Rect{x, kHiddenTop + 60, 75, 25}, caption).enabled = false;
        x += 80;
    }
    auto handle = [this](const char* button, void (TForm1::*handler)()) {
        auto& b = (*this)[button];
        b.enabled = true;
        b.onClick = [this, handler] { (this->*handler)(); };
    };
    handle("bLang", &TForm1::bLangClick);
    handle("bRestore", &TForm1::bRestoreClick);
    handle("bAdapter", &TForm1::bAdapterClick);
    handle("bRes", &TForm1::bResClick);
    handle("bReport", &TForm1::bReportClick);
    handle("About", &TForm1::AboutClick);
    BuildHiddenGroups();
    BuildMenu();
    onPaint = [this] { FormPaint(); };
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
    Add(Kind::GroupBox, "gbRefresh", "", Rect{8, 4, 180, 396}, "Refresh Rates:");
    auto& up = Add(Kind::SpeedButton, "sbUp", "gbRefresh", Rect{82, 16, 56, 18}, "5");
    up.fontName = "Webdings";
    up.fontSize = 10;
    up.enabled = false;
    up.onClick = [this] { sbUpClick(); };
    for (int k = 1; k <= kGridRows; ++k) {
        int y = kGridTop + (k - 1) * kGridRowHeight;
        auto& label = Add(Kind::Label, "l" + std::to_string(k), "gbRefresh", Rect{12, y + 3, 64, 16}, "");
        label.align = Align::Right;
        Add(Kind::ComboBox, "ComboBox" + std::to_string(k), "gbRefresh", Rect{82, y, 56, 21}, "60");
        Add(Kind::Label, "hz" + std::to_string(k), "gbRefresh", Rect{144, y + 3, 26, 16}, "Hz");
    }
    auto& down = Add(Kind::SpeedButton, "sbDown", "gbRefresh",
                     Rect{82, kGridTop + kGridRows * kGridRowHeight + 2, 56, 18}, "6");
    down.fontName = "Webdings";
    down.fontSize = 10;
    down.enabled = false;
    down.onClick = [this] { sbDownClick(); };
    auto& autoconfig = Add(Kind::Button, "bAuto", "", Rect{43, 404, 110, 25}, "Autoconfig");
    autoconfig.onClick = [this] { bAutoClick(); };
}

void TForm1::BuildAdapterInfo() {
    Add(Kind::GroupBox, "gbAdInfo", "", kPageRect, "");
    struct Row {
        const char* name;
        const char* caption;
        const char* hint;
        const char* value;
    };
    const Row rows[] = {
        {"Label1", "Chip:", "Type of the card's chip", "lbChip"},
        {"Label31", "Driver Version:", "Version of currently installed driver", "lbDRVver"},
        {"Label2", "Vendor ID:", "", "lbVendorID"},
        {"Label3", "Device ID:", "", "lbDevID"},
        {"Label4", "SubSystem ID:", "", "lbSSID1"},
        {"Label5", "SubSystem  Vendor ID:", "", "lbSSID2"},
        {"Label35", "Revision:", "Revision of the card", "lbRev"},
        {"Label33", "Card Type:", "Type of the card", "lbCardType"},
    };
    // Captions of other languages run longer than the English ones.
    int y = 30;
    for (const Row& row : rows) {
        auto& caption = Add(Kind::Label, row.name, "gbAdInfo", Rect{8, y, 188, 16}, row.caption);
        caption.align = Align::Right;
        caption.hint = row.hint;
        auto& value = Add(Kind::Label, row.value, "gbAdInfo", Rect{204, y, 224, 16}, "");
        value.showAccel = false;  // driver texts are shown as they are
        value.hint = row.hint;
        y += 30;
    }
    // The card type names the board and its maker, over up to four lines.
    auto& cardType = (*this)["lbCardType"];
    cardType.rect.h = 4 * 16;
    cardType.wordWrap = true;
    cardType.text = "Unknown - please, email to program's author...";
}

void TForm1::BuildHiddenGroups() {
    auto hiddenGroup = [this](const char* name, const char* caption, int x) {
        Add(Kind::GroupBox, name, "", Rect{x, kHiddenTop, 200, 100}, caption).visible = false;
    };
    hiddenGroup("gbSettings", "", 0);
    Add(Kind::CheckBox, "cbHiFreq", "gbSettings", Rect{8, 16, 184, 17}, "Запретить частоты выше установленных");
    hiddenGroup("gbColor", "Разрешенная глубина цвета:", 210);
    int y = 16;
    for (const char* depth : {"8", "16", "24", "32"}) {
        auto& box = Add(Kind::CheckBox, std::string("cb") + depth, "gbColor", Rect{8, y, 100, 17},
                        std::string(depth) + " BPP");
        box.state = ui::CheckState::Checked;
        y += 20;
    }
    hiddenGroup("gbDebug", "", 420);
    Add(Kind::Label, "lbClassID", "gbDebug", Rect{8, 16, 184, 16}, "");
    Add(Kind::Label, "lbVideoID", "gbDebug", Rect{8, 36, 184, 16}, "");
}

void TForm1::BuildMenu() {
    // Each item clicks a button of the window, or opens its dialog.
    auto item = [](const char* name, const char* caption, unsigned short id) {
        ui::MenuItem m;
        m.name = name;
        m.caption = caption;
        m.id = id;
        m.enabled = false;
        return m;
    };
    menus.push_back({"Program",
                     {item("Uninstall1", "Uninstall", cmd::kUninstall),
                      item("RestoreRegistry1", "Restore Registry", cmd::kRestoreRegistry),
                      item("CleanRegistry1", "Clean Registry", cmd::kCleanRegistry),
                      item("CreateReport1", "Create Report", cmd::kCreateReport),
                      item("SaveExit1", "Save and Exit", cmd::kSaveExit), item("Exit1", "Exit", cmd::kExit)}});
    menus.push_back({"Configure",
                     {item("Adapter1", "Adapter...", cmd::kAdapter), item("Language1", "Language...", cmd::kLanguage),
                      item("Resolutions1", "Resolutions...", cmd::kResolutions)}});
    menus.push_back({"Help", {item("Contens1", "Contens...", cmd::kContents), item("About1", "About", cmd::kAbout)}});

    auto clicks = [this](const char* itemName, const char* button) {
        ui::MenuItem& m = *FindMenuItem(itemName);
        m.enabled = true;
        m.onClick = [this, button] { (*this)[button].Click(); };
    };
    clicks("RestoreRegistry1", "bRestore");
    clicks("Language1", "bLang");
    clicks("Adapter1", "bAdapter");
    clicks("Resolutions1", "bRes");
    clicks("CreateReport1", "bReport");
    clicks("Contens1", "Help");
    clicks("About1", "About");
    // A plain pair, not a structured binding: clang before 16, which builds
    // the fuzz targets, cannot capture a binding in a lambda.
    for (const auto& entry : {std::pair{"CleanRegistry1", &TForm1::CleanRegistry1Click},
                              {"Uninstall1", &TForm1::Uninstall1Click}}) {
        ui::MenuItem& m = *FindMenuItem(entry.first);
        m.enabled = true;
        m.onClick = [this, handler = entry.second] { (this->*handler)(); };
    }
    clicks("SaveExit1", "OK");
    clicks("Exit1", "Cancel");
}

void TForm1::FormCreate() {
    if (HandCheckToCopy()) platform.system.EndProgram(0);
    if (!platform.system.ClaimSingleInstance(kInstanceName)) {
        platform.system.ActivateWindow(name);
        platform.system.EndProgram(0);
    }
    instanceClaimed_ = true;
    StartupSequence();
}

// Windows' logon waits for each one-shot program to end before it starts
// anything else of the user's (the Run keys, the Startup folder): the start
// it makes hands the check to a copy nobody waits for, and ends before it
// shows or claims anything. Should the copy not start, the check runs here,
// holding up the logon rather than not running at all.
bool TForm1::HandCheckToCopy() {
    const std::string commandLine = platform.system.CommandLine();
    if (!AsksForCheck(commandLine) || CommandLineHolds(commandLine, kHandedCheckWord)) return false;
    return LaunchProgram(platform.system, platform.system.ProgramPath(), std::string("/CHECK ") + kHandedCheckWord,
                         platform.system.CurrentDirectory(), kShowNormal) != 0;
}

void TForm1::RunCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const CommandAborted& e) {
        Inform(e.what(), kProgramTitle);
    } catch (const std::exception& e) {
        // Nothing the driver's values hold may bring the program down.
        Inform(LangText(kMsgUnexpectedError, {e.what()}), kProgramTitle);
    }
}

void TForm1::Inform(const std::string& text, const std::string& caption) {
    if (CheckMode && (!modeCheck || modeCheck->Pending()))
        deferred_.emplace_back(text, caption);
    else
        platform.system.ShowMessageBox(text, caption, kMbOk);
}

void TForm1::ShowDeferredMessages() {
    std::vector<std::pair<std::string, std::string>> messages;
    messages.swap(deferred_);
    for (const auto& [text, caption] : messages) platform.system.ShowMessageBox(text, caption, kMbOk);
}

bool TForm1::CheckPending() {
    if (!modeCheck || !modeCheck->Pending()) return false;
    modeCheck->bringToFront = true;
    return true;
}

void TForm1::StartupSequence() {
    StartupComplete = false;
    DriverListsUnreadable = false;
    // Known from the start, so that nothing modal comes before the check.
    CheckMode = AsksForCheck(platform.system.CommandLine());
    // The built-in texts, before any language file has replaced them.
    if (FirstPaintPending && !defaultTextsCaptured_) {
        CaptureDefaultTexts(*this);
        defaultTextsCaptured_ = true;
    }
    caption = kProgramTitle;
    for (int k = 1; k <= kGridRows; ++k) (*this)["ComboBox" + std::to_string(k)].items.clear();

    sharedRegistry = std::make_unique<SharedRegistry>(platform.registry);
    sharedRegistry->OpenKey(std::string("\\") + kProductSettingsKey, true);

    // Started from its own directory, the program records where it lives, so
    // a start from elsewhere (the one-shot start after a restart) finds its
    // files.
    if (platform.system.ReadFile("ati.pci"))
        WriteTextValue(platform.registry, kProductSettingsKey, "InstallDir", platform.system.CurrentDirectory());
    ReloadLanguage();

    if (!EnumerateDisplayDevices(platform.display, adapter)) {
        ShowError(platform.system, LangText(kMsgNoAdapter));
        platform.system.EndProgram(0);
    }

    // Without the driver's pruning the modes are enumerated raw, and the
    // highest raw rate may be more than the monitor takes: no Autoconfig.
    std::uint16_t pruning = 1;
    ReadDwordValue(platform.registry, adapter.DeviceKey, kPruningModeValue, pruning);
    (*this)["bAuto"].enabled = pruning != 0;
    modes.ResolutionRows =
        RowsFromSystemModes(platform.display, adapter.DeviceName, pruning != 0 ? 0u : std::uint32_t{kEnumRawMode});

    if (!VersionStep()) platform.system.EndProgram(1);
    caption += std::string(" ") + kVersionText;

    DeviceKeyFound = sharedRegistry->OpenKey("\\" + adapter.DeviceKey, false);
    ListBuffer firstList = EmptyListBuffer();
    std::size_t firstLength = ReadListValue(kRestrictedListNames[0], firstList);

    adapter.DDHALKey = adapter.DeviceKey + "\\" + kDdhalSubkey;
    ReadAnisoDegree();
    FindClassAndVideoIds(platform.registry, adapter);
    (*this)["lbClassID"].text = adapter.ClassID;
    (*this)["lbVideoID"].text = adapter.VideoID;

    ReadBoundOptions(*this, *sharedRegistry, platform.registry, adapter);
    // Every key the commands may write, now that the desktop options' key
    // is known: the snapshots hold them all.
    snapshots.driver = DriverKeysOf(adapter);
    BuildModeTable(firstList, firstLength);
    grid.Fill();
    // Rates typed into the grid could not be saved.
    for (int k = 1; k <= kGridRows; ++k) (*this)["ComboBox" + std::to_string(k)].enabled = !DriverListsUnreadable;
    if (DriverListsUnreadable) (*this)["bAuto"].enabled = false;

    IdentifyAdapter();
    ShowPage((*this)["gbAdInfo"]);
    RecordRestartBookkeeping();
    StartupComplete = true;
}

// Reads one of the driver's list values from the current key; returns how
// many bytes it held (0 when absent). A value the buffer cannot hold whole,
// or one that is no binary data, is not read at all: the driver's lists are
// then locked, so that OK does not write back a list it never read.
std::size_t TForm1::ReadListValue(const char* name, ListBuffer& buffer) {
    ValueInfo info = sharedRegistry->GetValueInfo(name);
    std::string problem = ByteValueProblem(info);
    if (!problem.empty()) {
        LockDriverLists(LangText(kMsgValueUnreadable, {name, problem}));
        return 0;
    }
    if (!info.exists) return 0;
    return sharedRegistry->ReadBinary(name, buffer.data(), buffer.size());
}

void TForm1::LockDriverLists(const std::string& why) {
    DriverListsUnreadable = true;
    // The repair of the issues dialog resets the lists whatever they hold;
    // the message must not promise more than the program keeps.
    Inform(LangText(kMsgListsLocked, {why}), LangText(kMsgError));
}

void TForm1::BuildModeTable(const ListBuffer& firstList, std::size_t firstLength) {
    modes.KeptRawRecords.clear();
    std::vector<ModeEntry> records = DecodeList(firstList, firstLength, &modes.KeptRawRecords);
    // The driver still offers a rate its list forbids: it did not take the
    // list at boot. After a restart the check comes first; it has its own
    // way back.
    if (MergeRestrictedModes(modes.ResolutionRows, records) && !CheckMode) {
        if (platform.system.ShowMessageBox(LangText(kMsgRestoreOffer), LangText(kMsgRestoreOfferCaption), kMbYesNo) ==
            kIdYes)
            RestoreAtStart = true;
    }
    SortRows(modes.ResolutionRows);
    SelectAllowedRates(modes.ResolutionRows, records);

    modes.RestrictedResolutions.clear();
    modes.RestrictedRates.clear();
    CollectKeptRecords(modes, records, false);
    for (std::size_t i = 1; i < std::size(kRestrictedListNames); ++i) {
        ListBuffer buffer = EmptyListBuffer();
        std::size_t length = ReadListValue(kRestrictedListNames[i], buffer);
        std::vector<Bytes> raw;
        CollectKeptRecords(modes, DecodeList(buffer, length, &raw), true);
        KeepRawRecords(modes.KeptRawRecords, raw);
    }
}

void TForm1::ReadAnisoDegree() {
    // As designed, until the value says otherwise: a second start-up must
    // not show the first one's degree.
    (*this)["cbAnisoD3D"].SetState(ui::CheckState::Unchecked);
    (*this)["cbAnisoDegree"].text = "16";
    RegValue stored;
    if (platform.registry.QueryValue(adapter.DDHALKey, kAnisoDegreeValue, stored) != RegStatus::Ok) return;
    std::string degree(stored.data.begin(), stored.data.end());
    degree = degree.substr(0, degree.find('\0'));
    if (stored.type != kRegSz || degree.size() > kMaxTextRead) {
        // A value the controls cannot show: the box shows grayed, and OK
        // leaves the value alone unless the user sets the box.
        (*this)["cbAnisoD3D"].SetState(ui::CheckState::Grayed);
        (*this)["cbAnisoDegree"].enabled = false;
        return;
    }
    if (degree.empty()) return;
    (*this)["cbAnisoD3D"].SetState(ui::CheckState::Checked);
    (*this)["cbAnisoDegree"].enabled = true;
    (*this)["cbAnisoDegree"].text = degree;
}

void TForm1::RecordRestartBookkeeping() {
    InitialSelections.clear();
    for (const ResolutionRow& row : modes.ResolutionRows) InitialSelections.push_back(row.selected);
    InitialAnisoDegree = (*this)["cbAnisoDegree"].text;
    InitialOptionStates = RecordRestartStates(*this);
}

void TForm1::ShowRateError(std::size_t row) {
    ShowError(platform.system,
              LangText(kMsgRateNotNumber, {RefreshGrid::ResolutionText(modes.ResolutionRows[row])}));
}

void TForm1::sbUpClick() {
    if (std::optional<std::size_t> bad = grid.ScrollUp()) ShowRateError(*bad);
}

void TForm1::sbDownClick() {
    if (std::optional<std::size_t> bad = grid.ScrollDown()) ShowRateError(*bad);
}

void TForm1::bAutoClick() { grid.Autoconfig(); }

// False when the user chose to stop on Windows 95/98/ME.
bool TForm1::VersionStep() {
    adapter.WinVersion = platform.system.GetVersion();
    adapter.WinVer = VersionText(adapter.WinVersion);
    if (!IsWindows9x(adapter.WinVersion)) return true;
    // OK stops here and Cancel goes on: the buttons keep the meaning users
    // of earlier versions have learnt.
    return platform.system.ShowMessageBox(LangText(kMsgWindows9x), LangText(kMsgWarning), kMbOkCancel) != kIdOk;
}

void TForm1::IdentifyAdapter() {
    AdapterIdentity id = ReadAdapterIdentity(platform.registry, adapter, LangText(kMsgRegistryKeyNotFound));
    (*this)["lbChip"].text = id.chip;
    (*this)["lbDRVver"].text = id.driverVersion;
    (*this)["lbVendorID"].text = adapter.VendorID;
    (*this)["lbDevID"].text = adapter.DeviceID;
    (*this)["lbSSID1"].text = adapter.SubSystemID;
    (*this)["lbSSID2"].text = adapter.SubSystemVendorID;
    (*this)["lbRev"].text = adapter.Revision;

    std::optional<std::string> pci = platform.system.ReadFile(InstallFile(platform.registry, "ati.pci"));
    if (!pci) {
        std::string folder = GetInstallDir(platform.registry);
        if (folder == ".") folder = platform.system.CurrentDirectory();
        std::string text = LangText(kMsgNoAtiPci) + "\n\n" + LangText(kMsgNoAtiPciFolder, {folder});
        // The check after a restart must run whatever else is missing.
        if (CheckMode) {
            Inform(text, LangText(kMsgError));
            return;
        }
        ShowError(platform.system, text);
        platform.system.EndProgram(0);
    }
    (*this)["lbCardType"].text = CardTypeFromPciIds(*pci, adapter);
}

void TForm1::ShowPage(Control& page) {
    for (const char* name : {"gbAdInfo", "gbAdvanced", "gbDriver"}) {
        Control& c = (*this)[name];
        c.visible = &c == &page;
    }
}

void TForm1::tcMainTabsChange() {
    static const char* const kPages[] = {"gbAdInfo", "gbAdvanced", "gbDriver"};
    int index = (*this)["tcMainTabs"].itemIndex;
    if (index < 0 || index > 2) return;
    ShowPage((*this)[kPages[index]]);
}

void TForm1::FormPaint() {
    if (!FirstPaintPending) return;
    FirstPaintPending = false;
    if (RestoreAtStart) {
        bRestoreClick();
        return;
    }

    if (CheckMode) {
        auto check = std::make_unique<TForm5>(platform, snapshots.driver);
        modeCheck = check.get();
        check->onAnswered = [this] { ShowDeferredMessages(); };
        OpenDialog(std::move(check));
        FindMenuItem("Language1")->enabled = false;
    } else {
        ExportStartupSnapshot();
        OpenIssuesDialog();
    }
}

// Shown only when the examination finds something harmful.
void TForm1::OpenIssuesDialog() {
    StartupFindings findings{modes.RestrictedResolutions, modes.RestrictedRates, modes.ExtraListsHoldModes};
    auto issues = std::make_unique<TfFirstRun>(platform, adapter.DeviceKey, std::move(findings), snapshots);
    if (issues->closed) return;
    issues->onRepaired = [this] { RepairedThisRun = true; };
    issues->onRepairStoppedHalfWay = [this] { SavingStopped = true; };
    OpenDialog(std::move(issues));
}

void TForm1::FinishFirstRunSnapshot() { FinishSnapshot(platform, snapshots.firstRun); }

// The driver's keys as they were when the program started; Cancel puts them
// back. The exports run beside the window; Cancel and OK wait for them.
void TForm1::ExportStartupSnapshot() {
    snapshots.backup = StartSnapshot(platform, kBackupFile, snapshots.StartupKeys(adapter.DeviceKey));
}

void TForm1::ReloadLanguage() {
    // Nothing may come up before the check's count-down: a file that
    // cannot be used then leaves the texts English without a word.
    LoadLanguage(*this, platform, !CheckMode);
    LayOutDriverOptions(*this);
}

void TForm1::bLangClick() {
    if (CheckPending() || FrontIfOpen("TForm3")) return;
    OpenDialog(std::make_unique<TForm3>(platform, [this] { ReloadLanguage(); }));
}

ui::Form* TForm1::FrontIfOpen(const std::string& dialogName) {
    for (auto& d : dialogs) {
        if (d->name != dialogName || d->closed) continue;
        d->bringToFront = true;
        return d.get();
    }
    return nullptr;
}

ui::Form& TForm1::OpenDialog(std::unique_ptr<ui::Form> dialog) {
    dialogs.push_back(std::move(dialog));
    ui::Form& shown = *dialogs.back();
    if (showDialog) showDialog(shown);
    return shown;
}

}  // namespace kv
