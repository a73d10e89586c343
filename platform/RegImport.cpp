// Reading registry files: importing one as a silent import does, checking
// a snapshot, joining exports.
#include "platform/RegFile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/Text.h"

namespace kv {

namespace {

// Windows-1252, the code page regedit reads an 8-bit file in on a Western
// system. Its five unassigned bytes map to the same code points.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string Cp1252ToUtf8(const std::string& bytes) {
    std::u16string units;
    for (unsigned char b : bytes) units += (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b);
    return Utf16ToUtf8(units);
}

std::u16string UnitsFromLe(const std::string& bytes, std::size_t from) {
    std::u16string units;
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return units;
}

// A lone CR ends a line too: regedit splits a quoted string that holds one.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimLeft(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return s.substr(i);
}

void SkipBlanks(const std::string& s, std::size_t& pos) {
    while (pos < s.size() && IsBlank(s[pos])) ++pos;
}

// Whatever follows a value may only be blanks and a comment.
bool AtLineEnd(const std::string& s, std::size_t pos) {
    SkipBlanks(s, pos);
    return pos == s.size() || s[pos] == ';';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWith(const std::string& s, std::size_t pos, const char* prefix) {
    return s.compare(pos, std::char_traits<char>::length(prefix), prefix) == 0;
}

// A quoted name or string. regedit knows \\ \" \n \r; before any other
// letter the backslash is dropped, and \0 makes it reject the line.
bool ParseQuoted(const std::string& s, std::size_t& pos, std::string& out) {
    ++pos;
    while (pos < s.size()) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 >= s.size()) return false;
            char n = s[pos + 1];
            if (n == '0') return false;
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
            pos += 2;
            continue;
        }
        out += c;
        ++pos;
    }
    return false;
}

// Up to eight hex digits; the number of digits read is returned in count.
std::uint32_t ParseHexNumber(const std::string& s, std::size_t& pos, int& count) {
    std::uint32_t n = 0;
    count = 0;
    while (pos < s.size() && HexDigit(s[pos]) >= 0) {
        n = (n << 4) | std::uint32_t(HexDigit(s[pos]));
        ++pos;
        ++count;
    }
    return n;
}

// "01,02, 03" with an optional comma at the end; a blank is allowed only
// before a byte.
bool ParseHexBytes(const std::string& s, Bytes& out) {
    std::size_t pos = 0;
    for (;;) {
        SkipBlanks(s, pos);
        if (pos == s.size()) return true;
        std::uint32_t b = 0;
        int digits = 0;
        while (pos < s.size() && HexDigit(s[pos]) >= 0) {
            b = (b << 4) | std::uint32_t(HexDigit(s[pos]));
            if (b > 0xFF) return false;
            ++pos;
            ++digits;
        }
        if (digits == 0) return false;
        out.push_back(static_cast<std::uint8_t>(b));
        if (pos == s.size()) return true;
        if (s[pos] != ',') return false;
        ++pos;
    }
}

struct Reader {
    explicit Reader(RegistryImage& r) : reg(r) {}

    RegistryImage& reg;
    std::vector<std::string> lines;
    bool unicode = false;   // the file was UTF-16, so string data in hex is UTF-16 too
    bool cp1252 = false;    // the 8-bit file was not UTF-8
    bool haveKey = false;
    std::string key;
    // What a check of the whole file needs: the sections in file order and
    // the lines regedit would pass over.
    std::vector<std::string> sections;
    int passedOver = 0;

    // Where the key named between the brackets lies in this registry, or
    // false for another root.
    static bool LocalPath(const std::string& full, std::string& rel) {
        std::size_t slash = full.find('\\');
        if (!SameNoCase(full.substr(0, slash), kRegRoot)) return false;
        rel = slash == std::string::npos ? std::string() : full.substr(slash + 1);
        return true;
    }

    // A key line without its closing bracket is passed over and the values
    // after it still go to the key before; any other key line closes that.
    // False for a line regedit passes over.
    bool KeyLine(const std::string& line) {
        std::size_t close = line.rfind(']');
        if (close == std::string::npos) return false;
        haveKey = false;
        std::string inner = line.substr(1, close - 1);
        sections.push_back(inner);
        bool remove = !inner.empty() && inner[0] == '-';
        std::string rel;
        if (!LocalPath(remove ? inner.substr(1) : inner, rel)) return true;
        if (remove) {
            if (!SplitPath(rel).empty()) reg.DeleteKey(rel);
            return true;
        }
        reg.CreateKey(rel);
        key = rel;
        haveKey = true;
        return true;
    }

    // The text of a string value as the registry holds it: UTF-8 with the
    // terminating zero regedit adds when the data lacks one.
    std::string StringData(const Bytes& data) const {
        std::string text;
        if (unicode) {
            std::u16string units = UnitsFromLe(std::string(data.begin(), data.end()), 0);
            if (!units.empty() && units.back() != 0) units += u'\0';
            return Utf16ToUtf8(units);
        }
        text.assign(data.begin(), data.end());
        if (cp1252) text = Cp1252ToUtf8(text);
        if (!text.empty() && text.back() != '\0') text += '\0';
        return text;
    }

    // Hex data may go on over the following lines while a line ends in a
    // backslash; blank and comment lines in between are passed over. Each
    // line is cut on its own, so a value of many lines is read in time that
    // grows with its length, not with its square.
    std::string HexText(std::size_t& index, const std::string& first) {
        std::string data;
        std::string piece = first;
        for (;;) {
            piece.resize(std::min(piece.find(';'), piece.size()));
            while (!piece.empty() && IsBlank(piece.back())) piece.pop_back();
            bool continued = !piece.empty() && piece.back() == '\\';
            if (continued) piece.pop_back();
            data += piece;
            if (!continued) return data;
            std::size_t next = index + 1;
            while (next < lines.size()) {
                std::string t = TrimLeft(lines[next]);
                if (!t.empty() && t[0] != ';' && t[0] != '#') break;
                ++next;
            }
            if (next >= lines.size()) return data;
            index = next;
            piece = TrimLeft(lines[index]);
        }
    }

    bool ValueLine(std::size_t& index, const std::string& line) {
        std::size_t pos = 0;
        std::string name;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, pos, name)) {
            return false;
        }
        SkipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != '=') return false;
        ++pos;
        SkipBlanks(line, pos);

        if (StartsWith(line, pos, "hex")) {
            pos += 3;
            std::uint32_t type = kRegBinary;
            if (pos < line.size() && line[pos] == '(') {
                ++pos;
                int digits;
                type = ParseHexNumber(line, pos, digits);
                if (digits == 0 || digits > 8 || !StartsWith(line, pos, ")")) return false;
                ++pos;
            }
            if (!StartsWith(line, pos, ":")) return false;
            std::string text = HexText(index, line.substr(pos + 1));
            Bytes data;
            if (!ParseHexBytes(text, data) || !haveKey) return false;
            if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
                std::string s = StringData(data);
                data.assign(s.begin(), s.end());
            }
            reg.SetValue(key, name, RegValue{type, data});
            return true;
        }

        if (!haveKey) return false;
        if (line[pos] == '-' && AtLineEnd(line, pos + 1)) {
            reg.DeleteValue(key, name);
            return true;
        } else if (line[pos] == '"') {
            std::string text;
            if (!ParseQuoted(line, pos, text) || !AtLineEnd(line, pos)) return false;
            text += '\0';
            reg.SetValue(key, name, RegValue{kRegSz, Bytes(text.begin(), text.end())});
            return true;
        } else if (StartsWith(line, pos, "dword:")) {
            pos += 6;
            SkipBlanks(line, pos);
            int digits;
            std::uint32_t n = ParseHexNumber(line, pos, digits);
            if (digits == 0 || digits > 8 || !AtLineEnd(line, pos)) return false;
            reg.SetDword(key, name, n);
            return true;
        }
        return false;
    }

    void Run() {
        for (std::size_t i = 1; i < lines.size(); ++i) {
            std::string line = TrimLeft(lines[i]);
            if (line.empty() || line[0] == ';') continue;
            bool taken = false;
            if (line[0] == '[')
                taken = KeyLine(line);
            else if (line[0] == '"' || line[0] == '@')
                taken = ValueLine(i, line);
            if (!taken) ++passedOver;
        }
    }
};

}  // namespace

namespace {

// Decodes the file and splits it into lines; false when it does not begin
// with a registry editor header. `text` is the whole decoded text.
bool ReadLines(Reader& reader, const std::string& fileBytes, std::string& text, std::string* error) {
    if (fileBytes.size() >= 2 && static_cast<unsigned char>(fileBytes[0]) == 0xFF &&
        static_cast<unsigned char>(fileBytes[1]) == 0xFE) {
        reader.unicode = true;
        text = Utf16ToUtf8(UnitsFromLe(fileBytes, 2));
    } else if (IsValidUtf8(fileBytes)) {
        text = fileBytes;
    } else {
        reader.cp1252 = true;
        text = Cp1252ToUtf8(fileBytes);
    }
    reader.lines = SplitLines(text);
    // regedit insists on one of its two headers, alone on the first line.
    if (reader.lines.empty() || (reader.lines[0] != kRegHeader5 && reader.lines[0] != kRegHeader4)) {
        if (error) *error = "not a registry file: the first line is not a registry editor header";
        return false;
    }
    return true;
}

}  // namespace

bool ImportRegFile(RegistryImage& reg, const std::string& fileBytes, std::string* error) {
    Reader reader(reg);
    std::string text;
    if (!ReadLines(reader, fileBytes, text, error)) return false;
    reader.Run();
    return true;
}

bool CheckRegSnapshot(const std::string& fileBytes, const std::vector<std::string>& keyPaths, RegistryImage& parsed,
                      std::vector<std::string>& branches, SnapshotFault* fault) {
    auto fail = [fault](SnapshotFault::Kind kind, const std::string& key = "") {
        if (fault) *fault = {kind, key};
        return false;
    };
    branches.clear();
    Reader reader(parsed);
    std::string text;
    if (!ReadLines(reader, fileBytes, text, nullptr)) return fail(SnapshotFault::NotRegistryFile);
    reader.Run();
    auto full = [](const std::string& keyPath) { return std::string(kRegRoot) + "\\" + keyPath; };
    if (reader.sections.empty()) return fail(SnapshotFault::NotACopy, full(keyPaths.empty() ? "" : keyPaths[0]));
    std::vector<std::string> tops;
    for (const std::string& section : reader.sections) {
        bool below =
            std::any_of(tops.begin(), tops.end(), [&](const std::string& top) { return InBranch(section, top); });
        if (below) continue;
        auto branch = std::find_if(keyPaths.begin(), keyPaths.end(),
                                   [&](const std::string& k) { return SameNoCase(section, full(k)); });
        if (branch == keyPaths.end())
            return tops.empty() && keyPaths.size() == 1 ? fail(SnapshotFault::NotACopy, full(keyPaths[0]))
                                                        : fail(SnapshotFault::KeyOutside, section);
        tops.push_back(section);
        branches.push_back(*branch);
    }
    if (reader.passedOver > 0) return fail(SnapshotFault::LinesUnreadable);
    // regedit ends every export with an empty line after the last value; a
    // file cut off while it was written lacks it.
    bool endsWithEmptyLine = text.size() >= 2 && text.back() == '\n' &&
                             (text[text.size() - 2] == '\n' ||
                              (text.size() >= 4 && text.compare(text.size() - 4, 4, "\r\n\r\n") == 0));
    if (!endsWithEmptyLine) return fail(SnapshotFault::CutOff);
    return true;
}

bool CheckRegExport(const std::string& fileBytes, const std::string& keyPath, RegistryImage& parsed,
                    SnapshotFault* fault) {
    std::vector<std::string> branches;
    return CheckRegSnapshot(fileBytes, {keyPath}, parsed, branches, fault);
}

std::optional<std::string> JoinRegExports(const std::vector<std::string>& files) {
    if (files.empty()) return std::nullopt;
    auto unicode = [](const std::string& f) {
        return f.size() >= 2 && static_cast<unsigned char>(f[0]) == 0xFF && static_cast<unsigned char>(f[1]) == 0xFE;
    };
    // One code unit of the file's encoding at a byte offset.
    auto unitAt = [](const std::string& f, std::size_t at, bool wide) -> int {
        if (!wide) return at < f.size() ? static_cast<unsigned char>(f[at]) : -1;
        if (at + 1 >= f.size()) return -1;
        return static_cast<unsigned char>(f[at]) | static_cast<unsigned char>(f[at + 1]) << 8;
    };
    bool wide = unicode(files[0]);
    std::string joined = files[0];
    for (std::size_t i = 1; i < files.size(); ++i) {
        const std::string& f = files[i];
        if (unicode(f) != wide) return std::nullopt;
        std::size_t unit = wide ? 2 : 1;
        // Past the header line, and the empty line regedit writes after it.
        std::size_t at = wide ? 2 : 0;
        for (int skipped = 0; skipped < 2; ++skipped) {
            std::size_t lineStart = at;
            while (unitAt(f, at, wide) >= 0 && unitAt(f, at, wide) != '\n') at += unit;
            if (unitAt(f, at, wide) < 0) return std::nullopt;
            at += unit;
            bool empty = at - lineStart <= 2 * unit;
            if (skipped == 1 && !empty) at = lineStart;
        }
        joined += f.substr(at);
    }
    return joined;
}

}  // namespace kv
