// The whole way of one change on the simulated machine: OK, the restart, the
// logon's start handing the check to a copy of itself, and the check after
// the restart answered, left to run out, or never arranged.
#include <gtest/gtest.h>

#include "MainWindowTest.h"
#include "app/KVMAIN.h"
#include "lang/Lang.h"
#include "maintenance/ModeCheckSchedule.h"
#include "modes/CheckModes.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::kInstallDir;
using test::Join;
using test::Rec;
using test::StoredText;

constexpr const char* kRunOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The whole way of one change: 640x480 and 1024x768 set to 75 Hz, OK, the
// restart, the mode check after it.
class RoadOfOneChange : public test::MainWindowTest {
protected:
    void ApplyAndRestart() {
        Start();
        SetRate("640x480", "75");
        SetRate("1024x768", "75");
        m.system.answers = {kIdYes};
        ASSERT_EQ(Ok(), 0);
        ASSERT_EQ(m.system.restartRequests, 1);
        EXPECT_EQ(m.system.shown.back().caption, "Restart needed");

        // Windows restarts: the driver takes the list, and at logon the
        // one-shot entry starts Kelvane from elsewhere. That start hands the
        // check to a copy of itself and ends, so the logon goes on.
        EXPECT_EQ(m.registry.Find(kRunOnce, "Kelvane - test resolution")->data,
                  StoredText("C:\\Kelvane\\Kelvane.exe /CHECK"));
        ASSERT_TRUE(RestartAndLogon()) << "the logon waits for the check";
        EXPECT_EQ(m.startedAtLogon, std::vector<std::string>{"C:\\Kelvane\\Kelvane.exe"});
        EXPECT_TRUE(m.system.instances.empty()) << "the start that ended claimed nothing";
        ASSERT_EQ(m.system.launches.size(), 1u);
        EXPECT_EQ(m.system.launches[0].directory, "C:\\WINDOWS\\system32");
        ASSERT_TRUE(StartHandedCheck());
        ASSERT_EQ(form->dialogs.size(), 1u);
        check = dynamic_cast<TForm5*>(form->dialogs[0].get());
        ASSERT_TRUE(check);
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i) check->Timer1Timer();
    }
    TForm5* check = nullptr;
};

TEST_F(RoadOfOneChange, OkWritesExactlyTheLowerRatesAndTheCheckStartShowsTheNewRate) {
    ApplyAndRestart();
    EXPECT_TRUE(m.system.launches.empty()) << "no backup export in the mode check";
    EXPECT_FALSE(form->FindMenuItem("Language1")->enabled);
    EXPECT_FALSE(m.display.Offers({640, 480, 32, 72}));
    EXPECT_TRUE(m.display.Offers({640, 480, 32, 75}));
    const ResolutionRow& row = form->modes.ResolutionRows[5];
    EXPECT_EQ(row.width, 640);
    EXPECT_EQ(row.height, 480);
    EXPECT_EQ(row.selected, 75);
    EXPECT_EQ(row.rates.front(), 60) << "the restricted rates come back into the row";
    EXPECT_TRUE(m.system.shown.empty()) << "the driver took the list: no restore question";
    Bytes expected = Join({Rec(640, 480, 0, 60), Rec(640, 480, 0, 70), Rec(640, 480, 0, 72), Rec(1024, 768, 0, 60),
                           Rec(1024, 768, 0, 70), Rec(1024, 768, 0, 72)});
    EXPECT_EQ(List()->data, expected);

    // The driver and Windows read text values up to their zero: every one
    // written on the way (the program's key, the one-shot entry, the
    // degree) has it.
    std::vector<std::string> keys{""}, unterminated;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::string prefix = keys[i].empty() ? "" : keys[i] + "\\";
        for (const std::string& sub : m.registry.SubKeyNames(keys[i])) keys.push_back(prefix + sub);
        for (const std::string& name : m.registry.ValueNames(keys[i])) {
            const RegValue* v = m.registry.Find(keys[i], name);
            if (v->type == kRegSz && (v->data.empty() || v->data.back() != 0)) unterminated.push_back(name);
        }
    }
    EXPECT_EQ(unterminated, std::vector<std::string>{});
    EXPECT_EQ(m.registry.Find(kProductSettingsKey, "InstallDir")->data, StoredText(kInstallDir));
}

TEST_F(RoadOfOneChange, UnansweredTheCheckFallsBackToTheLowestRateAndThenToTheBackup) {
    ApplyAndRestart();
    EXPECT_EQ(m.display.Current().frequency, 75u);
    EXPECT_EQ((*check)["Label2"].text, "The lowest refresh rate will be selected automatically in 15\u00A0seconds")
        << "the number and its unit from the first second on";
    Tick(1);
    EXPECT_EQ((*check)["Label2"].text, "The lowest refresh rate will be selected automatically in 14\u00A0seconds");
    m.display.ChangeFrequency(100, kCdsFullscreen);
    Tick(14);
    EXPECT_FALSE(check->ModeCheckFirstPhase);
    EXPECT_EQ(m.display.Current().frequency, 75u) << "the lowest allowed rate at 1024x768";
    EXPECT_EQ(m.display.StoredFrequency(), 75u);
    EXPECT_EQ((*check)["Label1"].text, "The lowest refresh rate is now selected. If you can read this message, click \"OK\".");
    EXPECT_EQ(m.system.restartRequests, 1);
    Tick(15);
    EXPECT_EQ(check->ModeCheckCountdown, TForm5::kStopped);
    EXPECT_EQ(m.system.restartRequests, 2);
    ASSERT_FALSE(m.system.launches.empty());
    EXPECT_EQ(m.system.launches.back().parameters, "/s \"C:\\Kelvane\\beforechange.dat\"");
    EXPECT_EQ(List(), nullptr) << "there was no list before the change: the written one is gone";
    EXPECT_FALSE(m.system.HasFile("C:\\Kelvane\\beforechange.dat")) << "nothing may bring it back again";
    m.Boot();
    EXPECT_TRUE(m.display.Offers({640, 480, 32, 60}));
}

TEST_F(RoadOfOneChange, OkInTheFirstPhaseKeepsTheNewSettings) {
    ApplyAndRestart();
    Tick(5);
    (*check)["bOK"].UserClick();
    EXPECT_TRUE(check->closed);
    EXPECT_EQ(check->ModeCheckCountdown, TForm5::kStopped);
    Tick(40);
    EXPECT_EQ(check->ModeCheckCountdown, TForm5::kStopped) << "a stopped count-down stays stopped";
    EXPECT_EQ(m.display.StoredFrequency(), 0u);
    EXPECT_EQ(m.system.restartRequests, 1);
    EXPECT_TRUE(List());
}

TEST_F(RoadOfOneChange, CancelAtOnceStartsTheSecondPhaseWithFifteenSeconds) {
    ApplyAndRestart();
    (*check)["bCancel"].UserClick();
    EXPECT_FALSE(check->ModeCheckFirstPhase);
    EXPECT_EQ(check->ModeCheckCountdown, 15);
    EXPECT_EQ((*check)["Label2"].text, "The settings will be restored automatically from the backup in 15\u00A0seconds");
    Tick(14);
    EXPECT_EQ(m.system.restartRequests, 1);
    Tick(1);
    EXPECT_EQ(m.system.restartRequests, 2);
}

// The entry names the program's own file, as Windows started it: saved
// under another name, as a browser saves a download, the program still gets
// its check. Unquoted, "C:\Program Files\..." would first start a
// "C:\Program.exe" at logon, with the administrator's rights. A file
// Windows could not find arranges nothing, and is said.
TEST_F(RoadOfOneChange, TheEntryNamesTheProgramsOwnFileQuotedWhenItHasABlank) {
    struct Row {
        std::string folder, file, entry, rate;
    };
    const Row rows[] = {
        {"C:\\Program Files\\Kelvane", "Kelvane.exe", "\"C:\\Program Files\\Kelvane\\Kelvane.exe\" /CHECK", "75"},
        {"C:\\Kelvane", "Kelvane-0.9.9.6.exe", "C:\\Kelvane\\Kelvane-0.9.9.6.exe /CHECK", "85"},
    };
    const std::string pci = m.system.ReadFile("C:\\Kelvane\\ati.pci").value();
    m.system.WriteFile("C:\\Program.exe", "MZ");
    ASSERT_EQ(m.ProgramOfCommand("C:\\Program Files\\Kelvane\\Kelvane.exe /CHECK"), "C:\\Program.exe");
    m.system.RemoveFile("C:\\Kelvane\\Kelvane.exe");
    std::string program;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        program = row.folder + "\\" + row.file;
        m.system.WriteFile(row.folder + "\\ati.pci", pci);
        m.system.WriteFile(program, "MZ");
        m.system.commandLine = "\"" + program + "\"";
        m.system.currentDirectory = row.folder;
        m.system.programPath = program;
        Start();
        SetRate("640x480", row.rate);
        m.system.answers = {kIdYes};
        ASSERT_EQ(Ok(), 0);
        ASSERT_TRUE(m.registry.Find(kRunOnce, kRunOnceValue));
        EXPECT_EQ(m.registry.Find(kRunOnce, kRunOnceValue)->data, StoredText(row.entry));
        m.startedAtLogon.clear();
        ASSERT_TRUE(RestartAndLogon());
        EXPECT_EQ(m.startedAtLogon, std::vector<std::string>{program});
        ASSERT_TRUE(StartHandedCheck());
        ASSERT_TRUE(form->modeCheck);
        AnswerCheck();
    }

    m.system.commandLine = "\"" + program + "\"";
    m.system.currentDirectory = test::kInstallDir;
    Start();
    m.system.RemoveFile(program);
    SetRate("800x600", "85");
    m.system.shown.clear();
    ASSERT_EQ(Ok(), 0);
    ASSERT_FALSE(m.system.shown.empty());
    EXPECT_EQ(m.system.shown[0].text, LangText(kMsgCheckProgramMissing, {program}));
    EXPECT_EQ(m.registry.Find(kRunOnce, kRunOnceValue), nullptr);
    EXPECT_FALSE(ChangePending(m.platform));
}

// The logon waiting is better than no check at all.
TEST_F(RoadOfOneChange, ACopyThatCannotStartLeavesTheCheckToTheLogonsOwnStart) {
    Start();
    SetRate("640x480", "75");
    m.system.answers = {kIdYes};
    ASSERT_EQ(Ok(), 0);
    m.system.refusedPrograms.insert(m.system.programPath);
    EXPECT_FALSE(RestartAndLogon()) << "the check runs in the start the logon waits for";
    ASSERT_TRUE(form->modeCheck);
    EXPECT_TRUE(form->modeCheck->Pending());
    EXPECT_EQ(m.system.instances.size(), 2u) << "the one Kelvane, and the one that checks";
}

}  // namespace
}  // namespace kv
