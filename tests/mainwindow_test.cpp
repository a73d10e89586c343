#include <gtest/gtest.h>

#include "TestMachine.h"
#include "app/KVMAIN.h"
#include "maintenance/WriteSteps.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::TestMachine;

int Ended(const std::function<void()>& f) {
    try {
        f();
    } catch (const ProgramEnded& e) {
        return e.exitCode;
    }
    return -1;
}

TEST(Startup, FillsCaptionAndAdapterInfoFromTheDriverAndAtiPci) {
    TestMachine m;
    TForm1 form(m.platform);
    form.FormCreate();
    EXPECT_EQ(form.caption, "Kelvane 0.9.9.6");
    EXPECT_EQ(form["lbChip"].text, "RADEON 9800 PRO");
    EXPECT_EQ(form["lbDRVver"].text, "6.14.10.6444 ");
    EXPECT_EQ(form["lbVendorID"].text, "1002");
    EXPECT_EQ(form["lbDevID"].text, "4E48");
    EXPECT_EQ(form["lbSSID1"].text, "0002");
    EXPECT_EQ(form["lbSSID2"].text, "1002");
    EXPECT_EQ(form["lbRev"].text, "00");
    EXPECT_EQ(form["lbCardType"].text, "Radeon 9800 Pro 128MB, ATI Technologies Inc");
    EXPECT_EQ(form["lbClassID"].text, "{4D36E968-E325-11CE-BFC1-08002BE10318}");
    EXPECT_EQ(form.adapter.DeviceKey, test::kDeviceKey);
    EXPECT_EQ(form.adapter.DDHALKey, std::string(test::kDeviceKey) + "\\ddhal");
    EXPECT_EQ(form.adapter.WinVer, "5.1.2600");
    EXPECT_TRUE(form.Shown(form["lbChip"]));
    EXPECT_FALSE(form.Shown(form["gbAdvanced"]));
    EXPECT_TRUE(m.system.shown.empty());
}

TEST(Startup, ARunRecordsTheFolderItLivesInWhereverItWasStartedFrom) {
    TestMachine m;
    // A start-up script's first start comes from the system's folder.
    m.system.currentDirectory = "C:\\WINDOWS\\system32";
    TForm1(m.platform).FormCreate();
    EXPECT_EQ(GetInstallDir(m.registry), "C:\\Kelvane");
    unsigned long changes = m.registry.ChangeCount();
    TForm1(m.platform).FormCreate();
    EXPECT_EQ(m.registry.ChangeCount(), changes) << "recorded once";

    // The one-shot start after a restart begins elsewhere.
    m.system.currentDirectory = "C:\\WINDOWS\\system32";
    TForm1 again(m.platform);
    again.FormCreate();
    EXPECT_EQ(GetInstallDir(m.registry), "C:\\Kelvane");
    EXPECT_EQ(again["lbCardType"].text, "Radeon 9800 Pro 128MB, ATI Technologies Inc");
}

TEST(Startup, MissingAtiPciEndsTheProgramWithItsMessage) {
    TestMachine m;
    m.system.files.clear();
    TForm1 form(m.platform);
    EXPECT_EQ(Ended([&] { form.FormCreate(); }), 0);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text, "Can't open ati.pci\n\nKelvane looked for it in the folder C:\\Kelvane.");
    EXPECT_EQ(m.system.shown[0].caption, "Error");

    // After a restart the check must run all the same: the message waits
    // for its answer.
    m.system.shown.clear();
    m.AwaitCheck();
    m.system.commandLine = test::kCheckCommand;
    TForm1 check(m.platform);
    check.FormCreate();
    check.FormPaint();
    EXPECT_TRUE(m.system.shown.empty());
    ASSERT_TRUE(check.modeCheck);
    (*check.modeCheck)["bOK"].UserClick();
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text.substr(0, 18), "Can't open ati.pci");
}

TEST(Startup, WithoutADisplayDeviceTheProgramSaysSoAndEnds) {
    TestMachine m;
    test::NoDisplay none;
    Platform p{m.registry, none, m.system};
    TForm1 form(p);
    EXPECT_EQ(Ended([&] { form.FormCreate(); }), 0);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].caption, "Error");
    EXPECT_NE(m.system.shown[0].text.find("No display adapter"), std::string::npos);
}

TEST(Startup, Windows9xWarningOkEndsAndCancelGoesOn) {
    TestMachine m;
    m.system.version = 0xC0000A04;
    m.system.answers = {kIdOk};
    TForm1 first(m.platform);
    EXPECT_EQ(Ended([&] { first.FormCreate(); }), 1);
    EXPECT_EQ(m.system.shown[0].text, "This program may not work correctly under Windows 9x/ME");
    EXPECT_EQ(m.system.shown[0].caption, "Warning");
    EXPECT_EQ(m.system.shown[0].buttons, kMbOkCancel);

    m.system.answers = {kIdCancel};
    TForm1 second(m.platform);
    second.FormCreate();
    EXPECT_EQ(second.adapter.WinVer, "4.10");
    EXPECT_EQ(second.caption, "Kelvane 0.9.9.6");
}

TEST(Startup, NewerNtSystemsGetNoWarning) {
    TestMachine m;
    m.system.version = 0x1DB10106;  // 6.1.7601
    TForm1 form(m.platform);
    form.FormCreate();
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_EQ(form.adapter.WinVer, "6.1.7601");
}

TEST(FirstPaint, AnOrdinaryStartExportsTheDriversKeysToBackupAndFirstRunOnce) {
    TestMachine m;
    TForm1 form(m.platform);
    form.FormCreate();
    form.FormPaint();
    form.FormPaint();
    // On Windows XP the desktop options lie outside the device key: a branch
    // of their own in each snapshot.
    ASSERT_EQ(m.system.launches.size(), 4u);
    EXPECT_EQ(m.system.launches[1].parameters,
              "/e \"C:\\Kelvane\\backup.dat.new2\" \"HKEY_LOCAL_MACHINE\\SOFTWARE\\ATI "
              "Technologies\\Desktop\\{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}\"");
    EXPECT_EQ(m.system.launches[2].parameters,
              "/e \"C:\\Kelvane\\firstrun.dat.new\" HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\ati2mtag\\Device0");
    // Nothing harmful on this machine: the issues dialog is never seen, but
    // the version is stamped.
    EXPECT_TRUE(form.dialogs.empty());
    std::string version;
    ReadTextValue(m.registry, kProductSettingsKey, "Version", version);
    EXPECT_EQ(version, "0.9.9.6");
    EXPECT_EQ(m.system.launches[0].file, "regedit.exe");
    EXPECT_EQ(m.system.launches[0].parameters,
              "/e \"C:\\Kelvane\\backup.dat.new\" HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\ati2mtag\\Device0");
    EXPECT_EQ(m.system.launches[0].directory, ".");
    EXPECT_TRUE(m.system.waits.empty()) << "the export runs beside the window";
    EXPECT_FALSE(form.state.CheckMode);
    // It takes the old file's place only once it is finished and whole.
    EXPECT_TRUE(FinishSnapshot(m.platform, form.snapshots.backup));
    EXPECT_FALSE(m.system.HasFile("C:\\Kelvane\\backup.dat.new") || m.system.HasFile("C:\\Kelvane\\backup.dat.new2"));
    std::optional<std::string> backup = m.system.ReadFile("C:\\Kelvane\\backup.dat");
    ASSERT_TRUE(backup);
    EXPECT_EQ(backup->substr(0, 2), "\xFF\xFE") << "regedit's UTF-16 export";
    // One file the registry editor imports whole: both branches, as they are.
    RegistryImage imported;
    ASSERT_TRUE(ImportRegFile(imported, *backup));
    EXPECT_TRUE(imported.Find(test::kDeviceKey, "PruningMode"));
    EXPECT_TRUE(imported.Find(form.adapter.DesktopKey, "OpenGL"));
    EXPECT_EQ(imported.SubKeyNames("SOFTWARE\\ATI Technologies").size(), 1u) << "only the desktop options' key";
    EXPECT_TRUE(form.FindMenuItem("Language1") != nullptr);
}

TEST(FirstPaint, ACheckStartInAnyCaseMakesNoBackupAndLocksTheLanguage) {
    TestMachine m;
    m.AwaitCheck();
    m.system.commandLine = "C:\\Kelvane\\Kelvane.exe /check /detached";
    TForm1 form(m.platform);
    form.FormCreate();
    form.FormPaint();
    EXPECT_TRUE(form.state.CheckMode);
    EXPECT_TRUE(m.system.launches.empty());
    EXPECT_FALSE(m.system.HasFile("C:\\Kelvane\\backup.dat"));
    EXPECT_FALSE(form.FindMenuItem("Language1")->enabled);
}

TEST(Tabs, EachTabShowsItsOwnPage) {
    TestMachine m;
    TForm1 form(m.platform);
    form.FormCreate();
    auto shownPages = [&] {
        std::string s;
        for (const char* p : {"gbAdInfo", "gbAdvanced", "gbDriver"})
            if (form[p].visible) s += p;
        return s;
    };
    form["tcMainTabs"].itemIndex = 2;
    form.tcMainTabsChange();
    EXPECT_EQ(shownPages(), "gbDriver");
    form["tcMainTabs"].itemIndex = 1;
    form.tcMainTabsChange();
    EXPECT_EQ(shownPages(), "gbAdvanced");
    form["tcMainTabs"].itemIndex = 7;
    form.tcMainTabsChange();
    EXPECT_EQ(shownPages(), "gbAdvanced") << "an unknown tab changes nothing";
    form["tcMainTabs"].itemIndex = 0;
    form.tcMainTabsChange();
    EXPECT_EQ(shownPages(), "gbAdInfo");
}

TEST(Commands, AnAbortedCommandShowsItsMessageAndTheProgramGoesOn) {
    TestMachine m;
    TForm1 form(m.platform);
    form.RunCommand([] { throw CommandAborted("Failed to set data for 'X'"); });
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text, "Failed to set data for 'X'");
    EXPECT_EQ(m.system.shown[0].caption, "Kelvane");
}

}  // namespace
}  // namespace kv
