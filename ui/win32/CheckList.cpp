// The check list: a list box whose lines each draw a check box. A click on a
// line's box, or the space bar, turns its mark over.
#include "ui/win32/Win32View.h"

#include <algorithm>

#include "platform/win32/Win32Text.h"
#include "ui/Scale.h"

namespace kv::win {

namespace {

// Where a check list keeps the list box's own window procedure.
constexpr const wchar_t* kListProcProp = L"Kelvane.ListProc";
// A line's box in design pixels: the system's check box at 96 DPI, a little
// in from the left; the room left of it and between it and the text.
constexpr int kBoxSide = 13;
constexpr int kBoxLeft = 2;
constexpr int kBoxMargins = 6;
// A line is this much taller than the font, or than the box.
constexpr int kLineLeading = 3;

// The signed x of a mouse message.
int MouseX(LPARAM lp) { return static_cast<int>(static_cast<short>(LOWORD(lp))); }

}  // namespace

// Each line draws its own check box (DrawCheckLine). With LBS_HASSTRINGS the
// list keeps the lines' texts, which another program can read, and leaves
// each line's item data free for its mark.
void Win32View::DescribeCheckList(Item& item, CreateArgs& args) {
    DescribeListBox(item, args);
    args.style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
}

void Win32View::CheckListMade(Item& item) {
    SetPropW(item.hwnd, kListProcProp,
             reinterpret_cast<HANDLE>(
                 SetWindowLongPtrW(item.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CheckListProc))));
    SendMessageW(item.hwnd, LB_SETITEMHEIGHT, 0, CheckLineHeight());
}

// New lines come unmarked; the marks follow them.
void Win32View::SyncCheckListItems(Item& item) {
    SyncListItems(item);
    SyncChecks(item);
}

// The marks are the lines' item data too, so that another program (the
// tests' driver) can read them.
void Win32View::SyncChecks(Item& item) {
    const ui::Control& c = *item.control;
    if (c.itemChecks == item.last.itemChecks) return;
    for (std::size_t i = 0; i < c.items.size(); ++i)
        SendMessageW(item.hwnd, LB_SETITEMDATA, i, i < c.itemChecks.size() && c.itemChecks[i]);
    item.last.itemChecks = c.itemChecks;
    InvalidateRect(item.hwnd, nullptr, TRUE);
}

int Win32View::CheckLineHeight() const {
    TEXTMETRICW tm{};
    if (HDC dc = GetDC(hwnd_)) {
        HGDIOBJ old = SelectObject(dc, font_);
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
    }
    return std::max<int>(tm.tmHeight, ui::Scaled(kBoxSide, dpi_)) + ui::Scaled(kLineLeading, dpi_);
}

int Win32View::CheckBoxRoom() const { return ui::Scaled(kBoxSide, dpi_) + ui::Scaled(kBoxMargins, dpi_); }

void Win32View::DrawCheckLine(const DRAWITEMSTRUCT& d) {
    Item* item = ItemById(static_cast<int>(d.CtlID));
    if (!item || d.itemID == static_cast<UINT>(-1)) return;
    const ui::Control& c = *item->control;
    bool selected = (d.itemState & ODS_SELECTED) != 0;
    HDC dc = d.hDC;
    FillRect(dc, &d.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    int box = ui::Scaled(kBoxSide, dpi_);
    RECT mark{d.rcItem.left + ui::Scaled(kBoxLeft, dpi_), d.rcItem.top + (d.rcItem.bottom - d.rcItem.top - box) / 2,
              0, 0};
    mark.right = mark.left + box;
    mark.bottom = mark.top + box;
    bool checked = d.itemID < c.itemChecks.size() && c.itemChecks[d.itemID];
    DrawFrameControl(dc, &mark, DFC_BUTTON, DFCS_BUTTONCHECK | (checked ? DFCS_CHECKED : 0));
    RECT text = d.rcItem;
    text.left += CheckBoxRoom();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    if (d.itemID < c.items.size()) {
        std::wstring line = Wide(c.items[d.itemID]);
        DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (d.itemState & ODS_FOCUS) DrawFocusRect(dc, &d.rcItem);
}

void Win32View::ToggleCheck(HWND list, int index) {
    for (Item& item : items_) {
        ui::Control& c = *item.control;
        if (item.hwnd != list || index < 0 || static_cast<std::size_t>(index) >= c.items.size()) continue;
        Run([&c, index] {
            c.itemChecks.resize(c.items.size(), false);
            c.itemChecks[static_cast<std::size_t>(index)] = !c.itemChecks[static_cast<std::size_t>(index)];
        });
    }
}

LRESULT CALLBACK Win32View::CheckListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kListProcProp));
    auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(GetParent(hwnd), GWLP_USERDATA));
    if (msg == WM_NCDESTROY) RemovePropW(hwnd, kListProcProp);
    if (view && msg == WM_CHAR && wp == L' ') {
        view->ToggleCheck(hwnd, static_cast<int>(CallWindowProcW(old, hwnd, LB_GETCURSEL, 0, 0)));
        return 0;
    }
    LRESULT result = CallWindowProcW(old, hwnd, msg, wp, lp);
    if (view && (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) && MouseX(lp) < view->CheckBoxRoom()) {
        LRESULT hit = CallWindowProcW(old, hwnd, LB_ITEMFROMPOINT, 0, lp);
        if (HIWORD(hit) == 0) view->ToggleCheck(hwnd, LOWORD(hit));
    }
    return result;
}

}  // namespace kv::win
