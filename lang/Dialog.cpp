#include "lang/Dialog.h"

#include "lang/WindowTexts.h"

namespace kv {

Dialog::Dialog(std::string name, int entry, int clientWidth, int clientHeight)
    : ui::Form(std::move(name), "", clientWidth, clientHeight) {
    stayOnTop = true;
    captionEntry = entry;
}

void Dialog::Create(std::initializer_list<Click> clicks) {
    for (const Click& click : clicks) click.control.onClick = click.handler;
    ApplyWindowTexts(*this);
    FormCreate();
}

}  // namespace kv
