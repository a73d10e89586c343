#include "options/TSCheckBox.h"

#include "lang/Lang.h"

namespace kv {

TTSCheckBox::TTSCheckBox(std::string name, std::string parent, ui::Rect rect, std::string caption,
                         TSClickState& clicks, ISystem& system)
    : ui::Control(ui::Kind::CheckBox, std::move(name), std::move(parent), rect, std::move(caption)),
      clicks_(clicks),
      system_(system) {
    allowGrayed = true;
}

void TTSCheckBox::Click() {
    ui::Control::Click();
    if (clicks_.promptBusy) return;
    if (!clicks_.firstClick && clicks_.askCreate) {
        clicks_.promptBusy = true;
        if (Warnings && clicks_.startedGrayed) {
            if (system_.ShowMessageBox(LangText(kMsgCreateKeyQuestion), "?", kMbYesNo) == kIdYes)
                clicks_.askCreate = false;
            else
                SetState(ui::CheckState::Grayed);
        }
        clicks_.promptBusy = false;
    }
    if (clicks_.firstClick) {
        clicks_.startedGrayed = state == ui::CheckState::Grayed;
        clicks_.firstClick = false;
    }
}

}  // namespace kv
