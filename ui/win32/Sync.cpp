// Keeping the window and every control in step with the form: the steps
// every control takes, in order, each changing only what changed since the
// last time.
#include "ui/win32/Win32View.h"

#include <commctrl.h>

#include "platform/win32/Win32Text.h"

namespace kv::win {

void Win32View::SyncAll() {
    for (Win32View* v : views_) v->Sync();
}

void Win32View::Sync() {
    if (!hwnd_) return;
    SyncCaption();
    SyncMenu();
    CreateShownPages();
    for (Item& item : items_)
        if (item.hwnd) SyncControl(item);
    if (form_.bringToFront) {
        form_.bringToFront = false;
        SetForegroundWindow(hwnd_);
    }
    if (form_.closed) Destroy();
}

void Win32View::SyncCaption() {
    if (form_.caption == lastCaption_) return;
    SetWindowTextW(hwnd_, Wide(form_.caption).c_str());
    lastCaption_ = form_.caption;
}

// A new place lays the text out anew, and new items drop the selection and
// the marks, so those steps come first.
void Win32View::SyncControl(Item& item) {
    const KindSteps& steps = StepsOf(item.control->kind);
    SyncPlace(item);
    SyncHint(item);
    if (steps.syncItems) (this->*steps.syncItems)(item);
    SyncText(item, steps);
    if (steps.syncState) (this->*steps.syncState)(item);
    SyncEnabled(item);
    SyncShown(item);
    item.last.fresh = false;
}

// A caption that grew in another language may take two lines: the control
// moves and wraps as its new place says.
void Win32View::SyncPlace(Item& item) {
    const ui::Control& c = *item.control;
    Shadow& last = item.last;
    if (c.rect.x == last.rect.x && c.rect.y == last.rect.y && c.rect.w == last.rect.w && c.rect.h == last.rect.h &&
        c.wordWrap == last.wordWrap)
        return;
    ui::Rect r = Place(item);
    if (c.kind == ui::Kind::CheckBox) SyncCheckBoxWrap(item);
    // A combo box's window reaches down over its drop-down list, which the
    // design's height would cut to nothing.
    if (c.kind != ui::Kind::ComboBox)
        SetWindowPos(item.hwnd, nullptr, r.x, r.y, r.w, r.h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    last.rect = c.rect;
    last.wordWrap = c.wordWrap;
    last.text = kStaleText;  // wrapped and flush-right texts are laid out anew
}

// A language may bring other hints: the tooltip takes the text anew.
void Win32View::SyncHint(Item& item) {
    const ui::Control& c = *item.control;
    if (!tooltip_ || c.hint == item.last.hint) return;
    static std::vector<std::wstring> hints;  // the tooltip keeps pointers to its texts
    hints.push_back(Wide(c.hint));
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(item.hwnd);
    tool.lpszText = hints.back().data();
    if (item.last.hint.empty())
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    else if (c.hint.empty())
        SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    else
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    item.last.hint = c.hint;
}

// A combo box's or list box's items, put in anew when they changed; the
// selection and the marks are then set anew too. Whether they changed.
bool Win32View::ResetItems(Item& item, UINT resetMessage, UINT addMessage) {
    const ui::Control& c = *item.control;
    Shadow& last = item.last;
    if (c.items == last.items) return false;
    SendMessageW(item.hwnd, resetMessage, 0, 0);
    for (const std::string& s : c.items)
        SendMessageW(item.hwnd, addMessage, 0, reinterpret_cast<LPARAM>(Wide(s).c_str()));
    last.items = c.items;
    last.itemIndex = kStaleIndex;
    last.itemChecks.clear();
    return true;
}

void Win32View::SyncText(Item& item, const KindSteps& steps) {
    const ui::Control& c = *item.control;
    if (!steps.showsText || (c.text == item.last.text && !item.last.fresh)) return;
    std::wstring text = steps.shownText ? (this->*steps.shownText)(item) : Wide(c.text);
    SetWindowTextW(item.hwnd, text.c_str());
    item.last.text = c.text;
    if (item.flushRight) PlaceFlushRight(item);
}

// The chosen tab or line; `setMessage` is the control's own for it.
void Win32View::SyncSelection(Item& item, UINT setMessage) {
    const ui::Control& c = *item.control;
    if (c.itemIndex == item.last.itemIndex) return;
    SendMessageW(item.hwnd, setMessage, c.itemIndex, 0);
    item.last.itemIndex = c.itemIndex;
}

void Win32View::SyncEnabled(Item& item) {
    const ui::Control& c = *item.control;
    if (c.enabled == item.last.enabled && !item.last.fresh) return;
    EnableWindow(item.hwnd, c.enabled);
    item.last.enabled = c.enabled;
}

void Win32View::SyncShown(Item& item) {
    bool shown = form_.Shown(*item.control);
    if (shown == item.last.shown && !item.last.fresh) return;
    ShowWindow(item.hwnd, shown ? SW_SHOWNA : SW_HIDE);
    item.last.shown = shown;
}

}  // namespace kv::win
