// The texts of labels and memos, laid out by the view rather than the
// control: some renderers (Wine's, with large fonts) draw a few pixels past
// the width they measure (InkSlack), which the control would cut. Lines are
// measured here, wrapped short of the right edge, and a one-line
// right-aligned label is placed so that its text ends at that edge.
#include "ui/win32/Win32View.h"

#include <algorithm>

#include "platform/win32/Win32Text.h"

namespace kv::win {

// The width of one line of a control's text in its font, as it lays it out.
// One memory DC of the screen measures every line: a font measures the same
// on it as on the control's own DC, which would be taken for each line.
int Win32View::MeasureLine(const Item& item, const std::wstring& line) {
    RECT measured{0, 0, 0, 0};
    if (!measureDc_) measureDc_ = CreateCompatibleDC(nullptr);
    if (measureDc_) {
        HGDIOBJ old =
            SelectObject(measureDc_, reinterpret_cast<HFONT>(SendMessageW(item.hwnd, WM_GETFONT, 0, 0)));
        bool prefix = item.control->showAccel && item.control->kind != ui::Kind::Memo;
        UINT flags = DT_CALCRECT | DT_SINGLELINE | (prefix ? 0 : DT_NOPREFIX);
        DrawTextW(measureDc_, line.c_str(), static_cast<int>(line.size()), &measured, flags);
        SelectObject(measureDc_, old);
    }
    return measured.right;
}

int Win32View::InkSlack(int width) const { return win::InkSlack(width, dpi_); }

std::wstring Win32View::LabelText(const Item& item) {
    std::wstring text = Wide(item.control->text);
    return item.wrapped ? WrapLines(item, text) : text;
}

// Breaks the text into lines that leave the slack free at the right, so that
// no line's last character is cut; the control then shows the lines as they
// are. The text's own line breaks stay. A centred line has half its spare
// room on the right, so it leaves twice the slack.
std::wstring Win32View::WrapLines(const Item& item, const std::wstring& text) {
    int width = static_cast<int>(item.place.right - item.place.left);
    int room = width - (item.control->align == ui::Align::Center ? 2 : 1) * InkSlack(width);
    std::wstring out;
    std::size_t from = 0;
    for (;;) {
        std::size_t to = text.find(L'\n', from);
        std::wstring paragraph = text.substr(from, to == std::wstring::npos ? std::wstring::npos : to - from);
        if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.pop_back();
        out += WrapParagraph(item, paragraph, room);
        if (to == std::wstring::npos) return out;
        out += L"\r\n";
        from = to + 1;
    }
}

// One paragraph broken at blanks into lines no wider than `room`. A word
// wider than a line keeps a line of its own.
std::wstring Win32View::WrapParagraph(const Item& item, const std::wstring& paragraph, int room) {
    std::wstring out, line;
    std::size_t start = 0;
    while (start <= paragraph.size()) {
        std::size_t end = paragraph.find(L' ', start);
        if (end == std::wstring::npos) end = paragraph.size();
        std::wstring word = paragraph.substr(start, end - start);
        std::wstring longer = line.empty() ? word : line + L" " + word;
        if (!line.empty() && MeasureLine(item, longer) > room) {
            out += line + L"\r\n";
            line = word;
        } else {
            line = longer;
        }
        start = end + 1;
    }
    return out + line;
}

// The label is as wide as its text and the slack, and ends its text at the
// design's right edge.
void Win32View::PlaceFlushRight(Item& item) {
    const RECT& p = item.place;
    int width = std::min<int>(MeasureLine(item, Wide(item.control->text)), p.right - p.left);
    SetWindowPos(item.hwnd, nullptr, p.right - width, p.top, width + InkSlack(width), p.bottom - p.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kv::win
