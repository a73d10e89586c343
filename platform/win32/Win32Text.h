// UTF-8 inside the program, UTF-16 at the Windows boundary.
#pragma once

#include <windows.h>

#include <string>

namespace kv::win {

inline std::wstring Wide(const std::string& s, UINT codePage = CP_UTF8) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// In another code page than UTF-8, a character the page lacks becomes the
// system's default character.
inline std::string Narrow(const std::wstring& w, UINT codePage = CP_UTF8) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// Room beyond a text's last character, in pixels at `dpi`: some renderers
// (Wine's among them, with large fonts) draw a few pixels, up to about 3 %,
// past the width they measure, which the control would cut.
inline int InkSlack(int width, int dpi) { return MulDiv(3, dpi, 96) + width / 32; }

// Texts the system hands out in its ANSI code page.
inline std::string FromAnsi(const char* s) { return Narrow(Wide(s, CP_ACP)); }

}  // namespace kv::win
