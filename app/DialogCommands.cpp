// The main window's commands that open the other windows: custom
// resolutions, the adapter dialog, the registry clean, uninstall, the
// report, About and Help.
#include "app/KVMAIN.h"
#include "dialogs/About.h"
#include "dialogs/Adapters.h"
#include "lang/Lang.h"
#include "maintenance/Uninstall.h"
#include "maintenance/uRegClean.h"
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
    OpenDialog(std::make_unique<TNonStRes>(platform, nonStandard, snapshots, adapter.DeviceKey,
                                           [this](std::unique_ptr<ui::Form> w) -> ui::Form& {
                                               return OpenDialog(std::move(w));
                                           }));
}

void TForm1::bAdapterClick() {
    if (CheckPending() || FrontIfOpen("TForm4")) return;
    auto dialog = std::make_unique<TForm4>(platform, adapter, snapshots);
    dialog->confirmRerun = [this] { return ConfirmDropUnapplied(); };
    dialog->onApplied = [this](bool pruningChanged) {
        if (pruningChanged) state.PruningChangedThisRun = true;
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
    facts.langLoaded = LangLoaded;
    facts.langFileName = LangFileNameInForce;
    facts.rows = modes.ResolutionRows;
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

bool TForm1::UnappliedChanges() {
    if (!state.StartupComplete) return false;
    // A rate typed that is no number is a change too.
    if (grid.StoreVisibleBoxes()) return true;
    return RestartingChangeMade() || BoundOptionChanged(*this);
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
