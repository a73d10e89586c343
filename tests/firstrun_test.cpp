// The issues dialog of an ordinary start: what it reports, and a repair that
// writes nothing it cannot take back.
#include <gtest/gtest.h>

#include <tuple>

#include "MainWindowTest.h"
#include "maintenance/uFirstRun.h"
#include "lang/Lang.h"
#include "modes/Apply.h"
#include "platform/DriverValues.h"
#include "platform/RegFile.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::kDeviceKey;
using test::Rec;
constexpr const char* const* kLists = kRestrictedListNames;

class FirstRun : public ::testing::Test {
protected:
    void SetUp() override { m.registry.SetString(kProductSettingsKey, "InstallDir", test::kInstallDir); }
    TfFirstRun& Open(StartupFindings findings = {}) {
        run = RunSnapshots{};
        AdapterContext adapter;
        adapter.DeviceKey = kDeviceKey;
        run.driver = DriverKeysOf(adapter);
        run.backup = StartSnapshot(m.platform, kBackupFile, kDeviceKey);
        d = std::make_unique<TfFirstRun>(m.platform, kDeviceKey, findings, run);
        return *d;
    }
    // Native modes on, and a list with two continuations.
    void SeedIssues() {
        m.registry.SetDword(kDeviceKey, kNativeModesValue, 2);
        m.registry.SetBinary(kDeviceKey, kLists[0], Rec(640, 480, 0, 60));
        m.registry.SetBinary(kDeviceKey, kLists[1], Rec(800, 600, 0, 0));
        m.registry.SetBinary(kDeviceKey, kLists[3], Rec(0, 0, 0, 43));
    }
    std::string Lines() {
        std::string all;
        for (const std::string& line : (*d)["lbWrngsList"].items) all += line + "|";
        return all;
    }
    const RegValue* Value(const char* name) { return m.registry.Find(kDeviceKey, name); }
    std::string File(const char* name) { return m.system.ReadFile(InstallFile(m.registry, name)).value_or(""); }

    test::TestMachine m;
    RunSnapshots run;
    std::unique_ptr<TfFirstRun> d;
};

TEST_F(FirstRun, OldVersionIsCutToThreeCharactersAndTheVersionStampedEveryTime) {
    auto text = [](const std::string& s) { return RegValue{kRegSz, Bytes(s.begin(), s.end())}; };
    // A number or bytes under the name were written by no Kelvane.
    for (auto [stored, error] : std::vector<std::pair<RegValue, bool>>{
             {text("0.7.1"), true}, {text("0.70"), true}, {text("0.5"), true}, {text("0.6.2"), true}, {text("0.9.9.5"), false}, {RegValue{}, false},
             {RegValue{kRegBinary, {'0', '.', '7'}}, false}, {RegValue{kRegDword, {'0', '.', '6', 0}}, false}}) {
        if (stored.type == kRegNone) m.registry.DeleteValue(kProductSettingsKey, "Version");
        else m.registry.SetValue(kProductSettingsKey, "Version", stored);
        Open();
        EXPECT_EQ(Lines(), error ? "Error: An old version of Kelvane was found. Restart required.|" : "");
        EXPECT_EQ(d->closed, !error);
        if (error) {
            // Stamped only once the user goes on: Cancel, and the close box
            // with Ignore grey, change nothing, and the next start offers
            // the repair again.
            EXPECT_EQ(m.registry.Find(kProductSettingsKey, "Version")->data, stored.data);
            auto changes = m.registry.ChangeCount();
            EXPECT_THROW((*d)["bCancel"].UserClick(), ProgramEnded);
            Open();
            EXPECT_FALSE(d->closed);
            EXPECT_THROW(d->onCloseQuery(), ProgramEnded);
            EXPECT_EQ(m.registry.ChangeCount(), changes);
            EXPECT_EQ(m.registry.Find(kProductSettingsKey, "Version")->data, stored.data);
            continue;
        }
        EXPECT_EQ(m.registry.Find(kProductSettingsKey, "Version")->data, text(std::string("0.9.9.6\0", 8)).data);
    }
    // Found nothing, never seen, but the snapshot of this start is made.
    EXPECT_TRUE(m.system.shown.empty());
    RegistryImage copy;
    EXPECT_TRUE(FinishSnapshot(m.platform, run.firstRun));
    EXPECT_TRUE(CheckRegExport(File(kFirstRunFile), kDeviceKey, copy));
}

TEST_F(FirstRun, IssueLinesComeInOrderAndAnErrorLeavesOnlyCloseAndCancel) {
    m.registry.SetDword(kDeviceKey, kNativeModesValue, 2);
    Open({{{480, 640}, {600, 800}}, {60}, false});
    EXPECT_EQ(Lines(), "Error: Native modes in the mode table. Restart required.|Warning: Mode 640x480 disabled.|"
                       "Warning: Mode 800x600 disabled.|Warning: Refresh Rate 60Hz disabled.|");
    EXPECT_EQ((*d)["lWrngs"].text, "Found 1\u00A0error, 3\u00A0warnings");
    EXPECT_FALSE((*d)["bIgnore"].enabled);
    auto changes = m.registry.ChangeCount();
    EXPECT_THROW((*d)["bCancel"].UserClick(), ProgramEnded);
    EXPECT_THROW(d->onCloseQuery(), ProgramEnded) << "the close box is Cancel";
    EXPECT_EQ(m.registry.ChangeCount(), changes);

    // Modes in the continuation lists are an error of their own, last.
    m.registry.DeleteValue(kDeviceKey, kNativeModesValue);
    Open({{}, {}, true});
    EXPECT_EQ(Lines(), "Error: A refresh rate was disabled in a non-standard way. Restart needed.|");
    EXPECT_EQ((*d)["lWrngs"].text, "Found 1\u00A0error, 0\u00A0warnings");
    EXPECT_FALSE((*d)["bIgnore"].enabled);
}

TEST_F(FirstRun, MinimumRateIsTheFirstRecordsOfABinaryList) {
    Bytes huge = Rec(640, 480, 8, 60);
    huge.resize(kListBufferSize + 64, 0x11);
    for (auto [stored, rate] : std::vector<std::pair<RegValue, const char*>>{
             {RegValue{kRegBinary, {6, 0x40, 4, 0x80, 0, 8, 0, 0x75}}, "75"},
             {RegValue{kRegBinary, {6, 0x40, 4, 0x80, 0, 8, 1, 0}}, "100"}, {RegValue{kRegBinary, huge}, "60"},
             {RegValue{kRegBinary, {6, 0x40, 4, 0x80}}, ""}, {RegValue{kRegBinary, {6, 0x40, 4, 0x80, 0, 8}}, ""},
             {RegValue{kRegBinary, {6, 0x40, 4, 0x80, 0, 8, 0x0a, 0x7f}}, ""},
             {RegValue{kRegBinary, {6, 0x40, 4, 0x80, 0, 8, 0x01, 0x0f}}, ""},
             {RegValue{kRegSz, Bytes(16, '6')}, ""}}) {
        m.registry.SetValue(kDeviceKey, kMinResValue, stored);
        Open();
        EXPECT_EQ(Lines(), *rate ? std::string("Warning: Refresh rates lower than ") + rate + "Hz disabled.|" : "");
        EXPECT_TRUE((*d)["bIgnore"].enabled);
    }
}

TEST_F(FirstRun, FixClearsTheListsAndWritesTheCrtRuleBeforeTheRestart) {
    for (bool dbm : {true, false}) {
        SeedIssues();
        m.registry.SetDword(kDeviceKey, kCrtAllModesValue, 0);
        m.system.restartAccepted = dbm;
        Open()["cbDBM"].SetState(dbm ? ui::CheckState::Checked : ui::CheckState::Unchecked);
        int crtAtRepair = -1;
        d->onRepaired = [&] {
            crtAtRepair = Value(kCrtAllModesValue)->data[0];
            EXPECT_EQ(m.system.restartRequests, 0);
        };
        (*d)["bFix"].UserClick();
        EXPECT_EQ(crtAtRepair, dbm ? 1 : 0);
        EXPECT_EQ(m.system.restartRequests, 1);
        EXPECT_EQ(Value(kNativeModesValue)->data[0], 0);
        EXPECT_EQ(Value(kMinResValue)->type, kRegBinary);
        EXPECT_TRUE(Value(kMinResValue)->data.empty() && Value(kLists[0])->data.empty());
        for (int i = 1; i <= 4; ++i) EXPECT_FALSE(Value(kLists[i])) << i;
        // Restore can undo it, and the check after the restart can fall back.
        RegistryImage before;
        ImportRegFile(before, File(kLastKnownGoodFile));
        EXPECT_EQ(before.Find(kDeviceKey, kLists[0])->data, Rec(640, 480, 0, 60));
        EXPECT_EQ(SnapshotBeforeChange(m.platform), FileFingerprint(m.platform, kBeforeChangeFile));
        EXPECT_EQ(m.TakeRunOnceCommands(), std::vector<std::string>{"C:\\Kelvane\\Kelvane.exe /CHECK"});
        m.system.restartRequests = 0;
    }
    // The second restart was refused: said so, and another try only asks
    // again, keeping the snapshot from before the repair.
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text + "/" + m.system.shown[0].caption,
              "Can't restart Windows (no administrator rights?)/Restart needed");
    std::string snapshot = File(kLastKnownGoodFile);
    (*d)["bFix"].UserClick();
    EXPECT_EQ(m.system.restartRequests, 1);
    EXPECT_EQ(File(kLastKnownGoodFile), snapshot);
}

// Without the check after the restart a dark screen would stay: the user
// hears it, and only Yes restarts.
TEST_F(FirstRun, ARepairWhoseCheckCannotBeArrangedRestartsOnlyOnYes) {
    m.registry.refuse = [](SimRegistry::Op op, const std::string& path, const std::string&) {
        return op == SimRegistry::Op::Set && path == kRunOnceKey;
    };
    for (int answer : {kIdNo, kIdYes}) {
        SeedIssues();
        m.system.restartRequests = 0;
        m.system.answers = {answer};
        Open()["bFix"].UserClick();
        EXPECT_EQ(m.system.shown.back().text, std::string(EnglishText(kMsgCheckNotArranged)) + " Restart anyway?");
        EXPECT_EQ(m.system.restartRequests, answer == kIdYes ? 1 : 0);
    }
}

TEST_F(FirstRun, NothingIsWrittenWithoutTheSnapshots) {
    SeedIssues();
    m.system.lockedFiles.insert(m.system.FullPath(InstallFile(m.registry, kFirstRunFile)));
    auto changes = m.registry.ChangeCount();
    Open()["bFix"].UserClick();  // the question, answered No
    EXPECT_NE(m.system.shown.at(0).text.find("(firstrun.dat). Repair anyway?"), std::string::npos);
    EXPECT_EQ(m.registry.ChangeCount(), changes) << "not even the version stamp";

    m.system.answers = {kIdYes};
    m.system.exportLimit = 200;  // and lastknowngood.dat is cut off
    changes = m.registry.ChangeCount();
    Open()["bFix"].UserClick();
    EXPECT_EQ(m.system.shown.back().text, EnglishText(kMsgNoLastKnownGood));
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_EQ(m.system.restartRequests, 0);
}

TEST_F(FirstRun, ARepairStoppedHalfWayIsPutBack) {
    using Op = SimRegistry::Op;
    // The last: once written, the native-modes value cannot be set again,
    // so the registry editor cannot put it back either.
    for (auto [op, name, putBack] : std::vector<std::tuple<Op, const char*, bool>>{
             {Op::Delete, kLists[3], true}, {Op::Set, kCrtAllModesValue, true}, {Op::Set, kLists[0], false}}) {
        SeedIssues();
        m.registry.DeleteValue(kDeviceKey, kMinResValue);
        m.system.shown.clear();
        bool halfWay = false, repaired = false;
        int nativeSets = 0;
        Open().onRepairStoppedHalfWay = [&] { halfWay = true; };
        d->onRepaired = [&] { repaired = true; };
        m.registry.refuse = [&](Op o, const std::string&, const std::string& n) {
            return (o == op && n == name) || (!putBack && o == Op::Set && n == kNativeModesValue && ++nativeSets > 1);
        };
        (*d)["bFix"].UserClick();
        m.registry.refuse = nullptr;
        ASSERT_EQ(m.system.shown.size(), 1u) << name;
        EXPECT_EQ(m.system.shown[0].text.rfind("Repair stopped: Failed to ", 0), 0u);
        EXPECT_EQ(m.system.shown[0].text.find("put the driver's settings back") != std::string::npos, putBack);
        EXPECT_EQ(halfWay, !putBack);
        EXPECT_EQ((*d)["bFix"].enabled, putBack) << "no snapshot of half a repair";
        if (putBack) {
            EXPECT_EQ(Value(kNativeModesValue)->data[0], 2);
            EXPECT_EQ(Value(kLists[1])->data, Rec(800, 600, 0, 0));
            EXPECT_FALSE(Value(kMinResValue)) << "a value the repair created goes again";
        }
        EXPECT_FALSE(repaired || m.system.restartRequests);
        EXPECT_TRUE(m.TakeRunOnceCommands().empty());
    }
}

// ---- from the main window ----

class IssuesAtStart : public test::MainWindowTest {
protected:
    ui::Form* Issues() {
        for (auto& d : form->dialogs)
            if (d->name == "TfFirstRun" && !d->closed) return d.get();
        return nullptr;
    }
};

TEST_F(IssuesAtStart, OnlyAnOrdinaryStartExaminesAndARepairIsAChangeRestoreUndoes) {
    m.registry.SetDword(kDeviceKey, kNativeModesValue, 2);
    m.AwaitCheck();
    m.system.commandLine = test::kCheckCommand;
    Start();
    EXPECT_EQ(Issues(), nullptr) << "after a restart the check comes alone";
    form->dialogs.back()->Find("bOK")->UserClick();
    EXPECT_EQ(Click("Cancel"), 0);

    m.system.commandLine = "Kelvane.exe";
    m.system.restartAccepted = false;
    Start();
    ui::Form* issues = Issues();
    ASSERT_NE(issues, nullptr);
    EXPECT_EQ(issues->caption, "Kelvane - Issues...");
    EXPECT_FALSE((*issues)["bIgnore"].enabled);
    (*issues)["bFix"].UserClick();
    EXPECT_EQ(m.registry.Find(kDeviceKey, kNativeModesValue)->data[0], 0);
    EXPECT_EQ(m.system.shown.back().text, "Can't restart Windows (no administrator rights?)");

    // The window's settings are from before the repair: OK must not write
    // them over it, and Cancel does not take the repair back.
    auto changes = m.registry.ChangeCount();
    EXPECT_EQ(Ok(), -1);
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_EQ(Click("Cancel"), 0);
    EXPECT_EQ(m.registry.Find(kDeviceKey, kNativeModesValue)->data[0], 0);

    // Before the restart, Restore Registry brings back what the repair
    // replaced; the check the repair scheduled goes with it.
    Start();
    EXPECT_EQ(Click("bRestore"), 0);
    EXPECT_EQ(m.registry.Find(kDeviceKey, kNativeModesValue)->data[0], 2);
    EXPECT_TRUE(m.TakeRunOnceCommands().empty());
}

TEST_F(IssuesAtStart, TheDialogSpeaksTheLanguageInForce) {
    m.registry.SetDword(kDeviceKey, kNativeModesValue, 1);
    m.registry.CreateKey(kProductSettingsKey);
    m.registry.SetString(kProductSettingsKey, "LangFileName", "German.lng");
    m.system.WriteFile(std::string(test::kInstallDir) + "\\German.lng", test::SourceFile("lang/German.lng"));
    Start();
    ui::Form* issues = Issues();
    ASSERT_NE(issues, nullptr);
    EXPECT_EQ((*issues)["bCancel"].text, "Abbrechen");
    EXPECT_NE((*issues)["lbWrngsList"].items.at(0).find("Fehler"), std::string::npos);
}

}  // namespace
}  // namespace kv
