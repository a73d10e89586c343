// Push buttons, the flat speed buttons and check boxes: how each is made, a
// check box's mark and wrapping, and their clicks.
#include "ui/win32/Win32View.h"

namespace kv::win {

void Win32View::DescribeButton(Item&, CreateArgs& args) {
    args.cls = L"BUTTON";
    args.style |= WS_TABSTOP | BS_PUSHBUTTON;
}

void Win32View::DescribeSpeedButton(Item&, CreateArgs& args) {
    args.cls = L"BUTTON";
    args.style |= BS_PUSHBUTTON;
}

// Not an automatic box: a click goes to the form (UserClick), and the box
// shows the state the form then holds.
void Win32View::DescribeCheckBox(Item& item, CreateArgs& args) {
    const ui::Control& c = *item.control;
    args.cls = L"BUTTON";
    args.style |= WS_TABSTOP | (c.allowGrayed ? BS_3STATE : BS_CHECKBOX) | (c.wordWrap ? BS_MULTILINE : 0);
}

// A caption that grew in another language may wrap onto a second line.
void Win32View::SyncCheckBoxWrap(Item& item) {
    LONG_PTR style = GetWindowLongPtrW(item.hwnd, GWL_STYLE);
    style = item.control->wordWrap ? (style | BS_MULTILINE) : (style & ~static_cast<LONG_PTR>(BS_MULTILINE));
    SetWindowLongPtrW(item.hwnd, GWL_STYLE, style);
}

void Win32View::SyncCheck(Item& item) {
    const ui::Control& c = *item.control;
    if (c.state == item.last.state && !item.last.fresh) return;
    SendMessageW(item.hwnd, BM_SETCHECK,
                 c.state == ui::CheckState::Checked  ? BST_CHECKED
                 : c.state == ui::CheckState::Grayed ? BST_INDETERMINATE
                                                     : BST_UNCHECKED,
                 0);
    item.last.state = c.state;
}

void Win32View::ButtonNotified(Item& item, int code) {
    ui::Control& c = *item.control;
    if (code == BN_CLICKED) Run([&c] { c.UserClick(); });
}

}  // namespace kv::win
