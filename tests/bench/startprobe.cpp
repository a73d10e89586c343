// startprobe: how long a program takes from its start to its window standing
// painted on the screen, measured from outside it.
//
//   startprobe CLASS EXE [ARGS...]
//
// Starts EXE in its own folder and watches for a visible top-level window
// of class CLASS of that process. Once there, the window and each control
// shown in it have been painted when none has anything left to paint (its
// update region is empty: BeginPaint empties it). Prints the milliseconds
// from just before the start to then on stdout. Then waits until the
// program waits for input with nothing left to do, so that what it does
// once painted is done too, and asks the window to close, ending the
// program if it does not.
//
// Exit status: 0 measured; 1 no such window, or not painted, within a
// minute; 2 the command line was wrong or the program could not start.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 60000;
constexpr DWORD kEndTimeoutMs = 30000;

BOOL CALLBACK Collect(HWND h, LPARAM list) {
    if (IsWindowVisible(h)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
    return TRUE;
}

struct Search {
    DWORD pid;
    const wchar_t* cls;
    HWND found;
};

BOOL CALLBACK Match(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    wchar_t cls[256] = L"";
    GetClassNameW(h, cls, 256);
    if (pid != s->pid || !IsWindowVisible(h) || lstrcmpW(cls, s->cls) != 0) return TRUE;
    s->found = h;
    return FALSE;
}

// The command line after the probe's own first two words, as it was given.
const wchar_t* AfterWords(const wchar_t* p, int words) {
    for (int i = 0; i < words; ++i) {
        while (*p == L' ' || *p == L'\t') ++p;
        bool quoted = false;
        while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
            if (*p == L'"') quoted = !quoted;
            ++p;
        }
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startprobe CLASS EXE [ARGS...]\n");
        return 2;
    }
    int n = MultiByteToWideChar(CP_ACP, 0, argv[1], -1, nullptr, 0);
    std::wstring cls(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, cls.data(), n);
    cls.resize(static_cast<std::size_t>(n - 1));

    // The program's own command line starts with its name; it starts in its
    // folder, as a double-click starts it.
    std::wstring commandLine = AfterWords(GetCommandLineW(), 2);
    std::string exe = argv[2];
    std::string folder = exe.find_last_of("\\/") == std::string::npos ? "." : exe.substr(0, exe.find_last_of("\\/"));

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring wideFolder(folder.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wideFolder.data(), static_cast<int>(wideFolder.size()));

    LARGE_INTEGER frequency, start;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, wideFolder.c_str(), &si,
                        &pi)) {
        std::fprintf(stderr, "startprobe: cannot start %s (error %lu)\n", argv[2], GetLastError());
        return 2;
    }
    auto since = [&](const LARGE_INTEGER& t) {
        return 1000.0 * static_cast<double>(t.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    };

    // The window, once shown; then what it shows in it, which the program
    // shows before the window itself.
    Search s{pi.dwProcessId, cls.c_str(), nullptr};
    DWORD began = GetTickCount();
    while (!s.found && GetTickCount() - began < kTimeoutMs && WaitForSingleObject(pi.hProcess, 1) == WAIT_TIMEOUT)
        EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
    int status = 0;
    if (!s.found) {
        std::fprintf(stderr, "startprobe: %s showed no window of class %s\n", argv[2], argv[1]);
        status = 1;
    } else {
        std::vector<HWND> shown{s.found};
        EnumChildWindows(s.found, Collect, reinterpret_cast<LPARAM>(&shown));
        // They are painted in this order, so each is waited for in turn
        // until a round finds none that needs painting again; the last one
        // found still unpainted was painted when it stopped being so.
        LARGE_INTEGER painted;
        QueryPerformanceCounter(&painted);
        for (bool again = true; again;) {
            again = false;
            for (HWND h : shown) {
                bool waited = false;
                while (IsWindow(h) && GetUpdateRect(h, nullptr, FALSE) && GetTickCount() - began < kTimeoutMs) {
                    waited = again = true;
                    Sleep(1);
                }
                if (waited) QueryPerformanceCounter(&painted);
            }
        }
        if (GetTickCount() - began >= kTimeoutMs) {
            std::fprintf(stderr, "startprobe: %s did not finish painting its window\n", argv[2]);
            status = 1;
        } else {
            std::printf("%.1f\n", since(painted));
        }
        WaitForInputIdle(pi.hProcess, kTimeoutMs);
    }

    if (s.found) PostMessageW(s.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, kEndTimeoutMs) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return status;
}
