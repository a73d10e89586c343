#include "platform/win32/Win32Platform.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/Win32Text.h"

namespace kv::win {

// The record sizes Windows 2000 knows; a larger one would be refused there.
static_assert(sizeof(DEVMODEA) == 156);
static_assert(sizeof(DISPLAY_DEVICEA) == 424);
// The portable code names Windows' numbers itself.
static_assert(kEnumCurrentSettings == ENUM_CURRENT_SETTINGS && kEnumRegistrySettings == ENUM_REGISTRY_SETTINGS);
static_assert(kDisplayInterlaced == DM_INTERLACED && kDispChangeBadParam == DISP_CHANGE_BADPARAM);
// Room for a driver's private data after an enumerated mode.
constexpr WORD kModeDriverExtra = 2048;

namespace {

// Opens a key under HKEY_LOCAL_MACHINE and closes it when done.
class Key {
public:
    Key(const std::string& path, REGSAM access) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, access, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

bool DeleteTree(HKEY parent, const std::wstring& name) {
    HKEY key;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return false;
    // Delete the children first: RegDeleteKey only removes empty keys.
    wchar_t sub[256];
    for (;;) {
        DWORD len = 256;
        if (RegEnumKeyExW(key, 0, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (!DeleteTree(key, sub)) break;
    }
    RegCloseKey(key);
    return RegDeleteKeyW(parent, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace

bool Win32Registry::KeyExists(const std::string& path) { return static_cast<bool>(Key(path, KEY_QUERY_VALUE)); }

bool Win32Registry::CreateKey(const std::string& path) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool Win32Registry::CreateVolatileKey(const std::string& path) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool Win32Registry::DeleteKey(const std::string& path) {
    if (path.empty()) return false;
    return DeleteTree(HKEY_LOCAL_MACHINE, Wide(path));
}

RegStatus Win32Registry::QueryValue(const std::string& path, const std::string& name, RegValue& out) {
    Key key(path, KEY_QUERY_VALUE);
    if (!key) return RegStatus::NoKey;
    std::wstring wname = Wide(name);
    DWORD type = 0, size = 0;
    LONG first = RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, nullptr, &size);
    if (first == ERROR_FILE_NOT_FOUND) return RegStatus::Missing;
    if (first != ERROR_SUCCESS) return RegStatus::Failed;
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(key.get(), wname.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return RegStatus::Failed;
    data.resize(size);
    out.type = type;
    if (IsStringType(type)) {
        std::wstring text(data.size() / 2, L'\0');
        memcpy(text.data(), data.data(), text.size() * 2);
        std::string utf8 = Narrow(text);
        out.data.assign(utf8.begin(), utf8.end());
    } else {
        out.data.assign(data.begin(), data.end());
    }
    return RegStatus::Ok;
}

RegStatus Win32Registry::SetValue(const std::string& path, const std::string& name, const RegValue& value) {
    Key key(path, KEY_SET_VALUE);
    if (!key) return RegStatus::NoKey;
    std::vector<BYTE> data(value.data.begin(), value.data.end());
    if (IsStringType(value.type)) {
        std::wstring text = Wide(std::string(value.data.begin(), value.data.end()));
        // RegSetValueEx stores the bytes it is given: the terminating zero
        // must be among them.
        if (text.empty() || text.back() != L'\0') text.push_back(L'\0');
        data.assign(reinterpret_cast<const BYTE*>(text.data()),
                    reinterpret_cast<const BYTE*>(text.data()) + text.size() * 2);
    }
    LONG rc = RegSetValueExW(key.get(), Wide(name).c_str(), 0, value.type, data.empty() ? nullptr : data.data(),
                             static_cast<DWORD>(data.size()));
    return rc == ERROR_SUCCESS ? RegStatus::Ok : RegStatus::Failed;
}

RegStatus Win32Registry::DeleteValue(const std::string& path, const std::string& name) {
    Key key(path, KEY_SET_VALUE);
    if (!key) return RegStatus::NoKey;
    LONG result = RegDeleteValueW(key.get(), Wide(name).c_str());
    if (result == ERROR_FILE_NOT_FOUND) return RegStatus::Missing;
    return result == ERROR_SUCCESS ? RegStatus::Ok : RegStatus::Failed;
}

std::vector<std::string> Win32Registry::SubKeyNames(const std::string& path) {
    std::vector<std::string> names;
    Key key(path, KEY_ENUMERATE_SUB_KEYS);
    if (!key) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = 256;
        if (RegEnumKeyExW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(Narrow(std::wstring(name, len)));
    }
    return names;
}

std::vector<std::string> Win32Registry::ValueNames(const std::string& path) {
    std::vector<std::string> names;
    Key key(path, KEY_QUERY_VALUE);
    if (!key) return names;
    wchar_t name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD len = 16384;
        if (RegEnumValueW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(Narrow(std::wstring(name, len)));
    }
    return names;
}

std::optional<DisplayDeviceInfo> Win32Display::EnumDevice(std::uint32_t index) {
    DISPLAY_DEVICEA dev{};
    dev.cb = sizeof(dev);
    if (!EnumDisplayDevicesA(nullptr, index, &dev, 0)) return std::nullopt;
    return DisplayDeviceInfo{FromAnsi(dev.DeviceName), FromAnsi(dev.DeviceString), dev.StateFlags,
                             FromAnsi(dev.DeviceKey), FromAnsi(dev.DeviceID)};
}

std::optional<DisplayDeviceInfo> Win32Display::EnumMonitor(const std::string& adapterName, std::uint32_t index) {
    DISPLAY_DEVICEA dev{};
    dev.cb = sizeof(dev);
    if (!EnumDisplayDevicesA(adapterName.c_str(), index, &dev, 0)) return std::nullopt;
    return DisplayDeviceInfo{FromAnsi(dev.DeviceName), FromAnsi(dev.DeviceString), dev.StateFlags,
                             FromAnsi(dev.DeviceKey), FromAnsi(dev.DeviceID)};
}

std::optional<DisplayMode> Win32Display::EnumMode(const std::string& deviceName, std::uint32_t index,
                                                  std::uint32_t flags) {
    // Some drivers fill their private data after the mode whatever they are
    // told, so the buffer has room for it.
    struct {
        DEVMODEA mode;
        BYTE driverExtra[kModeDriverExtra];
    } buffer{};
    DEVMODEA& mode = buffer.mode;
    mode.dmSize = sizeof(mode);
    mode.dmDriverExtra = kModeDriverExtra;
    if (!EnumDisplaySettingsExA(deviceName.c_str(), index, &mode, flags)) return std::nullopt;
    return DisplayMode{mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel, mode.dmDisplayFrequency,
                       mode.dmDisplayFlags};
}

bool Win32Display::ChangeFrequency(std::uint32_t frequency, std::uint32_t flags) {
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYFREQUENCY;
    mode.dmDisplayFrequency = frequency;
    return ChangeDisplaySettingsA(&mode, flags) == DISP_CHANGE_SUCCESSFUL;
}

std::optional<DisplayMode> Win32Display::CurrentMode(const std::string& deviceName) {
    return EnumMode(deviceName, ENUM_CURRENT_SETTINGS, 0);
}

long Win32Display::ChangeMode(const std::string& deviceName, const DisplayMode& wanted, std::uint32_t flags) {
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY | DM_DISPLAYFLAGS;
    mode.dmPelsWidth = wanted.width;
    mode.dmPelsHeight = wanted.height;
    mode.dmBitsPerPel = wanted.bitsPerPixel;
    mode.dmDisplayFrequency = wanted.frequency;
    mode.dmDisplayFlags = wanted.displayFlags;
    bool stored = wanted == DisplayMode{};
    return ChangeDisplaySettingsExA(deviceName.c_str(), stored ? nullptr : &mode, nullptr, flags, nullptr);
}

namespace {

HHOOK boxHook = nullptr;

// The message box sizes its text as the font measures it; the renderer may
// draw a few pixels past that and the box would cut the last letter of the
// longest line. Before the box shows, its text gets that room, and the box
// grows by what it then lacks, its buttons staying in the middle.
LRESULT CALLBACK WidenMessageText(int code, WPARAM wp, LPARAM lp) {
    HHOOK hook = boxHook;
    if (code == HCBT_ACTIVATE) {
        auto box = reinterpret_cast<HWND>(wp);
        wchar_t cls[16] = L"";
        GetClassNameW(box, cls, 16);
        HWND text = GetDlgItem(box, 0xFFFF);
        if (wcscmp(cls, L"#32770") == 0 && text) {
            boxHook = nullptr;
            UnhookWindowsHookEx(hook);
            HDC screen = GetDC(nullptr);
            int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
            if (screen) ReleaseDC(nullptr, screen);
            RECT place, client, frame;
            GetWindowRect(text, &place);
            MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);
            GetClientRect(box, &client);
            GetWindowRect(box, &frame);
            int slack = InkSlack(place.right - place.left, dpi);
            SetWindowPos(text, nullptr, 0, 0, place.right - place.left + slack, place.bottom - place.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            // The margin right of the text stays as it was, or as wide as
            // the one left of it (beside no icon) where that is less.
            int margin = std::min<int>(place.left, client.right - place.right);
            int grow = place.right + slack + margin - client.right;
            if (grow > 0) {
                SetWindowPos(box, nullptr, frame.left - grow / 2, frame.top, frame.right - frame.left + grow,
                             frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
                for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                    GetClassNameW(child, cls, 16);
                    if (_wcsicmp(cls, L"Button") != 0) continue;
                    RECT b;
                    GetWindowRect(child, &b);
                    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&b), 2);
                    SetWindowPos(child, nullptr, b.left + grow / 2, b.top, 0, 0,
                                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                }
            }
            return 0;
        }
    }
    return CallNextHookEx(hook, code, wp, lp);
}

}  // namespace

int Win32System::ShowMessageBox(const std::string& text, const std::string& caption, int buttons) {
    UINT flags = static_cast<UINT>(buttons);
    if (!owner || !IsWindowVisible(owner)) flags |= MB_TASKMODAL;
    if (!boxHook) boxHook = SetWindowsHookExW(WH_CBT, WidenMessageText, nullptr, GetCurrentThreadId());
    int answer = MessageBoxW(owner && IsWindowVisible(owner) ? owner : nullptr, Wide(text).c_str(),
                             Wide(caption).c_str(), flags);
    if (boxHook) UnhookWindowsHookEx(boxHook);
    boxHook = nullptr;
    return answer;
}

std::uintptr_t Win32System::ShellOpen(const std::string& file, const std::string& parameters,
                                      const std::string& directory, int show) {
    std::wstring wfile = Wide(file), wparams = Wide(parameters), wdir = Wide(directory);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = wfile.c_str();
    info.lpParameters = wparams.empty() ? nullptr : wparams.c_str();
    info.lpDirectory = wdir.empty() ? nullptr : wdir.c_str();
    info.nShow = show;
    if (!ShellExecuteExW(&info)) return 0;
    // A document opened through an already running program has no process
    // of its own to wait for.
    return info.hProcess ? reinterpret_cast<std::uintptr_t>(info.hProcess) : 1;
}

bool Win32System::WaitForProgram(std::uintptr_t handle, std::uint32_t timeoutMs) {
    if (handle == 0) return false;
    if (handle == 1) return true;
    return WaitForSingleObject(reinterpret_cast<HANDLE>(handle), timeoutMs) == WAIT_OBJECT_0;
}

ISystem::PrivilegeSteps Win32System::EnableShutdownPrivilege() {
    PrivilegeSteps steps;
    HANDLE token = nullptr;
    steps.openToken = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) != 0;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    steps.lookup = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid) != 0;
    BYTE previous[16];
    DWORD previousSize = sizeof(previous);
    SetLastError(0);
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(previous), reinterpret_cast<PTOKEN_PRIVILEGES>(previous),
                          &previousSize);
    steps.adjust = GetLastError() == 0;
    if (token) CloseHandle(token);
    return steps;
}

bool Win32System::RestartWindows() { return ExitWindowsEx(EWX_REBOOT, 0) != 0; }

std::uint32_t Win32System::GetVersion() { return ::GetVersion(); }

void Win32System::Sleep(std::uint32_t ms) { ::Sleep(ms); }

std::string Win32System::CommandLine() { return Narrow(GetCommandLineW()); }

std::string Win32System::ProgramPath() {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    return n > 0 && n <= MAX_PATH ? Narrow(std::wstring(path, n)) : "Kelvane.exe";
}

std::string Win32System::CurrentDirectory() {
    wchar_t dir[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, dir);
    return n > 0 && n <= MAX_PATH ? Narrow(std::wstring(dir, n)) : ".";
}

std::vector<std::string> Win32System::FindFiles(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Wide(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(Narrow(data.cFileName));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::string Win32System::SystemDecode(const std::string& bytes, unsigned codePage) {
    return Narrow(Wide(bytes, codePage));
}

std::string Win32System::SystemEncode(const std::string& text, unsigned codePage) {
    return Narrow(Wide(text), codePage);
}

std::optional<std::string> Win32System::ReadFile(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!::ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        content.append(buffer, got);
    }
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return content;
}

bool Win32System::WriteFile(const std::string& path, const std::string& content) {
    HANDLE file =
        CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
              written == content.size();
    CloseHandle(file);
    return ok;
}

bool Win32System::RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

bool Win32System::MoveFileOver(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool Win32System::FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32System::ClaimSingleInstance(const std::string& name) {
    // The mutex lives as long as the process: Windows closes it when the
    // program ends, whichever way it ends. One that is there already, or
    // that another user's session made and this one may not open, is held.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name).c_str());
    if (mutex && GetLastError() != ERROR_ALREADY_EXISTS) return true;
    // Not kept open: the name must go with its holder's end.
    if (mutex) CloseHandle(mutex);
    return false;
}

bool Win32System::WaitForSingleInstance(const std::string& name, std::uint32_t timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (ClaimSingleInstance(name)) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(250);
    }
}

bool Win32System::ActivateWindow(const std::string& windowClass) {
    // A Kelvane that has only just claimed the mark may not have made its
    // window yet: it gets two seconds before it counts as in another session.
    HWND window = nullptr;
    for (int tries = 0; !window && tries < 8; ++tries) {
        if (tries > 0) ::Sleep(250);
        window = FindWindowW(Wide(windowClass).c_str(), nullptr);
    }
    if (!window) return false;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    return true;
}

void Win32System::TellOtherStartWaits(const std::string& windowClass) {
    if (HWND window = FindWindowW(Wide(windowClass).c_str(), nullptr))
        PostMessageW(window, RegisterWindowMessageW(kOtherStartWaitsMessage), 0, 0);
}

std::string Win32System::LocalTimeText() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

std::optional<std::string> Win32System::AskFileName(FileDialog kind, const std::string& title,
                                                     const std::string& filter, const std::string& extension) {
    // The dialog takes its filter as parts ended by a zero, the list by two.
    std::wstring parts = Wide(filter);
    for (wchar_t& c : parts)
        if (c == L'|') c = L'\0';
    parts.push_back(L'\0');
    std::wstring caption = Wide(title), defaultExtension = Wide(extension);
    wchar_t file[MAX_PATH] = L"";
    OPENFILENAMEW ofn{};
    // The size Windows 2000 and XP both take without the Windows 2000 fields.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = parts.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = caption.c_str();
    ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (kind == FileDialog::Open) {
        ofn.Flags |= OFN_FILEMUSTEXIST;
        if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    } else {
        ofn.Flags |= OFN_OVERWRITEPROMPT;
        if (!GetSaveFileNameW(&ofn)) return std::nullopt;
    }
    return Narrow(file);
}

void Win32System::Exit(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace kv::win
