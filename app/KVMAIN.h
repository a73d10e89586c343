// The main window: its controls (laid out in MainLayout.cpp), the start-up
// sequence that fills them, the first paint's actions and its commands.
#pragma once

#include <memory>
#include <string>

#include "app/RunState.h"
#include "maintenance/DriverChange.h"
#include "maintenance/RestartNeed.h"
#include "maintenance/Snapshots.h"
#include "maintenance/uFirstRun.h"
#include "modes/Apply.h"
#include "modes/CheckModes.h"
#include "modes/ModeRecords.h"
#include "modes/RefreshGrid.h"
#include "nonstd/NonStdRes.h"
#include "options/OptionTable.h"
#include "options/TSCheckBox.h"
#include "platform/AdapterContext.h"
#include "platform/Monitor.h"
#include "platform/Platform.h"
#include "platform/SharedRegistry.h"
#include "profile/Profile.h"
#include "ui/Form.h"

namespace kv {

class TForm1 : public ui::Form {
public:
    explicit TForm1(Platform& platform);
    ~TForm1() override;

    void FormCreate();
    void StartupSequence();
    void FormPaint();
    void tcMainTabsChange();
    void sbUpClick();
    void sbDownClick();
    void bAutoClick();
    void OKClick();
    void CancelClick();
    void bRestoreClick();

    // Opens a secondary window; it stays open beside the main window.
    ui::Form& OpenDialog(std::unique_ptr<ui::Form> dialog);
    std::vector<std::unique_ptr<ui::Form>> dialogs;
    std::function<void(ui::Form&)> showDialog;  // set by the window system
    // Brings the real windows in step with their forms at once, for a
    // command that works long before it returns (set by the window system).
    std::function<void()> refreshWindows;

    // Writes the name of the language file in force back to the settings.
    void StoreLangFileName();
    // Loads the language the settings name and re-captions the window.
    void ReloadLanguage();
    void bLangClick();
    void bAdapterClick();
    void bResClick();
    void CleanRegistry1Click();
    void Uninstall1Click();
    void bReportClick();
    void AboutClick();
    void HelpClick();
    // Trying the rate of a shown grid row (1 to 15) now, before the restart.
    void TryRate(int k);
    // The menu's: the row whose box has the focus, or the first.
    void TryRate1Click();
    // A grid row's shortcut menu.
    std::vector<ui::MenuItem> GridRowMenu(int k);

    // Program > Save Profile... and Load Profile...
    void SaveProfileClick();
    void LoadProfileClick();
    // What the window holds, as a profile.
    Profile ProfileOfWindow();
    // What loading a profile did: each change (what, now, before) and
    // each part of it this machine cannot take, with why.
    struct ProfileChange {
        std::string what, now, was;
    };
    struct ProfileLoad {
        std::vector<ProfileChange> changes;
        std::vector<std::string> skipped;
    };
    // Puts what the profile sets into the grid and the boxes; nothing is
    // written until OK. A rate the driver does not offer, a resolution,
    // option or key this machine lacks is skipped; with `skipOutsideRange`
    // a rate outside the monitor's declared range too.
    ProfileLoad LoadProfile(const Profile& profile, bool skipOutsideRange);
    // The custom resolutions a loaded profile sets; OK writes them.
    std::optional<std::vector<NonStdEntry>> profileCustom;

    // A run without a window (a profile saved or applied from the command
    // line): the start-up an ordinary start makes, without the issues
    // dialog and its snapshot. Why it cannot run; nothing when it can.
    std::optional<LangEntry> StartWithoutWindow();
    // Writes what LoadProfile put in the window through the one guarded
    // path, asking nothing. `restart`: written, and taking effect only after
    // a restart.
    struct WriteOutcome {
        ChangeResult result = ChangeResult::Refused;
        bool restart = false;
    };
    WriteOutcome WriteWithoutWindow();
    // After a write without a window: the version stamp, and the check
    // after the restart when asked for; "" or why it could not be arranged.
    std::string FinishWriteWithoutWindow(bool arrangeCheck);

    // Another start waits for this run to end: one for the check after a
    // restart, which comes first.
    void OtherStartWaits();

    // Runs one command the way the window system delivers an event: a
    // command that the shared registry aborts shows its message, and the
    // program goes on.
    void RunCommand(const std::function<void()>& command);

    Platform& platform;
    AdapterContext adapter;
    // The adapter's monitor, found at start-up.
    MonitorInfo monitor;
    std::unique_ptr<SharedRegistry> sharedRegistry;

    RunState state;

    ModeTable modes;
    RefreshGrid grid{modes.ResolutionRows};
    TSClickState clicks;

    // The controls the handlers work on, made by BuildControls.
    ui::Control* tcMainTabs = nullptr;
    ui::Control* gbAdInfo = nullptr;
    ui::Control* gbAdvanced = nullptr;
    ui::Control* gbDriver = nullptr;
    ui::Control* bAuto = nullptr;
    ui::Control* OK = nullptr;
    ui::Control* Cancel = nullptr;
    ui::Control* Help = nullptr;
    // The buttons the menu clicks.
    ui::Control* About = nullptr;
    ui::Control* bLang = nullptr;
    ui::Control* bReport = nullptr;
    ui::Control* bAdapter = nullptr;
    ui::Control* bRes = nullptr;
    ui::Control* bRestore = nullptr;
    // The adapter's facts on the first page.
    ui::Control* lbChip = nullptr;
    ui::Control* lbDRVver = nullptr;
    ui::Control* lbVendorID = nullptr;
    ui::Control* lbDevID = nullptr;
    ui::Control* lbSSID1 = nullptr;
    ui::Control* lbSSID2 = nullptr;
    ui::Control* lbRev = nullptr;
    ui::Control* lbCardType = nullptr;
    ui::Control* lbMonitor = nullptr;
    // Settings no user sees, kept as the program has always had them: the
    // report logs them and OK writes by them.
    ui::Control* cbHiFreq = nullptr;
    ui::Control* cb8 = nullptr;
    ui::Control* cb16 = nullptr;
    ui::Control* cb24 = nullptr;
    ui::Control* cb32 = nullptr;
    ui::Control* lbClassID = nullptr;
    ui::Control* lbVideoID = nullptr;
    OptionBoxes options;
    ui::MenuItem* Language1 = nullptr;
    ui::MenuItem* TryRate1 = nullptr;

    // What start-up read of the settings the driver reads at boot, and
    // whether this run wrote any of them: OK asks it whether to restart.
    RestartNeed restartNeed;
    // Those settings as the window holds them now.
    RestartNeed::Settings BootSettings();

    // The run's snapshots: "backup.dat", started by the first paint,
    // "firstrun.dat", started by the issues dialog (put in place by the first
    // write, or when the program ends through OK, Cancel or the close box),
    // and whether "lastknowngood.dat" was taken.
    RunSnapshots snapshots;
    void FinishFirstRunSnapshot();
    // The user's extra resolutions and whether their list was written.
    NonStandardRun nonStandard;
    // The check after the restart, once opened.
    TForm5* modeCheck = nullptr;
    // True while that check still runs; it is then brought to the front,
    // since nothing may end the program before it is answered.
    bool CheckPending();

private:
    void BuildControls();
    void BuildGrid();
    void BuildAdapterInfo();
    void BuildMenuButtons();
    void BuildHiddenGroups();
    void BuildMenu();
    void ShowPage(ui::Control& page);
    std::vector<TTSCheckBox*> BoundOptionBoxes();
    void LoadRates(const std::vector<ProfileRate>& rates, bool skipOutsideRange, ProfileLoad& load);
    void LoadDepths(const std::array<std::optional<bool>, 4>& wanted, ProfileLoad& load);
    void LoadOptions(const std::vector<ProfileOption>& wanted, ProfileLoad& load);
    void LoadAnisoDegree(const std::string& degree, ProfileLoad& load);
    void LoadCustomResolutions(const std::vector<NonStdEntry>& entries, ProfileLoad& load);
    // The colour depths the first list keeps out, unchecked.
    void ReadDepths(const std::vector<ModeEntry>& records);
    // The start-up sequence's steps.
    void ResetWindow();
    void OpenSettingsAndLanguage();
    void ReadSystemModes();
    void ReadDriverSettings();
    bool VersionStep();
    std::size_t ReadListValue(const char* name, ListBuffer& buffer);
    void BuildModeTable(const ListBuffer& firstList, std::size_t firstLength);
    void LockDriverLists(const std::string& why);
    void ReadAnisoDegree();
    void ShowRateError(std::size_t row);
    // Why no rate may be tried now; nothing when one may.
    std::optional<LangEntry> TryRefusal();
    // The table's row that grid row k (1 to 15) shows; nothing past the last.
    std::optional<std::size_t> RowShownAt(int k);
    // What OK writes, from what the window holds, once its questions are
    // answered; `ask`: the questions of OK, a run without a window asks none.
    std::optional<SettingsChange> PrepareSave(bool ask = true);
    // Writes it through the one guarded path.
    WriteOutcome WriteChange(const SettingsChange& change);
    DepthChoice ChosenDepths();
    void FinishSave();
    bool ConfirmRowsWithoutRates();
    bool ConfirmRatesOutsideRange();
    void FindAdapterMonitor();
    bool AnisoDegreeAccepted();
    void OfferRestart(const std::string& question, const std::string& caption);
    // Rates, options or a degree changed in this window and not saved.
    bool UnappliedChanges();
    bool ConfirmDropUnapplied();
    // The start-up sequence again, for another adapter setting.
    void RerunStartup();
    // The open dialog of that window class, brought to the front; nullptr
    // when none is open.
    ui::Form* FrontIfOpen(const std::string& dialogName);
    void IdentifyAdapter();
    // For the start the logon makes for the check: true when the check now
    // runs in a copy of the program and this start may end.
    bool HandCheckToCopy();
    // The one-instance mark, for an ordinary start; one Kelvane of another
    // session is said.
    void ClaimInstance();
    // This run checks the change after a restart; ends the program when
    // another one checks it already.
    void BeginCheck();
    // Waits for an ordinary Kelvane to make way for the check.
    void MakeWayForCheck();
    // Ends the program as its close box would, for a check that waits.
    void MakeWay();
    void ExportStartupSnapshot();
    void OpenIssuesDialog();
    // Informs; in a start for the check after a restart, where nothing may
    // come up before the count-down, the message waits until the check is
    // answered.
    void Inform(const std::string& text, const std::string& caption);
    void ShowDeferredMessages();
    std::vector<std::pair<std::string, std::string>> deferred_;
    bool instanceClaimed_ = false;
    bool checkClaimed_ = false;
    // Commands under way, nested in message boxes; and a start for the
    // check waiting for this run to make way once they are done.
    int commandDepth_ = 0;
    bool makeWayRequested_ = false;
};

}  // namespace kv
