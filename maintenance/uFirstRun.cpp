#include "maintenance/uFirstRun.h"

#include <algorithm>

#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "maintenance/DriverChange.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/Restart.h"
#include "maintenance/WriteSteps.h"
#include "platform/DriverValues.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"
#include "platform/SharedRegistry.h"
#include "ui/TextWidth.h"

namespace kv {

namespace {

bool IsTextType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

constexpr int kMargin = 8;
constexpr int kButtonGap = 8;

}  // namespace

TfFirstRun::TfFirstRun(Platform& platform, std::string deviceKey, StartupFindings findings,
                       RunSnapshots& run)
    : Dialog("TfFirstRun", kTxtIssuesCaption, 600, 242),
      platform_(platform),
      deviceKey_(std::move(deviceKey)),
      findings_(std::move(findings)),
      run_(run) {
    deviceKeyFound_ = platform_.registry.KeyExists(deviceKey_);
    // Closing it goes on without a repair where Ignore may, and is Cancel
    // where an error keeps Ignore grey: the error is then found again at
    // the next start.
    onCloseQuery = [this] {
        if (bIgnore.enabled)
            bIgnoreClick();
        else
            bCancelClick();
        return true;
    };
    lbWrngsList.showAccel = false;
    lWrngs.showAccel = false;
    cbDBM.wordWrap = true;
    cbDBM.state = ui::CheckState::Checked;
    Create({{bFix, [this] { bFixClick(); }},
            {bIgnore, [this] { bIgnoreClick(); }},
            {bCancel, [this] { bCancelClick(); }}});
}

void TfFirstRun::FormCreate() {
    LayOutButtons();

    Errors = 0;
    Warnings = 0;
    lbWrngsList.items.clear();
    ExamineDriverKey();
    // The key as it was at this start, before the user chooses anything. A
    // repair waits for it; nothing else does.
    run_.firstRun = StartSnapshot(platform_, kFirstRunFile, run_.StartupKeys(deviceKey_));
    ListStartupFindings();

    bIgnore.enabled = Errors == 0;
    lWrngs.text =
        IssuesFoundText(Errors, Warnings);
    if (Errors + Warnings == 0) {
        StampVersion();
        closed = true;
    }
}

// What the driver's key itself shows: an older version's state, native
// modes in the mode table, a minimum-rate record.
void TfFirstRun::ExamineDriverKey() {
    std::vector<std::string>& lines = lbWrngsList.items;
    if (OldVersionFound()) {
        ++Errors;
        lines.push_back(LangText(kIssueOldVersion));
    }
    if (NativeModesFound()) {
        ++Errors;
        lines.push_back(LangText(kIssueNativeModes));
    }
    if (std::optional<std::uint16_t> rate = MinimumRate()) {
        ++Warnings;
        lines.push_back(LangText(kIssueLowRatesBefore) + std::to_string(*rate) + LangText(kIssueLowRatesAfter));
    }
}

// What the main window's start-up found in the driver's lists.
void TfFirstRun::ListStartupFindings() {
    std::vector<std::string>& lines = lbWrngsList.items;
    Warnings = static_cast<std::uint16_t>(Warnings + findings_.RestrictedResolutions.size() +
                                          findings_.RestrictedRates.size());
    for (const RestrictedResolution& r : findings_.RestrictedResolutions)
        lines.push_back(LangText(kIssueModeBefore) + std::to_string(r.width) + "x" + std::to_string(r.height) +
                        LangText(kIssueModeAfter));
    for (std::uint16_t rate : findings_.RestrictedRates)
        lines.push_back(LangText(kIssueRateBefore) + std::to_string(rate) + LangText(kIssueRateAfter));
    if (findings_.ExtraListsHoldModes) {
        ++Errors;
        lines.push_back(LangText(kIssueNonStandardRate));
    }
}

// Each button as designed, or wider for a longer caption (the Russian
// Fix&Restart takes twice the English width), the row ending at the
// window's right margin.
void TfFirstRun::LayOutButtons() {
    int right = clientWidth - kMargin;
    for (auto [shown, width] : {std::pair{&bCancel, kButtonWidth}, {&bIgnore, kButtonWidth}, {&bFix, kFixWidth}}) {
        ui::Control& button = *shown;
        button.rect.w = ui::ButtonWidth(button.text, width);
        button.rect.x = right - button.rect.w;
        right = button.rect.x - kButtonGap;
    }
}

// From here on an older version's error is not reported again. Only once
// the user goes on: Cancel leaves everything as it was, and the next start
// finds the same.
void TfFirstRun::StampVersion() {
    WriteTextValue(platform_.registry, kProductSettingsKey, kVersionValue, kVersionText);
}

// Versions 0.5 to 0.7 wrote settings the driver misreads.
bool TfFirstRun::OldVersionFound() {
    std::string version = "0.00";
    // Only a text counts: a number or bytes stored under the name were not
    // written by any Kelvane.
    RegValue stored;
    if (platform_.registry.QueryValue(kProductSettingsKey, kVersionValue, stored) == RegStatus::Ok &&
        IsTextType(stored.type))
        ReadTextValue(platform_.registry, kProductSettingsKey, kVersionValue, version);
    version = version.substr(0, 3);
    return version == "0.5" || version == "0.6" || version == "0.7";
}

bool TfFirstRun::NativeModesFound() {
    std::uint16_t native = 0;
    ReadDwordValue(platform_.registry, deviceKey_, kNativeModesValue, native);
    return native != 0;
}

std::optional<std::uint16_t> TfFirstRun::MinimumRate() {
    // A value that reads as a number of up to four bytes is no list.
    std::uint16_t number = 255;
    ReadDwordValue(platform_.registry, deviceKey_, kMinResValue, number);
    if (number != 255) return std::nullopt;

    SharedRegistry shared(platform_.registry);
    if (!shared.OpenKey("\\" + deviceKey_, false)) return std::nullopt;
    ValueInfo info = shared.GetValueInfo(kMinResValue);
    // The driver reads the list as bytes; a text under that name is no list.
    if (!info.exists || (info.kind != ValueKind::Binary && info.kind != ValueKind::Other)) return std::nullopt;

    // Only what the driver's buffer holds counts; the rest of a longer
    // value is never looked at.
    ListBuffer buffer = EmptyListBuffer();
    RegValue value;
    if (platform_.registry.QueryValue(shared.CurrentKey(), kMinResValue, value) != RegStatus::Ok)
        return std::nullopt;
    std::copy_n(value.data.begin(), std::min(value.data.size(), buffer.size()), buffer.begin());
    // A value cut short of its first record holds no rate to name, and nor
    // do rate bytes that are no BCD digits (0a 7f is no 1085 Hz).
    if (buffer[0] == 0xFF || value.data.size() < sizeof(BcdModeRecord)) return std::nullopt;
    if (!IsBcdByte(buffer[6]) || !IsBcdByte(buffer[7])) return std::nullopt;
    return DecodeBcdField(&buffer[6]);
}

void TfFirstRun::bFixClick() {
    // Once the repair is written, only the restart can have been refused.
    if (!repaired_) {
        if (!FirstRunSnapshotOrConsent() || !Repair()) return;
        if (!ScheduleCheckOrConsent()) return;
    }
    RequestRestart();
}

// The settings as they were at this start are the user's own way back to
// before the repair, whatever Kelvane does later: without them, only a yes
// goes on.
bool TfFirstRun::FirstRunSnapshotOrConsent() {
    return FinishSnapshot(platform_, run_.firstRun) || AskWarning(platform_.system, LangText(kMsgFirstRunIncomplete));
}

// The repair through the one guarded path; true once it is written.
bool TfFirstRun::Repair() {
    ChangeResult result = ChangeResult::Refused;
    try {
        result = ChangeDriverSettings(platform_, run_, {deviceKey_}, LangText(kStopRepair), [this] { WriteRepair(); });
    } catch (...) {
        // Stopped by something else than a write step: told by the caller.
        if (run_.halfWritten) StoppedHalfWay();
        throw;
    }
    switch (result) {
        case ChangeResult::Written: break;
        case ChangeResult::Refused:
        case ChangeResult::PutBack: return false;
        case ChangeResult::NotPutBack: StoppedHalfWay(); return false;
    }
    repaired_ = true;
    // Its value is written; changing the box now would change nothing.
    cbDBM.enabled = false;
    if (onRepaired) onRepaired();
    return true;
}

// Another try would take "lastknowngood.dat" of the half-written settings
// and lose the only way back.
void TfFirstRun::StoppedHalfWay() {
    bFix.enabled = false;
    if (onRepairStoppedHalfWay) onRepairStoppedHalfWay();
}

// The check after the restart falls back to the settings from before the
// repair when the screen stays dark with the driver's restrictions gone;
// without it, only a yes restarts.
bool TfFirstRun::ScheduleCheckOrConsent() {
    std::string why = ScheduleModeCheck(platform_, run_);
    return why.empty() || AskWarning(platform_.system, LangText(kMsgRestartAnyway, {why}));
}

void TfFirstRun::WriteRepair() {
    SharedRegistry shared(platform_.registry);
    // A device key that cannot be opened is left alone, and nothing goes
    // into another key in its place; but one that was there a moment ago
    // stops the repair.
    bool deviceKeyOpen = OpenDriverKeyOrAbort(shared, deviceKey_, deviceKeyFound_);
    if (deviceKeyOpen) {
        WriteDwordOrAbort(platform_.registry, deviceKey_, kNativeModesValue, 0);
        WriteBinaryOrAbort(shared, kMinResValue, {});
        WriteBinaryOrAbort(shared, kRestrictedListNames[0], {});
        for (std::size_t i = 1; i < std::size(kRestrictedListNames); ++i)
            DeleteValueOrAbort(shared, kRestrictedListNames[i]);
    }
    StampVersion();
    // Before the restart is asked for: Windows may go down the moment it is.
    if (deviceKeyOpen && cbDBM.Checked()) WriteDwordOrAbort(platform_.registry, deviceKey_, kCrtAllModesValue, 1);
}

void TfFirstRun::RequestRestart() {
    if (!AskWindowsToRestart(platform_.system))
        platform_.system.ShowMessageBox(LangText(kMsgCannotRestart), LangText(kMsgCannotRestartCaption), kMbOk);
}

void TfFirstRun::bIgnoreClick() {
    StampVersion();
    closed = true;
}

void TfFirstRun::bCancelClick() { platform_.system.EndProgram(1); }

}  // namespace kv
