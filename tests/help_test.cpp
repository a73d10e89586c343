// Help and About on the simulated machine: which help file Help and
// Help > Contents... open, the About box's version, its links and its page
// link to a language's own help.
#include <gtest/gtest.h>

#include "MainWindowTest.h"
#include "dialogs/About.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {
namespace {

class HelpTest : public test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Start();
    }
    void UseLanguage(const std::string& entry0) {
        std::string lng = "Version = 0.9.9.6\r\n" + entry0 + "\r\nDeutsch\r\nTranslator\r\n";
        m.system.WriteFile("C:\\Kelvane\\Test.lng", lng);
        WriteTextValue(m.registry, kProductSettingsKey, "LangFileName", "Test.lng");
        Start();
    }
    const SimSystem::Launch& LastLaunch() { return m.system.launches.back(); }
};

TEST_F(HelpTest, HelpOpensTheLanguagesHelpOnlyWhenItIsAPlainNameOfAFileThere) {
    Click("Help");
    EXPECT_EQ(LastLaunch().file, "hh.exe");
    EXPECT_EQ(LastLaunch().parameters, "\"C:\\Kelvane\\KelvaneEn.chm\"");
    EXPECT_EQ(LastLaunch().show, kShowNormal);

    m.system.WriteFile("C:\\Kelvane\\KelvaneDe.chm", "ITSF");
    UseLanguage("KelvaneDe.chm");
    form->RunCommand([&] { form->FindMenuItem("Contens1")->onClick(); });
    EXPECT_EQ(LastLaunch().parameters, "\"C:\\Kelvane\\KelvaneDe.chm\"");
    UseLanguage("KELVANEDE.CHM");
    Click("Help");
    EXPECT_EQ(LastLaunch().parameters, "\"C:\\Kelvane\\KELVANEDE.CHM\"") << "Windows' names ignore case";

    // Only a plain name of a .chm file that is there; ".chm" alone is no name.
    m.system.WriteFile("C:\\Kelvane\\.chm", "ITSF");
    for (const char* odd : {"KelvaneRu.chm", "..\\KelvaneDe.chm", "C:\\Kelvane\\KelvaneDe.chm", "Test.lng",
                            "Kelvane\"De.chm", "*.chm", ".chm", ""}) {
        UseLanguage(odd);
        Click("Help");
        EXPECT_EQ(LastLaunch().parameters, "\"C:\\Kelvane\\KelvaneEn.chm\"") << odd;
    }

    m.registry.SetString(kProductSettingsKey, "InstallDir", "C:\\Program Files\\Kelvane");
    Click("Help");
    EXPECT_EQ(LastLaunch().parameters, "\"C:\\Program Files\\Kelvane\\KelvaneEn.chm\"");
}

TEST_F(HelpTest, AboutShowsTheVersionAndItsLinksOpenShownNormally) {
    form->RunCommand([&] { form->FindMenuItem("About1")->onClick(); });
    ui::Form& about = *form->dialogs.back();
    ASSERT_EQ(about.name, "TForm2");
    EXPECT_EQ(about.caption, "About Kelvane");
    EXPECT_EQ(about["lbVer"].text, "Version 0.9.9.6");
    EXPECT_EQ(about["Label3"].text + " " + about["Label4"].text, "\u00A9 2026 the Kelvane developers");

    about["Label4"].UserClick();
    EXPECT_EQ(LastLaunch().file, "mailto:?subject=Kelvane%200.9.9.6");
    EXPECT_EQ(LastLaunch().show, kShowNormal);
    about["Label5"].UserClick();
    EXPECT_EQ(LastLaunch().file, "C:\\Kelvane\\KelvaneEn.chm");
    EXPECT_EQ(LastLaunch().show, kShowNormal);
    EXPECT_FALSE(about["Label2"].visible) << "English has one help, so one page link";

    // A second About brings the open one forward.
    std::size_t open = form->dialogs.size();
    Click("About");
    EXPECT_EQ(form->dialogs.size(), open);
    EXPECT_TRUE(about.bringToFront);
    about["Button1"].UserClick();
    EXPECT_TRUE(about.closed);
    Click("About");
    EXPECT_EQ(form->dialogs.size(), open + 1);

    const int englishHeight = about.clientHeight;
    // With a language whose help is there, the first page link opens it.
    m.system.WriteFile("C:\\Kelvane\\KelvaneDe.chm", "ITSF");
    UseLanguage("KelvaneDe.chm");
    Click("About");
    ui::Form& german = *form->dialogs.back();
    EXPECT_EQ(german["Label2"].text, "KelvaneDe.chm");
    EXPECT_TRUE(german["Label2"].visible);
    EXPECT_EQ(german.clientHeight, englishHeight + 16);
    EXPECT_EQ(german["lbVer"].text, "Version 0.9.9.6");
    german["Label2"].UserClick();
    EXPECT_EQ(LastLaunch().file, "C:\\Kelvane\\KelvaneDe.chm");
}

}  // namespace
}  // namespace kv
