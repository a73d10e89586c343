#include "lang/Lang.h"

#include <algorithm>

namespace kv {

void Language::PutInForce(std::string fileName, const std::vector<std::string>& entries) {
    entriesLoaded_ = std::min(entries.size(), texts_.size());
    std::copy_n(entries.begin(), entriesLoaded_, texts_.begin());
    loaded_ = true;
    fileName_ = std::move(fileName);
}

void Language::PutEnglishInForce(std::string fileName) {
    loaded_ = false;
    fileName_ = std::move(fileName);
}

bool Language::EntryLoaded(int entry) const {
    return loaded_ && entry >= 0 && static_cast<std::size_t>(entry) < entriesLoaded_;
}

const std::string& Language::Text(int entry) const {
    return EntryLoaded(entry) ? texts_[static_cast<std::size_t>(entry)] : EnglishText(entry);
}

Language& LanguageInForce() {
    static Language inForce;
    return inForce;
}

std::string LangText(int entry) { return LanguageInForce().Text(entry); }

namespace {

constexpr const char* kNoBreakSpace = "\xC2\xA0";

// "%1" to "%9" in `text`, each replaced by its value; a placeholder without
// a value stays as it is. In a counted text the blank after "%1", the count,
// does not break.
std::string Fill(const std::string& text, const std::vector<std::string>& values, bool counted = false) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        char next = at + 1 < text.size() ? text[at + 1] : '\0';
        std::size_t n = next >= '1' && next <= '9' ? static_cast<std::size_t>(next - '1') : values.size();
        if (text[at] == '%' && n < values.size()) {
            out += values[n];
            ++at;
            if (counted && n == 0 && at + 1 < text.size() && text[at + 1] == ' ') {
                out += kNoBreakSpace;
                ++at;
            }
        } else {
            out += text[at];
        }
    }
    return out;
}

bool HoldsEveryPlaceholder(const std::string& text, std::size_t count) {
    for (std::size_t n = 1; n <= count; ++n)
        if (text.find("%" + std::to_string(n)) == std::string::npos) return false;
    return true;
}

// How many of `values` the English text takes: "%1" to "%N" in a row.
std::size_t PlaceholdersUsed(const std::string& english, std::size_t values) {
    std::size_t used = 0;
    while (used < values && HoldsEveryPlaceholder(english, used + 1)) ++used;
    return used;
}

std::vector<std::string> Forms(const std::string& text) {
    std::vector<std::string> forms;
    std::size_t from = 0;
    for (std::size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', from)) {
        forms.push_back(text.substr(from, bar - from));
        from = bar + 1;
    }
    forms.push_back(text.substr(from));
    return forms;
}

std::string FormFor(const std::string& text, unsigned long count) {
    std::vector<std::string> forms = Forms(text);
    return forms[PluralForm(forms.size(), count)];
}

// Whether the file in force is older than the entry: it gives the texts the
// entry replaces, but not the entry.
bool OlderFileLacks(int entry, int older) {
    const Language& language = LanguageInForce();
    return !language.EntryLoaded(entry) && language.EntryLoaded(older);
}

}  // namespace

std::string LangText(int entry, std::initializer_list<std::string> values) {
    const std::string& english = EnglishText(entry);
    std::string text = LangText(entry);
    if (!HoldsEveryPlaceholder(text, PlaceholdersUsed(english, values.size()))) text = english;
    return Fill(text, values);
}

std::size_t PluralForm(std::size_t forms, unsigned long count) {
    if (forms == 2) return count == 1 ? 0 : 1;
    if (forms == 3) {
        unsigned long last = count % 10, lastTwo = count % 100;
        if (last == 1 && lastTwo != 11) return 0;
        if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) return 1;
        return 2;
    }
    // One form; or more than the rules known here: the last is the most
    // general.
    return forms - 1;
}

std::string LangCount(int entry, unsigned long count, std::initializer_list<std::string> values) {
    std::vector<std::string> all{std::to_string(count)};
    all.insert(all.end(), values.begin(), values.end());
    std::string english = FormFor(EnglishText(entry), count);
    std::string text = FormFor(LangText(entry), count);
    if (!HoldsEveryPlaceholder(text, PlaceholdersUsed(english, all.size()))) text = english;
    return Fill(text, all, true);
}

std::string SecondsLeftText(int sentence, int wordsBefore, unsigned long seconds) {
    if (OlderFileLacks(sentence, wordsBefore))
        return LangText(wordsBefore) + " " + std::to_string(seconds) + kNoBreakSpace + LangCount(kTxtSeconds, seconds);
    return LangCount(sentence, seconds);
}

std::string IssuesFoundText(unsigned long errors, unsigned long warnings) {
    if (OlderFileLacks(kTxtIssuesFoundIn, kTxtIssuesFound))
        return LangText(kTxtIssuesFound) + std::to_string(errors) + LangText(kTxtIssuesErrors) +
               std::to_string(warnings) + LangText(kTxtIssuesWarnings);
    return LangText(kTxtIssuesFoundIn,
                    {LangCount(kTxtIssuesErrorsIn, errors), LangCount(kTxtIssuesWarningsIn, warnings)});
}

std::string Enumeration(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? LangText(kTxtListAnd) : ", ") + parts[i];
    return text;
}

}  // namespace kv
