// Language files: plain text files that replace the program's English
// captions, hints, menu texts and messages, line by line. Texts are found by
// number ("language entry" N, named in Entries.h); every part of the
// program looks them up here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "lang/Entries.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

// Room for the entries of this version and those to come; lines of a file
// beyond it are ignored.
inline constexpr std::size_t kLangEntryCount = 400;
// The entries this version uses. Files of 0.9.9.6 hold 0 to 126, then the
// translator's name as line 127; the entries added since start at 128, and a
// file's last counted line, its translator's name, is never an entry.
inline constexpr int kLastLangEntry = kLangEntryEnd - 1;
static_assert(kLangEntryEnd <= static_cast<int>(kLangEntryCount));
inline constexpr const char* kLangVersion = "0.9.9.6";

using LangTable = std::array<std::string, kLangEntryCount>;

// Program-wide language state, as UTF-8.
// The texts of the files loaded; a later file writes over the entries it has.
extern LangTable LangTexts;
// The main window's built-in texts, kept at the first start-up.
extern LangTable DefaultTexts;
// 1 while a language file is in force.
extern std::uint16_t LangLoaded;
// How many entries the file in force holds: an entry beyond it shows its
// English text, never an earlier file's.
extern std::size_t LangEntriesLoaded;
// The name of the file in force ("" for English), as last read from the
// settings; written back when the program ends.
extern std::string LangFileNameInForce;

// The state at program start: no file, English.
void ResetLanguage();

// The built-in English text of an entry; "" for entries without one.
const std::string& EnglishText(int entry);
// The text of an entry as the program shows it.
std::string LangText(int entry);
// The same with "%1", "%2", ... replaced by `values`, in one pass. A
// translation that lacks one of the English text's placeholders shows the
// English text: a message never loses its number or name.
std::string LangText(int entry, std::initializer_list<std::string> values);

// Where a window keeps the text of an entry.
enum class TextSlot { Caption, Text, Hint, Tab, MenuTitle, MenuItem };
struct WindowText {
    int entry;
    TextSlot slot;
    const char* control = nullptr;  // for Text, Hint and Tab
    int menu = 0;                   // for MenuTitle and MenuItem
    int index = 0;                  // the tab, or the item within its menu
};
// "a", "a and b", "a, b and c", in the language in force.
std::string Enumeration(const std::vector<std::string>& parts);

// Message boxes captioned "Error" and "Warning" in the language in force;
// AskWarning is a Yes/No question, true on Yes.
void ShowError(ISystem& sys, const std::string& text);
void ShowWarning(ISystem& sys, const std::string& text);
bool AskWarning(ISystem& sys, const std::string& text);

// Enables the shutdown privilege; each failing step says so in the
// language in force.
void AcquireShutdownPrivilege(ISystem& sys);

// Gives each item of `texts` its entry's text, as LangText shows it.
void ApplyWindowTexts(ui::Form& window, const std::vector<WindowText>& texts);

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

// The main window's translatable items (captions, hints, tab and menu
// texts, by entry). CaptureDefaultTexts keeps their built-in texts;
// ApplyMainWindowTexts gives each its text from the file in force, or the
// built-in one.
void CaptureDefaultTexts(ui::Form& mainWindow);
void ApplyMainWindowTexts(ui::Form& mainWindow);

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

// The language dialog: the built-in English and every usable language file
// of the installation directory.
class TForm3 : public ui::Form {
public:
    // `reload` loads the language just written to the settings and
    // re-captions the main window.
    TForm3(Platform& platform, std::function<void()> reload);

    void FormCreate();
    void bOKClick();
    void bCancelClick();
    void lbLangClick();

    // The files of the list lines from line 1 on.
    std::vector<std::string> LangFileList;

private:
    Platform& platform_;
    std::function<void()> reload_;
};

inline constexpr const char* kBuiltInLanguageLine = "English [Orvell]";

}  // namespace kv
