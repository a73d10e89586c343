#include "lang/LngFile.h"

#include <algorithm>
#include <cctype>

#include "lang/WindowTexts.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {

namespace {

// "[codepage=1251]": the code page the file's texts are written in.
unsigned CodePageLine(const std::string& line) {
    std::string lower;
    for (char c : line)
        if (c != ' ') lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string head = "[codepage=";
    if (lower.compare(0, head.size(), head) != 0 || lower.back() != ']') return 0;
    std::string digits = lower.substr(head.size(), lower.size() - head.size() - 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    return static_cast<unsigned>(std::stoul(digits));
}

}  // namespace

LngFile ParseLngFile(ISystem& system, const std::string& bytes) {
    // The lines as they are; a text never holds a line break.
    std::vector<std::string> counted;
    LngFile file;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (file.codePage == 0) file.codePage = CodePageLine(line);
            continue;
        }
        counted.push_back(std::move(line));
    }
    file.countedLines = counted.size();
    if (counted.empty()) return file;
    file.versionMatches = counted[0].size() >= 10 && counted[0].substr(10) == kLangVersion;
    // The last line names the translator: an older file that ends early
    // shows English for the entries it lacks, never that name.
    for (std::size_t i = 1; i + 1 < counted.size() && file.entries.size() < kLangEntryCount; ++i)
        file.entries.push_back(system.DecodeAnsiText(counted[i], file.codePage));
    file.translator = system.DecodeAnsiText(counted.back(), file.codePage);
    return file;
}

int LoadLanguage(ui::Form& mainWindow, Platform& p, bool showMessages) {
    std::string name;
    ReadTextValue(p.registry, kProductSettingsKey, kLangFileNameValue, name);
    // A file that cannot be used is named in the language in force until
    // now.
    const std::string notOpened = LangText(kMsgCannotOpenLangFile, {name});
    const std::string wrongVersion = LangText(kMsgWrongLangVersion), error = LangText(kMsgError);
    Language& language = LanguageInForce();
    language.PutEnglishInForce(name);
    int outcome = kLangNoFile;
    if (!name.empty()) {
        std::optional<std::string> bytes = p.system.ReadFile(InstallFile(p.registry, name));
        LngFile file = bytes ? ParseLngFile(p.system, *bytes) : LngFile{};
        if (!bytes) {
            if (showMessages) p.system.ShowMessageBox(notOpened, error, kMbOk);
            outcome = kLangNotRead;
        } else if (!file.versionMatches) {
            if (showMessages) p.system.ShowMessageBox(wrongVersion, error, kMbOk);
            outcome = kLangWrongVersion;
        } else {
            language.PutInForce(name, file.entries);
            outcome = kLangApplied;
        }
    }
    ApplyWindowTexts(mainWindow);
    return outcome;
}

void StoreLangFileName(IRegistry& reg) {
    WriteTextValue(reg, kProductSettingsKey, kLangFileNameValue, LanguageInForce().FileName());
}

}  // namespace kv
