#include "lang/WindowTexts.h"

#include <cstddef>
#include <functional>
#include <string>

#include "lang/Lang.h"

namespace kv {

namespace {

using EntryText = std::function<void(int entry, std::string& text)>;

void ForEachEntryText(ui::Form& window, const EntryText& use) {
    if (window.captionEntry != ui::kNoEntry) use(window.captionEntry, window.caption);
    for (auto& c : window.controls) {
        if (c->textEntry != ui::kNoEntry) use(c->textEntry, c->text);
        if (c->hintEntry != ui::kNoEntry) use(c->hintEntry, c->hint);
        for (std::size_t i = 0; i < c->itemEntries.size() && i < c->items.size(); ++i)
            use(c->itemEntries[i], c->items[i]);
    }
    for (ui::Menu& menu : window.menus) {
        if (menu.entry != ui::kNoEntry) use(menu.entry, menu.caption);
        for (ui::MenuItem& item : menu.items)
            if (item.entry != ui::kNoEntry) use(item.entry, item.caption);
    }
}

}  // namespace

void ApplyWindowTexts(ui::Form& window) {
    ForEachEntryText(window, [](int entry, std::string& text) { text = LangText(entry); });
}

}  // namespace kv
