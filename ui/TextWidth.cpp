#include "ui/TextWidth.h"

#include <algorithm>

namespace kv::ui {

namespace {

// Advance widths of the characters 32 (blank) to 126 (~).
constexpr unsigned char kTahoma8[95] = {
    3, 3, 5, 8, 6, 12, 8, 3, 4, 4, 7, 9, 3, 4, 3, 4,   // blank to /
    6, 6, 6, 6, 6, 6,  6, 6, 6, 6, 3, 4, 8, 8, 8, 5,   // 0 to ?
    10, 7, 7, 7, 7, 6, 6, 7, 8, 4, 5, 7, 6, 9, 8, 8,   // @ to O
    6, 8, 7, 6, 7, 7,  7, 10, 6, 7, 7, 4, 4, 4, 8, 6,  // P to _
    6, 7, 6, 6, 7, 7,  4, 7, 7, 3, 3, 6, 3, 9, 7, 6,   // ` to o
    6, 7, 4, 5, 4, 7,  5, 8, 5, 5, 6, 5, 5, 5, 9,      // p to ~
};
constexpr int kWideLetter = 8;
// Accented Latin and Cyrillic letters: about as wide as the plain Latin
// ones, with room for the wider of them.
constexpr int kLetter = 7;
// Between a button's caption and each of its edges: the raised edge, the
// focus frame and some air.
constexpr int kButtonSide = 10;

// The width of the character whose UTF-8 sequence begins with `lead`.
int NonAsciiWidth(unsigned char lead, unsigned char next) {
    unsigned codePoint = ((lead & 0x1Fu) << 6) | (next & 0x3Fu);
    bool twoBytes = (lead & 0xE0) == 0xC0;
    if (twoBytes && ((codePoint >= 0xC0 && codePoint <= 0x24F) || (codePoint >= 0x400 && codePoint <= 0x4FF)))
        return kLetter;
    return kWideLetter;
}

}  // namespace

int CaptionWidth(const std::string& text, bool accel) {
    int width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (accel && c == '&') {
            if (i + 1 >= text.size() || text[i + 1] != '&') continue;  // marks the access key
            ++i;
        }
        if (c >= 32 && c < 127)
            width += kTahoma8[c - 32];
        else if (c >= 0xC0)  // a character's first byte; the bytes after it add nothing
            width += NonAsciiWidth(c, i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0);
        else if (c < 0x80)
            width += kWideLetter;
    }
    return width;
}

int ButtonWidth(const std::string& caption, int designWidth) {
    return std::max(designWidth, CaptionWidth(caption) + 2 * kButtonSide);
}

}  // namespace kv::ui
