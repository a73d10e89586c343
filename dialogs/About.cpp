#include "dialogs/About.h"

#include "lang/Lang.h"
#include "platform/Launch.h"
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
    if (LanguageInForce().Loaded()) {
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

TForm2::TForm2(Platform& platform) : Dialog("TForm2", kTxtAboutCaption, 232, 144), platform_(platform) {
    using ui::Align;
    minimizeBox = true;
    Label1.align = Align::Center;
    Label1.bold = true;
    lbVer.align = Align::Center;
    Label3.align = Align::Right;
    Label4.link = true;
    Label4.hint = MailLink();
    for (ui::Control* page : {&Label5, &Label2, &Label6}) {
        page->align = Align::Center;
        page->link = true;
        page->showAccel = false;
    }
    Label6.hint = kProjectPage;
    Create({{Label4, [this] { Label4Click(); }},
            {Label5, [this] { Label5Click(); }},
            {Label2, [this] { Label2Click(); }},
            {Label6, [this] { Label6Click(); }},
            {Button1, [this] { Button1Click(); }}});
}

void TForm2::FormCreate() {
    lbVer.text = LangText(kTxtVersion, {kVersionText});
    std::string helpPath = HelpFilePath(platform_);
    ui::Control& own = Label2;
    own.text = helpPath.substr(helpPath.find_last_of('\\') + 1);
    // Without a help of the language in force both links would open the
    // same page: one is shown, and the box is shorter by its line.
    if (helpPath == InstallFile(platform_.registry, kEnglishHelpFile)) {
        own.visible = false;
        Label6.rect.y -= 16;
        Button1.rect.y -= 16;
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

TForm6::TForm6() : Dialog("TForm6", kTxtWait, 140, 2) {
    borderButtons = false;
    Create({});
}

}  // namespace kv
