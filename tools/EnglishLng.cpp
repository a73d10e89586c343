#include "tools/EnglishLng.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "lang/Lang.h"
#include "platform/Text.h"

namespace kv {

namespace {

struct EntryName {
    LangEntry entry;
    const char* name;
    const char* before;  // the comment above it in Entries.h: a new group
    const char* note;    // the comment after it
};

// Written at build time by tools/entry_names.py.
const EntryName kNames[] = {
#include "EntryNames.inc"
};

constexpr unsigned kCodePage = 1252;
constexpr const char* kTranslator = "Kelvane project";

const char* const kHead[] = {
    "; Kelvane language file: English, the template for translators.",
    "; The build writes it (make native: build/native/English.lng) from the",
    "; program's own English texts; loaded as it is, it changes nothing.",
    "; Code page 1252, CR LF line ends.",
    "; Lines that are empty or begin with \";\" or \"[\" are skipped and do not count.",
    "; After the version line, each counted line is one entry, in order from 0;",
    "; the last counted line names the translator.",
    ";",
    "; To translate, replace the text under each comment and keep every line in",
    "; its place: a line left empty is skipped, and every text after it would",
    "; move up one entry. Save the file as <Language>.lng.",
    "; [codepage=1252] names the Windows code page the file is saved in: 1252",
    "; for Western European languages, 1251 for Cyrillic; Kelvane reads other",
    "; pages through Windows.",
    "; Entry 1 is the language's name as the language dialog lists it, and the",
    "; last line names the translator: replace \"English\" and \"Kelvane project\".",
    "; \"%1\", \"%2\", ... stand for a number or a name: keep every one, in any",
    "; order (a text that lacks one shows English). In a caption \"&&\" shows",
    "; one \"&\". Keep a blank at the start or end of a text where it has one.",
    "; A text marked \"counted\" gives a form for each kind of number, separated",
    "; by \"|\". How many forms it gives picks the rule:",
    ";   one form:    every number",
    ";   two forms:   1 | every other number (English, German)",
    ";   three forms: 1, 21, 31, ... | 2-4, 22-24, ... | 0, 5-20, 25-30, ...",
    ";                (Russian)",
    "; The program puts a blank that does not break after the count itself.",
    "; An entry that is not used holds \"-\".",
};

// What an entry without an English text holds, and why: a line cannot be
// empty, or it would be skipped.
struct StandIn {
    std::string text;
    std::string note;
};

StandIn StandInFor(int entry) {
    auto tabHint = [](const std::string& tab) {
        return StandIn{"Shows the " + tab + " tab in the display driver's properties (Control Panel, Display)",
                       " (the built-in English shows no hint here; the translations give one)"};
    };
    switch (entry) {
        case kLanguageName: return {"English", ""};
        case kHintOpenGLTab: return tabHint("OpenGL");
        case kHintDirect3DTab: return tabHint("Direct3D");
        case kHintProjectorTab: return tabHint("Projector");
        case kHintRotationTab: return tabHint("Rotation");
        case kTranslatorLine: return {kTranslator, ""};
        default: return {"-", ""};
    }
}

std::string Cp1252(const std::string& text, const std::string& what) {
    std::string bytes = EncodeWindowsCodePage(text, kCodePage);
    if (DecodeWindowsCodePage(bytes, kCodePage) != text)
        throw std::runtime_error(what + " is not in code page 1252: " + text);
    return bytes;
}

bool Break(char c) { return c == '\r' || c == '\n'; }

// A line break, with the blanks around it, becomes one blank: a line of the
// file holds none.
std::string OneLine(const std::string& text) {
    std::string line;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!Break(text[at])) {
            line += text[at];
            continue;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        while (at + 1 < text.size() && (Break(text[at + 1]) || text[at + 1] == ' ')) ++at;
        line += ' ';
    }
    return line;
}

std::size_t Forms(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '|')) + 1;
}

// The comment above an entry's `line`: its number, name and what a
// translator must know of it.
std::string Comment(int entry, const EntryName* name, const std::string& english, const std::string& line) {
    std::string comment = "; " + std::to_string(entry);
    if (!name) return comment + " not used";
    comment += std::string(" ") + name->name;
    if (*name->note) comment += std::string(" - ") + name->note;
    if (CountedEntry(entry)) {
        static const char* const rules[] = {"every number", "1 | other numbers",
                                            "1, 21, 31, ... | 2-4, 22-24, ... | the rest"};
        comment += std::string(" (counted: forms for ") + rules[std::min<std::size_t>(Forms(english), 3) - 1] + ")";
    }
    if (english.empty()) comment += StandInFor(entry).note;
    if (std::any_of(english.begin(), english.end(), Break)) comment += " (in English on two lines)";
    bool begins = line.front() == ' ', ends = line.back() == ' ';
    if (begins || ends)
        comment += std::string(" (") + (begins && ends ? "begins and ends" : begins ? "begins" : "ends") +
                   " with a blank)";
    return comment;
}

}  // namespace

std::string EnglishLngFile() {
    std::string file;
    auto line = [&](const std::string& text, const std::string& what) { file += Cp1252(text, what) + "\r\n"; };
    for (const char* head : kHead) line(head, "the head");
    line("[codepage=1252]", "the code-page line");
    line(std::string("Version = ") + kLangVersion, "the version line");
    for (int entry = 0; entry <= kLastLangEntry; ++entry) {
        const EntryName* name = nullptr;
        for (const EntryName& n : kNames)
            if (n.entry == entry) name = &n;
        const std::string& english = EnglishText(entry);
        std::string what = "entry " + std::to_string(entry) + (name ? std::string(" ") + name->name : "");
        if (!name && !english.empty()) throw std::runtime_error(what + " has no name in lang/Entries.h");
        if (name && *name->before) {
            file += "\r\n";
            line(std::string("; ") + name->before, what + "'s group");
        }
        std::string text = english.empty() ? StandInFor(entry).text : OneLine(english);
        if (text.empty() || text[0] == ';' || text[0] == '[')
            throw std::runtime_error(what + " cannot be a line of a language file, which skips a line that is "
                                            "empty or begins with \";\" or \"[\": \"" + text + "\"");
        line(Comment(entry, name, english, text), what + "'s comment");
        line(text, what);
    }
    line("; translator", "the translator's comment");
    line(kTranslator, "the translator's line");
    return file;
}

}  // namespace kv
