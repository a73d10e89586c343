// Reading language files and putting one in force.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "lang/Lang.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

// A language file read with the format's rules.
struct LngFile {
    bool versionMatches = false;
    // Named by a "[codepage=N]" line; 0 for the system's ANSI code page.
    unsigned codePage = 0;
    // The counted lines after the version line, as UTF-8, at most
    // kLangEntryCount of them; lines beyond the table are ignored.
    std::vector<std::string> entries;
    // The last counted line: the translator's name.
    std::string translator;
    std::size_t countedLines = 0;
};
LngFile ParseLngFile(ISystem& system, const std::string& bytes);

enum LoadOutcome : int {
    kLangApplied = 0,
    kLangWrongVersion = 1,
    kLangNotRead = 2,
    kLangNoFile = 3,
};
// Reads "LangFileName", loads that file from the installation directory
// and re-captions the main window. A file that cannot be used gets a
// message unless `showMessages` is false; the texts are then English.
int LoadLanguage(ui::Form& mainWindow, Platform& p, bool showMessages = true);
// Writes the name of the file in force back to "LangFileName".
void StoreLangFileName(IRegistry& reg);

}  // namespace kv
