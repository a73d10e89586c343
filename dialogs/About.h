// The About box, the opening of the help file, and the "Wait..." window that
// stands on screen while the report is made.
#pragma once

#include <string>

#include "lang/Dialog.h"
#include "lang/Entries.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace kv {

inline constexpr const char* kEnglishHelpFile = "KelvaneEn.chm";

// The help file for the language in force, as a full path in the
// installation directory. A language file names its help in entry 0; that
// name is taken only when it is a plain ".chm" file name (no folder) and the
// file is there, else the English help.
std::string HelpFilePath(Platform& p);

// Starts the help viewer on that file, shown normally.
void OpenHelp(Platform& p);

class TForm2 : public Dialog {
public:
    ui::Control& Image1 = Add(Kind::Picture, "Image1", "", {8, 8, 32, 32});
    ui::Control& Label1 = Add(Kind::Label, "Label1", "", {44, 8, 180, 16}, "Kelvane");
    ui::Control& lbVer = Add(Kind::Label, "lbVer", "", {44, 26, 180, 14});
    // The licence holder, as the licence names it, in no language but its
    // own; the name is the e-mail link.
    ui::Control& Label3 = Add(Kind::Label, "Label3", "", {50, 42, 38, 14}, "\u00A9 2026");
    ui::Control& Label4 = Add(Kind::Label, "Label4", "", {92, 42, 132, 14}, "the Kelvane developers");
    // The program's pages are the start page of its help, in English and in
    // the language in force.
    ui::Control& Label5 =
        Add(Kind::Label, "Label5", "", {8, 62, 216, 14}, kEnglishHelpFile).HintEntry(kHintEnglishPage);
    ui::Control& Label2 = Add(Kind::Label, "Label2", "", {8, 78, 216, 14}).HintEntry(kHintOwnPage);
    ui::Control& Label6 = Add(Kind::Label, "Label6", "", {8, 96, 216, 14}).Entry(kTxtReportProblem);
    ui::Control& Button1 = Add(Kind::Button, "Button1", "", {78, 116, 75, 23}).Entry(kTxtAboutOk);

    explicit TForm2(Platform& platform);

    void FormCreate() override;
    void Label4Click();
    void Label2Click();
    void Label5Click();
    void Label6Click();
    void Button1Click();

    // The e-mail link: a new message about this version, to whatever
    // address the user gives it.
    static std::string MailLink();

private:
    void OpenLink(const std::string& link);

    Platform& platform_;
};

// No border buttons: the report takes it away when it is done.
class TForm6 : public Dialog {
public:
    TForm6();
};

}  // namespace kv
