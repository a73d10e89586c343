// Making a control of any kind: the table of what each kind does at each
// step, and the window made from its row, in its place and font.
#include "ui/win32/Win32View.h"

#include "platform/win32/Win32Text.h"
#include "ui/Scale.h"

namespace kv::win {

using ui::Kind;

const Win32View::KindSteps& Win32View::StepsOf(Kind kind) {
    using V = Win32View;
    static const KindSteps kinds[] = {
        {.kind = Kind::Label, .describe = &V::DescribeLabel, .shownText = &V::LabelText,
         .notified = &V::LabelNotified},
        {.kind = Kind::Memo, .describe = &V::DescribeMemo, .shownText = &V::LabelText},
        {.kind = Kind::Picture, .describe = &V::DescribePicture, .made = &V::PictureMade},
        {.kind = Kind::Button, .describe = &V::DescribeButton, .notified = &V::ButtonNotified},
        {.kind = Kind::SpeedButton, .describe = &V::DescribeSpeedButton, .notified = &V::ButtonNotified},
        {.kind = Kind::CheckBox, .describe = &V::DescribeCheckBox, .syncState = &V::SyncCheck,
         .notified = &V::ButtonNotified},
        {.kind = Kind::Edit, .describe = &V::DescribeEdit, .made = &V::EditMade, .notified = &V::EditNotified},
        {.kind = Kind::ComboBox, .describe = &V::DescribeComboBox, .made = &V::ComboBoxMade,
         .syncItems = &V::SyncComboItems, .notified = &V::ComboNotified},
        {.kind = Kind::ListBox, .describe = &V::DescribeListBox, .syncItems = &V::SyncListItems,
         .syncState = &V::SyncListSelection, .notified = &V::ListNotified},
        {.kind = Kind::CheckListBox, .describe = &V::DescribeCheckList, .made = &V::CheckListMade,
         .syncItems = &V::SyncCheckListItems, .syncState = &V::SyncListSelection, .notified = &V::ListNotified},
        {.kind = Kind::GroupBox, .describe = &V::DescribeGroupBox, .shownText = &V::GroupBoxCaption},
        {.kind = Kind::TabControl, .describe = &V::DescribeTabControl, .made = &V::TabControlMade,
         .syncItems = &V::SyncTabCaptions, .showsText = false, .syncState = &V::SyncTabSelection},
    };
    for (const KindSteps& steps : kinds)
        if (steps.kind == kind) return steps;
    return kinds[0];
}

void Win32View::CreateControl(Item& item) {
    const ui::Control& c = *item.control;
    const KindSteps& steps = StepsOf(c.kind);
    ui::Rect r = Place(item);
    CreateArgs args;
    args.height = r.h;
    (this->*steps.describe)(item, args);
    item.hwnd = CreateWindowExW(args.exStyle, args.cls, L"", args.style, r.x, r.y, r.w, args.height, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), GetModuleHandleW(nullptr),
                                nullptr);
    SendMessageW(item.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c)), FALSE);
    if (steps.made) (this->*steps.made)(item);
    item.last.rect = c.rect;
    item.last.wordWrap = c.wordWrap;
    SyncHint(item);
}

// The control's design rectangle at the system's DPI, kept as its place.
ui::Rect Win32View::Place(Item& item) {
    ui::Rect r = ui::Scaled(form_.ScreenRect(*item.control), dpi_);
    item.place = {r.x, r.y, r.x + r.w, r.y + r.h};
    return r;
}

HFONT Win32View::FontFor(const ui::Control& c) {
    if (c.fontName.empty() && c.fontSize == 0 && !c.bold && !c.link) return font_;
    LOGFONTW lf{};
    GetObjectW(font_, sizeof(lf), &lf);
    if (c.bold) lf.lfWeight = FW_BOLD;
    if (c.link) lf.lfUnderline = TRUE;
    // A face the form names is a symbol font (Webdings, for the grid's
    // arrows): asked for in another character set, the system would give a
    // face that has letters instead.
    if (!c.fontName.empty()) {
        std::wstring face = Wide(c.fontName);
        wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        lf.lfCharSet = SYMBOL_CHARSET;
    }
    if (c.fontSize) {
        HDC dc = GetDC(nullptr);
        lf.lfHeight = -MulDiv(c.fontSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(nullptr, dc);
    }
    HFONT f = CreateFontIndirectW(&lf);
    extraFonts_.push_back(f);
    return f;
}

}  // namespace kv::win
