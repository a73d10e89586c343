// The entry: the real registry and system, the display adapter (the real one,
// or in the demo flavour a simulated ATI card), the main window and the
// message loop.
#include <windows.h>
#include <commctrl.h>

#include "app/KVMAIN.h"
#include "app/Settings.h"
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

    kv::TForm1 form(platform);
    form.RunCommand([&] { form.FormCreate(); });

    kv::win::Win32View view(form, [&form](const std::function<void()>& handler) { form.RunCommand(handler); });
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    system.owner = view.Create(nullptr, icon);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(GetActiveWindow(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
