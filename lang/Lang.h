// Language files: plain text files that replace the program's English
// captions, hints, menu texts and messages, line by line. Texts are found by
// number ("language entry" N, named in Entries.h); every part of the
// program looks them up here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "lang/Entries.h"
#include "platform/Platform.h"

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

// Whether the file in force holds the entry.
bool EntryLoaded(int entry);

// The built-in English text of an entry; "" for entries without one.
const std::string& EnglishText(int entry);
// The text of an entry as the program shows it.
std::string LangText(int entry);
// The same with "%1", "%2", ... replaced by `values`, in one pass. A
// translation that lacks one of the English text's placeholders shows the
// English text: a message never loses its number or name.
std::string LangText(int entry, std::initializer_list<std::string> values);

// Whether the entry's text has a count, and so a form for each kind of
// number, separated by "|".
bool CountedEntry(int entry);
// Which of a counted text's `forms` a number takes. One form serves every
// number; two are the forms of 1 and of every other number (English,
// German); three those of 1, 21, 31, ...; of 2-4, 22-24, ...; and of 0,
// 5-20, 25-30, ... (Russian).
std::size_t PluralForm(std::size_t forms, unsigned long count);
// A counted entry's text in the form `count` takes, "%1" being the count
// and "%2", ... the `values`. The blank after the count does not break, so
// its unit never starts a line alone. A form that lacks one of the English
// form's placeholders shows the English form.
std::string LangCount(int entry, unsigned long count, std::initializer_list<std::string> values = {});
// The line "... in 15 seconds" of a count-down, from its sentence; a file
// of 0.9.9.6 that has no such sentence gives its words before the number
// and its unit.
std::string SecondsLeftText(int sentence, int wordsBefore, unsigned long seconds);
// The issues dialog's "Found 1 error, 2 warnings".
std::string IssuesFoundText(unsigned long errors, unsigned long warnings);

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

}  // namespace kv
