// The language dialog: English, or one of the language files beside the
// program.
#include "lang/LangDialog.h"

#include "lang/Lang.h"
#include "lang/LngFile.h"

#include "platform/RegValues.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace kv {

TForm3::TForm3(Platform& platform, std::function<void()> reload)
    : Dialog("TForm3", kTxtSelectLanguageCaption, 250, 190), platform_(platform), reload_(std::move(reload)) {
    lbLang.showAccel = false;
    Create({{lbLang, [this] { lbLangClick(); }},
            {bOK, [this] { bOKClick(); }},
            {bCancel, [this] { bCancelClick(); }}});
}

void TForm3::FormCreate() {
    ui::Control& list = lbLang;
    list.items = {kBuiltInLanguageLine};
    list.itemIndex = 0;
    LangFileList.clear();
    const Language& language = LanguageInForce();
    // The same folder the language is loaded from, wherever the program
    // was started from.
    for (const std::string& name : platform_.system.FindFiles(InstallFile(platform_.registry, "*.lng"))) {
        std::optional<std::string> bytes = platform_.system.ReadFile(InstallFile(platform_.registry, name));
        if (!bytes) continue;  // held open by another program: not offered
        LngFile file = ParseLngFile(platform_.system, *bytes);
        if (!file.versionMatches) continue;
        // A file too short to name its language shows its file name.
        std::string line = file.entries.size() >= 2 ? file.entries[1] : name;
        if (file.countedLines >= 4) line += " [" + file.translator + "]";
        list.items.push_back(line);
        LangFileList.push_back(name);
        if (language.Loaded() && SameNoCase(name, language.FileName()))
            list.itemIndex = static_cast<int>(list.items.size()) - 1;
    }
}

void TForm3::bOKClick() {
    int line = lbLang.itemIndex;
    std::string name;
    if (line >= 1 && static_cast<std::size_t>(line) <= LangFileList.size())
        name = LangFileList[static_cast<std::size_t>(line) - 1];
    WriteTextValue(platform_.registry, kProductSettingsKey, kLangFileNameValue, name);
    if (reload_) reload_();
    closed = true;
}

void TForm3::bCancelClick() { closed = true; }

void TForm3::lbLangClick() { bOKClick(); }

}  // namespace kv
