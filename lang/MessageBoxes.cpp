#include "lang/MessageBoxes.h"

#include "lang/Lang.h"

namespace kv {

void ShowError(ISystem& sys, const std::string& text) { sys.ShowMessageBox(text, LangText(kMsgError), kMbOk); }

void ShowWarning(ISystem& sys, const std::string& text) { sys.ShowMessageBox(text, LangText(kMsgWarning), kMbOk); }

bool AskWarning(ISystem& sys, const std::string& text) {
    return sys.ShowMessageBox(text, LangText(kMsgWarning), kMbYesNo) == kIdYes;
}

}  // namespace kv
