#include "lang/Lang.h"

#include "platform/ShutdownPrivilege.h"
#include "platform/Settings.h"

namespace kv {

LangTable LangTexts;
LangTable DefaultTexts;
std::uint16_t LangLoaded = 0;
std::size_t LangEntriesLoaded = 0;
std::string LangFileNameInForce;

bool EntryLoaded(int entry) {
    return LangLoaded == 1 && entry >= 0 && static_cast<std::size_t>(entry) < LangEntriesLoaded;
}

void ResetLanguage() {
    for (std::string& s : LangTexts) s.clear();
    for (std::string& s : DefaultTexts) s.clear();
    LangLoaded = 0;
    LangEntriesLoaded = 0;
    LangFileNameInForce.clear();
}

std::string LangText(int entry) {
    return EntryLoaded(entry) ? LangTexts[static_cast<std::size_t>(entry)] : EnglishText(entry);
}

namespace {

// "%1" to "%9" in `text`, each replaced by its value; a placeholder without
// a value stays as it is.
std::string Fill(const std::string& text, const std::vector<std::string>& values) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        char next = at + 1 < text.size() ? text[at + 1] : '\0';
        std::size_t n = next >= '1' && next <= '9' ? static_cast<std::size_t>(next - '1') : values.size();
        if (text[at] == '%' && n < values.size()) {
            out += values[n];
            ++at;
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

}  // namespace

std::string LangText(int entry, std::initializer_list<std::string> values) {
    const std::string& english = EnglishText(entry);
    std::size_t used = 0;
    while (used < values.size() && HoldsEveryPlaceholder(english, used + 1)) ++used;
    std::string text = LangText(entry);
    if (!HoldsEveryPlaceholder(text, used)) text = english;
    return Fill(text, values);
}

std::string Enumeration(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? LangText(kTxtListAnd) : ", ") + parts[i];
    return text;
}

void ShowError(ISystem& sys, const std::string& text) { sys.ShowMessageBox(text, LangText(kMsgError), kMbOk); }

void ShowWarning(ISystem& sys, const std::string& text) { sys.ShowMessageBox(text, LangText(kMsgWarning), kMbOk); }

bool AskWarning(ISystem& sys, const std::string& text) {
    return sys.ShowMessageBox(text, LangText(kMsgWarning), kMbYesNo) == kIdYes;
}

void AcquireShutdownPrivilege(ISystem& sys) {
    AcquireShutdownPrivilege(sys, LangText(kMsgNoShutdownPrivilege), LangText(kMsgError));
}

}  // namespace kv
