// The language dialog.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lang/Dialog.h"
#include "lang/Entries.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

// The language dialog: the built-in English and every usable language file
// of the installation directory.
class TForm3 : public Dialog {
public:
    ui::Control& Label1 = Add(Kind::Label, "Label1", "", {8, 8, 234, 16}).Entry(kTxtSelectLanguageLabel);
    ui::Control& lbLang = Add(Kind::ListBox, "lbLang", "", {8, 26, 234, 124});
    ui::Control& bOK = Add(Kind::Button, "bOK", "", {42, 158, 75, 25}).Entry(kTxtOk);
    ui::Control& bCancel = Add(Kind::Button, "bCancel", "", {133, 158, 75, 25}).Entry(kTxtCancel);

    // `reload` loads the language just written to the settings and
    // re-captions the main window.
    TForm3(Platform& platform, std::function<void()> reload);

    void FormCreate() override;
    void bOKClick();
    void bCancelClick();
    void lbLangClick();

    // The files of the list lines from line 1 on.
    std::vector<std::string> LangFileList;

private:
    Platform& platform_;
    std::function<void()> reload_;
};

inline constexpr const char* kBuiltInLanguageLine = "English [Kelvane project]";

}  // namespace kv
