#include "ui/win32/Win32View.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/Win32Text.h"
#include "ui/Scale.h"

namespace kv::win {

using ui::Kind;

std::vector<Win32View*> Win32View::views_;

namespace {

constexpr int kFirstControlId = 1000;
// What waits for the window's first paint, controls and all: the first
// paint's actions, then the controls of the pages not shown yet. A timer's
// message comes only when no paint waits. (The form's own timers are
// numbered from 1.)
constexpr UINT_PTR kFirstPaintTimer = 0x4B56;
constexpr UINT_PTR kHiddenPagesTimer = 0x4B57;
constexpr int kComboListHeight = 200;
// A line of the dialog font at 96 DPI: a label at least twice as high is
// meant for more than one line.
constexpr int kLineHeight = 13;
// Room on each side of a tab's caption, clear of the frame a pressed tab
// draws inside its edge and of the focus frame inside that.
constexpr int kTabPadding = 10;
constexpr int kTabPaddingY = 3;

std::wstring ClassName(const ui::Form& form) { return Wide(form.name); }

std::string WindowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    n = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return Narrow(text);
}

// A menu bar measures its captions narrower than it draws them with large
// fonts and cuts the last letter: a blank after each keeps it clear.
std::wstring MenuBarCaption(const std::string& caption) { return Wide(caption) + L" "; }

// The signed x of a mouse message.
inline int MouseX(LPARAM lp) { return static_cast<int>(static_cast<short>(LOWORD(lp))); }

// Where a check list keeps the list box's own window procedure.
constexpr const wchar_t* kListProcProp = L"Kelvane.ListProc";

bool IsContainer(Kind kind) { return kind == Kind::GroupBox || kind == Kind::TabControl; }

// The system's DPI: 96 with normal fonts, 120 with large ones.
int SystemDpi() {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : ui::kDesignDpi;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : ui::kDesignDpi;
}

}  // namespace

Win32View::Win32View(ui::Form& form, CommandRunner runner) : form_(form), runner_(std::move(runner)) {
    views_.push_back(this);
}

Win32View::~Win32View() {
    views_.erase(std::remove(views_.begin(), views_.end(), this), views_.end());
    if (hwnd_) DestroyWindow(hwnd_);
    if (measureDc_) DeleteDC(measureDc_);
    for (HFONT f : extraFonts_) DeleteObject(f);
    if (font_) DeleteObject(font_);
}

HWND Win32View::Create(HWND owner, HICON icon) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    std::wstring className = ClassName(form_);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className.c_str();
    RegisterClassExW(&wc);  // fails harmlessly when a second window of the kind opens

    // The layout grows with the system's fonts; the font itself is the
    // system's, already made for its DPI.
    dpi_ = SystemDpi();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);

    // No WS_CLIPCHILDREN: group boxes are transparent, so the window must
    // paint the background beneath them.
    // A window opened by another dialog belongs to that dialog.
    for (Win32View* v : views_)
        if (form_.owner && &v->form_ == form_.owner && v->hwnd_) owner = v->hwnd_;
    DWORD style = WS_OVERLAPPED | WS_CAPTION;
    if (form_.borderButtons) style |= WS_SYSMENU;
    if (form_.borderButtons && (!owner || form_.minimizeBox)) style |= WS_MINIMIZEBOX;
    DWORD exStyle = form_.stayOnTop ? WS_EX_TOPMOST : 0;
    if (owner) exStyle |= WS_EX_DLGMODALFRAME;
    RECT r{0, 0, ui::Scaled(form_.clientWidth, dpi_), ui::Scaled(form_.clientHeight, dpi_)};
    AdjustWindowRectEx(&r, style, !form_.menus.empty(), exStyle);
    int w = r.right - r.left, h = r.bottom - r.top;
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - w) / 2;
    int y = work.top + (work.bottom - work.top - h) / 2;

    hwnd_ = CreateWindowExW(exStyle, className.c_str(), Wide(form_.caption).c_str(), style, x, y, w, h, owner,
                            nullptr, instance, this);
    lastCaption_ = form_.caption;
    CreateMenu();

    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
    items_.resize(form_.controls.size());
    int id = kFirstControlId;
    for (std::size_t i = 0; i < form_.controls.size(); ++i) {
        items_[i].control = form_.controls[i].get();
        items_[i].id = id++;
    }
    // Containers lie beneath the controls they hold: the controls in their
    // order, then the containers in theirs. The keyboard follows it.
    int place = 0;
    for (bool containers : {false, true})
        for (Item& item : items_)
            if (IsContainer(item.control->kind) == containers) item.zOrder = place++;
    // The controls of a page not shown are made when it is first shown, or
    // once the window has been painted: under Wine, making a control takes
    // nearly as long as painting it, and the window's start waited for the
    // pages nobody sees yet.
    for (bool containers : {true, false})
        for (Item& item : items_)
            if (IsContainer(item.control->kind) == containers && !OnHiddenPage(*item.control)) CreateControl(item);
    for (Item& item : items_)
        if (item.hwnd && IsContainer(item.control->kind))
            SetWindowPos(item.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (std::size_t i = 0; i < form_.timers.size(); ++i)
        if (form_.timers[i].enabled) SetTimer(hwnd_, i + 1, form_.timers[i].intervalMs, nullptr);

    Sync();
    // The first paint comes through the message loop, once the caller has
    // the window's handle.
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    // A window without a first-paint action paints at once: it may stand on
    // screen while its opener works without returning to the message loop.
    // Under Wine what it painted reaches the screen only when its thread
    // next looks at its messages.
    if (!form_.onPaint) {
        UpdateWindow(hwnd_);
        MSG pending;
        PeekMessageW(&pending, hwnd_, 0, 0, PM_NOREMOVE);
    }
    if (form_.modal && owner) {
        modalOwner_ = owner;
        EnableWindow(owner, FALSE);
    }
    return hwnd_;
}

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

HFONT Win32View::FontFor(const ui::Control& c) {
    if (c.fontName.empty() && c.fontSize == 0 && !c.bold && !c.link) return font_;
    LOGFONTW lf{};
    GetObjectW(font_, sizeof(lf), &lf);
    if (c.bold) lf.lfWeight = FW_BOLD;
    if (c.link) lf.lfUnderline = TRUE;
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

// Inserts a tab, or gives one a new caption.
static void SetTabCaption(HWND tabs, std::size_t index, const std::string& text, UINT message) {
    std::wstring caption = Wide(text);
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = caption.data();
    SendMessageW(tabs, message, index, reinterpret_cast<LPARAM>(&tab));
}

void Win32View::CreateControl(Item& item) {
    const ui::Control& c = *item.control;
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    ui::Rect r = ui::Scaled(form_.ScreenRect(c), dpi_);
    item.place = {r.x, r.y, r.x + r.w, r.y + r.h};
    int height = r.h;
    switch (c.kind) {
        case Kind::Label:
            // A one-line right-aligned label is drawn from the left and placed
            // so that its text ends at the design's right edge (PlaceFlushRight).
            item.flushRight = c.align == ui::Align::Right && !c.wordWrap;
            // A label meant for more than one line is broken into lines
            // here (WrapLines), where the renderer's slack is known.
            item.wrapped = !item.flushRight && (c.wordWrap || c.rect.h >= 2 * kLineHeight);
            style |= SS_NOTIFY | (item.flushRight                   ? SS_LEFTNOWORDWRAP
                                  : c.align == ui::Align::Center ? SS_CENTER
                                  : c.align == ui::Align::Right  ? SS_RIGHT
                                                                 : SS_LEFT);
            if (!c.showAccel) style |= SS_NOPREFIX;
            break;
        case Kind::Button: cls = L"BUTTON"; style |= WS_TABSTOP | BS_PUSHBUTTON; break;
        case Kind::SpeedButton: cls = L"BUTTON"; style |= BS_PUSHBUTTON; break;
        case Kind::CheckBox:
            cls = L"BUTTON";
            style |= WS_TABSTOP | (c.allowGrayed ? BS_3STATE : BS_CHECKBOX) | (c.wordWrap ? BS_MULTILINE : 0);
            break;
        case Kind::ComboBox:
            cls = L"COMBOBOX";
            style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
            height = ui::Scaled(kComboListHeight, dpi_);
            break;
        case Kind::GroupBox: cls = L"BUTTON"; style |= BS_GROUPBOX; break;
        case Kind::TabControl: cls = WC_TABCONTROLW; style |= TCS_BUTTONS | TCS_FLATBUTTONS | WS_TABSTOP; break;
        case Kind::ListBox:
            // Lines wider than the list scroll sideways (FitHorizontalExtent).
            cls = L"LISTBOX";
            style |= WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case Kind::CheckListBox:
            // Each line draws its own check box; the mark is the line's item
            // data, so another program (the tests' driver) can read it.
            cls = L"LISTBOX";
            style |= WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                     LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case Kind::Memo:
            style |= SS_LEFT | SS_NOPREFIX;
            item.wrapped = true;
            break;
        case Kind::Picture: style |= SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE; break;
        case Kind::Edit:
            cls = L"EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
    }
    item.hwnd = CreateWindowExW(exStyle, cls, L"", style, r.x, r.y, r.w, height, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), GetModuleHandleW(nullptr),
                                nullptr);
    SendMessageW(item.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c)), FALSE);
    if (c.kind == Kind::CheckListBox) {
        SetPropW(item.hwnd, kListProcProp,
                 reinterpret_cast<HANDLE>(SetWindowLongPtrW(item.hwnd, GWLP_WNDPROC,
                                                            reinterpret_cast<LONG_PTR>(CheckListProc))));
        SendMessageW(item.hwnd, LB_SETITEMHEIGHT, 0, CheckLineHeight());
    }
    if (c.kind == Kind::Picture) {
        HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, ui::Scaled(32, dpi_),
                                 ui::Scaled(32, dpi_), LR_DEFAULTCOLOR);
        SendMessageW(item.hwnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    if (c.kind == Kind::TabControl) {
        // The control's own padding is a few pixels whatever the DPI; the
        // captions grow with the fonts.
        SendMessageW(item.hwnd, TCM_SETPADDING, 0,
                     MAKELPARAM(ui::Scaled(kTabPadding, dpi_), ui::Scaled(kTabPaddingY, dpi_)));
        for (std::size_t i = 0; i < c.items.size(); ++i) SetTabCaption(item.hwnd, i, c.items[i], TCM_INSERTITEMW);
        item.last.items = c.items;
    }
    item.last.rect = c.rect;
    item.last.wordWrap = c.wordWrap;
    SyncHint(item);
}

// Whether the control is a page not shown or lies on one: a hidden group
// box or tab control, or one inside such.
bool Win32View::OnHiddenPage(const ui::Control& c) {
    auto container = [this](const ui::Control& of) { return of.parent.empty() ? nullptr : form_.Find(of.parent); };
    for (const ui::Control* page = IsContainer(c.kind) ? &c : container(c); page; page = container(*page))
        if (!page->visible) return true;
    return false;
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

// A caption that grew in another language may take two lines: the control
// moves and wraps as its new place says.
void Win32View::SyncPlace(Item& item) {
    const ui::Control& c = *item.control;
    Shadow& last = item.last;
    if (c.rect.x == last.rect.x && c.rect.y == last.rect.y && c.rect.w == last.rect.w && c.rect.h == last.rect.h &&
        c.wordWrap == last.wordWrap)
        return;
    ui::Rect r = ui::Scaled(form_.ScreenRect(c), dpi_);
    item.place = {r.x, r.y, r.x + r.w, r.y + r.h};
    if (c.kind == Kind::CheckBox) {
        LONG_PTR style = GetWindowLongPtrW(item.hwnd, GWL_STYLE);
        style = c.wordWrap ? (style | BS_MULTILINE) : (style & ~static_cast<LONG_PTR>(BS_MULTILINE));
        SetWindowLongPtrW(item.hwnd, GWL_STYLE, style);
    }
    if (c.kind != Kind::ComboBox)
        SetWindowPos(item.hwnd, nullptr, r.x, r.y, r.w, r.h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    last.rect = c.rect;
    last.wordWrap = c.wordWrap;
    last.text = "\x01";  // wrapped and flush-right texts are laid out anew
}

void Win32View::SyncMenu() {
    HMENU bar = GetMenu(hwnd_);
    if (!bar) return;
    std::vector<std::string> captions;
    for (const ui::Menu& menu : form_.menus) {
        captions.push_back(menu.caption);
        for (const ui::MenuItem& m : menu.items) captions.push_back(m.caption);
    }
    if (captions != lastMenuCaptions_) {
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
    for (const ui::Menu& menu : form_.menus)
        for (const ui::MenuItem& m : menu.items)
            EnableMenuItem(bar, m.id, MF_BYCOMMAND | (m.enabled ? MF_ENABLED : MF_GRAYED));
}

void Win32View::SyncAll() {
    for (Win32View* v : views_) v->Sync();
}

void Win32View::Sync() {
    if (!hwnd_) return;
    if (form_.caption != lastCaption_) {
        SetWindowTextW(hwnd_, Wide(form_.caption).c_str());
        lastCaption_ = form_.caption;
    }
    SyncMenu();

    for (Item& item : items_)
        if (!item.hwnd && !OnHiddenPage(*item.control)) CreateInPlace(item);
    for (Item& item : items_) {
        if (!item.hwnd) continue;
        ui::Control& c = *item.control;
        Shadow& last = item.last;
        SyncPlace(item);
        SyncHint(item);
        bool itemsChanged = c.items != last.items;
        bool list = c.kind == Kind::ListBox || c.kind == Kind::CheckListBox;
        if (itemsChanged && (c.kind == Kind::ComboBox || list)) {
            bool combo = c.kind == Kind::ComboBox;
            SendMessageW(item.hwnd, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
            for (const std::string& s : c.items)
                SendMessageW(item.hwnd, combo ? CB_ADDSTRING : LB_ADDSTRING, 0,
                             reinterpret_cast<LPARAM>(Wide(s).c_str()));
            last.items = c.items;
            last.itemIndex = -2;
            last.itemChecks.clear();
            if (combo) last.text = "\x01";  // emptying the list empties the edit too
            if (list) FitHorizontalExtent(item);
        }
        if (c.kind == Kind::CheckListBox && c.itemChecks != last.itemChecks) {
            for (std::size_t i = 0; i < c.items.size(); ++i)
                SendMessageW(item.hwnd, LB_SETITEMDATA, i, i < c.itemChecks.size() && c.itemChecks[i]);
            last.itemChecks = c.itemChecks;
            InvalidateRect(item.hwnd, nullptr, TRUE);
        }
        if (c.kind != Kind::TabControl && (c.text != last.text || last.fresh)) {
            std::wstring text = Wide(c.text);
            if (item.wrapped) text = WrapLines(item, text);
            // A group box cuts its caption where it measures it to end; a
            // blank after it keeps the last character clear of the frame.
            if (c.kind == Kind::GroupBox && !text.empty()) text += L' ';
            SetWindowTextW(item.hwnd, text.c_str());
            last.text = c.text;
            if (item.flushRight) PlaceFlushRight(item);
        }
        if (c.kind == Kind::TabControl && itemsChanged) {
            for (std::size_t i = 0; i < c.items.size(); ++i) SetTabCaption(item.hwnd, i, c.items[i], TCM_SETITEMW);
            last.items = c.items;
        }
        if (c.kind == Kind::TabControl && c.itemIndex != last.itemIndex) {
            SendMessageW(item.hwnd, TCM_SETCURSEL, c.itemIndex, 0);
            last.itemIndex = c.itemIndex;
        }
        if (list && c.itemIndex != last.itemIndex) {
            SendMessageW(item.hwnd, LB_SETCURSEL, c.itemIndex, 0);
            last.itemIndex = c.itemIndex;
        }
        if (c.kind == Kind::CheckBox && (c.state != last.state || last.fresh)) {
            SendMessageW(item.hwnd, BM_SETCHECK,
                         c.state == ui::CheckState::Checked ? BST_CHECKED
                         : c.state == ui::CheckState::Grayed ? BST_INDETERMINATE
                                                             : BST_UNCHECKED,
                         0);
            last.state = c.state;
        }
        if (c.enabled != last.enabled || last.fresh) {
            EnableWindow(item.hwnd, c.enabled);
            last.enabled = c.enabled;
        }
        bool shown = form_.Shown(c);
        if (shown != last.shown || last.fresh) {
            ShowWindow(item.hwnd, shown ? SW_SHOWNA : SW_HIDE);
            last.shown = shown;
        }
        last.fresh = false;
    }
    if (form_.bringToFront) {
        form_.bringToFront = false;
        SetForegroundWindow(hwnd_);
    }
    // The handle is forgotten at WM_DESTROY, where it still tells whether
    // this is the main window (the one without an owner).
    if (form_.closed) Destroy();
}

void Win32View::Destroy() {
    // The owner takes input again before this window goes, so that it is
    // the one activated next.
    if (modalOwner_) EnableWindow(modalOwner_, TRUE);
    modalOwner_ = nullptr;
    DestroyWindow(hwnd_);
}

int Win32View::CheckLineHeight() const {
    TEXTMETRICW tm{};
    if (HDC dc = GetDC(hwnd_)) {
        HGDIOBJ old = SelectObject(dc, font_);
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
    }
    return std::max<int>(tm.tmHeight, ui::Scaled(13, dpi_)) + ui::Scaled(3, dpi_);
}

int Win32View::CheckBoxRoom() const { return ui::Scaled(13, dpi_) + ui::Scaled(6, dpi_); }

// Long lines scroll sideways rather than end out of sight.
void Win32View::FitHorizontalExtent(Item& item) {
    int widest = 0;
    for (const std::string& line : item.control->items) widest = std::max(widest, MeasureLine(item, Wide(line)));
    int before = item.control->kind == Kind::CheckListBox ? CheckBoxRoom() : 0;
    SendMessageW(item.hwnd, LB_SETHORIZONTALEXTENT, before + widest + InkSlack(widest) + ui::Scaled(4, dpi_), 0);
}

void Win32View::DrawCheckLine(const DRAWITEMSTRUCT& d) {
    Item* item = ItemById(static_cast<int>(d.CtlID));
    if (!item || d.itemID == static_cast<UINT>(-1)) return;
    const ui::Control& c = *item->control;
    bool selected = (d.itemState & ODS_SELECTED) != 0;
    HDC dc = d.hDC;
    FillRect(dc, &d.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    int box = ui::Scaled(13, dpi_);
    RECT mark{d.rcItem.left + ui::Scaled(2, dpi_), d.rcItem.top + (d.rcItem.bottom - d.rcItem.top - box) / 2, 0, 0};
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
        DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
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

// A click on a line's box, or the space bar, turns its mark over.
LRESULT CALLBACK Win32View::CheckListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kListProcProp));
    auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(GetParent(hwnd), GWLP_USERDATA));
    if (msg == WM_NCDESTROY) RemovePropW(hwnd, kListProcProp);
    if (view && msg == WM_CHAR && wp == L' ') {
        view->ToggleCheck(hwnd, static_cast<int>(CallWindowProcW(old, hwnd, LB_GETCURSEL, 0, 0)));
        return 0;
    }
    LRESULT result = CallWindowProcW(old, hwnd, msg, wp, lp);
    if (view && (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) &&
        MouseX(lp) < view->CheckBoxRoom()) {
        LRESULT hit = CallWindowProcW(old, hwnd, LB_ITEMFROMPOINT, 0, lp);
        if (HIWORD(hit) == 0) view->ToggleCheck(hwnd, LOWORD(hit));
    }
    return result;
}

// The width of one line of a control's text in its font, as it lays it out.
// One memory DC of the screen measures every line: a font measures the same
// on it as on the control's own DC, which would be taken for each line.
int Win32View::MeasureLine(const Item& item, const std::wstring& line) {
    RECT measured{0, 0, 0, 0};
    if (!measureDc_) measureDc_ = CreateCompatibleDC(nullptr);
    if (measureDc_) {
        HGDIOBJ old =
            SelectObject(measureDc_, reinterpret_cast<HFONT>(SendMessageW(item.hwnd, WM_GETFONT, 0, 0)));
        bool prefix = item.control->showAccel && item.control->kind != Kind::Memo;
        UINT flags = DT_CALCRECT | DT_SINGLELINE | (prefix ? 0 : DT_NOPREFIX);
        DrawTextW(measureDc_, line.c_str(), static_cast<int>(line.size()), &measured, flags);
        SelectObject(measureDc_, old);
    }
    return measured.right;
}

int Win32View::InkSlack(int width) const { return win::InkSlack(width, dpi_); }

void Win32View::PlaceFlushRight(Item& item) {
    const RECT& p = item.place;
    int width = std::min<int>(MeasureLine(item, Wide(item.control->text)), p.right - p.left);
    SetWindowPos(item.hwnd, nullptr, p.right - width, p.top, width + InkSlack(width), p.bottom - p.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Breaks the text at blanks into lines that leave the slack free at the
// right, so that no line's last character is cut; the control then shows
// the lines as they are. A word wider than a line keeps a line of its own;
// the text's own line breaks stay. A centred line has half its spare room
// on the right, so it leaves twice the slack.
std::wstring Win32View::WrapLines(const Item& item, const std::wstring& text) {
    int width = static_cast<int>(item.place.right - item.place.left);
    int room = width - (item.control->align == ui::Align::Center ? 2 : 1) * InkSlack(width);
    std::wstring out;
    std::size_t from = 0;
    for (;;) {
        std::size_t to = text.find(L'\n', from);
        std::wstring paragraph = text.substr(from, to == std::wstring::npos ? std::wstring::npos : to - from);
        if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.pop_back();
        std::wstring line;
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
        out += line;
        if (to == std::wstring::npos) return out;
        out += L"\r\n";
        from = to + 1;
    }
}

Win32View::Item* Win32View::ItemById(int id) {
    for (Item& item : items_)
        if (item.id == id) return &item;
    return nullptr;
}

Win32View::Item* Win32View::ItemByHandle(HWND hwnd) {
    Item* item = ItemById(GetDlgCtrlID(hwnd));
    return item && item->hwnd == hwnd ? item : nullptr;
}

void Win32View::Run(const std::function<void()>& handler) {
    if (!handler) return;
    runner_(handler);
    SyncAll();
}

LRESULT CALLBACK Win32View::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        reinterpret_cast<Win32View*>(cs->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (!view || msg == WM_NCDESTROY) return DefWindowProcW(hwnd, msg, wp, lp);
    return view->Handle(msg, wp, lp);
}

LRESULT Win32View::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: {
            int id = LOWORD(wp), code = HIWORD(wp);
            if (lp == 0) {  // a menu item
                for (ui::Menu& menu : form_.menus)
                    for (ui::MenuItem& m : menu.items)
                        if (m.id == id && m.enabled) Run(m.onClick);
                return 0;
            }
            Item* item = ItemById(id);
            if (!item) break;
            ui::Control& c = *item->control;
            switch (c.kind) {
                case Kind::Button:
                case Kind::SpeedButton:
                case Kind::CheckBox:
                    if (code == BN_CLICKED) Run([&c] { c.UserClick(); });
                    break;
                case Kind::Label:
                    if (code == STN_CLICKED && c.link) Run([&c] { c.UserClick(); });
                    break;
                case Kind::ComboBox:
                    if (code == CBN_EDITCHANGE) {
                        c.text = item->last.text = WindowText(item->hwnd);
                        Run(c.onChange);
                    } else if (code == CBN_SELCHANGE) {
                        int sel = static_cast<int>(SendMessageW(item->hwnd, CB_GETCURSEL, 0, 0));
                        if (sel >= 0 && sel < static_cast<int>(c.items.size())) {
                            // The edit shows the chosen item once this notification returns.
                            c.text = item->last.text = c.items[static_cast<std::size_t>(sel)];
                            Run(c.onChange);
                        }
                    }
                    break;
                case Kind::Edit:
                    if (code == EN_CHANGE) {
                        std::string text = WindowText(item->hwnd);
                        if (text != item->last.text) {
                            c.text = item->last.text = text;
                            Run(c.onChange);
                        }
                    }
                    break;
                case Kind::ListBox:
                case Kind::CheckListBox:
                    if (code == LBN_SELCHANGE) {
                        c.itemIndex = item->last.itemIndex =
                            static_cast<int>(SendMessageW(item->hwnd, LB_GETCURSEL, 0, 0));
                        Run(c.onChange);
                    } else if (code == LBN_DBLCLK) {
                        Run(c.onClick);
                    }
                    break;
                default: break;
            }
            return 0;
        }
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lp);
            if (hdr->code == static_cast<UINT>(TCN_SELCHANGE)) {
                if (Item* item = ItemById(static_cast<int>(hdr->idFrom))) {
                    ui::Control& c = *item->control;
                    c.itemIndex = item->last.itemIndex =
                        static_cast<int>(SendMessageW(item->hwnd, TCM_GETCURSEL, 0, 0));
                    Run(c.onChange);
                }
            }
            return 0;
        }
        case WM_MEASUREITEM: {
            auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            m->itemHeight = static_cast<UINT>(CheckLineHeight());
            return TRUE;
        }
        case WM_DRAWITEM:
            DrawCheckLine(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
            return TRUE;
        case WM_SETCURSOR: {
            Item* item = ItemByHandle(reinterpret_cast<HWND>(wp));
            if (item && item->control->link) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
                return TRUE;
            }
            break;
        }
        case WM_CTLCOLORSTATIC: {
            Item* item = ItemByHandle(reinterpret_cast<HWND>(lp));
            if (!item || (item->control->textColor == ui::kDefaultColor && !item->control->link)) break;
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, item->control->link ? ui::kBlue : item->control->textColor);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_TIMER: {
            if (wp == kFirstPaintTimer) {
                KillTimer(hwnd_, wp);
                Run(form_.onPaint);
                return 0;
            }
            if (wp == kHiddenPagesTimer) {
                KillTimer(hwnd_, wp);
                for (Item& item : items_)
                    if (!item.hwnd) CreateInPlace(item);
                Sync();
                return 0;
            }
            std::size_t index = wp - 1;
            if (index < form_.timers.size() && form_.timers[index].enabled) Run(form_.timers[index].onTimer);
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd_, &ps);
            EndPaint(hwnd_, &ps);
            // The first paint's actions may open message boxes and windows,
            // so they run once the window and its controls are painted.
            if (!painted_) {
                painted_ = true;
                if (form_.onPaint) SetTimer(hwnd_, kFirstPaintTimer, 0, nullptr);
                if (std::any_of(items_.begin(), items_.end(), [](const Item& item) { return !item.hwnd; }))
                    SetTimer(hwnd_, kHiddenPagesTimer, 0, nullptr);
                return 0;
            }
            Run(form_.onPaint);
            return 0;
        }
        case WM_CLOSE: {
            bool allowed = true;
            if (form_.onCloseQuery) Run([&] { allowed = form_.onCloseQuery(); });
            if (!allowed) return 0;
            form_.closed = true;
            Destroy();
            return 0;
        }
        case WM_DESTROY:
            if (modalOwner_) EnableWindow(modalOwner_, TRUE);
            modalOwner_ = nullptr;
            if (!GetWindow(hwnd_, GW_OWNER)) PostQuitMessage(0);
            hwnd_ = nullptr;
            return 0;
        default: break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace kv::win
