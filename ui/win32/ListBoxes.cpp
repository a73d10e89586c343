// List boxes, plain and checked (CheckList.cpp draws the checked ones): how
// each is made, its lines and its selection, and the user's choice.
#include "ui/win32/Win32View.h"

#include <algorithm>

#include "platform/win32/Win32Text.h"
#include "ui/Scale.h"

namespace kv::win {

namespace {

// Room right of the widest line, in design pixels, beyond the slack.
constexpr int kExtentMargin = 4;

}  // namespace

// Lines wider than the list scroll sideways (FitHorizontalExtent).
void Win32View::DescribeListBox(Item&, CreateArgs& args) {
    args.cls = L"LISTBOX";
    args.style |= WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    args.exStyle |= WS_EX_CLIENTEDGE;
}

void Win32View::SyncListItems(Item& item) {
    if (ResetItems(item, LB_RESETCONTENT, LB_ADDSTRING)) FitHorizontalExtent(item);
}

void Win32View::SyncListSelection(Item& item) { SyncSelection(item, LB_SETCURSEL); }

void Win32View::ListNotified(Item& item, int code) {
    if (code == LBN_SELCHANGE)
        TakeSelection(item, LB_GETCURSEL);
    else if (code == LBN_DBLCLK)
        Run(item.control->onClick);
    else if (code == LBN_SETFOCUS || code == LBN_KILLFOCUS)
        TakeFocus(item, code == LBN_SETFOCUS);
}

// Long lines scroll sideways rather than end out of sight.
void Win32View::FitHorizontalExtent(Item& item) {
    int widest = 0;
    for (const std::string& line : item.control->items) widest = std::max(widest, MeasureLine(item, Wide(line)));
    int before = item.control->kind == ui::Kind::CheckListBox ? CheckBoxRoom() : 0;
    SendMessageW(item.hwnd, LB_SETHORIZONTALEXTENT,
                 before + widest + InkSlack(widest) + ui::Scaled(kExtentMargin, dpi_), 0);
}

}  // namespace kv::win
