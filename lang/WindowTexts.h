// Window texts from the language table. Each control, menu and window
// names the entries of its texts where it is made (`ui::Control::Entry`);
// these functions give every such text its entry's text.
#pragma once

#include "ui/Form.h"

namespace kv {

// Every text of a window that names an entry, as LangText shows it: the
// file's text where the file in force holds the entry, otherwise its
// English text.
void ApplyWindowTexts(ui::Form& window);

}  // namespace kv
