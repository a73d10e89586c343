// The promise that a change can always be taken back, tried with faults and
// odd data: snapshots that cannot be trusted, restores that fail, a check
// left pending, an OK that fails half-way, two programs at once.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "MainWindowTest.h"
#include "lang/Lang.h"
#include "maintenance/DriverChange.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/Snapshots.h"
#include "modes/CheckModes.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::Join;
using test::kDeviceKey;
using test::Rec;

constexpr const char* kLastKnownGood = "C:\\Kelvane\\lastknowngood.dat";
constexpr const char* kBackup = "C:\\Kelvane\\backup.dat";
constexpr const char* kDesktopKey = "SOFTWARE\\ATI Technologies\\Desktop\\{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}";

bool Shows(const SimSystem& s, const std::string& part) {
    for (const auto& box : s.shown)
        if (box.text.find(part) != std::string::npos) return true;
    return false;
}

class Safety : public test::MainWindowTest {
protected:
    // One change, applied with OK and No to the restart: 640x480 at 75 Hz.
    void ApplyChange() {
        Start();
        SetRate("640x480", "75");
        ASSERT_EQ(Ok(), 0);
        ASSERT_TRUE(List());
        m.system.shown.clear();
    }
    int Cancel() { return Click("Cancel"); }
    int Restore() { return Click("bRestore"); }
};

// ---- snapshots that cannot be trusted ----

TEST_F(Safety, AnExportThatFailsKeepsTheOldSnapshotAndOkWritesNothing) {
    ApplyChange();
    std::string before = File("lastknowngood.dat");
    for (int fault = 0; fault < 3; ++fault) {
        Start();
        SetRate("1024x768", "85");
        m.system.registryEditorPresent = fault != 0;
        m.system.exportLimit = fault == 1 ? 300 : std::string::npos;  // cut off after a few values
        if (fault == 2) m.system.readOnlyFiles.insert(m.system.FullPath(kLastKnownGood));
        m.system.shown.clear();
        auto changes = m.registry.ChangeCount();
        EXPECT_EQ(Ok(), -1) << fault;
        ASSERT_EQ(m.system.shown.size(), 1u) << fault;
        EXPECT_NE(m.system.shown[0].text.find("could not make a complete snapshot"), std::string::npos);
        EXPECT_EQ(m.registry.ChangeCount(), changes) << "nothing written, fault " << fault;
        EXPECT_EQ(File("lastknowngood.dat"), before) << "the old snapshot stays, fault " << fault;
        EXPECT_FALSE(m.system.HasFile("C:\\Kelvane\\lastknowngood.dat.new"));
        m.system.exportLimit = std::string::npos;
        m.system.readOnlyFiles.clear();
    }
    // Restore still has the old snapshot and takes the change back.
    m.system.registryEditorPresent = true;
    Start();
    EXPECT_EQ(Restore(), 0);
    EXPECT_TRUE(Shows(m.system, "Registry restored from backup. Restart now?"));
    EXPECT_EQ(List(), nullptr);
}

TEST_F(Safety, ACutOffOrForeignSnapshotIsNeverImported) {
    // Restore puts back this run's lastknowngood.dat, or, while a change
    // awaits its check, the file kept from before it.
    for (bool pending : {false, true}) {
        m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 43));
        m.Boot();
        ApplyChange();
        if (!pending) CancelModeCheck(m.platform);  // the check was answered
        std::string name = pending ? "beforechange.dat" : "lastknowngood.dat";
        std::string whole = File(name);
        std::string foreign = ExportRegBranch(m.registry, "SOFTWARE\\ATI Technologies");
        // Cut inside a value, cut at a line's end, and a copy of another key.
        std::size_t lineEnd = whole.rfind(std::string("\r\0\n\0", 4), whole.size() - 8);
        for (const std::string& bad : {whole.substr(0, whole.size() / 2), whole.substr(0, lineEnd + 4), foreign}) {
            m.system.WriteFile("C:\\Kelvane\\" + name, bad);
            Start();
            m.system.shown.clear();
            Bytes list = List()->data;
            auto changes = m.registry.ChangeCount();
            EXPECT_EQ(Restore(), 0);
            EXPECT_EQ(m.registry.ChangeCount(), changes);
            EXPECT_EQ(List()->data, list);
            ASSERT_EQ(m.system.shown.size(), 1u);
            EXPECT_NE(m.system.shown[0].text.find(name + " cannot be used"), std::string::npos);
            EXPECT_NE(m.system.shown[0].text.find("Nothing was restored"), std::string::npos);
        }
    }
}

TEST_F(Safety, CancelImportsOnlyTheSnapshotThisRunMade) {
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 43));
    Start();
    EXPECT_EQ(Cancel(), 0);  // backup.dat now holds the 43 Hz list
    ASSERT_TRUE(m.system.HasFile(kBackup));

    // The next run cannot replace it: Cancel must not take the old one
    // for this run's.
    m.system.lockedFiles.insert(m.system.FullPath(kBackup));
    Start();
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 44));
    m.system.shown.clear();
    EXPECT_EQ(Cancel(), 0);
    EXPECT_EQ(List()->data, Rec(0, 0, 0, 44));
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_NE(m.system.shown[0].text.find("backup.dat cannot be used"), std::string::npos);
}

// ---- restoring ----

TEST_F(Safety, RestoreDeletesNothingUntilTheImportHasWorked) {
    ApplyChange();
    Start();
    m.system.shown.clear();  // the restore question: the restart was declined
    // The editor cannot put one value back.
    m.registry.SetDword(kDeviceKey, "PruningMode", 0);
    m.registry.refuse = [](SimRegistry::Op op, const std::string&, const std::string& name) {
        return op == SimRegistry::Op::Set && name == "PruningMode";
    };
    EXPECT_EQ(Restore(), 0);
    EXPECT_TRUE(List()) << "the list written after the snapshot is not deleted";
    ASSERT_EQ(m.system.shown.size(), 1u);
    // Each branch is judged on its own: the desktop options came back.
    EXPECT_NE(m.system.shown[0].text.find("beforechange.dat was put back only in part: HKEY_LOCAL_MACHINE\\SOFTWARE"),
              std::string::npos)
        << m.system.shown[0].text;
    EXPECT_NE(m.system.shown[0].text.find("so HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\ati2mtag\\"
                                          "Device0 may be only partly restored"),
              std::string::npos);
    EXPECT_NE(m.system.shown[0].text.find("PruningMode"), std::string::npos);
    EXPECT_FALSE(Shows(m.system, "Registry restored"));

    // Neither branch back: the first value that did not come back is named.
    m.registry.SetDword(std::string(kDesktopKey), "OpenGL", 0);
    m.registry.refuse = [](SimRegistry::Op op, const std::string&, const std::string& name) {
        return op == SimRegistry::Op::Set && (name == "PruningMode" || name == "OpenGL");
    };
    Start();
    m.system.shown.clear();
    EXPECT_EQ(Restore(), 0);
    EXPECT_EQ(m.system.shown.at(0).text,
              "The registry editor did not put back beforechange.dat: the value "
              "System\\CurrentControlSet\\Services\\ati2mtag\\Device0\\PruningMode did not come back. Kelvane "
              "deleted nothing there, and the driver's settings may be only partly restored.");

    // An editor that never finishes: nothing deleted, nothing claimed.
    m.registry.refuse = nullptr;
    m.system.editorHangs = true;
    m.system.shown.clear();
    Start();
    EXPECT_EQ(Restore(), 0);
    EXPECT_TRUE(List());
    EXPECT_FALSE(Shows(m.system, "Registry restored"));
    ASSERT_FALSE(m.system.waits.empty());
    EXPECT_EQ(m.system.waits.back().timeoutMs, kSnapshotWaitMs);
}

// A value is back when it holds the snapshot's type and data; texts count
// with or without their terminating zero, other data byte for byte.
TEST_F(Safety, RestoreJudgesAValueBackByItsTypeAndData) {
    auto set = [&](const char* name, std::uint32_t type, const std::string& data) {
        m.registry.SetValue(kDeviceKey, name, RegValue{type, Bytes(data.begin(), data.end())});
    };
    set("Sz", kRegSz, std::string("abc\0", 4));
    set("Expand", kRegExpandSz, std::string("%x%\0", 4));
    set("Multi", kRegMultiSz, std::string("a\0b\0\0", 5));
    set("Number", kRegDword, std::string("\1\0\0\0", 4));
    set("Raw", kRegBinary, std::string("\1\0", 2));
    ApplyChange();
    Start();
    m.system.shown.clear();
    // The editor cannot write these; they already hold the snapshot's texts.
    set("Sz", kRegSz, "abc");
    set("Expand", kRegExpandSz, "%x%");
    set("Multi", kRegMultiSz, std::string("a\0b", 3));
    m.registry.refuse = [](SimRegistry::Op op, const std::string&, const std::string& name) {
        return op == SimRegistry::Op::Set && (name == "Sz" || name == "Expand" || name == "Multi" ||
                                              name == "Number" || name == "Raw");
    };
    EXPECT_EQ(Restore(), 0);
    EXPECT_TRUE(Shows(m.system, "Registry restored from backup. Restart now?"));
    EXPECT_EQ(List(), nullptr);

    for (auto [name, type, data] : {std::tuple{"Number", kRegBinary, std::string("\1\0\0\0", 4)},
                                    std::tuple{"Raw", kRegBinary, std::string("\1", 1)}}) {
        m.registry.refuse = nullptr;
        m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 44));
        set(name, type, data);
        m.registry.refuse = [](SimRegistry::Op op, const std::string&, const std::string& n) {
            return op == SimRegistry::Op::Set && (n == "Number" || n == "Raw");
        };
        Start();
        m.system.shown.clear();
        EXPECT_EQ(Restore(), 0);
        EXPECT_TRUE(Shows(m.system, std::string("Device0\\") + name + " did not come back")) << name;
        EXPECT_TRUE(List()) << name;
        m.registry.refuse = nullptr;
        set("Number", kRegDword, std::string("\1\0\0\0", 4));
        set("Raw", kRegBinary, std::string("\1\0", 2));
    }
}

TEST_F(Safety, OnWindows2000RestoreAlsoUndoesTheDesktopOptionsInsideTheDeviceKey) {
    m.system.version = 0x08930005;
    std::string desktop = std::string(kDeviceKey) + "\\Desktop";
    m.registry.CreateKey(desktop);
    TForm1& f = Start();
    f["tcbRotation"].UserClick();  // grayed -> checked: creates "Rotation"
    ASSERT_EQ(Ok(), 0);
    ASSERT_TRUE(m.registry.Find(desktop, "Rotation"));
    Start();
    EXPECT_EQ(Restore(), 0);
    EXPECT_EQ(m.registry.Find(desktop, "Rotation"), nullptr);
}

// ---- nothing pending brings back what the user undid ----

TEST_F(Safety, AfterRestoreNeitherThePendingCheckNorItsFallbackBringsTheChangeBack) {
    ApplyChange();  // No to the restart: the one-shot check stays pending
    ASSERT_EQ(m.registry.ValueNames(kRunOnceKey).size(), 1u);
    Start();  // its first paint makes a backup.dat of the changed state
    EXPECT_EQ(Restore(), 0);
    EXPECT_TRUE(m.registry.ValueNames(kRunOnceKey).empty());
    EXPECT_EQ(List(), nullptr);
    m.Boot();
    EXPECT_TRUE(m.TakeRunOnceCommands().empty());

    // Even a check started by hand has nothing to fall back to: it ends.
    m.system.commandLine = test::kCheckCommand;
    EXPECT_THROW(Start(), ProgramEnded);
    EXPECT_EQ(List(), nullptr);
    EXPECT_EQ(m.system.restartRequests, 0);
}

// ---- the settings from before a change awaiting its check ----

// The runs between the change and its restart: a start closed with Cancel
// (whose snapshots hold the change), or a second change that is not checked
// either. The fallback brings back the settings from before the first.
TEST_F(Safety, TheFallbackPutsBackTheSettingsFromBeforeTheFirstUncheckedChange) {
    for (bool secondOk : {false, true}) {
        m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 43));
        m.Boot();
        ApplyChange();
        Start();
        if (secondOk) {
            SetRate("800x600", "85");
            EXPECT_EQ(Ok(), 0);
        } else {
            EXPECT_EQ(Cancel(), 0);
        }
        m.Boot();
        m.TakeRunOnceCommands();
        m.system.commandLine = test::kCheckCommand;
        m.system.restartRequests = 0;
        Start();
        for (int i = 0; i < 30; ++i) form->modeCheck->Timer1Timer();
        EXPECT_EQ(List()->data, Rec(0, 0, 0, 43)) << secondOk;
        EXPECT_EQ(m.system.restartRequests, 1) << "into the settings from before";
        EXPECT_FALSE(Shows(m.system, "cannot be used"));
        EXPECT_TRUE(SnapshotBeforeChange(m.platform).empty());
        m.system.commandLine = "Kelvane.exe";
        m.system.shown.clear();
    }
}

// Uninstall before the restart: the change is taken back with the check.
TEST_F(Safety, UninstallBeforeTheRestartPutsBackTheSettingsFromBeforeTheChange) {
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 43));
    m.Boot();
    ApplyChange();
    Start();  // its firstrun.dat holds the change
    m.system.answers = {kIdYes};
    EXPECT_EQ(Menu("Uninstall1"), 0);
    EXPECT_EQ(List()->data, Rec(0, 0, 0, 43));
    EXPECT_EQ(m.system.shown.back().text,
              "The driver's settings were put back from beforechange.dat, and Kelvane's own settings were "
              "deleted; both take effect when Windows restarts. Kelvane deleted no files: to remove it, delete the "
              "folder C:\\Kelvane.");
    m.Boot();
    EXPECT_TRUE(m.TakeRunOnceCommands().empty());
    EXPECT_TRUE(m.display.Offers({640, 480, 32, 60}));
    EXPECT_FALSE(m.system.HasFile("C:\\Kelvane\\beforechange.dat"));

    // Without its kept file Uninstall changes nothing: the check stays.
    ApplyChange();
    m.system.WriteFile("C:\\Kelvane\\beforechange.dat", "REGEDIT4\r\n");
    Start();
    Bytes list = List()->data;
    m.system.answers = {kIdYes};
    EXPECT_EQ(Menu("Uninstall1"), -1);
    EXPECT_EQ(List()->data, list);
    EXPECT_TRUE(m.registry.Find(kRunOnceKey, kRunOnceValue));
    EXPECT_TRUE(m.registry.KeyExists(kProductSettingsKey));
    EXPECT_NE(m.system.shown.back().text.find("Kelvane was not uninstalled. The snapshot beforechange.dat cannot be "
                                              "used"),
              std::string::npos);
}

// Keys outside the device key are in the snapshots too: the desktop
// options of Windows XP, and another head the adapter dialog writes. (That
// Restore Registry puts both back is a step of the fault walk.)
class OutsideTheDeviceKey : public Safety {
protected:
    const std::string desktop = kDesktopKey;
    const std::string head = "System\\CurrentControlSet\\Services\\ati2mtag\\Device1";
    std::uint8_t OpenGl() { return m.registry.Find(desktop, "OpenGL")->data[0]; }
    std::uint8_t Pruning() { return m.registry.Find(head, "PruningMode")->data[0]; }
    void SetUp() override {
        Safety::SetUp();
        m.registry.SetDword(head, "PruningMode", 1);
        m.display.moreDevices = {{"\\\\.\\DISPLAY2", "RADEON 9800 PRO - Secondary", kDisplayAttachedToDesktop,
                                  "\\Registry\\Machine\\" + head}};
    }
    // The adapter dialog: the card's second head ignores the monitor.
    void IgnoreMonitorOnSecondHead() {
        Menu("Adapter1");
        ui::Form* adapters = Open<ui::Form>("TForm4");
        ASSERT_TRUE(adapters);
        (*adapters)["lbAdapters"].itemIndex = 1;
        (*adapters)["lbAdapters"].onChange();
        (*adapters)["cbIgnoreMC"].UserClick();
        form->RunCommand([&] { (*adapters)["bOK"].UserClick(); });
    }
};

TEST_F(OutsideTheDeviceKey, ASaveThatStopsPutsTheDesktopOptionsBackToo) {
    TForm1& f = Start();
    f["tcbOpenGL"].UserClick();
    f["cbAnisoD3D"].UserClick();
    // Written after the desktop options.
    m.registry.refuse = [](SimRegistry::Op op, const std::string&, const std::string& name) {
        return op == SimRegistry::Op::Set && name == "AnisoDegree";
    };
    m.system.shown.clear();
    EXPECT_EQ(Ok(), 1);
    EXPECT_EQ(OpenGl(), 1);
    EXPECT_NE(m.system.shown.at(0).text.find("put the driver's settings back"), std::string::npos);
}

// A key first written while an earlier change awaits its check joins that
// change's kept settings, so the fallback takes it back too; without that,
// it is not written.
TEST_F(OutsideTheDeviceKey, AKeyWrittenWhileAChangeAwaitsItsCheckJoinsItsWayBack) {
    ApplyChange();
    m.system.lockedFiles.insert(m.system.FullPath("C:\\Kelvane\\beforechange.dat"));
    Start();
    IgnoreMonitorOnSecondHead();
    EXPECT_EQ(Pruning(), 1);
    EXPECT_TRUE(Shows(m.system, EnglishText(kMsgBeforeChangeNotKept)));
    m.system.lockedFiles.clear();

    // Nor when the kept file is no longer the one the change recorded: a
    // value in it changed, as an edit by hand would.
    std::string kept = File("beforechange.dat"), edited = kept;
    std::size_t digit = edited.find(std::string("d\0w\0o\0r\0d\0:\0", 12));
    ASSERT_NE(digit, std::string::npos);
    edited[digit + 12] ^= 1;
    m.system.WriteFile("C:\\Kelvane\\beforechange.dat", edited);
    m.system.shown.clear();
    Start();
    IgnoreMonitorOnSecondHead();
    EXPECT_EQ(Pruning(), 1);
    EXPECT_TRUE(Shows(m.system, EnglishText(kMsgBeforeChangeNotKept)));
    m.system.WriteFile("C:\\Kelvane\\beforechange.dat", kept);

    Start();
    IgnoreMonitorOnSecondHead();
    ASSERT_EQ(Pruning(), 0);
    m.Boot();
    m.TakeRunOnceCommands();
    m.system.commandLine = test::kCheckCommand;
    Start();
    for (int i = 0; i < 30; ++i) form->modeCheck->Timer1Timer();
    EXPECT_EQ(Pruning(), 1);
    EXPECT_EQ(List(), nullptr);
    EXPECT_EQ(m.system.restartRequests, 1);
}

TEST_F(Safety, ACheckThatCouldNotRunIsSaidBeforeTheRestart) {
    // The program could not note where it lives: Windows would not find
    // it at logon.
    m.registry.DeleteValue(kProductSettingsKey, "InstallDir");
    m.registry.refuse = [](SimRegistry::Op op, const std::string&, const std::string& name) {
        return op == SimRegistry::Op::Set && name == "InstallDir";
    };
    Start();
    SetRate("640x480", "75");
    m.system.shown.clear();
    m.system.answers = {kIdOk, kIdNo};
    EXPECT_EQ(Ok(), 0);
    ASSERT_EQ(m.system.shown.size(), 2u);
    EXPECT_EQ(m.system.shown[0].text, EnglishText(kMsgCheckNotArranged));
    EXPECT_EQ(m.registry.Find(kRunOnceKey, kRunOnceValue), nullptr) << "no entry Windows cannot run";
}

// ---- the check after the restart cannot be dismissed ----

TEST_F(Safety, TheCheckCannotBeClosedAndTheMainWindowWaitsForIt) {
    ApplyChange();
    m.system.commandLine = test::kCheckCommand;
    Start();
    TForm5& check = *form->modeCheck;
    EXPECT_TRUE(check.stayOnTop && check.modal) << "a click into the main window must not cover it";
    EXPECT_FALSE(check.onCloseQuery()) << "close box and Alt+F4";
    EXPECT_FALSE(form->onCloseQuery());
    EXPECT_TRUE(check.bringToFront);
    EXPECT_EQ(Cancel(), -1);
    EXPECT_EQ(Ok(), -1);
    EXPECT_EQ(Restore(), -1);
    for (int i = 0; i < 15; ++i) check.Timer1Timer();
    EXPECT_FALSE(check.ModeCheckFirstPhase) << "the count-down went on";
    EXPECT_EQ(m.display.Current().frequency, 60u) << "1024x768 falls back as far as 60 Hz";
    check["bOK"].UserClick();
    EXPECT_TRUE(form->onCloseQuery());
    EXPECT_EQ(Cancel(), 0);
}

TEST_F(Safety, ACheckStartShowsNothingBeforeTheCountDown) {
    // The restore question's case (a restricted rate still offered) and a
    // list too long to read.
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(640, 480, 0, 60));
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD4", Bytes(2100, 0));
    m.AwaitCheck();
    m.system.commandLine = test::kCheckCommand;
    Start();
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_FALSE(form->state.RestoreAtStart);
    ASSERT_TRUE(form->modeCheck);
    (*form->modeCheck)["bOK"].UserClick();
    ASSERT_EQ(m.system.shown.size(), 1u) << "the list's message waited for the answer";
    EXPECT_NE(m.system.shown[0].text.find("'DALRestrictedModesBCD4': it holds 2100\u00A0bytes"), std::string::npos);
}

// ---- one Kelvane at a time ----

TEST_F(Safety, ASecondStartBringsTheFirstWindowForwardAndEnds) {
    Start();
    TForm1 second(m.platform);
    auto changes = m.registry.ChangeCount();
    EXPECT_THROW(second.FormCreate(), ProgramEnded);
    EXPECT_EQ(m.system.activated, std::vector<std::string>{"TForm1"});
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_EQ(m.system.launches.size(), 4u) << "only the first one's exports, of two keys each";
    EXPECT_EQ(Cancel(), 0);
    TForm1 third(m.platform);
    third.FormCreate();  // the first one has ended
    EXPECT_TRUE(third.state.StartupComplete);

    // Another user's session (Fast User Switching, Remote Desktop) has no
    // window of it to bring forward: the start says so.
    m.system.session = 2;
    m.system.shown.clear();
    TForm1 other(m.platform);
    EXPECT_THROW(other.FormCreate(), ProgramEnded);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text, EnglishText(kMsgRunsInOtherSession));
}

// A start for the check finds another Kelvane running: an ordinary one (a
// double-click before the check's copy came) makes way as its close box
// would, and the check runs; one that already checks the change keeps it.
TEST_F(Safety, TheCheckComesFirstWhicheverKelvaneStartedFirst) {
    ApplyChange();
    Start();
    m.system.commandLine = test::kCheckCommand;
    m.system.whileWaiting = [this] {
        try {
            form->RunCommand([this] { form->OtherStartWaits(); });
        } catch (const ProgramEnded&) {
        }
    };
    {
        TForm1 copy(m.platform);
        copy.FormCreate();
        copy.FormPaint();
        EXPECT_EQ(m.system.toldWaiting, std::vector<std::string>{"TForm1"});
        ASSERT_TRUE(copy.modeCheck);
        EXPECT_TRUE(copy.modeCheck->Pending());
    }

    // One that does not make way in time: the check cannot run now, and
    // its entry stays for the next logon.
    m.system.commandLine = "Kelvane.exe";
    Start();
    m.system.whileWaiting = nullptr;
    m.system.commandLine = test::kCheckCommand;
    m.system.shown.clear();
    m.TakeRunOnceCommands();
    TForm1 late(m.platform);
    EXPECT_THROW(late.FormCreate(), ProgramEnded);
    EXPECT_EQ(m.system.waitedForClaimMs, 60000u);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text, EnglishText(kMsgCheckCannotRunNow));
    EXPECT_TRUE(m.registry.Find(kRunOnceKey, kRunOnceValue));

    // After the restart an ordinary start checks the change itself; the
    // logon's copy then finds the check running and leaves it alone.
    m.Boot();
    m.system.commandLine = "Kelvane.exe";
    Start();
    ASSERT_TRUE(form->modeCheck && form->modeCheck->Pending());
    m.system.commandLine = test::kCheckCommand;
    m.system.toldWaiting.clear();
    TForm1 logons(m.platform);
    EXPECT_THROW(logons.FormCreate(), ProgramEnded);
    EXPECT_TRUE(m.system.toldWaiting.empty());
    EXPECT_TRUE(form->modeCheck->Pending());
}

// ---- OK writes everything or nothing ----

TEST_F(Safety, AMaxRatePairOfTheWrongTypeIsNamedAndLeftAlone) {
    m.registry.SetString(kDeviceKey, "DALR6 CRT_Info", "85");
    m.registry.SetBinary(kDeviceKey, "DALR6 CRT2_MaxModeInfo", Bytes(2048, 85));  // long, but readable
    Start();
    SetRate("1024x768", "100");
    m.system.answers = {kIdOk, kIdNo};
    EXPECT_EQ(Ok(), 0);
    ASSERT_GE(m.system.shown.size(), 2u);
    EXPECT_NE(m.system.shown[0].text.find("'DALR6 CRT_Info' (it holds a text)"), std::string::npos);
    EXPECT_EQ(m.system.shown.back().text, "The changes take effect only when Windows restarts. Restart now?");
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALR6 CRT_Info")->type, kRegSz);
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALR6 CRT_MaxModeInfo")->data[16], 85) << "the pair is left whole";
    EXPECT_FALSE(Shows(m.system, "'DALR6 CRT_MaxModeInfo'"));
    EXPECT_FALSE(Shows(m.system, "'DALR6 CRT2_MaxModeInfo'"));
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALR6 CRT2_MaxModeInfo")->data[16], 100);
    EXPECT_EQ(m.registry.ValueNames(kRunOnceKey).size(), 1u);
}

// OK leaves alone the pairs it cannot read. One that another program turns
// into something else while OK writes cannot be corrected either: the save
// stops, and names it as start-up would.
TEST_F(Safety, AMaxRateValueChangedWhileOkWritesStopsTheSave) {
    m.registry.SetBinary(kDeviceKey, "DALR6 CRT2_MaxModeInfo", Bytes(2048, 85));
    Start();
    SetRate("1024x768", "100");
    bool changed = false;
    m.registry.refuse = [&](SimRegistry::Op op, const std::string&, const std::string& name) {
        if (op == SimRegistry::Op::Set && name == "DALRestrictedModesBCD" && !changed) {
            changed = true;
            m.registry.SetDword(kDeviceKey, "DALR6 CRT2_MaxModeInfo", 85);
        }
        return false;
    };
    EXPECT_EQ(Ok(), 1);
    m.registry.refuse = nullptr;
    EXPECT_EQ(m.system.shown.back().text,
              "Saving stopped: Kelvane cannot read the driver's value 'DALR6 CRT2_MaxModeInfo': it holds a number. "
              "Kelvane put the driver's settings back as they were before this run changed them "
              "(lastknowngood.dat).");
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALR6 CRT2_MaxModeInfo")->data, Bytes(2048, 85));
}

TEST_F(Safety, AWriteThatFailsHalfWayPutsTheSnapshotBack) {
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 43));
    m.Boot();
    TForm1& f = Start();
    SetRate("640x480", "75");
    f["tcbTilling"].UserClick();
    m.registry.refuse = [](SimRegistry::Op op, const std::string&, const std::string& name) {
        return op == SimRegistry::Op::Set && name == "DisableTiling";
    };
    EXPECT_EQ(Ok(), 1);
    EXPECT_EQ(List()->data, Rec(0, 0, 0, 43)) << "the list written before the failure is undone";
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_NE(m.system.shown[0].text.find("Saving stopped: Failed to set data for 'DisableTiling'"),
              std::string::npos);
    EXPECT_NE(m.system.shown[0].text.find("put the driver's settings back"), std::string::npos);
    EXPECT_TRUE(m.registry.ValueNames(kRunOnceKey).empty());

    // So does anything else that stops the writes, which is then reported
    // as any failure is.
    for (bool noMemory : {true, false}) {
        Start();
        SetRate("640x480", "75");
        (*form)["tcbTilling"].UserClick();
        m.system.shown.clear();
        bool thrown = false;
        m.registry.refuse = [&](SimRegistry::Op op, const std::string&, const std::string& name) {
            if (op != SimRegistry::Op::Set || name != "DisableTiling" || std::exchange(thrown, true)) return false;
            if (noMemory) throw std::bad_alloc();
            throw std::out_of_range("index 16 past 15");
        };
        EXPECT_EQ(Ok(), -1);
        EXPECT_EQ(List()->data, Rec(0, 0, 0, 43)) << noMemory;
        ASSERT_EQ(m.system.shown.size(), 2u);
        EXPECT_EQ(m.system.shown[0].text.rfind("Saving stopped: Unexpected error: ", 0), 0u);
        EXPECT_NE(m.system.shown[0].text.find("put the driver's settings back"), std::string::npos);
        EXPECT_EQ(m.system.shown[1].text.rfind("Unexpected error: ", 0), 0u);
    }

    // When even that fails, OK refuses to overwrite the snapshot with the
    // half-written state.
    Start();
    SetRate("640x480", "75");
    (*form)["tcbTilling"].UserClick();
    std::string snapshot = File("lastknowngood.dat");
    m.system.shown.clear();
    int calls = 0;
    m.registry.refuse = [&calls](SimRegistry::Op op, const std::string&, const std::string& name) {
        // The list is written once by OK and once more by the import.
        return op == SimRegistry::Op::Set &&
               (name == "DisableTiling" || (name == "DALRestrictedModesBCD" && ++calls > 1));
    };
    EXPECT_EQ(Ok(), -1);
    EXPECT_TRUE(Shows(m.system, "Choose Restore Registry"));
    m.registry.refuse = nullptr;
    snapshot = File("lastknowngood.dat");
    EXPECT_EQ(Ok(), -1);
    EXPECT_EQ(File("lastknowngood.dat"), snapshot);
}

TEST_F(Safety, LockedListsAreLeftButEveryOtherChangeIsSaved) {
    Bytes tooLong(2056, 0);
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD2", tooLong);
    TForm1& f = Start();
    f["tcbTilling"].UserClick();  // a change that needs a restart
    m.system.shown.clear();
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALRestrictedModesBCD2")->data, tooLong);
    EXPECT_EQ(List(), nullptr);
    EXPECT_TRUE(m.registry.Find(kDeviceKey, "DisableTiling"));
    EXPECT_TRUE(Shows(m.system, "restricted-mode lists were left as they were"));
    EXPECT_FALSE(f["ComboBox15"].enabled);
    EXPECT_TRUE(Shows(m.system, "The changes take effect only when Windows restarts. Restart now?"));
}

// ---- odd data an untouched OK must not garble ----

TEST_F(Safety, ListRecordsThatAreNoValidModeComeBackByteForByte) {
    Bytes notBcd = {0x0A, 0x40, 0x04, 0x80, 0x00, 0x00, 0x00, 0x60};     // a nibble above 9
    Bytes strayFf = {0x06, 0x40, 0x04, 0x80, 0x00, 0x00, 0xFF, 0x60};    // 0xFF inside
    Bytes list = Join({Rec(640, 480, 0, 60), notBcd, strayFf, Rec(1024, 768, 0, 60), Rec(0, 0, 0, 85)});
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", list);
    // A value whose length is no multiple of 8 ends with a short record.
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD1", Join({Rec(0, 0, 0, 43), Bytes{1, 2, 3}}));
    m.Boot();
    TForm1& f = Start();
    for (const ResolutionRow& row : f.modes.ResolutionRows) EXPECT_LE(row.width, 1920) << row.width;
    EXPECT_EQ(f.modes.RestrictedRates, (std::vector<std::uint16_t>{85, 43}));
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(List()->data, Join({Rec(640, 480, 0, 60), Rec(1024, 768, 0, 60), Rec(0, 0, 0, 85), Rec(0, 0, 0, 43),
                                  notBcd, strayFf, Bytes{1, 2, 3}}))
        << "the short record can only come last";

    // The list ends only at a record that begins with 0xFF.
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD",
                         Join({Rec(640, 480, 0, 60), Bytes(8, 0xFF), Rec(0, 0, 0, 85)}));
    TForm1& g = Start();
    EXPECT_TRUE(g.modes.RestrictedRates.empty());
}

// Two values that each end in a record cut short: the driver reads neither,
// but written one after the other they would join into a whole record, here
// a restriction of 1024x768 at 60 Hz that nobody chose.
TEST_F(Safety, ShortRecordsOfTwoListsAreNotJoinedIntoOneTheDriverReads) {
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Join({Rec(0, 0, 0, 85), Bytes{0x10, 0x24}}));
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD1",
                         Join({Rec(0, 0, 0, 43), Bytes{0x07, 0x68, 0x00, 0x00, 0x00, 0x60}}));
    m.Boot();
    Start();
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(List()->data, Join({Rec(0, 0, 0, 85), Rec(0, 0, 0, 43), Bytes{0x10, 0x24}}))
        << "the first short record stays, last";
}

TEST_F(Safety, AnAnisotropyValueTheControlsCannotShowIsLeftAlone) {
    std::string ddhal = std::string(kDeviceKey) + "\\ddhal";
    // One letter past the longest text the program reads.
    std::string tooLong(kMaxTextRead + 1, '8');
    for (int odd = 0; odd < 2; ++odd) {
        if (odd == 0)
            m.registry.SetDword(ddhal, "AnisoDegree", 16);
        else
            m.registry.SetString(ddhal, "AnisoDegree", tooLong);
        RegValue before = *m.registry.Find(ddhal, "AnisoDegree");
        TForm1& f = Start();
        EXPECT_EQ(f["cbAnisoD3D"].state, ui::CheckState::Grayed);
        EXPECT_FALSE(f["cbAnisoDegree"].enabled);
        EXPECT_EQ(Ok(), 0);
        EXPECT_EQ(m.registry.Find(ddhal, "AnisoDegree")->data, before.data) << odd;
        EXPECT_EQ(m.registry.Find(ddhal, "AnisoDegree")->type, before.type) << odd;
    }
    // The longest text the program reads is shown.
    m.registry.SetString(ddhal, "AnisoDegree", tooLong.substr(1));
    EXPECT_EQ(Start()["cbAnisoDegree"].text, tooLong.substr(1));
    // Set by the user, it is written as the driver wants it.
    m.registry.SetDword(ddhal, "AnisoDegree", 16);
    TForm1& f = Start();
    f["cbAnisoD3D"].UserClick();
    EXPECT_TRUE(f["cbAnisoDegree"].enabled);
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(m.registry.Find(ddhal, "AnisoDegree")->type, kRegSz);
}

// ---- input the grid and the anisotropy box must not take as it is ----

TEST_F(Safety, ARateAboveEveryRateOfARowAsksBeforeRestrictingThemAll) {
    Start();
    SetRate("1280x1024", "200");
    m.system.answers = {kIdNo};
    auto changes = m.registry.ChangeCount();
    EXPECT_EQ(Ok(), -1) << "No goes back to the grid";
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].buttons, kMbYesNo);
    EXPECT_NE(m.system.shown[0].text.find("200 Hz for 1280x1024"), std::string::npos);

    SetRate("1280x1024", "85");  // the highest offered rate itself is fine
    m.system.shown.clear();
    m.system.answers = {kIdNo};
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(m.system.shown.back().text, "The changes take effect only when Windows restarts. Restart now?");
    CancelModeCheck(m.platform);  // its check answered

    // A row at its highest rate from the start still asks before going past.
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD",
                         Join({Rec(1280, 1024, 0, 60), Rec(1280, 1024, 0, 70), Rec(1280, 1024, 0, 75)}));
    m.Boot();
    Start();
    SetRate("1280x1024", "100");
    m.system.shown.clear();
    EXPECT_EQ(Ok(), -1);
    EXPECT_TRUE(Shows(m.system, "100 Hz for 1280x1024"));

    // A row that was already so at start asks nothing: 1600x1200 at 255.
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD",
                         Join({Rec(1600, 1200, 0, 60), Rec(1600, 1200, 0, 65), Rec(1600, 1200, 0, 70),
                               Rec(1600, 1200, 0, 75)}));
    m.Boot();
    TForm1& f = Start();
    EXPECT_EQ(f.restartNeed.Startup().selections[f.modes.ResolutionRows.size() - 2], kAllRatesRestricted);
    m.system.shown.clear();
    EXPECT_EQ(Ok(), 0);
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_EQ(List()->data.size(), 32u);
}

TEST_F(Safety, TheAnisotropyDegreeTakesOnlyAWholeNumber) {
    TForm1& f = Start();
    f["cbAnisoD3D"].UserClick();
    f["cbAnisoDegree"].text = "1d; DROP";
    auto changes = m.registry.ChangeCount();
    EXPECT_EQ(Ok(), -1);
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text, "The anisotropy degree must be a whole number, such as 16.");

    // Typed and then switched off, the text is not written: nothing to check.
    f["cbAnisoD3D"].UserClick();
    m.system.shown.clear();
    EXPECT_EQ(Ok(), 0);
    EXPECT_FALSE(Shows(m.system, "whole number"));

    Start()["cbAnisoD3D"].UserClick();
    (*form)["cbAnisoDegree"].text = "16384";
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(Start()["cbAnisoDegree"].text, "16384");
    (*form)["cbAnisoDegree"].text = "8";
    m.system.shown.clear();
    EXPECT_EQ(Ok(), 0);
    std::string degree;
    ReadTextValue(m.registry, std::string(kDeviceKey) + "\\ddhal", "AnisoDegree", degree);
    EXPECT_EQ(degree, "8");
    EXPECT_EQ(m.system.shown.back().text, "The changes take effect only when Windows restarts. Restart now?")
        << "a new degree needs a restart";
}

}  // namespace
}  // namespace kv
