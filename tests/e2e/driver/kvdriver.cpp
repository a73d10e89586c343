// kvdriver: drives Kelvane's windows from another process, for the tests
// that run the real exe under Wine.
//
//   kvdriver COMMAND ARGS... [-- COMMAND ARGS...]...
//
// The commands run in order and the first that fails ends the run. Results
// go to stdout as UTF-8, one line each; complaints go to stderr.
//
// Exit status: 0 every command succeeded; 1 a window, control or state was
// not there in time (or a button was disabled); 2 the command line was
// wrong; 3 a window did not answer a message.
//
// Windows: an exact caption, "class:NAME", or a handle such as 0x1003A.
// Controls: an exact caption (an '&' marking an access key may be left out),
// "CLASS#N" for the N-th (from 0) child of that class, "id:N", or
// "beside:CAPTION" for the control right of a caption label (a grid row's
// box by its resolution, say).
//
// Windows and controls are looked for again and again until the timeout
// (10 s unless a command takes one), since the program under test starts
// and reacts at its own pace.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/CommandIds.h"

namespace {

constexpr double kDefaultTimeout = 10.0;
constexpr DWORD kPollMs = 100;
constexpr UINT kSendTimeoutMs = 5000;

enum Exit { kOk = 0, kNotMet = 1, kUsage = 2, kNoAnswer = 3 };

struct Failure {
    Exit code;
    std::wstring why;
};

// ---- Output --------------------------------------------------------------

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// Raw UTF-8 bytes whatever the console's code page: the tests compare the
// output with UTF-8 text on the Unix side.
void Write(DWORD which, const std::wstring& line) {
    std::string bytes = Utf8(line + L"\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// A count's non-breaking blank reads as a blank: the scripts write plain
// ones.
void Out(std::wstring line) {
    for (wchar_t& c : line)
        if (c == L'\u00A0') c = L' ';
    Write(STD_OUTPUT_HANDLE, line);
}
void Err(const std::wstring& line) { Write(STD_ERROR_HANDLE, L"kvdriver: " + line); }

// Line breaks inside a text would break the one-line-per-result rule.
std::wstring OneLine(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') continue;
        if (text[i] == L'\n')
            out += L"\\n";
        else
            out += text[i];
    }
    return out;
}

std::wstring Hex(HWND hwnd) {
    wchar_t buf[32];
    swprintf(buf, 32, L"0x%08lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return buf;
}

// ---- Command line --------------------------------------------------------

// The C runtime's rules for splitting a command line; kept here so that the
// driver needs nothing from shell32.
std::vector<std::wstring> SplitCommandLine(const wchar_t* p) {
    std::vector<std::wstring> args;
    // The program's name: up to the next quote or blank, no escapes.
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    for (;;) {
        while (*p == L' ' || *p == L'\t') ++p;
        if (!*p) break;
        std::wstring arg;
        bool quoted = false;
        while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
            std::size_t slashes = 0;
            while (*p == L'\\') {
                ++slashes;
                ++p;
            }
            if (*p == L'"') {
                arg.append(slashes / 2, L'\\');
                if (slashes % 2) {
                    arg += L'"';
                    ++p;
                } else if (quoted && p[1] == L'"') {
                    arg += L'"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
            } else {
                arg.append(slashes, L'\\');
                if (*p && (quoted || (*p != L' ' && *p != L'\t'))) arg += *p++;
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::optional<double> Number(const std::wstring& s) {
    if (s.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    double v = wcstod(s.c_str(), &end);
    if (*end) return std::nullopt;
    return v;
}

// ---- Windows -------------------------------------------------------------

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = L"";
    GetClassNameW(hwnd, name, 256);
    return name;
}

// WM_GETTEXT rather than GetWindowText: across processes GetWindowText does
// not ask the window, and some controls keep their text themselves.
std::optional<std::wstring> TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return std::nullopt;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &got))
        return std::nullopt;
    text.resize(got < length ? got : length);
    return text;
}

std::wstring TextOr(HWND hwnd) { return TextOf(hwnd).value_or(L"<no answer>"); }

// A top-level window's title as the system keeps it: a window busy with its
// work need not answer.
std::wstring TitleOf(HWND top) {
    wchar_t kept[512] = L"";
    GetWindowTextW(top, kept, 512);
    return kept;
}

// A text as one line: the program breaks a label's text into lines where
// the font at hand needs it, which says nothing about the text itself.
std::wstring Unbroken(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
        out += text[i] == L'\n' || text[i] == L'\u00A0' ? L' ' : text[i];
    }
    return out;
}

std::wstring WithoutAccel(const std::wstring& s) {
    std::wstring out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'&') {
            if (i + 1 < s.size() && s[i + 1] == L'&') out += s[++i];
            continue;
        }
        out += s[i];
    }
    return out;
}

bool SameCaption(const std::wstring& actual, const std::wstring& wanted) {
    return actual == wanted || WithoutAccel(actual) == wanted;
}

struct WindowQuery {
    enum { Caption, Class, Handle } by = Caption;
    std::wstring value;
    HWND handle = nullptr;
};

WindowQuery ParseWindow(const std::wstring& s) {
    WindowQuery query;
    if (s.rfind(L"class:", 0) == 0) {
        query.by = WindowQuery::Class;
        query.value = s.substr(6);
    } else if (s.size() > 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X')) {
        wchar_t* end = nullptr;
        unsigned long v = wcstoul(s.c_str() + 2, &end, 16);
        if (!*end) {
            query.by = WindowQuery::Handle;
            query.handle = reinterpret_cast<HWND>(static_cast<UINT_PTR>(v));
        } else {
            query.value = s;
        }
    } else {
        query.value = s;
    }
    return query;
}

BOOL CALLBACK Collect(HWND h, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> all;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

// The first matching top-level window, visible ones only unless told.
HWND FindTop(const WindowQuery& query, bool visibleOnly) {
    if (query.by == WindowQuery::Handle)
        return IsWindow(query.handle) && (!visibleOnly || IsWindowVisible(query.handle)) ? query.handle : nullptr;
    for (HWND h : TopLevelWindows()) {
        if (visibleOnly && !IsWindowVisible(h)) continue;
        if (query.by == WindowQuery::Class) {
            if (ClassOf(h) == query.value) return h;
        } else {
            if (SameCaption(TitleOf(h), query.value)) return h;
        }
    }
    return nullptr;
}

template <class F>
auto Poll(double seconds, F attempt) -> decltype(attempt()) {
    DWORD start = GetTickCount();
    DWORD limit = static_cast<DWORD>(seconds * 1000);
    for (;;) {
        auto result = attempt();
        if (result || GetTickCount() - start >= limit) return result;
        Sleep(kPollMs);
    }
}

HWND WaitTop(const std::wstring& query, double seconds) {
    WindowQuery w = ParseWindow(query);
    HWND h = Poll(seconds, [&] { return FindTop(w, true); });
    if (!h) throw Failure{kNotMet, L"no window \"" + query + L"\""};
    return h;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND ValueBeside(HWND parent, HWND caption);

HWND FindChild(HWND parent, const std::wstring& query) {
    if (query.rfind(L"beside:", 0) == 0) {
        HWND caption = FindChild(parent, query.substr(7));
        return caption ? ValueBeside(parent, caption) : nullptr;
    }
    std::vector<HWND> children = Children(parent);
    if (query.rfind(L"id:", 0) == 0) {
        int id = _wtoi(query.c_str() + 3);
        for (HWND h : children)
            if (GetDlgCtrlID(h) == id) return h;
        return nullptr;
    }
    std::size_t hash = query.rfind(L'#');
    if (hash != std::wstring::npos && hash > 0 && hash + 1 < query.size() &&
        query.find_first_not_of(L"0123456789", hash + 1) == std::wstring::npos) {
        std::wstring cls = query.substr(0, hash);
        int index = _wtoi(query.c_str() + hash + 1);
        for (HWND h : children)
            if (_wcsicmp(ClassOf(h).c_str(), cls.c_str()) == 0 && index-- == 0) return h;
        return nullptr;
    }
    // By caption: a shown control before a hidden one of the same caption.
    HWND hidden = nullptr;
    for (HWND h : children) {
        if (!SameCaption(TextOr(h), query)) continue;
        if (IsWindowVisible(h)) return h;
        if (!hidden) hidden = h;
    }
    return hidden;
}

HWND WaitChild(HWND parent, const std::wstring& query, double seconds) {
    HWND h = Poll(seconds, [&] { return FindChild(parent, query); });
    if (!h) throw Failure{kNotMet, L"no control \"" + query + L"\" in " + OneLine(TextOr(parent))};
    return h;
}

RECT RectIn(HWND h, HWND parent) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The control that shows the value a caption label names: on the same row,
// nearest to the right of it.
bool IsGroupBox(HWND h) {
    return _wcsicmp(ClassOf(h).c_str(), L"Button") == 0 &&
           (GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// The nearest control right of a caption on its row: one whose middle lies
// in the caption's height, or a taller one (a value over several lines)
// whose first line starts there. Beside a shown caption only shown ones.
HWND ValueBeside(HWND parent, HWND caption) {
    RECT c = RectIn(caption, parent);
    bool shown = IsWindowVisible(caption);
    HWND best = nullptr;
    LONG bestGap = 0;
    for (HWND h : Children(parent)) {
        if (h == caption || IsGroupBox(h) || (shown && !IsWindowVisible(h))) continue;
        RECT r = RectIn(h, parent);
        LONG middle = (r.top + r.bottom) / 2;
        bool onRow = (middle >= c.top && middle < c.bottom) || (r.top >= c.top - 2 && r.top < c.bottom);
        if (!onRow || r.left < c.right - 1) continue;
        LONG gap = r.left - c.right;
        if (!best || gap < bestGap) {
            best = h;
            bestGap = gap;
        }
    }
    return best;
}

std::wstring StateOf(HWND h) {
    return std::wstring(IsWindowVisible(h) ? L"visible" : L"hidden") + L" " +
           (IsWindowEnabled(h) ? L"enabled" : L"disabled");
}

// A message box: a visible dialog of the system's class. Kelvane's own
// windows are of other classes, so any such box belongs to it.
HWND FindMessageBox() {
    for (HWND h : TopLevelWindows())
        if (IsWindowVisible(h) && ClassOf(h) == L"#32770") return h;
    return nullptr;
}

// A shortcut menu standing open: the system's menu class.
HWND FindShortcutMenu() {
    for (HWND h : TopLevelWindows())
        if (IsWindowVisible(h) && ClassOf(h) == L"#32768") return h;
    return nullptr;
}

HWND WaitMessageBox(double seconds) {
    HWND h = Poll(seconds, FindMessageBox);
    if (!h) throw Failure{kNotMet, L"no message box"};
    return h;
}

void Post(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (!PostMessageW(h, msg, wp, lp)) throw Failure{kNoAnswer, L"cannot post to " + Hex(h)};
}

LRESULT Send(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        throw Failure{kNoAnswer, Hex(h) + L" did not answer"};
    return static_cast<LRESULT>(result);
}

// Visible controls that a visible sibling higher in the z-order hides: every
// control clips its siblings, so such a control never shows where they meet.
// The middle of the control stands for all of it.
std::vector<std::pair<HWND, HWND>> Covered(HWND top) {
    std::vector<std::pair<HWND, HWND>> found;
    for (HWND h : Children(top)) {
        HWND parent = GetParent(h);
        if (!IsWindowVisible(h) || !parent) continue;
        // A group box is a frame: what lies over it is its content.
        if (IsGroupBox(h)) continue;
        RECT r = RectIn(h, parent);
        if (r.right <= r.left || r.bottom <= r.top) continue;
        // A combo box's window reaches down over its list.
        if (_wcsicmp(ClassOf(h).c_str(), L"ComboBox") == 0) {
            RECT item;
            GetWindowRect(FindWindowExW(h, nullptr, L"Edit", nullptr), &item);
            r.bottom = r.top + (item.bottom - item.top) + 6;
        }
        POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        HWND above = ChildWindowFromPointEx(parent, middle, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (above && above != h && above != parent && GetParent(above) == parent) found.emplace_back(h, above);
    }
    return found;
}

// The drawing calls that measuring a caption takes. The driver links only
// what clicking needs, so it finds these in gdi32 when asked to measure.
struct Gdi {
    HDC(WINAPI* createDc)(HDC) = nullptr;
    BOOL(WINAPI* deleteDc)(HDC) = nullptr;
    HBITMAP(WINAPI* createDib)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD) = nullptr;
    HFONT(WINAPI* createFont)(const LOGFONTW*) = nullptr;
    HGDIOBJ(WINAPI* select)(HDC, HGDIOBJ) = nullptr;
    BOOL(WINAPI* remove)(HGDIOBJ) = nullptr;
    int(WINAPI* describe)(HANDLE, int, LPVOID) = nullptr;
    BOOL(WINAPI* flush)() = nullptr;
};

template <class F>
void Load(HMODULE module, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    if (!function) throw Failure{kNoAnswer, L"gdi32 lacks " + std::wstring(name, name + std::strlen(name))};
}

const Gdi& Drawing() {
    static Gdi gdi;
    if (gdi.flush) return gdi;
    HMODULE module = LoadLibraryW(L"gdi32.dll");
    if (!module) throw Failure{kNoAnswer, L"cannot load gdi32"};
    Load(module, "CreateCompatibleDC", gdi.createDc);
    Load(module, "DeleteDC", gdi.deleteDc);
    Load(module, "CreateDIBSection", gdi.createDib);
    Load(module, "CreateFontIndirectW", gdi.createFont);
    Load(module, "SelectObject", gdi.select);
    Load(module, "DeleteObject", gdi.remove);
    Load(module, "GetObjectW", gdi.describe);
    Load(module, "GdiFlush", gdi.flush);
    return gdi;
}

// The font a control draws with. Its handle belongs to the other process
// and may not be readable here (under Wine, WM_GETFONT does not even answer
// across processes); then the dialogs' font, which the program takes from
// the system, stands for it.
LOGFONTW FontOf(HWND h) {
    LOGFONTW font{};
    DWORD_PTR theirs = 0;
    if (SendMessageTimeoutW(h, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &theirs) && theirs &&
        Drawing().describe(reinterpret_cast<HFONT>(theirs), sizeof(font), &font) == sizeof(font))
        return font;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    return metrics.lfMessageFont;
}

// How a control lays out its caption: the DrawText flags and the room it
// leaves the text inside its client area. False for controls without a
// caption of their own to cut (pictures, frames, owner-drawn ones).
bool CaptionLayout(HWND h, UINT& flags, SIZE& room) {
    RECT client;
    GetClientRect(h, &client);
    room = {client.right, client.bottom};
    LONG style = GetWindowLongW(h, GWL_STYLE);
    std::wstring cls = ClassOf(h);
    if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        switch (style & SS_TYPEMASK) {
            case SS_LEFT: flags = DT_WORDBREAK | DT_EXPANDTABS; break;
            case SS_CENTER: flags = DT_WORDBREAK | DT_EXPANDTABS | DT_CENTER; break;
            case SS_RIGHT: flags = DT_WORDBREAK | DT_EXPANDTABS | DT_RIGHT; break;
            case SS_LEFTNOWORDWRAP: flags = DT_EXPANDTABS; break;
            case SS_SIMPLE: flags = DT_SINGLELINE; break;
            default: return false;
        }
        if (style & SS_NOPREFIX) flags |= DT_NOPREFIX;
        return true;
    }
    if (_wcsicmp(cls.c_str(), L"Button") != 0) return false;
    flags = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    LONG align = style & BS_CENTER;
    switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            // The raised edge and the focus rectangle.
            room.cx -= 8;
            room.cy -= 4;
            if (align == 0) align = BS_CENTER;
            break;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            // The box and the gap before the text.
            room.cx -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
            break;
        case BS_GROUPBOX:
            // The caption sits in the top edge, between two bits of frame.
            flags = DT_SINGLELINE;
            room.cx -= 16;
            break;
        default: return false;
    }
    if (align == BS_CENTER) flags |= DT_CENTER;
    if (align == BS_RIGHT) flags |= DT_RIGHT;
    return true;
}

struct Cut {
    HWND control;
    std::wstring what;  // what is cut: the control's caption, a tab, a line, the title
    RECT ink;           // where its pixels fall, the room's top left at 0,0
    SIZE room;
};

// Where the pixels of a text drawn with DrawText fall, the room's top left
// at 0,0; an empty rectangle for blanks. The text is drawn off-screen, and
// its pixels are what counts: Wine measures some fonts (its Tahoma among
// them) up to a tenth wider than it draws them, which would cry wolf.
RECT InkOf(const LOGFONTW& description, const std::wstring& text, UINT flags, SIZE room) {
    const Gdi& gdi = Drawing();
    // Room on every side for what spills over.
    const LONG margin = 2 * room.cx + 64;
    const LONG width = room.cx + 2 * margin, height = room.cy + 2 * margin;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = gdi.createDc(nullptr);
    HBITMAP canvas = gdi.createDib(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !canvas || !bits) {
        if (canvas) gdi.remove(canvas);
        if (dc) gdi.deleteDc(dc);
        throw Failure{kNoAnswer, L"cannot draw off-screen"};
    }
    auto* pixels = static_cast<DWORD*>(bits);
    std::fill(pixels, pixels + width * height, 0xFFFFFFu);
    HFONT font = gdi.createFont(&description);
    HGDIOBJ oldCanvas = gdi.select(dc, canvas);
    HGDIOBJ oldFont = gdi.select(dc, font);
    RECT r{margin, margin, margin + room.cx, margin + room.cy};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_NOCLIP);
    gdi.flush();

    RECT ink{width, height, -1, -1};
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x)
            if ((pixels[y * width + x] & 0xFF) < 0xC0) {
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x + 1);
                ink.bottom = std::max(ink.bottom, y + 1);
            }
    gdi.select(dc, oldFont);
    gdi.select(dc, oldCanvas);
    gdi.remove(font);
    gdi.remove(canvas);
    gdi.deleteDc(dc);
    if (ink.right < 0) return RECT{0, 0, 0, 0};
    OffsetRect(&ink, -margin, -margin);
    return ink;
}

// The width a text measures in a font, as a control measures it to lay it
// out (which may be wider than its pixels).
LONG MeasuredWidth(const LOGFONTW& description, const std::wstring& text, UINT flags) {
    const Gdi& gdi = Drawing();
    HDC dc = gdi.createDc(nullptr);
    if (!dc) throw Failure{kNoAnswer, L"cannot measure off-screen"};
    HFONT font = gdi.createFont(&description);
    HGDIOBJ old = gdi.select(dc, font);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT | DT_SINGLELINE);
    gdi.select(dc, old);
    gdi.remove(font);
    gdi.deleteDc(dc);
    return r.right;
}

bool Outside(const RECT& ink, SIZE room) {
    return !IsRectEmpty(&ink) && (ink.left < 0 || ink.top < 0 || ink.right > room.cx || ink.bottom > room.cy);
}

// Memory lent in another process, for the messages whose answer a control
// writes to a pointer: tab controls and their items.
class RemoteMemory {
public:
    RemoteMemory(HWND owner, std::size_t size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!process_) throw Failure{kNoAnswer, L"cannot open the process of " + Hex(owner)};
        at_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
        if (!at_) {
            CloseHandle(process_);
            throw Failure{kNoAnswer, L"cannot lend memory to " + Hex(owner)};
        }
    }
    ~RemoteMemory() {
        VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
    char* At(std::size_t offset = 0) const { return at_ + offset; }
    bool Write(std::size_t offset, const void* data, std::size_t size) const {
        return WriteProcessMemory(process_, at_ + offset, data, size, nullptr);
    }
    bool Read(std::size_t offset, void* data, std::size_t size) const {
        return ReadProcessMemory(process_, at_ + offset, data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    char* at_ = nullptr;
};

// The place of a tab in its control.
RECT RemoteItemRect(HWND tabs, WPARAM index) {
    RemoteMemory remote(tabs, sizeof(RECT));
    RECT r{};
    DWORD_PTR got = 0;
    bool ok = SendMessageTimeoutW(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote.At()),
                                  SMTO_ABORTIFHUNG, kSendTimeoutMs, &got) &&
              got && remote.Read(0, &r, sizeof(r));
    if (!ok) throw Failure{kNoAnswer, L"cannot find the place of tab " + std::to_wstring(index)};
    return r;
}

// The caption of a tab.
std::wstring RemoteItemText(HWND tabs, WPARAM index) {
    constexpr int kMax = 256;
    RemoteMemory remote(tabs, sizeof(TCITEMW) + kMax * sizeof(wchar_t));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(TCITEMW)));
    item.cchTextMax = kMax;
    wchar_t text[kMax] = L"";
    DWORD_PTR got = 0;
    bool ok = remote.Write(0, &item, sizeof(item)) && remote.Write(sizeof(TCITEMW), text, sizeof(text)) &&
              SendMessageTimeoutW(tabs, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(remote.At()),
                                  SMTO_ABORTIFHUNG, kSendTimeoutMs, &got) &&
              got && remote.Read(sizeof(TCITEMW), text, sizeof(text));
    if (!ok) throw Failure{kNoAnswer, L"cannot read the caption of tab " + std::to_wstring(index)};
    text[kMax - 1] = L'\0';
    return text;
}

LONG Width(const RECT& r) { return r.right - r.left; }

// The title: between the window's icon and its buttons. Windows cuts a
// longer one short with an ellipsis.
void CutTitle(HWND top, std::vector<Cut>& found) {
    std::wstring title = TitleOf(top);
    LONG style = GetWindowLongW(top, GWL_STYLE);
    if (title.empty() || (style & WS_CAPTION) != WS_CAPTION) return;
    RECT window, client;
    GetWindowRect(top, &window);
    GetClientRect(top, &client);
    const LONG frame = (Width(window) - client.right) / 2;
    const LONG button = GetSystemMetrics(SM_CXSIZE);
    LONG room = Width(window) - 2 * frame - 4;
    if (style & WS_SYSMENU) {
        room -= button + 1;  // the icon
        room -= button;      // the close box
        if (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) room -= 2 * button;
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    SIZE size{room, GetSystemMetrics(SM_CYCAPTION)};
    RECT ink = InkOf(metrics.lfCaptionFont, title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, size);
    if (room <= 0 || Outside(ink, size)) found.push_back({top, L"title \"" + OneLine(title) + L"\"", ink, size});
}

// A tab's caption stays clear of the frame the selected button draws
// inside its edge and of the focus frame inside that.
void CutTabs(HWND tabs, const LOGFONTW& font, std::vector<Cut>& found) {
    constexpr LONG kInside = 4 + 1 + 1;  // the pressed edge, the focus frame, a pixel clear of it
    LRESULT count = Send(tabs, TCM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        RECT place = RemoteItemRect(tabs, static_cast<WPARAM>(i));
        std::wstring caption = RemoteItemText(tabs, static_cast<WPARAM>(i));
        SIZE room{Width(place) - 2 * kInside, place.bottom - place.top};
        RECT ink = InkOf(font, caption, DT_SINGLELINE | DT_CENTER | DT_VCENTER, room);
        if (room.cx <= 0 || Outside(ink, room))
            found.push_back({tabs, L"tab " + std::to_wstring(i) + L" \"" + caption + L"\"", ink, room});
    }
}

std::wstring ItemText(HWND h, bool combo, LRESULT i, const std::wstring& control);

// A list's lines fit it, or it scrolls sideways as far as the widest.
void CutLines(HWND list, const LOGFONTW& font, std::vector<Cut>& found) {
    LONG style = GetWindowLongW(list, GWL_STYLE);
    if (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) return;  // it draws its lines itself
    RECT client;
    GetClientRect(list, &client);
    LONG reach = client.right;
    if (style & WS_HSCROLL) reach = std::max<LONG>(reach, Send(list, LB_GETHORIZONTALEXTENT, 0, 0));
    LRESULT count = Send(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring line = ItemText(list, false, i, L"list");
        SIZE room{reach - 2, Send(list, LB_GETITEMHEIGHT, i, 0)};  // a line starts a pixel in
        RECT ink = InkOf(font, line, DT_SINGLELINE | DT_NOPREFIX, room);
        if (Outside(ink, room))
            found.push_back({list, L"line " + std::to_wstring(i) + L" \"" + OneLine(line) + L"\"", ink, room});
    }
}

// Shown controls whose caption does not fit: a text running over an edge,
// a word-wrapped one with more lines than the control is high, a group
// box's caption that leaves too little of the frame's top edge to read as
// a frame; the tabs of a tab control, the lines of a list and the window's
// title.
std::vector<Cut> CutCaptions(HWND top) {
    std::vector<Cut> found;
    CutTitle(top, found);
    for (HWND h : Children(top)) {
        if (!IsWindowVisible(h)) continue;
        // Placed outside its window, a control shows nobody anything.
        RECT place = RectIn(h, GetParent(h)), inside, seen;
        GetClientRect(GetParent(h), &inside);
        if (!IntersectRect(&seen, &place, &inside)) continue;
        if (_wcsicmp(ClassOf(h).c_str(), WC_TABCONTROLW) == 0) {
            CutTabs(h, FontOf(h), found);
            continue;
        }
        if (_wcsicmp(ClassOf(h).c_str(), L"ListBox") == 0) {
            CutLines(h, FontOf(h), found);
            continue;
        }
        UINT flags = 0;
        SIZE room{};
        if (!CaptionLayout(h, flags, room) || room.cx <= 0 || room.cy <= 0) continue;
        std::wstring text = TextOr(h);
        if (text.empty()) continue;
        LOGFONTW font = FontOf(h);
        RECT ink = InkOf(font, text, flags, room);
        std::wstring what = L"\"" + OneLine(text) + L"\"";
        if (Outside(ink, room)) found.push_back({h, what, ink, room});
        // An eighth of the top edge at least shows right of the caption,
        // whose background the box clears as far as it measures it.
        if (IsGroupBox(h) && room.cx - MeasuredWidth(font, text, flags) < (room.cx + 16) / 8)
            found.push_back({h, what + L" fills the frame's top edge", ink, room});
    }
    return found;
}

// Posted, not sent: the click may open a modal message box, and a sent
// click would not return until someone answered it.
void ClickButton(HWND button, const std::wstring& name) {
    if (!IsWindowEnabled(button)) throw Failure{kNotMet, L"\"" + name + L"\" is disabled"};
    Post(button, BM_CLICK, 0, 0);
}

// ---- Commands ------------------------------------------------------------

// The main window's menu commands by name, so that scripts need not copy
// the numbers.
constexpr std::pair<const wchar_t*, int> kCommands[] = {
    {L"Uninstall", kv::cmd::kUninstall},       {L"RestoreRegistry", kv::cmd::kRestoreRegistry},
    {L"CleanRegistry", kv::cmd::kCleanRegistry}, {L"CreateReport", kv::cmd::kCreateReport},
    {L"SaveExit", kv::cmd::kSaveExit},         {L"Exit", kv::cmd::kExit},
    {L"Adapter", kv::cmd::kAdapter},           {L"Language", kv::cmd::kLanguage},
    {L"Resolutions", kv::cmd::kResolutions},   {L"Contents", kv::cmd::kContents},
    {L"About", kv::cmd::kAbout},               {L"TryRate", kv::cmd::kTryRate},
    {L"SaveProfile", kv::cmd::kSaveProfile},   {L"LoadProfile", kv::cmd::kLoadProfile},
};

int CommandId(const std::wstring& s) {
    for (auto [name, id] : kCommands)
        if (_wcsicmp(name, s.c_str()) == 0) return id;
    std::optional<double> v = Number(s);
    if (!v || *v < 1 || *v > 0xFFFF) throw Failure{kUsage, L"menu: no command \"" + s + L"\""};
    return static_cast<int>(*v);
}

using Args = std::vector<std::wstring>;

const std::wstring& Arg(const Args& a, std::size_t i, const wchar_t* what) {
    if (i >= a.size()) throw Failure{kUsage, a[0] + L": " + what + L" missing"};
    return a[i];
}

double TimeoutArg(const Args& a, std::size_t i, double fallback) {
    if (i >= a.size()) return fallback;
    std::optional<double> v = Number(a[i]);
    if (!v || *v < 0) throw Failure{kUsage, a[0] + L": bad timeout \"" + a[i] + L"\""};
    return *v;
}

void NoMoreThan(const Args& a, std::size_t n) {
    if (a.size() > n) throw Failure{kUsage, a[0] + L": unexpected \"" + a[n] + L"\""};
}

// The text of item `i` of a list box, or of a combo box's list.
std::wstring ItemText(HWND h, bool combo, LRESULT i, const std::wstring& control) {
    LRESULT length = Send(h, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
    if (length < 0) throw Failure{kNoAnswer, L"no item " + std::to_wstring(i) + L" in \"" + control + L"\""};
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    length = Send(h, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    item.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return item;
}

void Dump(HWND top) {
    Out(Hex(top) + L" " + ClassOf(top) + L" \"" + OneLine(TextOr(top)) + L"\" " + StateOf(top));
    for (HWND h : Children(top)) {
        RECT r = RectIn(h, GetParent(h));
        wchar_t geometry[96];
        swprintf(geometry, 96, L"id=%d rect=%ld,%ld,%ldx%ld", GetDlgCtrlID(h), r.left, r.top, r.right - r.left,
                 r.bottom - r.top);
        std::wstring indent = GetParent(h) == top ? L"  " : L"    ";
        Out(indent + ClassOf(h) + L" \"" + OneLine(TextOr(h)) + L"\" " + StateOf(h) + L" " + geometry);
    }
}

void Run(const Args& a) {
    const std::wstring& cmd = a[0];
    if (cmd == L"wait-window") {
        NoMoreThan(a, 3);
        HWND h = WaitTop(Arg(a, 1, L"window"), TimeoutArg(a, 2, 20));
        Out(OneLine(TitleOf(h)));
    } else if (cmd == L"wait-gone") {
        NoMoreThan(a, 3);
        WindowQuery w = ParseWindow(Arg(a, 1, L"window"));
        if (!Poll(TimeoutArg(a, 2, kDefaultTimeout), [&] { return FindTop(w, false) == nullptr; }))
            throw Failure{kNotMet, L"\"" + a[1] + L"\" is still there"};
        Out(L"gone");
    } else if (cmd == L"exists") {
        NoMoreThan(a, 2);
        if (!FindTop(ParseWindow(Arg(a, 1, L"window")), false)) throw Failure{kNotMet, L"no window \"" + a[1] + L"\""};
        Out(L"exists");
    } else if (cmd == L"caption") {
        NoMoreThan(a, 2);
        Out(OneLine(TextOr(WaitTop(Arg(a, 1, L"window"), kDefaultTimeout))));
    } else if (cmd == L"text") {
        NoMoreThan(a, 3);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        HWND h = WaitChild(top, Arg(a, 2, L"control"), kDefaultTimeout);
        std::optional<std::wstring> text = TextOf(h);
        if (!text) throw Failure{kNoAnswer, L"\"" + a[2] + L"\" did not answer"};
        Out(OneLine(*text));
    } else if (cmd == L"value") {
        NoMoreThan(a, 3);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        HWND caption = WaitChild(top, Arg(a, 2, L"caption"), kDefaultTimeout);
        HWND h = ValueBeside(top, caption);
        if (!h) throw Failure{kNotMet, L"nothing beside \"" + a[2] + L"\""};
        Out(OneLine(TextOr(h)));
    } else if (cmd == L"wait-text") {
        NoMoreThan(a, 5);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        const std::wstring& want = Arg(a, 3, L"text");
        double seconds = TimeoutArg(a, 4, kDefaultTimeout);
        HWND h = WaitChild(top, Arg(a, 2, L"control"), seconds);
        std::wstring last;
        bool ok = Poll(seconds, [&] { return Unbroken(last = TextOr(h)) == Unbroken(want); });
        if (!ok) throw Failure{kNotMet, L"\"" + a[2] + L"\" shows \"" + OneLine(last) + L"\""};
        Out(OneLine(last));
    } else if (cmd == L"state") {
        NoMoreThan(a, 3);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        Out(StateOf(WaitChild(top, Arg(a, 2, L"control"), kDefaultTimeout)));
    } else if (cmd == L"click") {
        NoMoreThan(a, 3);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        ClickButton(WaitChild(top, Arg(a, 2, L"button"), kDefaultTimeout), a[2]);
        Out(L"clicked");
    } else if (cmd == L"tab") {
        NoMoreThan(a, 4);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        std::optional<double> index = Number(Arg(a, 2, L"index"));
        if (!index || *index < 0) throw Failure{kUsage, L"tab: bad index \"" + a[2] + L"\""};
        HWND tabs = WaitChild(top, a.size() > 3 ? a[3] : L"SysTabControl32#0", kDefaultTimeout);
        auto i = static_cast<WPARAM>(*index);
        if (i >= static_cast<WPARAM>(Send(tabs, TCM_GETITEMCOUNT, 0, 0)))
            throw Failure{kNotMet, L"tab: no tab " + a[2]};
        // A click on the tab, as a user's: neither TCM_SETCURSEL (which tells
        // nobody) nor TCM_SETCURFOCUS (which, on a button-style tab control,
        // moves only the focus) does what the user does.
        RECT r = RemoteItemRect(tabs, i);
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        Post(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
        Post(tabs, WM_LBUTTONUP, 0, at);
        if (!Poll(2, [&] { return static_cast<WPARAM>(Send(tabs, TCM_GETCURSEL, 0, 0)) == i; }))
            throw Failure{kNotMet, L"tab " + a[2] + L" was not selected"};
        Out(L"tab " + a[2]);
    } else if (cmd == L"menu") {
        NoMoreThan(a, 3);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        int id = CommandId(Arg(a, 2, L"command"));
        Post(top, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
        Out(L"menu " + std::to_wstring(id));
    } else if (cmd == L"close") {
        NoMoreThan(a, 2);
        Post(WaitTop(Arg(a, 1, L"window"), kDefaultTimeout), WM_CLOSE, 0, 0);
        Out(L"closed");
    } else if (cmd == L"settext" || cmd == L"type") {
        NoMoreThan(a, 4);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        HWND h = WaitChild(top, Arg(a, 2, L"control"), kDefaultTimeout);
        const std::wstring& text = Arg(a, 3, L"text");
        if (cmd == L"settext") {
            Send(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else {
            // Typing goes to the edit inside a combo box: only that raises
            // the change notifications a user's typing does.
            HWND edit = _wcsicmp(ClassOf(h).c_str(), L"ComboBox") == 0 ? FindWindowExW(h, nullptr, L"Edit", nullptr) : h;
            if (!edit) throw Failure{kNotMet, L"\"" + a[2] + L"\" has no edit"};
            Send(edit, EM_SETSEL, 0, -1);
            Send(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
        }
        Out(OneLine(TextOr(h)));
    } else if (cmd == L"right-click") {
        // The right button pressed and let go over the middle of a control
        // (of a combo box's edit), which asks for its shortcut menu.
        NoMoreThan(a, 3);
        HWND h = WaitChild(WaitTop(Arg(a, 1, L"window"), kDefaultTimeout), Arg(a, 2, L"control"), kDefaultTimeout);
        if (HWND edit = FindWindowExW(h, nullptr, L"Edit", nullptr)) h = edit;
        RECT r;
        GetClientRect(h, &r);
        LPARAM middle = MAKELPARAM(r.right / 2, r.bottom / 2);
        Post(h, WM_RBUTTONDOWN, MK_RBUTTON, middle);
        Post(h, WM_RBUTTONUP, 0, middle);
        Out(L"right-clicked");
    } else if (cmd == L"choose") {
        // The N-th item (from 1) of the shortcut menu standing open, chosen
        // by the keyboard; menus cannot be read from another process.
        NoMoreThan(a, 3);
        HWND menu = Poll(TimeoutArg(a, 2, kDefaultTimeout), FindShortcutMenu);
        if (!menu) throw Failure{kNotMet, L"no shortcut menu"};
        for (int i = _wtoi(Arg(a, 1, L"item").c_str()); i > 0; --i) Post(menu, WM_KEYDOWN, VK_DOWN, 0);
        Post(menu, WM_KEYDOWN, VK_RETURN, 0);
        Out(L"chosen");
    } else if (cmd == L"msgbox") {
        NoMoreThan(a, 2);
        HWND box = WaitMessageBox(TimeoutArg(a, 1, kDefaultTimeout));
        HWND text = GetDlgItem(box, 0xFFFF);
        Out(OneLine(text ? TextOr(text) : L""));
    } else if (cmd == L"msgbox-caption") {
        NoMoreThan(a, 2);
        Out(OneLine(TextOr(WaitMessageBox(TimeoutArg(a, 1, kDefaultTimeout)))));
    } else if (cmd == L"answer") {
        NoMoreThan(a, 3);
        HWND box = WaitMessageBox(TimeoutArg(a, 2, kDefaultTimeout));
        const std::wstring& button = Arg(a, 1, L"button");
        HWND h = nullptr;
        for (HWND c : Children(box))
            if (_wcsicmp(ClassOf(c).c_str(), L"Button") == 0 && SameCaption(TextOr(c), button)) h = c;
        if (!h) throw Failure{kNotMet, L"the message box has no button \"" + button + L"\""};
        ClickButton(h, button);
        Out(L"answered");
    } else if (cmd == L"file-dialog") {
        // Windows' Open or Save dialog: the file name typed into its box and
        // the dialog's OK button pressed. It must close: one that stays has
        // refused the name.
        NoMoreThan(a, 3);
        HWND dialog = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        // The name's box: a combo box (cmb13) since Windows 2000, an edit (edt1) before.
        HWND box = GetDlgItem(dialog, 0x47C);
        if (!box) box = GetDlgItem(dialog, 0x480);
        if (!box) throw Failure{kNotMet, L"\"" + a[1] + L"\" has no file name box"};
        HWND edit = box;
        for (HWND c : Children(box))
            if (_wcsicmp(ClassOf(c).c_str(), L"Edit") == 0) edit = c;
        const std::wstring& path = Arg(a, 2, L"path");
        Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        HWND ok = GetDlgItem(dialog, IDOK);
        if (!ok) throw Failure{kNotMet, L"\"" + a[1] + L"\" has no OK button"};
        ClickButton(ok, L"OK");
        if (!Poll(kDefaultTimeout, [&] { return !IsWindow(dialog); }))
            throw Failure{kNotMet, L"\"" + a[1] + L"\" stayed open with " + OneLine(TextOr(edit))};
        Out(L"chose " + path);
    } else if (cmd == L"rect") {
        NoMoreThan(a, 3);
        HWND h = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        if (a.size() > 2) h = WaitChild(h, a[2], kDefaultTimeout);
        RECT r;
        GetWindowRect(h, &r);
        Out(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right - r.left) + L" " +
            std::to_wstring(r.bottom - r.top));
    } else if (cmd == L"client") {
        // The size of a window's client area, which its layout fills.
        NoMoreThan(a, 2);
        RECT r;
        GetClientRect(WaitTop(Arg(a, 1, L"window"), kDefaultTimeout), &r);
        Out(std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom));
    } else if (cmd == L"modes") {
        // What the display offers, to hold the program's lists against.
        NoMoreThan(a, 1);
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i)
            Out(std::to_wstring(mode.dmPelsWidth) + L"x" + std::to_wstring(mode.dmPelsHeight) + L" " +
                std::to_wstring(mode.dmBitsPerPel) + L" " + std::to_wstring(mode.dmDisplayFrequency));
    } else if (cmd == L"set-mode") {
        // Shows a mode for now, as a game would, without storing it.
        NoMoreThan(a, 5);
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY;
        mode.dmPelsWidth = static_cast<DWORD>(_wtoi(Arg(a, 1, L"width").c_str()));
        mode.dmPelsHeight = static_cast<DWORD>(_wtoi(Arg(a, 2, L"height").c_str()));
        mode.dmBitsPerPel = static_cast<DWORD>(_wtoi(Arg(a, 3, L"depth").c_str()));
        mode.dmDisplayFrequency = static_cast<DWORD>(_wtoi(Arg(a, 4, L"rate").c_str()));
        if (ChangeDisplaySettingsW(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
            throw Failure{kNotMet, L"the display did not take the mode"};
        Out(L"mode set");
    } else if (cmd == L"current-mode" || cmd == L"stored-mode") {
        // What the display shows now, as any program sees it, or the mode
        // stored in the registry, which Windows starts in.
        NoMoreThan(a, 1);
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        DWORD which = cmd == L"current-mode" ? ENUM_CURRENT_SETTINGS : ENUM_REGISTRY_SETTINGS;
        if (!EnumDisplaySettingsW(nullptr, which, &mode)) throw Failure{kNotMet, cmd + L" cannot be read"};
        Out(std::to_wstring(mode.dmPelsWidth) + L"x" + std::to_wstring(mode.dmPelsHeight) + L" " +
            std::to_wstring(mode.dmBitsPerPel) + L" " + std::to_wstring(mode.dmDisplayFrequency));
    } else if (cmd == L"syscolor") {
        NoMoreThan(a, 2);
        std::optional<double> index = Number(Arg(a, 1, L"index"));
        if (!index || *index < 0 || *index > 30) throw Failure{kUsage, L"syscolor: bad index \"" + a[1] + L"\""};
        COLORREF c = GetSysColor(static_cast<int>(*index));
        wchar_t buf[16];
        swprintf(buf, 16, L"#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
        Out(buf);
    } else if (cmd == L"covered") {
        NoMoreThan(a, 2);
        auto found = Covered(WaitTop(Arg(a, 1, L"window"), kDefaultTimeout));
        for (auto [h, above] : found)
            Out(ClassOf(h) + L" \"" + OneLine(TextOr(h)) + L"\" id=" + std::to_wstring(GetDlgCtrlID(h)) +
                L" lies under " + ClassOf(above) + L" \"" + OneLine(TextOr(above)) + L"\" id=" +
                std::to_wstring(GetDlgCtrlID(above)));
        if (!found.empty()) throw Failure{kNotMet, std::to_wstring(found.size()) + L" controls hidden under others"};
        Out(L"none covered");
    } else if (cmd == L"check") {
        NoMoreThan(a, 3);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        LRESULT state = Send(WaitChild(top, Arg(a, 2, L"control"), kDefaultTimeout), BM_GETCHECK, 0, 0);
        Out(state == BST_CHECKED ? L"checked" : state == BST_INDETERMINATE ? L"grayed" : L"unchecked");
    } else if (cmd == L"items") {
        NoMoreThan(a, 3);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        HWND h = WaitChild(top, Arg(a, 2, L"control"), kDefaultTimeout);
        bool combo = _wcsicmp(ClassOf(h).c_str(), L"ComboBox") == 0;
        if (!combo && _wcsicmp(ClassOf(h).c_str(), L"ListBox") != 0)
            throw Failure{kNotMet, L"\"" + a[2] + L"\" is a " + ClassOf(h) + L", not a list"};
        LRESULT count = Send(h, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) Out(OneLine(ItemText(h, combo, i, a[2])));
    } else if (cmd == L"pick" || cmd == L"select" || cmd == L"toggle") {
        // A click on a list box's item, as a user's: the selection moves and
        // the owner hears of it. "pick" is a double click; "toggle" then
        // presses the space bar, which turns a check list's mark over.
        NoMoreThan(a, 4);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        HWND h = WaitChild(top, Arg(a, 2, L"control"), kDefaultTimeout);
        const std::wstring& item = Arg(a, 3, L"item");
        LRESULT i = Send(h, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str()));
        if (i < 0) throw Failure{kNotMet, L"\"" + a[2] + L"\" has no item \"" + item + L"\""};
        Send(h, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
        WPARAM id = static_cast<WPARAM>(GetDlgCtrlID(h));
        Post(GetParent(h), WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
        if (cmd == L"pick") Post(GetParent(h), WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), reinterpret_cast<LPARAM>(h));
        if (cmd == L"toggle") Post(h, WM_CHAR, L' ', 0);
        Out((cmd == L"pick" ? L"picked " : cmd == L"toggle" ? L"toggled " : L"selected ") + item);
    } else if (cmd == L"checks") {
        // A check list's lines with their marks, as "[x] line" or "[ ] line".
        NoMoreThan(a, 3);
        HWND top = WaitTop(Arg(a, 1, L"window"), kDefaultTimeout);
        HWND h = WaitChild(top, Arg(a, 2, L"control"), kDefaultTimeout);
        LRESULT count = Send(h, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i)
            Out((Send(h, LB_GETITEMDATA, i, 0) ? L"[x] " : L"[ ] ") + OneLine(ItemText(h, false, i, a[2])));
    } else if (cmd == L"clipped") {
        NoMoreThan(a, 2);
        auto found = CutCaptions(WaitTop(Arg(a, 1, L"window"), kDefaultTimeout));
        for (const Cut& cut : found) {
            wchar_t where[96];
            swprintf(where, 96, L"draws at %ld,%ld-%ld,%ld in %ldx%ld", cut.ink.left, cut.ink.top, cut.ink.right,
                     cut.ink.bottom, cut.room.cx, cut.room.cy);
            Out(ClassOf(cut.control) + L" " + cut.what + L" id=" + std::to_wstring(GetDlgCtrlID(cut.control)) +
                L" " + where);
        }
        if (!found.empty()) throw Failure{kNotMet, std::to_wstring(found.size()) + L" captions cut off"};
        Out(L"none clipped");
    } else if (cmd == L"dump") {
        NoMoreThan(a, 2);
        Dump(WaitTop(Arg(a, 1, L"window"), kDefaultTimeout));
    } else if (cmd == L"windows") {
        NoMoreThan(a, 1);
        for (HWND h : TopLevelWindows())
            if (IsWindowVisible(h)) Out(Hex(h) + L" " + ClassOf(h) + L" \"" + OneLine(TextOr(h)) + L"\"");
    } else if (cmd == L"command-ids") {
        NoMoreThan(a, 1);
        for (auto [name, id] : kCommands) Out(std::wstring(name) + L" " + std::to_wstring(id));
    } else if (cmd == L"sleep") {
        NoMoreThan(a, 2);
        std::optional<double> ms = Number(Arg(a, 1, L"milliseconds"));
        if (!ms || *ms < 0) throw Failure{kUsage, L"sleep: bad time \"" + a[1] + L"\""};
        Sleep(static_cast<DWORD>(*ms));
    } else {
        throw Failure{kUsage, L"unknown command \"" + cmd + L"\""};
    }
}

constexpr const wchar_t* kUsageText =
    L"usage: kvdriver COMMAND ARGS... [-- COMMAND ARGS...]...\n"
    L"  wait-window WIN [SECONDS]      wait until shown; print its caption\n"
    L"  wait-gone WIN [SECONDS]        wait until no such window exists\n"
    L"  exists WIN                     succeed if it exists now\n"
    L"  caption WIN                    print its caption\n"
    L"  text WIN CTRL                  print a control's text\n"
    L"  value WIN CAPTION              print the text beside a caption label\n"
    L"  wait-text WIN CTRL TEXT [SECONDS]\n"
    L"                                 wait until it shows TEXT; line breaks read as blanks\n"
    L"  state WIN CTRL                 print visible|hidden enabled|disabled\n"
    L"  click WIN CTRL                 click a button (posted)\n"
    L"  tab WIN INDEX [CTRL]           choose a tab as a user would\n"
    L"  menu WIN COMMAND               run a menu command, by name or id\n"
    L"  close WIN                      ask the window to close\n"
    L"  settext WIN CTRL TEXT          set a text (no change notification)\n"
    L"  type WIN CTRL TEXT             replace a text as typing would\n"
    L"  msgbox [SECONDS]               print the open message box's text\n"
    L"  msgbox-caption [SECONDS]       print its caption\n"
    L"  answer BUTTON [SECONDS]        click a button of the message box\n"
    L"  file-dialog WIN PATH           type PATH into an Open or Save dialog and press its OK\n"
    L"  rect WIN [CTRL]                print its screen place: left top width height\n"
    L"  client WIN                     print the size of its client area: width height\n"
    L"  modes                          list the display's modes: WxH BPP HZ\n"
    L"  syscolor INDEX                 print a system colour as #RRGGBB\n"
    L"  covered WIN                    list shown controls that others hide\n"
    L"  clipped WIN                    list shown captions, tabs, list lines and the title cut off\n"
    L"  check WIN CTRL                 print checked|unchecked|grayed\n"
    L"  items WIN CTRL                 list a combo or list box's items\n"
    L"  pick WIN CTRL ITEM             double-click a list box's item\n"
    L"  select WIN CTRL ITEM           click a list box's item\n"
    L"  toggle WIN CTRL ITEM           click a check list's item and press the space bar\n"
    L"  checks WIN CTRL                a check list's lines as \"[x] line\" or \"[ ] line\"\n"
    L"  dump WIN                       list the window's controls\n"
    L"  windows                        list the visible top-level windows\n"
    L"  command-ids                    list the menu command ids\n"
    L"  sleep MILLISECONDS\n"
    L"WIN: caption | class:NAME | 0xHANDLE\n"
    L"CTRL: caption | CLASS#N | id:N | beside:CAPTION";

}  // namespace

int main() {
    std::vector<std::wstring> words = SplitCommandLine(GetCommandLineW());
    if (words.empty() || words[0] == L"-h" || words[0] == L"--help" || words[0] == L"help") {
        Write(words.empty() ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE, kUsageText);
        return words.empty() ? kUsage : kOk;
    }
    std::vector<Args> commands(1);
    for (const std::wstring& w : words) {
        if (w == L"--") {
            commands.emplace_back();
        } else {
            commands.back().push_back(w);
        }
    }
    for (const Args& a : commands) {
        if (a.empty()) {
            Err(L"empty command");
            return kUsage;
        }
        try {
            Run(a);
        } catch (const Failure& f) {
            Err(f.why);
            return f.code;
        }
    }
    return kOk;
}
