#include "ui/Form.h"

#include <stdexcept>

namespace kv::ui {

void Control::UserClick() {
    if (!enabled) return;
    touched = true;
    if (kind == Kind::CheckBox) {
        // A three-state box cycles unchecked, grayed, checked.
        CheckState next = CheckState::Unchecked;
        if (state == CheckState::Unchecked)
            next = allowGrayed ? CheckState::Grayed : CheckState::Checked;
        else if (state == CheckState::Grayed)
            next = CheckState::Checked;
        SetState(next);
        return;
    }
    Click();
}

void Form::PressEscape() {
    if (escapeButton) escapeButton->UserClick();
}

Control* Form::Find(const std::string& controlName) {
    for (auto& c : controls)
        if (c->name == controlName) return c.get();
    return nullptr;
}

Control& Form::operator[](const std::string& controlName) {
    if (Control* c = Find(controlName)) return *c;
    throw std::out_of_range("no control " + controlName + " on " + name);
}

MenuItem* Form::FindMenuItem(const std::string& itemName) {
    for (auto& m : menus)
        for (auto& item : m.items)
            if (item.name == itemName) return &item;
    return nullptr;
}

bool Form::Shown(const Control& c) {
    const Control* cur = &c;
    while (cur) {
        if (!cur->visible) return false;
        cur = cur->parent.empty() ? nullptr : Find(cur->parent);
    }
    return true;
}

Rect Form::ScreenRect(const Control& c) {
    Rect r = c.rect;
    const Control* p = c.parent.empty() ? nullptr : Find(c.parent);
    while (p) {
        r.x += p->rect.x;
        r.y += p->rect.y;
        p = p->parent.empty() ? nullptr : Find(p->parent);
    }
    return r;
}

}  // namespace kv::ui
