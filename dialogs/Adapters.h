// The adapter dialog: the display adapters Windows reports, and per adapter
// whether its driver ignores what the monitor says it can show.
#pragma once

#include <functional>
#include <string>

#include "lang/Dialog.h"
#include "lang/Entries.h"
#include "maintenance/Snapshots.h"
#include "platform/AdapterContext.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

class TForm4 : public Dialog {
public:
    ui::Control& Label1 = Add(Kind::Label, "Label1", "", {8, 8, 324, 16}).Entry(kTxtSelectAdapterLabel);
    ui::Control& lbAdapters = Add(Kind::ListBox, "lbAdapters", "", {8, 28, 324, 92});
    ui::Control& cbIgnoreMC = Add(Kind::CheckBox, "cbIgnoreMC", "", {8, 128, 324, 17}).Entry(kTxtIgnoreMonitor);
    // Kept as the program has always had it: no user sees it.
    ui::Control& cbAllways =
        Add(Kind::CheckBox, "cbAllways", "", {8, 148, 324, 17}, "Всегда использовать выбранный адаптер");
    ui::Control& bOK = Add(Kind::Button, "bOK", "", {86, 157, 75, 25}).Entry(kTxtOk);
    ui::Control& bExit = Add(Kind::Button, "bExit", "", {179, 157, 75, 25}).Entry(kTxtCancel);

    // `adapter`: the main window's adapter context (its device list, and the
    // key in use, whose snapshots `snapshots` are).
    TForm4(Platform& platform, const AdapterContext& adapter, RunSnapshots& snapshots);

    void FormCreate() override;
    void lbAdaptersClick();
    void lbAdaptersDblClick();
    void bOKClick();
    void bExitClick();

    // Asked before anything is written: the main window reads the driver's
    // settings again afterwards, so changes it has not saved would be lost.
    // False keeps the dialog open.
    std::function<bool()> confirmRerun;
    // Called after OK has stored the choice: the main window runs its
    // start-up again. `pruningChanged`: the driver's value was changed, so
    // the change needs a restart.
    std::function<void(bool pruningChanged)> onApplied;

private:
    // The key under HKEY_LOCAL_MACHINE of line `line`; "" for a line that
    // stands for no adapter.
    std::string AdapterKey(int line) const;
    bool IgnoresMonitor(int line);

    Platform& platform_;
    const AdapterContext& adapter_;
    RunSnapshots& snapshots_;
};

}  // namespace kv
