// Static controls: labels (links among them), memos and the program's icon.
// How each is made and coloured, and a link's cursor and click. Their texts
// are laid out in WordWrap.cpp.
#include "ui/win32/Win32View.h"

#include "ui/Scale.h"

namespace kv::win {

namespace {

// A line of the dialog font at 96 DPI: a label at least twice as high is
// meant for more than one line.
constexpr int kLineHeight = 13;
// The program's icon, in design pixels.
constexpr int kIconSize = 32;
// IDC_HAND by its number: without UNICODE the header names it as a narrow
// resource name, which LoadCursorW does not take.
constexpr WORD kHandCursor = 32649;

}  // namespace

// So that no letter is drawn past the control's edge (WordWrap.cpp), a
// one-line right-aligned label is drawn from the left and placed so that its
// text ends at the design's right edge (PlaceFlushRight), and a label meant
// for more than one line is broken into lines by the view (WrapLines).
// SS_NOTIFY lets a label take the mouse, which a static control otherwise
// passes to the window: a link's click and cursor, and hints.
void Win32View::DescribeLabel(Item& item, CreateArgs& args) {
    const ui::Control& c = *item.control;
    item.flushRight = c.align == ui::Align::Right && !c.wordWrap;
    item.wrapped = !item.flushRight && (c.wordWrap || c.rect.h >= 2 * kLineHeight);
    args.style |= SS_NOTIFY | (item.flushRight                   ? SS_LEFTNOWORDWRAP
                               : c.align == ui::Align::Center ? SS_CENTER
                               : c.align == ui::Align::Right  ? SS_RIGHT
                                                              : SS_LEFT);
    if (!c.showAccel) args.style |= SS_NOPREFIX;
}

// A memo's text is broken into lines as a wrapped label's is.
void Win32View::DescribeMemo(Item& item, CreateArgs& args) {
    args.style |= SS_LEFT | SS_NOPREFIX;
    item.wrapped = true;
}

void Win32View::DescribePicture(Item&, CreateArgs& args) {
    args.style |= SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE;
}

// The program's icon (resource 1), as large as the layout's scale makes it.
void Win32View::PictureMade(Item& item) {
    int size = ui::Scaled(kIconSize, dpi_);
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
    SendMessageW(item.hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void Win32View::LabelNotified(Item& item, int code) {
    ui::Control& c = *item.control;
    if (code == STN_CLICKED && c.link) Run([&c] { c.UserClick(); });
}

bool Win32View::SetLinkCursor(HWND control) {
    Item* item = ItemByHandle(control);
    if (!item || !item->control->link) return false;
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(kHandCursor)));
    return true;
}

// A link, or a text with a colour of its own, on the window's face; null
// leaves the control the system's colours.
HBRUSH Win32View::StaticColours(HWND control, HDC dc) {
    Item* item = ItemByHandle(control);
    if (!item || (item->control->textColor == ui::kDefaultColor && !item->control->link)) return nullptr;
    SetTextColor(dc, item->control->link ? ui::kBlue : item->control->textColor);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

}  // namespace kv::win
