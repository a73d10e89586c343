// Language files: plain text files that replace the program's English
// captions, hints, menu texts and messages, line by line. Texts are found by
// number ("language entry" N, named in Entries.h); every part of the
// program looks them up here.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "lang/Entries.h"

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

// The language in force: the entries of the language file put in force,
// as UTF-8, over the built-in English. A new one, in English, is what a
// run starts with.
class Language {
public:
    // Puts a file's entries in force, at most kLangEntryCount of them: an
    // entry beyond them shows its English text, never an earlier file's.
    void PutInForce(std::string fileName, const std::vector<std::string>& entries);
    // English in force; the settings name `fileName`, a file that could
    // not be used, or "".
    void PutEnglishInForce(std::string fileName);

    // Whether a language file is in force.
    bool Loaded() const { return loaded_; }
    // The file the settings name ("" for English), whether or not it could
    // be used: written back when the program ends.
    const std::string& FileName() const { return fileName_; }
    // Whether the file in force holds the entry.
    bool EntryLoaded(int entry) const;
    // The text of an entry: the file's where it holds the entry, otherwise
    // the English text.
    const std::string& Text(int entry) const;

private:
    std::array<std::string, kLangEntryCount> texts_;
    std::size_t entriesLoaded_ = 0;
    bool loaded_ = false;
    std::string fileName_;
};

// The program's one language in force. Every text below reads it; loading
// a language file (LngFile.h) changes it.
Language& LanguageInForce();

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

}  // namespace kv
