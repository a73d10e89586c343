// The one-entry editor of the non-standard resolution list: width, height,
// colour depth and refresh rate of one extra mode.
#pragma once

#include <functional>

#include "lang/Dialog.h"
#include "nonstd/NonStdRes.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

class TNonStResAdd : public Dialog {
public:
    enum class Mode { Add, Edit };

    // One row: each field with its unit after it, with room for units and
    // "Any" longer than the English ones.
    ui::Control& eWidth = Add(Kind::Edit, "eWidth", "", {8, 12, 40, 21});
    ui::Control& Label1 = Add(Kind::Label, "Label1", "", {52, 15, 64, 16}).Entry(kTxtPixelsX);
    ui::Control& eHeight = Add(Kind::Edit, "eHeight", "", {120, 12, 40, 21});
    ui::Control& Label2 = Add(Kind::Label, "Label2", "", {164, 15, 64, 16}).Entry(kTxtPixelsX);
    ui::Control& eBpp = Add(Kind::Edit, "eBpp", "", {232, 12, 48, 21});
    ui::Control& Label3 = Add(Kind::Label, "Label3", "", {284, 15, 48, 16}).Entry(kTxtBppX);
    ui::Control& eHz = Add(Kind::Edit, "eHz", "", {336, 12, 48, 21});
    ui::Control& Label4 = Add(Kind::Label, "Label4", "", {388, 15, 24, 16}).Entry(kTxtHz);
    ui::Control& bOK = Add(Kind::Button, "bOK", "", {119, 45, 86, 25}).Entry(kTxtOk);
    ui::Control& bCancel = Add(Kind::Button, "bCancel", "", {215, 45, 86, 25}).Entry(kTxtCancel);

    // `accept` receives the entry of an OK the editor took; `onClosed` is
    // called once, when the editor closes by either button or the close box.
    TNonStResAdd(Platform& platform, Mode mode, NonStdEntry editing, std::function<void(const NonStdEntry&)> accept,
                 std::function<void()> onClosed);

    // Fills the fields; the constructor calls it.
    void FormCreate() override;
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
