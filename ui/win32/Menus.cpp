// The menu bar: made from the form's menus, given the captions of another
// language, its items enabled or grayed as the form says, and a chosen
// item's command run.
#include "ui/win32/Win32View.h"

#include "platform/win32/Win32Text.h"

namespace kv::win {

namespace {

// A menu bar measures its captions narrower than it draws them with large
// fonts and cuts the last letter: a blank after each keeps it clear.
std::wstring MenuBarCaption(const std::string& caption) { return Wide(caption) + L" "; }

}  // namespace

void Win32View::CreateMenu() {
    if (form_.menus.empty()) return;
    HMENU bar = ::CreateMenu();
    for (const ui::Menu& menu : form_.menus) {
        HMENU popup = CreatePopupMenu();
        for (const ui::MenuItem& item : menu.items)
            AppendMenuW(popup, MF_STRING | (item.enabled ? 0 : MF_GRAYED), item.id, Wide(item.caption).c_str());
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), MenuBarCaption(menu.caption).c_str());
    }
    SetMenu(hwnd_, bar);
}

void Win32View::SyncMenu() {
    HMENU bar = GetMenu(hwnd_);
    if (!bar) return;
    SyncMenuCaptions(bar);
    for (const ui::Menu& menu : form_.menus)
        for (const ui::MenuItem& m : menu.items)
            EnableMenuItem(bar, m.id, MF_BYCOMMAND | (m.enabled ? MF_ENABLED : MF_GRAYED));
}

void Win32View::SyncMenuCaptions(HMENU bar) {
    std::vector<std::string> captions;
    for (const ui::Menu& menu : form_.menus) {
        captions.push_back(menu.caption);
        for (const ui::MenuItem& m : menu.items) captions.push_back(m.caption);
    }
    if (captions == lastMenuCaptions_) return;
    for (std::size_t i = 0; i < form_.menus.size(); ++i) {
        const ui::Menu& menu = form_.menus[i];
        HMENU popup = GetSubMenu(bar, static_cast<int>(i));
        ModifyMenuW(bar, static_cast<UINT>(i), MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                    MenuBarCaption(menu.caption).c_str());
        for (const ui::MenuItem& m : menu.items)
            ModifyMenuW(popup, m.id, MF_BYCOMMAND | MF_STRING | (m.enabled ? 0 : MF_GRAYED), m.id,
                        Wide(m.caption).c_str());
    }
    lastMenuCaptions_ = captions;
    DrawMenuBar(hwnd_);
}

// A grayed item does nothing, also when its command comes posted (as the
// tests' driver sends it) rather than from the menu.
void Win32View::MenuChosen(int id) {
    for (ui::Menu& menu : form_.menus)
        for (ui::MenuItem& m : menu.items)
            if (m.id == id && m.enabled) Run(m.onClick);
}

}  // namespace kv::win
