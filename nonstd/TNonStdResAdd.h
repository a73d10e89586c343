// The one-entry editor of the non-standard resolution list: width, height,
// colour depth and refresh rate of one extra mode.
#pragma once

#include <functional>

#include "nonstd/NonStdRes.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

// The largest values the driver's record and the entry can hold: four
// decimal digits for a size, a byte for a depth or a rate.
inline constexpr unsigned long kMaxNonStdSize = 9999;
inline constexpr unsigned long kMaxNonStdDepthOrRate = 255;

class TNonStResAdd : public ui::Form {
public:
    enum class Mode { Add, Edit };

    // `accept` receives the entry of an OK the editor took; `onClosed` is
    // called once, when the editor closes by either button or the close box.
    TNonStResAdd(Platform& platform, Mode mode, NonStdEntry editing, std::function<void(const NonStdEntry&)> accept,
                 std::function<void()> onClosed);

    // Fills the fields; the constructor calls it.
    void FormCreate();
    void bOKClick();
    void bCancelClick();

    const Mode mode;
    // The entry being edited, as Edit copied it.
    const NonStdEntry editing;

private:
    // False, with the message, when the value is above what the driver can take.
    bool WithinLimit(unsigned long value, unsigned long limit, int message);
    void Close();

    Platform& platform_;
    std::function<void(const NonStdEntry&)> accept_;
    std::function<void()> onClosed_;
};

}  // namespace kv
