// The main window with the windows it opens: custom resolutions, the adapter
// dialog, the registry clean and uninstall, as a user reaches them.
#include <gtest/gtest.h>

#include "MainWindowTest.h"
#include "dialogs/Adapters.h"
#include "lang/Lang.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/uRegClean.h"
#include "nonstd/TNonStdResAdd.h"
#include "platform/DriverValues.h"
#include "platform/RegFile.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::kDeviceKey;

class SecondaryWindows : public test::MainWindowTest {
protected:
    // Add in the list dialog with the four fields typed, and the editor's OK.
    void AddResolution(TNonStRes& list, const std::string& w, const std::string& h, const std::string& bpp,
                       const std::string& hz) {
        list["bAdd"].UserClick();
        ASSERT_TRUE(list.editor);
        TNonStResAdd& e = *list.editor;
        e["eWidth"].text = w;
        e["eHeight"].text = h;
        e["eBpp"].text = bpp;
        e["eHz"].text = hz;
        e["bOK"].UserClick();
    }
    std::size_t Dialogs(const std::string& name) {
        std::size_t n = 0;
        for (auto& d : form->dialogs) n += d->name == name && !d->closed;
        return n;
    }
};

TEST_F(SecondaryWindows, EveryCommandOfThisWindowIsThere) {
    Start();
    for (const char* item : {"Uninstall1", "CleanRegistry1", "Adapter1", "Resolutions1"})
        EXPECT_TRUE(form->FindMenuItem(item)->enabled) << item;
    for (const char* button : {"bAdapter", "bRes"}) EXPECT_TRUE((*form)[button].enabled) << button;
    // A second command for an open window brings that window forward.
    for (const char* item : {"Resolutions1", "Adapter1", "CleanRegistry1"}) {
        Menu(item);
        std::string name = form->dialogs.back()->name;
        Menu(item);
        EXPECT_EQ(Dialogs(name), 1u) << item;
        EXPECT_TRUE(form->dialogs.back()->bringToFront) << item;
    }
}

TEST_F(SecondaryWindows, AListWrittenMakesOkOfferTheRestartAndRestoreUndoesIt) {
    Start();
    Menu("Resolutions1");
    TNonStRes& list = *Open<TNonStRes>("TNonStRes");
    AddResolution(list, "1280", "1024", "any", "Any");
    AddResolution(list, "1152", "648", "Any", "75");
    list["bOK"].UserClick();
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALNonStandardModesBCD")->data,
              test::Join({test::Rec(1280, 1024, 0, 0), test::Rec(1152, 648, 0, 75)}));

    // Nothing else changed, yet OK offers the restart the driver needs.
    m.system.answers = {kIdNo};
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(m.system.shown.back().text, LangText(23));
    // The run's one snapshot is from before the list was written.
    RegistryImage before;
    ImportRegFile(before, File(kLastKnownGoodFile));
    EXPECT_FALSE(before.Find(kDeviceKey, "DALNonStandardModesBCD"));
    EXPECT_TRUE(before.Find(kDeviceKey, "Device Description"));

    Start();
    m.system.answers = {kIdNo};
    EXPECT_EQ(Click("bRestore"), 0);
    EXPECT_FALSE(m.registry.Find(kDeviceKey, "DALNonStandardModesBCD"));

    // Closed with its close box, a run that wrote the list takes it back as
    // Cancel does: no change stays without its check after the restart.
    Start();
    EXPECT_TRUE(form->onCloseQuery()) << "a run that wrote nothing just closes";
    Start();
    Menu("Resolutions1");
    AddResolution(*Open<TNonStRes>("TNonStRes"), "1280", "1024", "any", "Any");
    (*Open<TNonStRes>("TNonStRes"))["bOK"].UserClick();
    ASSERT_TRUE(m.registry.Find(kDeviceKey, "DALNonStandardModesBCD"));
    EXPECT_THROW(form->onCloseQuery(), ProgramEnded);
    EXPECT_FALSE(m.registry.Find(kDeviceKey, "DALNonStandardModesBCD"));
}

TEST_F(SecondaryWindows, TheAdapterDialogRebuildsTheWindowInPlace) {
    m.registry.SetString(kProductSettingsKey, "LangFileName", "German.lng");
    m.system.WriteFile(std::string(test::kInstallDir) + "\\German.lng", test::SourceFile("lang/German.lng"));
    m.registry.SetString(std::string(kDeviceKey) + "\\ddhal", "AnisoDegree", "64");
    Start();
    std::size_t controls = form->controls.size();
    std::vector<std::string> rates = (*form)["ComboBox1"].items;
    std::string german = (*form)["OK"].text;
    EXPECT_TRUE((*form)["cbAnisoD3D"].Checked());
    EXPECT_TRUE((*form)["bAuto"].enabled);

    // Changed behind the window's back, then the monitor ignored.
    m.registry.DeleteValue(std::string(kDeviceKey) + "\\ddhal", "AnisoDegree");
    m.registry.SetDword(kDeviceKey, "DisableTiling", 1);
    Menu("Adapter1");
    TForm4& d = *Open<TForm4>("TForm4");
    d["cbIgnoreMC"].UserClick();
    d["bOK"].UserClick();

    EXPECT_EQ(form->controls.size(), controls);
    EXPECT_EQ((*form)["ComboBox1"].items.size(), rates.size() + 0) << "no rate twice";
    EXPECT_EQ(form->caption, "Kelvane 0.9.9.6");
    EXPECT_FALSE((*form)["cbAnisoD3D"].Checked());
    EXPECT_FALSE((*form)["cbAnisoDegree"].enabled);
    EXPECT_EQ((*form)["tcbTilling"].state, ui::CheckState::Unchecked);  // "Disable" 1: the option off
    EXPECT_FALSE((*form)["bAuto"].enabled);  // no Autoconfig without the monitor's word
    EXPECT_EQ((*form)["OK"].text, german);
    EXPECT_EQ(form->adapter.DeviceKey, kDeviceKey);

    // The change needs a restart, which OK offers.
    m.system.answers = {kIdNo};
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(m.system.shown.back().text, LangText(23));
}

TEST_F(SecondaryWindows, TheAdapterDialogAsksBeforeDroppingUnsavedChanges) {
    Start();
    SetRate("640x480", "85");
    Menu("Adapter1");
    TForm4& d = *Open<TForm4>("TForm4");
    m.system.answers = {kIdNo};
    d["bOK"].UserClick();
    EXPECT_FALSE(d.closed);
    EXPECT_EQ(m.system.shown.back().caption, "Warning");
    // The typed rate is still there for OK to save.
    m.system.answers = {kIdYes};
    d["bOK"].UserClick();
    EXPECT_TRUE(d.closed);
    bool shows85 = false;
    for (int k = 1; k <= 15; ++k) shows85 |= (*form)["ComboBox" + std::to_string(k)].text == "85";
    EXPECT_FALSE(shows85) << "the stored rates are shown again";

    // An option box changed and not saved is asked about too, whether or
    // not it needs a restart.
    for (const char* box : {"tcbOpenGL", "cbAnisoD3D"}) {
        Start();
        (*form)[box].UserClick();
        Menu("Adapter1");
        m.system.answers = {kIdNo};
        auto asked = m.system.shown.size();
        TForm4* dialog = Open<TForm4>("TForm4");
        ASSERT_TRUE(dialog);
        (*dialog)["bOK"].UserClick();
        EXPECT_EQ(m.system.shown.size(), asked + 1) << box;
        EXPECT_FALSE(dialog->closed) << box;
    }
}

TEST_F(SecondaryWindows, TheListIsNotOpenedAfterAStartUpThatStoppedHalfWay) {
    Start();
    form->state.StartupComplete = false;  // as a start-up a command aborted leaves it
    Menu("Resolutions1");
    EXPECT_EQ(Dialogs("TNonStRes"), 0u);
    EXPECT_EQ(m.system.shown.back().text, EnglishText(kMsgStartupIncomplete));
}

TEST_F(SecondaryWindows, NothingOpensOrWritesBeforeTheCheckIsAnswered) {
    m.AwaitCheck();
    m.system.commandLine = test::kCheckCommand;
    Start();
    auto changes = m.registry.ChangeCount();
    std::size_t windows = form->dialogs.size();
    for (const char* item : {"Resolutions1", "Adapter1", "CleanRegistry1", "Uninstall1"}) EXPECT_EQ(Menu(item), -1);
    EXPECT_EQ(form->dialogs.size(), windows);
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_TRUE(form->modeCheck->bringToFront);
}

TEST_F(SecondaryWindows, ACleanThatDeletedEndsTheProgramWithoutCancelsImport) {
    Start();
    ScheduleModeCheck(m.platform, form->snapshots);
    Menu("CleanRegistry1");
    TFRegClean& clean = *Open<TFRegClean>("TFRegClean");
    std::size_t imports = 0;
    int code = -1;
    try {
        clean["bOK"].UserClick();
    } catch (const ProgramEnded& e) {
        code = e.exitCode;
    }
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(m.registry.KeyExists(kDeviceKey));
    EXPECT_FALSE(m.registry.Find(kRunOnceKey, kRunOnceValue));
    for (const auto& l : m.system.launches) imports += l.parameters.rfind("/s", 0) == 0;
    EXPECT_EQ(imports, 0u);
}

TEST_F(SecondaryWindows, UninstallFromTheMenuPutsBackTheStartsCopy) {
    Start();
    m.registry.SetDword(kDeviceKey, kPruningModeValue, 0);
    m.system.answers = {kIdYes};
    EXPECT_EQ(Menu("Uninstall1"), 0);
    EXPECT_EQ(m.registry.Find(kDeviceKey, kPruningModeValue)->data[0], 1);
    EXPECT_FALSE(m.registry.KeyExists(kProductSettingsKey));
}

}  // namespace
}  // namespace kv
