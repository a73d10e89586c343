#include "app/KVMAIN.h"

#include <algorithm>
#include <cctype>

#include "lang/Lang.h"
#include "lang/LangDialog.h"
#include "lang/LngFile.h"
#include "lang/MessageBoxes.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/Snapshots.h"
#include "maintenance/WriteSteps.h"
#include "modes/Apply.h"
#include "modes/CheckModes.h"
#include "modes/MonitorRates.h"
#include "options/OptionTable.h"
#include "platform/Launch.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"
#include "platform/WindowsVersion.h"

namespace kv {

using ui::Control;

namespace {

// A second Kelvane would write over the first one's changes, or undo them
// on Cancel: one runs at a time on the machine, whichever session of Fast
// User Switching or Remote Desktop it runs in.
constexpr const char* kInstanceName = "Global\\Tessaly.Kelvane.OneInstance";
// Held by the Kelvane that runs the check after a restart: a start for the
// check that finds it taken has nothing to do.
constexpr const char* kCheckRunsName = "Global\\Tessaly.Kelvane.CheckRuns";
// How long the check waits for an ordinary Kelvane to make way.
constexpr std::uint32_t kMakeWayMs = 60000;

// The word that marks the copy a check start hands its check to.
constexpr const char* kHandedCheckWord = "/DETACHED";

bool CommandLineHolds(std::string commandLine, const char* word) {
    std::transform(commandLine.begin(), commandLine.end(), commandLine.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return commandLine.find(word) != std::string::npos;
}

bool AsksForCheck(const std::string& commandLine) { return CommandLineHolds(commandLine, "/CHECK"); }

}  // namespace

TForm1::~TForm1() {
    if (instanceClaimed_) platform.system.ReleaseSingleInstance(kInstanceName);
    if (checkClaimed_) platform.system.ReleaseSingleInstance(kCheckRunsName);
}

void TForm1::FormCreate() {
    const std::string commandLine = platform.system.CommandLine();
    // Known from the start, so that nothing modal comes before the check.
    state.CheckMode = AsksForCheck(commandLine);
    if (state.CheckMode) {
        if (!CommandLineHolds(commandLine, kHandedCheckWord) && HandCheckToCopy()) platform.system.EndProgram(0);
        BeginCheck();
        MakeWayForCheck();
    } else {
        ClaimInstance();
        // After a restart a change whose check was not answered, whatever
        // cut it short, is checked before anything else.
        if (CheckDue(platform)) BeginCheck();
    }
    StartupSequence();
}

std::optional<LangEntry> TForm1::StartWithoutWindow() {
    instanceClaimed_ = platform.system.ClaimSingleInstance(kInstanceName);
    if (!instanceClaimed_) return kWhyRefusedRunning;
    // The settings from before that change must stay what its check falls
    // back to, and the check must see the change it was arranged for.
    if (ChangePending(platform) || CheckDue(platform)) return kWhyRefusedPending;
    StartupSequence();
    // Its own key keeps where the snapshots lie and what awaits a check.
    if (!state.StartupComplete || !platform.registry.KeyExists(kProductSettingsKey)) return kWhyRefusedStartup;
    return std::nullopt;
}

void TForm1::ClaimInstance() {
    instanceClaimed_ = platform.system.ClaimSingleInstance(kInstanceName);
    if (instanceClaimed_) return;
    if (!platform.system.ActivateWindow(name)) ShowError(platform.system, LangText(kMsgRunsInOtherSession));
    platform.system.EndProgram(0);
}

// The check begins: Windows deleted its entry before it started this, so
// it is written again before anything shows, and every logon runs the check
// until it is answered.
void TForm1::BeginCheck() {
    checkClaimed_ = platform.system.ClaimSingleInstance(kCheckRunsName);
    // Another Kelvane runs the check already (a logon's start and one by
    // hand, or the entry run twice): its own entry stays.
    if (!checkClaimed_) platform.system.EndProgram(0);
    // Nothing awaits its check: the change was answered, undone or put
    // back. An entry left behind has nothing to do, and goes.
    if (!ChangePending(platform)) {
        CancelModeCheck(platform);
        platform.system.EndProgram(0);
    }
    state.CheckMode = true;
    ArmModeCheck(platform);
}

// The check comes first: an ordinary Kelvane that runs is told so and
// makes way, as its close box would.
void TForm1::MakeWayForCheck() {
    instanceClaimed_ = platform.system.ClaimSingleInstance(kInstanceName);
    if (instanceClaimed_) return;
    platform.system.TellOtherStartWaits(name);
    instanceClaimed_ = platform.system.WaitForSingleInstance(kInstanceName, kMakeWayMs);
    if (instanceClaimed_) {
        // The one that made way may have had nothing left to check.
        if (!ChangePending(platform)) platform.system.EndProgram(0);
        return;
    }
    ShowError(platform.system, LangText(kMsgCheckCannotRunNow));
    platform.system.EndProgram(0);
}

void TForm1::OtherStartWaits() {
    // This run checks the change itself: its check stays, in front.
    if (state.CheckMode) {
        CheckPending();
        return;
    }
    // Nothing may end the program half-way through a command: it makes
    // way once the command in progress is done.
    makeWayRequested_ = true;
}

void TForm1::MakeWay() {
    makeWayRequested_ = false;
    // Not in a start for the check: the close box always lets it end.
    onCloseQuery();
    platform.system.EndProgram(0);
}

// Windows' logon waits for each one-shot program to end before it starts
// anything else of the user's (the Run keys, the Startup folder): the start
// it makes hands the check to a copy nobody waits for, and ends before it
// shows or claims anything. Should the copy not start, the check runs here,
// holding up the logon rather than not running at all.
bool TForm1::HandCheckToCopy() {
    return LaunchProgram(platform.system, platform.system.ProgramPath(), std::string("/CHECK ") + kHandedCheckWord,
                         platform.system.CurrentDirectory(), kShowNormal) != 0;
}

void TForm1::RunCommand(const std::function<void()>& command) {
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(++d) {}
        ~Depth() { --depth; }
    };
    {
        Depth running(commandDepth_);
        try {
            command();
        } catch (const CommandAborted& e) {
            Inform(e.what(), kProgramTitle);
        } catch (const std::exception& e) {
            // Nothing the driver's values hold may bring the program down.
            Inform(LangText(kMsgUnexpectedError, {e.what()}), kProgramTitle);
        }
    }
    if (commandDepth_ == 0 && makeWayRequested_) MakeWay();
}

void TForm1::Inform(const std::string& text, const std::string& caption) {
    if (state.CheckMode && (!modeCheck || modeCheck->Pending()))
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
    state.StartupComplete = false;
    state.DriverListsUnreadable = false;
    ResetWindow();
    OpenSettingsAndLanguage();
    if (!EnumerateDisplayDevices(platform.display, adapter)) {
        ShowError(platform.system, LangText(kMsgNoAdapter));
        platform.system.EndProgram(0);
    }
    ReadSystemModes();
    FindAdapterMonitor();
    if (!VersionStep()) platform.system.EndProgram(1);
    caption += std::string(" ") + kVersionText;
    ReadDriverSettings();
    IdentifyAdapter();
    ShowPage(*gbAdInfo);
    restartNeed.RecordStartup(BootSettings());
    state.StartupComplete = true;
}

void TForm1::ResetWindow() {
    caption = kProgramTitle;
    for (RefreshGrid::Row& row : grid.shown) row.box->items.clear();
}

void TForm1::OpenSettingsAndLanguage() {
    sharedRegistry = std::make_unique<SharedRegistry>(platform.registry);
    sharedRegistry->OpenKey(std::string("\\") + kProductSettingsKey, true);
    // The program records the folder it lives in, beside its ati.pci, so
    // that every start finds its files: one from another folder too, such
    // as the one-shot start after a restart or a start-up script's. Only
    // when it moved: a run that changes nothing writes nothing.
    std::string here = ProgramFolder(platform.system), recorded;
    ReadTextValue(platform.registry, kProductSettingsKey, kInstallDirValue, recorded);
    if (recorded != here && platform.system.ReadFile(here + "\\ati.pci"))
        WriteTextValue(platform.registry, kProductSettingsKey, kInstallDirValue, here);
    ReloadLanguage();
}

void TForm1::ReadSystemModes() {
    // Without the driver's pruning the modes are enumerated raw, and the
    // highest raw rate may be more than the monitor takes: no Autoconfig.
    std::uint16_t pruning = 1;
    ReadDwordValue(platform.registry, adapter.DeviceKey, kPruningModeValue, pruning);
    bAuto->enabled = pruning != 0;
    modes.ResolutionRows =
        RowsFromSystemModes(platform.display, adapter.DeviceName, pruning != 0 ? 0u : std::uint32_t{kEnumRawMode});
}

// The device key's lists, options and degree, into the grid and the boxes.
void TForm1::ReadDriverSettings() {
    state.DeviceKeyFound = sharedRegistry->OpenKey("\\" + adapter.DeviceKey, false);
    ListBuffer firstList = EmptyListBuffer();
    std::size_t firstLength = ReadListValue(kRestrictedListNames[0], firstList);

    adapter.DDHALKey = adapter.DeviceKey + "\\" + kDdhalSubkey;
    ReadAnisoDegree();
    FindClassAndVideoIds(platform.registry, adapter);
    lbClassID->text = adapter.ClassID;
    lbVideoID->text = adapter.VideoID;

    ReadBoundOptions(*this, *sharedRegistry, platform.registry, adapter);
    // Every key the commands may write, now that the desktop options' key
    // is known: the snapshots hold them all.
    snapshots.driver = DriverKeysOf(adapter);
    BuildModeTable(firstList, firstLength);
    grid.Fill();
    // Rates typed into the grid could not be saved.
    for (RefreshGrid::Row& row : grid.shown) row.box->enabled = !state.DriverListsUnreadable;
    if (state.DriverListsUnreadable) bAuto->enabled = false;
}

// Reads one of the driver's list values from the current key; returns how
// many bytes it held (0 when absent). A value the buffer cannot hold whole,
// or one that is no binary data, is not read at all: the driver's lists are
// then locked, so that OK does not write back a list it never read.
std::size_t TForm1::ReadListValue(const char* name, ListBuffer& buffer) {
    ValueInfo found;
    std::optional<std::size_t> length = sharedRegistry->ReadBinary(name, buffer.data(), buffer.size(), &found);
    if (!length) LockDriverLists(LangText(kMsgValueUnreadable, {name, ByteValueProblem(found)}));
    return length.value_or(0);
}

void TForm1::LockDriverLists(const std::string& why) {
    state.DriverListsUnreadable = true;
    // The repair of the issues dialog resets the lists whatever they hold;
    // the message must not promise more than the program keeps.
    Inform(LangText(kMsgListsLocked, {why}), LangText(kMsgError));
}

void TForm1::BuildModeTable(const ListBuffer& firstList, std::size_t firstLength) {
    modes.KeptRawRecords.clear();
    modes.StoredLists = {Bytes(firstList.begin(), firstList.begin() + static_cast<long>(firstLength))};
    std::vector<ModeEntry> records = DecodeList(firstList, firstLength, &modes.KeptRawRecords);
    ReadDepths(records);
    // The driver still offers a rate its list forbids: it did not take the
    // list at boot. After a restart the check comes first; it has its own
    // way back.
    if (MergeRestrictedModes(modes.ResolutionRows, records) && !state.CheckMode) {
        if (platform.system.ShowMessageBox(LangText(kMsgRestoreOffer), LangText(kMsgRestoreOfferCaption), kMbYesNo) ==
            kIdYes)
            state.RestoreAtStart = true;
    }
    SortRows(modes.ResolutionRows);
    SelectAllowedRates(modes.ResolutionRows, records);

    modes.RestrictedResolutions.clear();
    modes.RestrictedRates.clear();
    CollectKeptRecords(modes, records, false);
    for (std::size_t i = 1; i < std::size(kRestrictedListNames); ++i) {
        ListBuffer buffer = EmptyListBuffer();
        std::size_t length = ReadListValue(kRestrictedListNames[i], buffer);
        modes.StoredLists.emplace_back(buffer.begin(), buffer.begin() + static_cast<long>(length));
        std::vector<Bytes> raw;
        CollectKeptRecords(modes, DecodeList(buffer, length, &raw), true);
        KeepRawRecords(modes.KeptRawRecords, raw);
    }
}

void TForm1::ReadDepths(const std::vector<ModeEntry>& records) {
    for (auto [depth, box] : {std::pair{8, cb8}, {16, cb16}, {24, cb24}, {32, cb32}}) {
        bool kept = std::any_of(records.begin(), records.end(), [depth = depth](const ModeEntry& r) {
            return r.width == 0 && r.height == 0 && r.rate == 0 && r.depth == depth;
        });
        box->SetState(kept ? ui::CheckState::Unchecked : ui::CheckState::Checked);
    }
}

void TForm1::ReadAnisoDegree() {
    // As designed, until the value says otherwise: a second start-up must
    // not show the first one's degree.
    options.aniso->SetState(ui::CheckState::Unchecked);
    options.anisoDegree->text = "16";
    RegValue stored;
    if (platform.registry.QueryValue(adapter.DDHALKey, kAnisoDegreeValue, stored) != RegStatus::Ok) return;
    std::string degree(stored.data.begin(), stored.data.end());
    degree = degree.substr(0, degree.find('\0'));
    if (stored.type != kRegSz || degree.size() > kMaxTextRead) {
        // A value the controls cannot show: the box shows grayed, and OK
        // leaves the value alone unless the user sets the box.
        options.aniso->SetState(ui::CheckState::Grayed);
        options.anisoDegree->enabled = false;
        return;
    }
    if (degree.empty()) return;
    options.aniso->SetState(ui::CheckState::Checked);
    options.anisoDegree->enabled = true;
    options.anisoDegree->text = degree;
}

RestartNeed::Settings TForm1::BootSettings() {
    RestartNeed::Settings now;
    for (const ResolutionRow& row : modes.ResolutionRows) now.selections.push_back(row.selected);
    now.anisoOn = options.aniso->Checked();
    now.anisoDegree = options.anisoDegree->text;
    now.options = RestartOptionStates(*this);
    return now;
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

// What the monitor declares it can show judges the grid's rates.
void TForm1::FindAdapterMonitor() {
    monitor = FindMonitor(platform.registry, platform.display, adapter.DeviceName);
    grid.monitor = monitor.Declared();
    lbMonitor->text = MonitorText(monitor);
}

void TForm1::IdentifyAdapter() {
    AdapterIdentity id = ReadAdapterIdentity(platform.registry, adapter, LangText(kMsgRegistryKeyNotFound));
    lbChip->text = id.chip;
    lbDRVver->text = id.driverVersion;
    lbVendorID->text = adapter.VendorID;
    lbDevID->text = adapter.DeviceID;
    lbSSID1->text = adapter.SubSystemID;
    lbSSID2->text = adapter.SubSystemVendorID;
    lbRev->text = adapter.Revision;

    std::optional<std::string> pci = platform.system.ReadFile(InstallFile(platform.registry, "ati.pci"));
    if (!pci) {
        std::string folder = GetInstallDir(platform.registry);
        if (folder == ".") folder = platform.system.CurrentDirectory();
        std::string text = LangText(kMsgNoAtiPci) + "\n\n" + LangText(kMsgNoAtiPciFolder, {folder});
        // The check after a restart must run whatever else is missing.
        if (state.CheckMode) {
            Inform(text, LangText(kMsgError));
            return;
        }
        ShowError(platform.system, text);
        platform.system.EndProgram(0);
    }
    lbCardType->text = CardTypeFromPciIds(*pci, adapter);
}

void TForm1::ShowPage(Control& page) {
    for (Control* c : {gbAdInfo, gbAdvanced, gbDriver}) c->visible = c == &page;
}

void TForm1::tcMainTabsChange() {
    Control* const pages[] = {gbAdInfo, gbAdvanced, gbDriver};
    int index = tcMainTabs->itemIndex;
    if (index < 0 || index > 2) return;
    ShowPage(*pages[index]);
}

void TForm1::FormPaint() {
    if (!state.FirstPaintPending) return;
    state.FirstPaintPending = false;
    if (state.RestoreAtStart) {
        bRestoreClick();
        return;
    }

    if (state.CheckMode) {
        auto check = std::make_unique<TForm5>(platform, snapshots.driver);
        modeCheck = check.get();
        check->onAnswered = [this] { ShowDeferredMessages(); };
        OpenDialog(std::move(check));
        Language1->enabled = false;
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
    issues->onRepaired = [this] { state.RepairedThisRun = true; };
    issues->onRepairStoppedHalfWay = [this] { state.SavingStopped = true; };
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
    LoadLanguage(*this, platform, !state.CheckMode);
    LayOutDriverOptions(options);
    lbMonitor->text = MonitorText(monitor);
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
