// The message boxes every part of the program shows, captioned "Error" or
// "Warning" in the language in force.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace kv {

void ShowError(ISystem& sys, const std::string& text);
void ShowWarning(ISystem& sys, const std::string& text);
// A Yes/No question; true on Yes.
bool AskWarning(ISystem& sys, const std::string& text);

}  // namespace kv
