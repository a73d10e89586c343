// The main window's commands that open the other windows: custom
// resolutions, the adapter dialog, the registry clean, uninstall, the
// report, About and Help.
#include "app/KVMAIN.h"
#include "dialogs/About.h"
#include "dialogs/Adapters.h"
#include "lang/Lang.h"
#include "lang/MessageBoxes.h"
#include "maintenance/Uninstall.h"
#include "maintenance/uRegClean.h"
#include "modes/MonitorRates.h"
#include "modes/TryRate.h"
#include "options/OptionTable.h"
#include "report/Report.h"

namespace kv {

void TForm1::bResClick() {
    // One list at a time: two would each write their own version of it.
    if (CheckPending() || FrontIfOpen("TNonStRes")) return;
    if (!state.StartupComplete) {
        // Writing back what was never read would overwrite the driver's
        // settings with guesses.
        ShowError(platform.system, LangText(kMsgStartupIncomplete));
        return;
    }
    auto list = std::make_unique<TNonStRes>(platform, nonStandard, snapshots, adapter.DeviceKey,
                                            [this](std::unique_ptr<ui::Form> w) -> ui::Form& {
                                                return OpenDialog(std::move(w));
                                            });
    list->onWritten = [this] { restartNeed.MarkWritten(); };
    OpenDialog(std::move(list));
}

void TForm1::bAdapterClick() {
    if (CheckPending() || FrontIfOpen("TForm4")) return;
    auto dialog = std::make_unique<TForm4>(platform, adapter, snapshots);
    dialog->confirmRerun = [this] { return ConfirmDropUnapplied(); };
    dialog->onApplied = [this](bool pruningChanged) {
        // The driver reads its pruning at boot.
        if (pruningChanged) restartNeed.MarkWritten();
        RerunStartup();
    };
    OpenDialog(std::move(dialog));
}

void TForm1::CleanRegistry1Click() {
    if (CheckPending() || FrontIfOpen("TFRegClean")) return;
    OpenDialog(std::make_unique<TFRegClean>(platform, snapshots, adapter.DeviceKey));
}

void TForm1::Uninstall1Click() {
    if (CheckPending()) return;
    Uninstall(platform, snapshots, adapter.DeviceKey);
}

void TForm1::bReportClick() {
    // The report holds the program for a while; the check's count-down
    // must not wait for it.
    if (CheckPending()) return;
    // The log tells the rates as the grid shows them.
    grid.StoreVisibleBoxes();
    ReportFacts facts;
    facts.langLoaded = LanguageInForce().Loaded();
    facts.langFileName = LanguageInForce().FileName();
    facts.rows = modes.ResolutionRows;
    facts.monitor = &monitor;
    // The colour depths, then the first four desktop options: the OpenGL,
    // Direct3D, Projector and Rotation tabs.
    const ui::Control* boxes[] = {cb8, cb16, cb24, cb32, options.desktop[0], options.desktop[1],
                                  options.desktop[2], options.desktop[3]};
    for (std::size_t i = 0; i < facts.boxes.size(); ++i) facts.boxes[i] = boxes[i]->Checked();

    ui::Form& wait = OpenDialog(std::make_unique<TForm6>());
    ReportResult result;
    try {
        result = CreateReport(platform, adapter, facts);
    } catch (...) {
        wait.closed = true;
        throw;
    }
    wait.closed = true;
    if (refreshWindows) refreshWindows();
    platform.system.ShowMessageBox(result.text, result.caption, kMbOk);
}

void TForm1::AboutClick() {
    if (CheckPending() || FrontIfOpen("TForm2")) return;
    OpenDialog(std::make_unique<TForm2>(platform));
}

void TForm1::HelpClick() {
    if (CheckPending()) return;
    OpenHelp(platform);
}

std::optional<LangEntry> TForm1::TryRefusal() {
    if (!state.StartupComplete) return kMsgStartupIncomplete;
    if (state.DriverListsUnreadable) return kMsgTryListsLocked;
    // While another window is open a command runs: the list or the adapter
    // may change under the try, or the check after a restart wait for it.
    for (const auto& d : dialogs)
        if (!d->closed) return kMsgTryWindowOpen;
    return std::nullopt;
}

std::optional<std::size_t> TForm1::RowShownAt(int k) {
    std::size_t index = grid.FirstVisibleRow + static_cast<std::size_t>(k - 1);
    if (k < 1 || k > RefreshGrid::kRows || index >= modes.ResolutionRows.size()) return std::nullopt;
    return index;
}

std::vector<ui::MenuItem> TForm1::GridRowMenu(int k) {
    std::optional<std::size_t> index = RowShownAt(k);
    if (!index) return {};
    const ui::Control& box = *grid.shown[static_cast<std::size_t>(k - 1)].box;
    std::optional<std::uint8_t> rate = RefreshGrid::ParseRate(box.text);
    ui::MenuItem item;
    item.name = "TryRow";
    item.caption = LangText(kTxtTryRateItem, {RefreshGrid::ResolutionText(modes.ResolutionRows[*index]),
                                              rate ? std::to_string(*rate) : box.text});
    item.enabled = !TryRefusal();
    item.onClick = [this, k] { TryRate(k); };
    return {item};
}

void TForm1::TryRate1Click() {
    int k = 1;
    for (std::size_t i = 0; i < grid.shown.size(); ++i)
        if (focused && focused == grid.shown[i].box) k = static_cast<int>(i) + 1;
    TryRate(k);
}

void TForm1::TryRate(int k) {
    if (CheckPending()) return;
    if (std::optional<LangEntry> refusal = TryRefusal()) {
        ShowError(platform.system, LangText(*refusal));
        return;
    }
    std::optional<std::size_t> index = RowShownAt(k);
    if (!index) return;
    ui::Control& box = *grid.shown[static_cast<std::size_t>(k - 1)].box;
    std::optional<std::uint8_t> rate = RefreshGrid::ParseRate(box.text);
    if (!rate) {
        ShowRateError(*index);
        return;
    }
    const ResolutionRow& row = modes.ResolutionRows[*index];
    ModeVerdict verdict = JudgeRate(monitor.Declared(), row, *rate);
    if (verdict.kind == ModeVerdict::Kind::Outside &&
        !ConfirmOutsideRange(platform.system, kMsgRateOutsideRange, {OutsideLine(row, *rate, verdict)},
                             kMsgTryOutsideQuestion))
        return;
    std::unique_ptr<TTryRate> trial = TTryRate::Start(platform, adapter.DeviceName, row.width, row.height, *rate);
    if (!trial) return;
    // Only a rate the user keeps stays in the grid; otherwise the box shows
    // what the grid held before it was edited. The try window is modal: the
    // grid stays on this row until it closes.
    trial->onEnd = [&box, tried = std::to_string(*rate), held = std::to_string(row.selected)](bool kept) {
        box.text = kept ? tried : held;
    };
    trial->owner = this;
    OpenDialog(std::move(trial));
}

bool TForm1::UnappliedChanges() {
    if (!state.StartupComplete) return false;
    // A rate typed that is no number is a change too.
    if (grid.StoreVisibleBoxes()) return true;
    return restartNeed.Changed(BootSettings()) || BoundOptionChanged(*this);
}

bool TForm1::ConfirmDropUnapplied() {
    if (!UnappliedChanges()) return true;
    return AskWarning(platform.system, LangText(kMsgDropUnapplied));
}

void TForm1::RerunStartup() {
    StartupSequence();
    // The driver offering a rate its list forbids is asked about at every
    // start-up; this one has no first paint to act on the answer.
    if (state.RestoreAtStart) {
        state.RestoreAtStart = false;
        bRestoreClick();
    }
}

}  // namespace kv
