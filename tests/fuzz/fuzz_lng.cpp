// Language files: the input is a ".lng" file beside the program (up to its
// first zero byte; what follows, if anything, is a second one). The file is
// parsed on its own, then named in the settings and loaded by the main
// window's start-up, listed by the language dialog and chosen there, and the
// texts it gives are shown by the windows that take them: About, Help and the
// list of extra resolutions.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzMachine.h"
#include "lang/Lang.h"
#include "lang/LangDialog.h"
#include "lang/LngFile.h"
#include "platform/Settings.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t zero = input.find('\0');
    std::string first = input.substr(0, zero);
    std::string second = zero == std::string::npos ? std::string() : input.substr(zero + 1);

    fuzz::Machine m;
    LngFile parsed = ParseLngFile(m.system, first);
    if (parsed.entries.size() > kLangEntryCount) fuzz::Fault("more entries than the table holds");
    if (parsed.entries.size() + 1 > std::max<std::size_t>(parsed.countedLines, 1))
        fuzz::Fault("more entries than counted lines");

    m.system.WriteFile(std::string(fuzz::kInstallDir) + "\\Fuzz.lng", first);
    if (zero != std::string::npos) m.system.WriteFile(std::string(fuzz::kInstallDir) + "\\Zweite.lng", second);
    m.registry.SetString(kProductSettingsKey, "LangFileName", "Fuzz.lng");

    TForm1 form(m.platform);
    if (!fuzz::StartMainWindow(form)) return 0;
    fuzz::CheckNoUnexpectedError(m.system);
    for (int entry = 0; entry < static_cast<int>(kLangEntryCount); ++entry) (void)LangText(entry);

    // Every line of the language dialog, chosen in turn; each choice
    // re-captions the main window at once.
    for (int line = 1; line <= 2; ++line) {
        if (!fuzz::Command(form, [&] { form.bLangClick(); })) return 0;
        ui::Form* dialog = nullptr;
        for (auto& d : form.dialogs)
            if (d->name == "TForm3" && !d->closed) dialog = d.get();
        if (!dialog) break;
        ui::Control& list = (*dialog)["lbLang"];
        if (line >= static_cast<int>(list.items.size())) {
            dialog->closed = true;
            break;
        }
        list.itemIndex = line;
        if (!fuzz::Command(form, [&] { list.UserClick(); })) return 0;
        fuzz::CheckNoUnexpectedError(m.system);
    }

    for (auto command : {&TForm1::AboutClick, &TForm1::HelpClick, &TForm1::bResClick})
        if (!fuzz::Command(form, [&] { (form.*command)(); })) return 0;
    fuzz::CheckNoUnexpectedError(m.system);
    return 0;
}
