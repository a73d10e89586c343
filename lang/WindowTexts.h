// Window texts from the language table. Each control, menu and window
// names the entries of its texts where it is made (`ui::Control::Entry`);
// these functions give every such text its entry's text.
#pragma once

#include "ui/Form.h"

namespace kv {

// Every text of a dialog that names an entry, as LangText shows it.
void ApplyWindowTexts(ui::Form& window);

// The main window keeps its built-in texts, which a language file replaces
// entry by entry: CaptureDefaultTexts keeps them once, before any file is
// loaded; ApplyMainWindowTexts gives each text the file's entry, or the
// built-in text where the file in force does not hold it.
void CaptureDefaultTexts(ui::Form& mainWindow);
void ApplyMainWindowTexts(ui::Form& mainWindow);

}  // namespace kv
