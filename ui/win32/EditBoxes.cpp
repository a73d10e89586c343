// Edit boxes and combo boxes (an edit box with a drop-down list): how each is
// made, a combo box's list, and the text the user types or picks.
#include "ui/win32/Win32View.h"

#include <algorithm>

#include "platform/win32/Win32Text.h"
#include "ui/Scale.h"

namespace kv::win {

namespace {

// Design pixels from a combo box's top to the bottom of its open list.
constexpr int kComboListHeight = 200;

std::string WindowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    n = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return Narrow(text);
}

}  // namespace

void Win32View::DescribeEdit(Item&, CreateArgs& args) {
    args.cls = L"EDIT";
    args.style |= WS_TABSTOP | ES_AUTOHSCROLL;
    args.exStyle |= WS_EX_CLIENTEDGE;
}

// A combo box's window reaches down over its drop-down list: its height is
// the list's.
void Win32View::DescribeComboBox(Item&, CreateArgs& args) {
    args.cls = L"COMBOBOX";
    args.style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
    args.height = ui::Scaled(kComboListHeight, dpi_);
}

// Edit boxes, and a combo box's edit, show their control's shortcut menu
// rather than their own when it has one (ContextMenus.cpp).
void Win32View::EditMade(Item& item) { RouteEditMenu(item.hwnd); }

void Win32View::ComboBoxMade(Item& item) {
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof(parts);
    if (GetComboBoxInfo(item.hwnd, &parts)) RouteEditMenu(parts.hwndItem);
}

// Emptying the list empties the edit too, so the text is set anew.
void Win32View::SyncComboItems(Item& item) {
    if (ResetItems(item, CB_RESETCONTENT, CB_ADDSTRING)) item.last.text = kStaleText;
}

void Win32View::EditNotified(Item& item, int code) {
    if (code == EN_SETFOCUS || code == EN_KILLFOCUS) TakeFocus(item, code == EN_SETFOCUS);
    if (code != EN_CHANGE) return;
    std::string text = WindowText(item.hwnd);
    if (text == item.last.text) return;
    ui::Control& c = *item.control;
    c.text = item.last.text = text;
    Run(c.onChange);
}

void Win32View::ComboNotified(Item& item, int code) {
    ui::Control& c = *item.control;
    if (code == CBN_SETFOCUS || code == CBN_KILLFOCUS) {
        TakeFocus(item, code == CBN_SETFOCUS);
    } else if (code == CBN_EDITCHANGE) {
        c.text = item.last.text = WindowText(item.hwnd);
        Run(c.onChange);
    } else if (code == CBN_SELCHANGE) {
        int sel = static_cast<int>(SendMessageW(item.hwnd, CB_GETCURSEL, 0, 0));
        if (sel < 0 || sel >= static_cast<int>(c.items.size())) return;
        // The edit shows the chosen item only once this notification
        // returns, so the text comes from the list.
        c.text = item.last.text = c.items[static_cast<std::size_t>(sel)];
        Run(c.onChange);
    }
}

}  // namespace kv::win
