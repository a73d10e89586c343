// Conversions between the UTF-8 the program works in and the UTF-16 that
// Windows and its registry files use.
#pragma once

#include <string>

namespace kv {

// Never fails: a byte that does not start a well-formed UTF-8 sequence
// becomes U+FFFD on its own, so broken input still converts and the rest of
// the text survives. Zero bytes convert to zero units.
std::u16string Utf8ToUtf16(const std::string& text);

// Never fails: a surrogate without its partner becomes U+FFFD, as Windows
// does when it converts to UTF-8.
std::string Utf16ToUtf8(const std::u16string& text);

// Texts in one of the Windows code pages for Western European (1252, and
// its OEM page 850) and Cyrillic (1251, and 866) languages, as the simulated
// machine reads and writes them; a code page it does not know is 1252.
// Windows itself converts with its own tables. A character the code page
// lacks is written as "?".
std::string DecodeWindowsCodePage(const std::string& bytes, unsigned codePage);
std::string EncodeWindowsCodePage(const std::string& text, unsigned codePage);

// Registry and file names compare as Windows compares them: ASCII letters
// without regard to case, every other byte as it is.
bool SameNoCase(const std::string& a, const std::string& b);
// A registry key is a branch's top key or lies below it, compared so.
bool InBranch(const std::string& key, const std::string& branch);

// True when every byte belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8(const std::string& text);

}  // namespace kv
