// The window of a form: making it, and handing each of its messages to the
// part of the view that answers it.
#include "ui/win32/Win32View.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"
#include "ui/Scale.h"

namespace kv::win {

std::vector<Win32View*> Win32View::views_;

namespace {

constexpr int kFirstControlId = 1000;

std::wstring ClassName(const ui::Form& form) { return Wide(form.name); }

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
    RegisterWindowClass(icon);
    TakeSystemFont();
    owner = OwnerFor(owner);
    CreateFrame(owner);
    CreateMenu();
    CreateTooltip();
    ListControls();
    OrderControls();
    CreateShownControls();
    StartTimers();
    Sync();
    ShowFirstTime();
    if (form_.modal && owner) {
        modalOwner_ = owner;
        EnableWindow(owner, FALSE);
    }
    return hwnd_;
}

void Win32View::RegisterWindowClass(HICON icon) {
    std::wstring className = ClassName(form_);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className.c_str();
    RegisterClassExW(&wc);  // fails harmlessly when a second window of the kind opens
}

// The layout grows with the system's fonts; the font itself is the system's,
// already made for its DPI.
void Win32View::TakeSystemFont() {
    dpi_ = SystemDpi();
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
}

// A window opened by another dialog belongs to that dialog.
HWND Win32View::OwnerFor(HWND owner) const {
    for (Win32View* v : views_)
        if (form_.owner && &v->form_ == form_.owner && v->hwnd_) owner = v->hwnd_;
    return owner;
}

// Where a window is centred: the work area, or for a window that stays on top
// the whole primary screen in the mode it shows now. Such a window may open
// right after a mode change, before the taskbar has set the work area anew.
RECT Win32View::CentringArea() const {
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    DEVMODEW now{};
    now.dmSize = sizeof(now);
    if (form_.stayOnTop && EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &now))
        area = {0, 0, static_cast<LONG>(now.dmPelsWidth), static_cast<LONG>(now.dmPelsHeight)};
    return area;
}

// The window, centred. No WS_CLIPCHILDREN: group boxes are transparent, so
// the window must paint the background beneath them.
void Win32View::CreateFrame(HWND owner) {
    DWORD style = WS_OVERLAPPED | WS_CAPTION;
    if (form_.borderButtons) style |= WS_SYSMENU;
    if (form_.borderButtons && (!owner || form_.minimizeBox)) style |= WS_MINIMIZEBOX;
    DWORD exStyle = form_.stayOnTop ? WS_EX_TOPMOST : 0;
    if (owner) exStyle |= WS_EX_DLGMODALFRAME;
    RECT r{0, 0, ui::Scaled(form_.clientWidth, dpi_), ui::Scaled(form_.clientHeight, dpi_)};
    AdjustWindowRectEx(&r, style, !form_.menus.empty(), exStyle);
    int w = r.right - r.left, h = r.bottom - r.top;
    RECT work = CentringArea();
    int x = work.left + (work.right - work.left - w) / 2;
    int y = work.top + (work.bottom - work.top - h) / 2;
    hwnd_ = CreateWindowExW(exStyle, ClassName(form_).c_str(), Wide(form_.caption).c_str(), style, x, y, w, h,
                            owner, nullptr, GetModuleHandleW(nullptr), this);
    lastCaption_ = form_.caption;
}

void Win32View::CreateTooltip() {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
}

void Win32View::ListControls() {
    items_.resize(form_.controls.size());
    int id = kFirstControlId;
    for (std::size_t i = 0; i < form_.controls.size(); ++i) {
        items_[i].control = form_.controls[i].get();
        items_[i].id = id++;
    }
}

// The first paint comes through the message loop, once the caller has the
// window's handle. A window without a first-paint action paints at once: it
// may stand on screen while its opener works without returning to the
// message loop, and under Wine what it painted reaches the screen only when
// its thread next looks at its messages.
void Win32View::ShowFirstTime() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    if (form_.onPaint) return;
    UpdateWindow(hwnd_);
    MSG pending;
    PeekMessageW(&pending, hwnd_, 0, 0, PM_NOREMOVE);
}

void Win32View::Destroy() {
    // The owner takes input again before this window goes, so that it is
    // the one activated next.
    if (modalOwner_) EnableWindow(modalOwner_, TRUE);
    modalOwner_ = nullptr;
    DestroyWindow(hwnd_);
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
        case WM_COMMAND:
            if (OnCommand(LOWORD(wp), HIWORD(wp), lp)) return 0;
            break;
        case WM_NOTIFY: OnNotify(*reinterpret_cast<NMHDR*>(lp)); return 0;
        case WM_CONTEXTMENU:
            if (OnContextMenu(lp)) return 0;
            break;
        case kOpenShortcutMenu: OpenShortcutMenu(lp); return 0;
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = static_cast<UINT>(CheckLineHeight());
            return TRUE;
        case WM_DRAWITEM: DrawCheckLine(*reinterpret_cast<DRAWITEMSTRUCT*>(lp)); return TRUE;
        case WM_SETCURSOR:
            if (SetLinkCursor(reinterpret_cast<HWND>(wp))) return TRUE;
            break;
        case WM_CTLCOLORSTATIC:
            if (HBRUSH brush = StaticColours(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)))
                return reinterpret_cast<LRESULT>(brush);
            break;
        case WM_TIMER: OnTimer(wp); return 0;
        case WM_PAINT: OnPaint(); return 0;
        case WM_CLOSE: OnClose(); return 0;
        case WM_ENDSESSION:
            if (wp) Run(form_.onEndSession);
            return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        default:
            if (msg == OtherStartWaitsMessage()) {
                if (form_.onOtherStartWaits) Run(form_.onOtherStartWaits);
                return 0;
            }
            break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

UINT Win32View::OtherStartWaitsMessage() {
    static const UINT message = RegisterWindowMessageW(kOtherStartWaitsMessage);
    return message;
}

// A menu item's command comes without a control's handle, and so does Esc:
// the message loop's dialog keys send IDCANCEL with the handle of the control
// of that id, which no control has. Menu items are numbered from 101.
bool Win32View::OnCommand(int id, int code, LPARAM lp) {
    if (lp == 0 && id == IDCANCEL) {
        if (form_.escapeButton) Run([this] { form_.PressEscape(); });
        return true;
    }
    if (lp == 0) {
        MenuChosen(id);
        return true;
    }
    Item* item = ItemById(id);
    if (!item) return false;
    if (auto notified = StepsOf(item->control->kind).notified) (this->*notified)(*item, code);
    return true;
}

void Win32View::OnPaint() {
    PAINTSTRUCT ps;
    BeginPaint(hwnd_, &ps);
    EndPaint(hwnd_, &ps);
    if (!painted_) {
        painted_ = true;
        AwaitFirstPaint();
        return;
    }
    Run(form_.onPaint);
}

void Win32View::OnClose() {
    bool allowed = true;
    if (form_.onCloseQuery) Run([&] { allowed = form_.onCloseQuery(); });
    if (!allowed) return;
    form_.closed = true;
    Destroy();
}

// The handle is forgotten only here: until now it tells whether this is the
// main window (the one without an owner), whose end ends the program.
void Win32View::OnDestroy() {
    if (modalOwner_) EnableWindow(modalOwner_, TRUE);
    modalOwner_ = nullptr;
    if (!GetWindow(hwnd_, GW_OWNER)) PostQuitMessage(0);
    hwnd_ = nullptr;
}

// The user chose a tab or a list's line.
void Win32View::TakeSelection(Item& item, UINT getMessage) {
    ui::Control& c = *item.control;
    c.itemIndex = item.last.itemIndex = static_cast<int>(SendMessageW(item.hwnd, getMessage, 0, 0));
    Run(c.onChange);
}

// The focus is only recorded: no handler runs. A control losing it clears it,
// so that the form never names a control that no longer has it, also when the
// focus goes to a kind whose window does not tell (a button).
void Win32View::TakeFocus(Item& item, bool gained) {
    if (gained)
        form_.focused = item.control;
    else if (form_.focused == item.control)
        form_.focused = nullptr;
}

void Win32View::Run(const std::function<void()>& handler) {
    if (!handler) return;
    runner_(handler);
    SyncAll();
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

// The control a window is, or lies within (a combo box's edit).
Win32View::Item* Win32View::ItemOwning(HWND hwnd) {
    if (!hwnd) return nullptr;
    Item* item = ItemByHandle(hwnd);
    return item ? item : ItemByHandle(GetParent(hwnd));
}

}  // namespace kv::win
