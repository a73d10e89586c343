// Whether Windows must restart before a change takes: the driver reads its
// restricted-mode lists, its extra modes, its pruning, the anisotropy degree
// and some options only at boot. One object per run holds what start-up read
// of those settings and whether this run has written any of the values the
// driver reads then, and answers for the whole run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/Form.h"

namespace kv {

class RestartNeed {
public:
    // The settings the driver reads at boot, as the main window holds them.
    struct Settings {
        // Each resolution row's lowest rate, in the table's order.
        std::vector<std::uint8_t> selections;
        bool anisoOn = false;
        std::string anisoDegree;
        // The option boxes whose change needs a restart, in component order.
        std::vector<ui::CheckState> options;
    };

    // Start-up has read them (again, after the adapter dialog).
    void RecordStartup(Settings startup) { startup_ = std::move(startup); }
    const Settings& Startup() const { return startup_; }

    // A value the driver reads at boot was written: the extra modes (the
    // list dialog's or a profile's), the pruning (the adapter dialog), a
    // control panel maximum raised.
    void MarkWritten() { written_ = true; }
    bool Written() const { return written_; }

    // The rate of the table's row `row` is not the one start-up read; a row
    // start-up did not read counts as chosen.
    bool ChosenThisRun(std::size_t row, std::uint8_t selected) const;
    // A rate, the degree (with its box on) or an option that needs a restart
    // differs from what start-up read.
    bool Changed(const Settings& now) const;
    // Changed, or written: the change takes after a restart.
    bool Needed(const Settings& now) const { return written_ || Changed(now); }

private:
    Settings startup_;
    bool written_ = false;
};

}  // namespace kv
