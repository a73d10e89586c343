#include "dialogs/About.h"

#include "lang/Lang.h"
#include "platform/Misc.h"
#include "platform/Settings.h"
#include "platform/Text.h"

namespace kv {

namespace {

bool EndsWithChm(const std::string& name) {
    return name.size() > 4 && SameNoCase(name.substr(name.size() - 4), ".chm");
}

// A file name and nothing else: no folder, no drive, no wildcard, nothing
// that would break the quoted parameter.
bool PlainChmName(const std::string& name) {
    return EndsWithChm(name) && name.find_first_of("\\/:\"*?<>|") == std::string::npos;
}

}  // namespace

std::string HelpFilePath(Platform& p) {
    if (LangLoaded == 1) {
        std::string named = LangText(0);
        if (PlainChmName(named) && !p.system.FindFiles(InstallFile(p.registry, named)).empty())
            return InstallFile(p.registry, named);
    }
    return InstallFile(p.registry, kEnglishHelpFile);
}

void OpenHelp(Platform& p) {
    // Quoted: the installation folder may have a blank in its name.
    LaunchProgram(p.system, "hh.exe", "\"" + HelpFilePath(p) + "\"", GetInstallDir(p.registry), kShowNormal);
}

TForm2::TForm2(Platform& platform) : ui::Form("TForm2", "", 232, 144), platform_(platform) {
    using ui::Align;
    using ui::Kind;
    using ui::Rect;
    stayOnTop = true;
    minimizeBox = true;
    Add(Kind::Picture, "Image1", "", Rect{8, 8, 32, 32}, "");
    auto& title = Add(Kind::Label, "Label1", "", Rect{44, 8, 180, 16}, "Kelvane");
    title.align = Align::Center;
    title.bold = true;
    Add(Kind::Label, "lbVer", "", Rect{44, 26, 180, 14}, "").align = Align::Center;
    Add(Kind::Label, "Label3", "", Rect{44, 42, 84, 14}, "").align = Align::Right;
    auto& author = Add(Kind::Label, "Label4", "", Rect{132, 42, 92, 14}, "Orvell");
    author.link = true;
    author.hint = MailLink();
    author.onClick = [this] { Label4Click(); };
    // The program's pages are the start page of its help, in English and
    // in the language in force.
    auto& english = Add(Kind::Label, "Label5", "", Rect{8, 62, 216, 14}, kEnglishHelpFile);
    english.align = Align::Center;
    english.link = true;
    english.showAccel = false;
    english.onClick = [this] { Label5Click(); };
    auto& own = Add(Kind::Label, "Label2", "", Rect{8, 78, 216, 14}, "");
    own.align = Align::Center;
    own.link = true;
    own.showAccel = false;
    own.onClick = [this] { Label2Click(); };
    auto& problem = Add(Kind::Label, "Label6", "", Rect{8, 96, 216, 14}, "");
    problem.align = Align::Center;
    problem.link = true;
    problem.showAccel = false;
    problem.hint = kProjectPage;
    problem.onClick = [this] { Label6Click(); };
    Add(Kind::Button, "Button1", "", Rect{78, 116, 75, 23}, "").onClick = [this] { Button1Click(); };
    FormCreate();
}

void TForm2::FormCreate() {
    ApplyWindowTexts(*this, {{kTxtAboutCaption, TextSlot::Caption},
                             {kTxtBy, TextSlot::Text, "Label3"},
                             {kHintEnglishPage, TextSlot::Hint, "Label5"},
                             {kHintOwnPage, TextSlot::Hint, "Label2"},
                             {kTxtReportProblem, TextSlot::Text, "Label6"},
                             {kTxtAboutOk, TextSlot::Text, "Button1"}});
    (*this)["lbVer"].text = LangText(kTxtVersion, {kVersionText});
    std::string helpPath = HelpFilePath(platform_);
    ui::Control& own = (*this)["Label2"];
    own.text = helpPath.substr(helpPath.find_last_of('\\') + 1);
    // Without a help of the language in force both links would open the
    // same page: one is shown, and the box is shorter by its line.
    if (helpPath == InstallFile(platform_.registry, kEnglishHelpFile)) {
        own.visible = false;
        (*this)["Label6"].rect.y -= 16;
        (*this)["Button1"].rect.y -= 16;
        clientHeight -= 16;
    }
}

std::string TForm2::MailLink() { return std::string("mailto:?subject=Kelvane%20") + kVersionText; }

void TForm2::OpenLink(const std::string& link) {
    // The shell hands it to the mail program or the help viewer, in a
    // window the user can see.
    LaunchProgram(platform_.system, link, "", "", kShowNormal);
}

void TForm2::Label4Click() { OpenLink(MailLink()); }
void TForm2::Label2Click() { OpenLink(HelpFilePath(platform_)); }
void TForm2::Label5Click() { OpenLink(InstallFile(platform_.registry, kEnglishHelpFile)); }
void TForm2::Label6Click() { OpenLink(kProjectPage); }
void TForm2::Button1Click() { closed = true; }

TForm6::TForm6() : ui::Form("TForm6", LangText(kTxtWait), 140, 2) {
    stayOnTop = true;
    borderButtons = false;
}

}  // namespace kv
