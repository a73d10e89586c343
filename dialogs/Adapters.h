// The adapter dialog: the display adapters Windows reports, and per adapter
// whether its driver ignores what the monitor says it can show.
#pragma once

#include <functional>
#include <string>

#include "maintenance/Snapshots.h"
#include "platform/AdapterContext.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

class TForm4 : public ui::Form {
public:
    // `adapter`: the main window's adapter context (its device list, and the
    // key in use, whose snapshots `snapshots` are).
    TForm4(Platform& platform, const AdapterContext& adapter, RunSnapshots& snapshots);

    void FormCreate();
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
