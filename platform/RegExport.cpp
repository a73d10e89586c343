// Writing a branch as the registry editor exports it.
#include "platform/RegFile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/Text.h"

namespace kv {

namespace {

// regedit breaks a hex line once it has grown to this many characters,
// counting the value's name, and indents the continuation by two spaces.
constexpr std::size_t kHexLineLimit = 77;

// The registry orders names by comparing them letter by letter after
// lowering them, so "_x" comes before "A" and "ключ" before "Ёлка". This
// covers the scripts a display driver's key or a translated text may use.
char16_t LowerUnit(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
        return (c & 1) ? c : c + 1;
    }
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return (c & 1) ? c : c + 1;
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? c + 1 : c;
    if (c >= 0x531 && c <= 0x556) return c + 0x30;
    if ((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF)) return (c & 1) ? c : c + 1;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
    return c;
}

bool RegistryOrder(const std::u16string& a, const std::u16string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return LowerUnit(x) < LowerUnit(y); });
}

void PutAscii(std::u16string& out, const char* text) {
    while (*text) out += static_cast<char16_t>(static_cast<unsigned char>(*text++));
}

void PutHexByte(std::u16string& out, std::uint8_t b) {
    static const char kDigits[] = "0123456789abcdef";
    out += static_cast<char16_t>(kDigits[b >> 4]);
    out += static_cast<char16_t>(kDigits[b & 15]);
}

std::u16string Escape(const std::u16string& text) {
    std::u16string out;
    for (char16_t c : text) {
        switch (c) {
            case u'\\': out += u"\\\\"; break;
            case u'"': out += u"\\\""; break;
            case u'\n': out += u"\\n"; break;
            case u'\r': out += u"\\r"; break;
            default: out += c;
        }
    }
    return out;
}

std::u16string AsUnits(const Bytes& data) { return Utf8ToUtf16(std::string(data.begin(), data.end())); }

Bytes Utf16LeBytes(const std::u16string& units) {
    Bytes out;
    out.reserve(units.size() * 2);
    for (char16_t u : units) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

// regedit takes a string's last character for its terminating zero without
// looking, so a string stored without one loses its last letter on export;
// it also stops at the first zero.
std::u16string ExportedText(const Bytes& data) {
    std::u16string units = AsUnits(data);
    if (!units.empty()) units.pop_back();
    return units.substr(0, units.find(u'\0'));
}

void PutHexData(std::u16string& out, std::size_t lineLen, std::uint32_t type, const Bytes& data) {
    std::u16string prefix;
    if (type == kRegBinary) {
        prefix = u"hex:";
    } else {
        static const char kDigits[] = "0123456789abcdef";
        std::u16string digits;
        std::uint32_t t = type;
        do {
            digits.insert(digits.begin(), static_cast<char16_t>(kDigits[t & 15]));
            t >>= 4;
        } while (t);
        prefix = u"hex(" + digits + u"):";
    }
    out += prefix;
    lineLen += prefix.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        PutHexByte(out, data[i]);
        if (i + 1 == data.size()) break;
        out += u',';
        lineLen += 3;
        if (lineLen >= kHexLineLimit) {
            out += u"\\\r\n  ";
            lineLen = 2;
        }
    }
}

void PutValue(std::u16string& out, const std::string& name, const RegValue& value) {
    std::u16string line = name.empty() ? u"@" : u"\"" + Escape(Utf8ToUtf16(name)) + u"\"";
    line += u'=';
    if (value.type == kRegSz) {
        line += u"\"" + Escape(ExportedText(value.data)) + u"\"";
    } else if (value.type == kRegDword && !value.data.empty()) {
        // Short data is read as a whole DWORD all the same; the missing high
        // bytes come out as zeros here.
        std::uint32_t n = 0;
        for (std::size_t i = 0; i < 4 && i < value.data.size(); ++i) n |= std::uint32_t(value.data[i]) << (8 * i);
        PutAscii(line, "dword:");
        for (int shift = 24; shift >= 0; shift -= 8) PutHexByte(line, static_cast<std::uint8_t>(n >> shift));
    } else if (value.type == kRegExpandSz || value.type == kRegMultiSz) {
        PutHexData(line, line.size(), value.type, Utf16LeBytes(AsUnits(value.data)));
    } else {
        PutHexData(line, line.size(), value.type, value.data);
    }
    out += line;
    out += u"\r\n";
}

void PutKey(std::u16string& out, const std::u16string& path, const RegistryImage::Key& key) {
    out += u"\r\n[" + path + u"]\r\n";

    std::vector<std::pair<std::u16string, const std::pair<std::string, RegValue>*>> values;
    for (const auto& v : key.values) values.emplace_back(Utf8ToUtf16(v.first), &v);
    std::stable_sort(values.begin(), values.end(),
                     [](const auto& a, const auto& b) { return RegistryOrder(a.first, b.first); });
    for (const auto& v : values) PutValue(out, v.second->first, v.second->second);

    std::vector<std::pair<std::u16string, const RegistryImage::Key*>> subkeys;
    for (const auto& [ignored, sub] : key.subkeys) subkeys.emplace_back(Utf8ToUtf16(sub->name), sub.get());
    std::stable_sort(subkeys.begin(), subkeys.end(),
                     [](const auto& a, const auto& b) { return RegistryOrder(a.first, b.first); });
    for (const auto& sub : subkeys) PutKey(out, path + u"\\" + sub.first, *sub.second);
}

}  // namespace

std::string ExportRegBranch(RegistryImage& reg, const std::string& keyPath) {
    const RegistryImage::Key* key = reg.FindKey(keyPath);
    if (!key) return {};
    std::string top = kRegRoot;
    if (!keyPath.empty()) top += "\\" + keyPath;

    std::u16string text;
    PutAscii(text, kRegHeader5);
    text += u"\r\n";
    PutKey(text, Utf8ToUtf16(top), *key);
    text += u"\r\n";

    Bytes bytes = Utf16LeBytes(text);
    std::string out = "\xFF\xFE";
    out.append(bytes.begin(), bytes.end());
    return out;
}

}  // namespace kv
