// The entry: the real registry and system, the display adapter (the real one,
// or in the demo flavour a simulated ATI card), the main window and the
// message loop.
// The program's own headers come before <windows.h>: the option box's type
// names (REG_BINARY, ...) are macros there.
#include "app/KVMAIN.h"
#include "app/ProfileRun.h"
#include "platform/Settings.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Text.h"
#include "ui/win32/Win32View.h"

#ifdef KELVANE_DEMO
#include "platform/SimAdapter.h"
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);

    kv::win::Win32Registry registry;
    kv::win::Win32System system;
#ifdef KELVANE_DEMO
    kv::SimAtiAdapter display(registry);
#else
    kv::win::Win32Display display;
#endif
    kv::Platform platform{registry, display, system};
    // A profile saved or applied from a script: no window at all.
    if (kv::IsProfileCommand(system.CommandLine())) return kv::RunProfileCommand(platform);

    kv::TForm1 form(platform);
    form.RunCommand([&] { form.FormCreate(); });

    auto runner = [&form](const std::function<void()>& handler) { form.RunCommand(handler); };
    kv::win::Win32View view(form, runner);
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    system.owner = view.Create(nullptr, icon);

    // Secondary windows stay open beside the main window, each with a view
    // of its own for as long as the program runs.
    std::vector<std::unique_ptr<kv::win::Win32View>> dialogViews;
    form.showDialog = [&](kv::ui::Form& dialog) {
        dialogViews.push_back(std::make_unique<kv::win::Win32View>(dialog, runner));
        dialogViews.back()->Create(system.owner, icon);
    };
    form.refreshWindows = [] { kv::win::Win32View::SyncAll(); };

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(GetActiveWindow(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
