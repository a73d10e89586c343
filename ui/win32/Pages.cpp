// Group boxes and the tab control, the containers a window's pages are made
// of: how each is made, the tabs' captions and choice, the order of
// containers among the controls, and the controls of pages made late.
//
// The controls of a page not shown are made when it is first shown, or once
// the window has been painted: under Wine, making a control takes nearly as
// long as painting it, and the window's start waited for the pages nobody
// sees yet.
#include "ui/win32/Win32View.h"

#include <commctrl.h>

#include "platform/win32/Win32Text.h"
#include "ui/Scale.h"

namespace kv::win {

using ui::Kind;

namespace {

// Room on each side of a tab's caption, clear of the frame a pressed tab
// draws inside its edge and of the focus frame inside that.
constexpr int kTabPadding = 10;
constexpr int kTabPaddingY = 3;

bool IsContainer(Kind kind) { return kind == Kind::GroupBox || kind == Kind::TabControl; }

// Inserts a tab, or gives one a new caption.
void SetTabCaption(HWND tabs, std::size_t index, const std::string& text, UINT message) {
    std::wstring caption = Wide(text);
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = caption.data();
    SendMessageW(tabs, message, index, reinterpret_cast<LPARAM>(&tab));
}

}  // namespace

void Win32View::DescribeGroupBox(Item&, CreateArgs& args) {
    args.cls = L"BUTTON";
    args.style |= BS_GROUPBOX;
}

void Win32View::DescribeTabControl(Item&, CreateArgs& args) {
    args.cls = WC_TABCONTROLW;
    args.style |= TCS_BUTTONS | TCS_FLATBUTTONS | WS_TABSTOP;
}

// The control's own padding is a few pixels whatever the DPI, while the
// captions grow with the fonts: the padding is scaled here.
void Win32View::TabControlMade(Item& item) {
    const ui::Control& c = *item.control;
    SendMessageW(item.hwnd, TCM_SETPADDING, 0,
                 MAKELPARAM(ui::Scaled(kTabPadding, dpi_), ui::Scaled(kTabPaddingY, dpi_)));
    for (std::size_t i = 0; i < c.items.size(); ++i) SetTabCaption(item.hwnd, i, c.items[i], TCM_INSERTITEMW);
    item.last.items = c.items;
}

// A group box cuts its caption where it measures it to end; a blank after it
// keeps the last character clear of the frame.
std::wstring Win32View::GroupBoxCaption(const Item& item) {
    std::wstring text = Wide(item.control->text);
    if (!text.empty()) text += L' ';
    return text;
}

void Win32View::SyncTabCaptions(Item& item) {
    const ui::Control& c = *item.control;
    if (c.items == item.last.items) return;
    for (std::size_t i = 0; i < c.items.size(); ++i) SetTabCaption(item.hwnd, i, c.items[i], TCM_SETITEMW);
    item.last.items = c.items;
}

void Win32View::SyncTabSelection(Item& item) { SyncSelection(item, TCM_SETCURSEL); }

// A tab control may keep a right click to itself and only tell of it (Wine's
// does): the click may have come through a control that lets the mouse pass.
void Win32View::OnNotify(const NMHDR& hdr) {
    if (hdr.code == static_cast<UINT>(NM_RCLICK)) OnContextMenu(static_cast<LPARAM>(GetMessagePos()));
    if (hdr.code != static_cast<UINT>(TCN_SELCHANGE)) return;
    if (Item* item = ItemById(static_cast<int>(hdr.idFrom))) TakeSelection(*item, TCM_GETCURSEL);
}

// Whether the control is a page not shown or lies on one: a hidden group
// box or tab control, or one inside such.
bool Win32View::OnHiddenPage(const ui::Control& c) {
    auto container = [this](const ui::Control& of) { return of.parent.empty() ? nullptr : form_.Find(of.parent); };
    for (const ui::Control* page = IsContainer(c.kind) ? &c : container(c); page; page = container(*page))
        if (!page->visible) return true;
    return false;
}

// Containers lie beneath the controls they hold, which they would otherwise
// cover: the controls in their order, then the containers in theirs. The
// keyboard follows this order.
void Win32View::OrderControls() {
    int place = 0;
    for (bool containers : {false, true})
        for (Item& item : items_)
            if (IsContainer(item.control->kind) == containers) item.zOrder = place++;
}

// The controls the window starts with: those of the pages shown.
void Win32View::CreateShownControls() {
    for (bool containers : {true, false})
        for (Item& item : items_)
            if (IsContainer(item.control->kind) == containers && !OnHiddenPage(*item.control)) CreateControl(item);
    for (Item& item : items_)
        if (item.hwnd && IsContainer(item.control->kind))
            SetWindowPos(item.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The controls of the pages shown since the last time.
void Win32View::CreateShownPages() {
    for (Item& item : items_)
        if (!item.hwnd && !OnHiddenPage(*item.control)) CreateInPlace(item);
}

// Every control not made yet, once the window stands painted.
void Win32View::CreateHiddenPages() {
    for (Item& item : items_)
        if (!item.hwnd) CreateInPlace(item);
    Sync();
}

// Makes a control of a page shown late in the place among the others it
// would have had if made with them.
void Win32View::CreateInPlace(Item& item) {
    CreateControl(item);
    const Item* above = nullptr;
    for (const Item& other : items_)
        if (other.hwnd && other.zOrder < item.zOrder && (!above || other.zOrder > above->zOrder)) above = &other;
    SetWindowPos(item.hwnd, above ? above->hwnd : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace kv::win
