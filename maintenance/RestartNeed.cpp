#include "maintenance/RestartNeed.h"

namespace kv {

bool RestartNeed::ChosenThisRun(std::size_t row, std::uint8_t selected) const {
    return row >= startup_.selections.size() || startup_.selections[row] != selected;
}

bool RestartNeed::Changed(const Settings& now) const {
    for (std::size_t i = 0; i < now.selections.size(); ++i)
        if (ChosenThisRun(i, now.selections[i])) return true;
    if (now.anisoOn && now.anisoDegree != startup_.anisoDegree) return true;
    // A box start-up did not record counts as changed.
    for (std::size_t i = 0; i < now.options.size(); ++i)
        if (i >= startup_.options.size() || startup_.options[i] != now.options[i]) return true;
    return false;
}

}  // namespace kv
