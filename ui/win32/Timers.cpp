// The form's timers, and the view's own two that wait for the window's first
// paint.
#include "ui/win32/Win32View.h"

#include <algorithm>

namespace kv::win {

namespace {

// What waits for the window's first paint, controls and all: the first
// paint's actions, then the controls of the pages not shown yet. A timer's
// message comes only when no paint waits. Numbered "KV", clear of the form's
// own timers, which are numbered from 1.
constexpr UINT_PTR kFirstPaintTimer = 0x4B56;
constexpr UINT_PTR kHiddenPagesTimer = 0x4B57;

}  // namespace

void Win32View::StartTimers() {
    for (std::size_t i = 0; i < form_.timers.size(); ++i)
        if (form_.timers[i].enabled) SetTimer(hwnd_, i + 1, form_.timers[i].intervalMs, nullptr);
}

// The first paint's actions may open message boxes and windows, so they run
// once the window and its controls are painted.
void Win32View::AwaitFirstPaint() {
    if (form_.onPaint) SetTimer(hwnd_, kFirstPaintTimer, 0, nullptr);
    if (std::any_of(items_.begin(), items_.end(), [](const Item& item) { return !item.hwnd; }))
        SetTimer(hwnd_, kHiddenPagesTimer, 0, nullptr);
}

void Win32View::OnTimer(UINT_PTR id) {
    if (id == kFirstPaintTimer) {
        KillTimer(hwnd_, id);
        Run(form_.onPaint);
        return;
    }
    if (id == kHiddenPagesTimer) {
        KillTimer(hwnd_, id);
        CreateHiddenPages();
        return;
    }
    std::size_t index = id - 1;
    if (index < form_.timers.size() && form_.timers[index].enabled) Run(form_.timers[index].onTimer);
}

}  // namespace kv::win
