// What every dialog of the program says as it is made, said once: it stays
// in front of the program's other windows and its caption is its entry's
// text; the last step of its constructor binds its controls' clicks, gives
// every text that names an entry its text, and lets the dialog fill in the
// rest.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "ui/Form.h"

namespace kv {

class Dialog : public ui::Form {
protected:
    using Kind = ui::Kind;

    Dialog(std::string name, int captionEntry, int clientWidth, int clientHeight);

    // A control and what its click does.
    struct Click {
        ui::Control& control;
        std::function<void()> handler;
    };
    // The constructor's last step, once every control is set: binds the
    // clicks, applies the window's texts (ApplyWindowTexts), then FormCreate.
    void Create(std::initializer_list<Click> clicks);
    // What the dialog shows besides its entries' texts.
    virtual void FormCreate() {}
};

}  // namespace kv
