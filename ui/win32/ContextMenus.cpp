// Shortcut menus: the control the user opened one on, by the right button or
// from the keyboard, the menu its handler offers, and the chosen item's
// command.
//
// A right click reaches the window by several roads: a control passes it on
// as WM_CONTEXTMENU, a click through a group box or a memo comes to the window
// or the tab control beneath, and a tab control may tell of it only as
// NM_RCLICK. Whichever road it took, the control is the topmost under the
// mouse that has a menu.
#include "ui/win32/Win32View.h"

#include "platform/win32/Win32Text.h"

namespace kv::win {

namespace {

// Where an edit box keeps its own window procedure.
constexpr const wchar_t* kEditProcProp = L"Kelvane.EditProc";

// WM_CONTEXTMENU's position when the keyboard asked for the menu.
bool FromKeyboard(LPARAM lp) { return lp == static_cast<LPARAM>(-1); }

// A screen position packed as WM_CONTEXTMENU and GetMessagePos pack it; the
// signed halves hold a monitor left of or above the primary one.
POINT ScreenPoint(LPARAM lp) {
    return {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
}

}  // namespace

// An edit box shows its own Cut/Copy/Paste menu and passes nothing on: one
// whose control has a menu of its own hands the request to the window.
void Win32View::RouteEditMenu(HWND edit) {
    if (!edit) return;
    SetPropW(edit, kEditProcProp,
             reinterpret_cast<HANDLE>(
                 SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditMenuProc))));
}

LRESULT CALLBACK Win32View::EditMenuProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kEditProcProp));
    if (msg == WM_NCDESTROY) RemovePropW(hwnd, kEditProcProp);
    if (msg == WM_CONTEXTMENU) {
        auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
        Item* item = view ? view->ItemOwning(hwnd) : nullptr;
        if (item && item->control->onContextMenu && view->OnContextMenu(lp)) return 0;
    }
    return CallWindowProcW(old, hwnd, msg, wp, lp);
}

// The menu opens once the message that asked for it is done: a tab control
// that both tells of a right click and passes it on asks twice, and the menu
// opens once.
bool Win32View::OnContextMenu(LPARAM lp) {
    if (!ShortcutMenuTarget(lp)) return false;
    if (!menuPending_) menuPending_ = PostMessageW(hwnd_, kOpenShortcutMenu, 0, lp) != 0;
    return true;
}

// The control asked for anew: the request waited, and a handler that ran
// meanwhile may have hidden it.
void Win32View::OpenShortcutMenu(LPARAM lp) {
    menuPending_ = false;
    Item* item = ShortcutMenuTarget(lp);
    if (!item) return;
    POINT at = ScreenPoint(lp);
    if (FromKeyboard(lp)) {
        RECT r;
        GetWindowRect(item->hwnd, &r);
        at = {r.left, r.bottom};  // below the control, where the eye already is
    }
    ShowShortcutMenu(*item->control, at);
}

// From the keyboard, the control with the focus (or whose edit has it);
// otherwise the topmost control under the mouse that has a menu. Real
// windows in their real order: a hidden or disabled one takes no click.
Win32View::Item* Win32View::ShortcutMenuTarget(LPARAM lp) {
    if (FromKeyboard(lp)) {
        Item* item = ItemOwning(GetFocus());
        return item && item->control->onContextMenu ? item : nullptr;
    }
    POINT at = ScreenPoint(lp);
    for (HWND w = GetWindow(hwnd_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        Item* item = ItemByHandle(w);
        RECT r;
        if (!item || !item->control->onContextMenu || !IsWindowVisible(w) || !IsWindowEnabled(w)) continue;
        if (GetWindowRect(w, &r) && PtInRect(&r, at)) return item;
    }
    return nullptr;
}

// The items are asked for as a command; the menu's own ids are the items'
// places, from 1, as 0 means nothing was chosen.
void Win32View::ShowShortcutMenu(ui::Control& c, POINT at) {
    std::vector<ui::MenuItem> items;
    Run([&] { items = c.onContextMenu(); });
    if (items.empty() || !hwnd_) return;
    HMENU menu = CreatePopupMenu();
    for (std::size_t i = 0; i < items.size(); ++i)
        AppendMenuW(menu, MF_STRING | (items[i].enabled ? 0 : MF_GRAYED), i + 1, Wide(items[i].caption).c_str());
    auto chosen = static_cast<std::size_t>(
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, hwnd_,
                       nullptr));
    DestroyMenu(menu);
    // The menu waits for the user in a message loop of its own, in which a
    // timer's handler may have closed the window.
    if (chosen == 0 || chosen > items.size() || !items[chosen - 1].enabled || !hwnd_) return;
    Run(items[chosen - 1].onClick);
}

}  // namespace kv::win
