// The language file a translator starts from, made from the program's own
// English texts.
#pragma once

#include <string>

namespace kv {

// A complete language file in code page 1252 with CR LF line ends: a head
// that explains the format, the code-page and version lines, every entry
// from 0 to the last with its English text after a comment that names it,
// and the translator's line. Loaded, it reads as the built-in English.
// Throws std::runtime_error, naming the entry, when a text cannot be
// written in code page 1252 or cannot be a line of the file.
std::string EnglishLngFile();

}  // namespace kv
