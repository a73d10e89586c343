// The About box, the opening of the help file, and the "Wait..." window that
// stands on screen while the report is made.
#pragma once

#include <string>

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

class TForm2 : public ui::Form {
public:
    explicit TForm2(Platform& platform);

    void FormCreate();
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
class TForm6 : public ui::Form {
public:
    TForm6();
};

}  // namespace kv
