#include <gtest/gtest.h>

#include "MainWindowTest.h"
#include "app/KVMAIN.h"
#include "modes/Apply.h"
#include "options/OptionTable.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::kDeviceKey;
using test::Join;
using test::Padded;
using test::Rec;

constexpr const char* kRunOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

ModeTable OneRow(std::vector<std::uint8_t> rates, std::uint8_t selected) {
    ModeTable t;
    t.ResolutionRows.push_back({480, 640, std::move(rates), selected});
    return t;
}

Bytes Flat(const std::vector<BcdModeRecord>& records) {
    Bytes out;
    for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
    return out;
}

TEST(RecordRule, RatesBelowTheSelectionAreRestrictedAndWithHiFreqThoseAboveToo) {
    ModeTable t = OneRow({60, 72, 75, 85}, 75);
    EXPECT_EQ(Flat(RestrictedRecords(t, false, {})), Join({Rec(640, 480, 0, 60), Rec(640, 480, 0, 72)}));
    EXPECT_EQ(Flat(RestrictedRecords(t, true, {})),
              Join({Rec(640, 480, 0, 60), Rec(640, 480, 0, 72), Rec(640, 480, 0, 85)}));
    // A typed rate that is not offered: 60 and 75 go, 85 stays.
    EXPECT_EQ(Flat(RestrictedRecords(OneRow({60, 75, 85}, 80), false, {})),
              Join({Rec(640, 480, 0, 60), Rec(640, 480, 0, 75)}));
    EXPECT_EQ(RestrictedRecords(OneRow({60, 75}, 0), false, {}).size(), 0u);
    EXPECT_EQ(RestrictedRecords(OneRow({60, 75}, 255), false, {}).size(), 2u);
}

TEST(RecordRule, KeptRecordsThenDepthsFollowTheRows) {
    ModeTable t = OneRow({60, 75}, 75);
    t.RestrictedResolutions.push_back({1200, 1600});
    t.RestrictedRates.push_back(300);
    DepthChoice depths;
    depths.allow16 = false;
    EXPECT_EQ(Flat(RestrictedRecords(t, false, depths)),
              Join({Rec(640, 480, 0, 60), Rec(1600, 1200, 0, 0), Rec(0, 0, 0, 300), Rec(0, 0, 16, 0)}));
}

class Apply : public test::MainWindowTest {};

TEST_F(Apply, NothingChangedWritesTheListsButLeavesNoRunOnceAndAsksNothing) {
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD2", Rec(0, 0, 0, 43));
    Start();
    EXPECT_EQ(Ok(), 0);
    ASSERT_TRUE(List());
    EXPECT_EQ(List()->data, Rec(0, 0, 0, 43)) << "kept records move into the first value";
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALRestrictedModesBCD2"), nullptr);
    EXPECT_TRUE(m.registry.ValueNames(kRunOnce).empty());
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_EQ(m.system.restartRequests, 0);
    std::string version;
    ReadTextValue(m.registry, kProductSettingsKey, "Version", version);
    EXPECT_EQ(version, "0.9.9.6");

    // Lists padded to the driver's whole buffer go back as they were,
    // padding included.
    const Bytes first = Padded(Rec(0, 0, 0, 43)), allPadding(kListBufferSize, 0xFF);
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", first);
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD1", allPadding);
    Start();
    EXPECT_EQ(Ok(), 0);
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_EQ(List()->data, first);
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALRestrictedModesBCD1")->data, allPadding);
}

// The driver stops reading at a record that begins with 0xFF; what follows
// it is the user's all the same, and OK writes it back as it was.
TEST_F(Apply, ARecordOf0xFFAndWhatFollowsItAreWrittenBackAsTheyWere) {
    const Bytes ff(8, 0xFF);
    const Bytes padded = Padded(Join({Rec(640, 480, 0, 60), ff, Rec(1280, 1024, 0, 60)}));
    for (const Bytes& list : {padded, Join({ff, Rec(1280, 1024, 0, 60)}),
                              Join({Rec(640, 480, 0, 60), ff, Rec(1280, 1024, 0, 60)}),
                              Join({Rec(640, 480, 0, 60), ff, Bytes{0x12, 0x80}})}) {
        m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", list);
        Start();
        EXPECT_EQ(Ok(), 0);
        EXPECT_EQ(List()->data, list);
    }
    // A change goes before the 0xFF record, where the driver reads it.
    Start();
    SetRate("800x600", "70");
    m.system.answers = {kIdNo};
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(List()->data,
              Join({Rec(640, 480, 0, 60), Rec(800, 600, 0, 56), Rec(800, 600, 0, 60), ff, Bytes{0x12, 0x80}}));
    // The padding that ends a list is no record: three rates more fit, and
    // it is not written after them.
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", padded);
    Start();
    SetRate("800x600", "72");
    m.system.answers = {kIdNo};
    EXPECT_EQ(Ok(), 0);
    EXPECT_EQ(List()->data, Join({Rec(640, 480, 0, 60), Rec(800, 600, 0, 56), Rec(800, 600, 0, 60),
                                  Rec(800, 600, 0, 70), ff, Rec(1280, 1024, 0, 60)}));
}

TEST_F(Apply, AllDepthsUncheckedKeeps32WithAMessage) {
    TForm1& f = Start();
    for (const char* box : {"cb8", "cb16", "cb24", "cb32"}) f[box].SetState(ui::CheckState::Unchecked);
    EXPECT_EQ(Ok(), 0);
    ASSERT_FALSE(m.system.shown.empty());
    EXPECT_EQ(m.system.shown[0].text, "Can't disable all colour depths: 32 BPP will be enabled.");
    EXPECT_EQ(List()->data, Join({Rec(0, 0, 8, 0), Rec(0, 0, 16, 0), Rec(0, 0, 24, 0)}));

    // The next start reads the depths the list keeps out.
    TForm1& read = Start();
    for (const char* box : {"cb8", "cb16", "cb24"}) EXPECT_FALSE(read[box].Checked()) << box;
    EXPECT_TRUE(read["cb32"].Checked());

    // Any one depth left allowed is enough.
    for (const char* allowed : {"cb8", "cb16", "cb24"}) {
        TForm1& g = Start();
        m.system.shown.clear();
        for (const char* box : {"cb8", "cb16", "cb24", "cb32"})
            g[box].SetState(std::string(box) == allowed ? ui::CheckState::Checked : ui::CheckState::Unchecked);
        EXPECT_EQ(Ok(), 0);
        EXPECT_TRUE(m.system.shown.empty()) << allowed;
        EXPECT_EQ(List()->data.size(), 24u) << allowed;
    }
}

TEST_F(Apply, AListOfExactly256RecordsIsWrittenWhole) {
    Bytes full;
    for (int i = 0; i < 256; ++i) full = Join({full, Rec(0, 0, 0, static_cast<std::uint16_t>(i + 1))});
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD1", full);
    Start();
    EXPECT_EQ(Ok(), 0);
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_EQ(List()->data, full);
}

TEST_F(Apply, AnAnisotropyDegreeLeftAsItWasNeedsNoRestart) {
    m.registry.SetString(std::string(kDeviceKey) + "\\ddhal", "AnisoDegree", "64");
    Start();
    EXPECT_EQ(Ok(), 0);
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_TRUE(m.registry.ValueNames(kRunOnce).empty());
}

TEST_F(Apply, AHighSelectionRaisesTheControlPanelsMaximumOnceAndOffersARestart) {
    m.registry.SetDword(kDeviceKey, "PruningMode", 1);
    TForm1& f = Start();
    SetRate("1024x768", "100");
    Bytes infoBefore = m.registry.Find(kDeviceKey, "DALR6 CRT_Info")->data;
    m.system.answers = {kIdOk, kIdNo};
    (void)f;
    EXPECT_EQ(Ok(), 0);
    ASSERT_EQ(m.system.shown.size(), 2u);
    EXPECT_EQ(m.system.shown[0].text,
              "The selected refresh rate is higher than the maximum refresh rate set in Control Panel. Control "
              "Panel's setting will be corrected.");
    EXPECT_EQ(m.system.shown[1].text, "The changes take effect only when Windows restarts. Restart now?");
    Bytes info = m.registry.Find(kDeviceKey, "DALR6 CRT_Info")->data;
    Bytes max = m.registry.Find(kDeviceKey, "DALR6 CRT_MaxModeInfo")->data;
    EXPECT_EQ(info[8], 100);
    EXPECT_EQ(max[16], 100);
    infoBefore[8] = 100;
    EXPECT_EQ(info, infoBefore) << "nothing else in the value changes";
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALR6 CRT2_Info"), nullptr) << "absent values are not created";
    EXPECT_EQ(m.system.restartRequests, 0) << "No means no restart";

    // A maximum another tool lowered is raised with no rate changed, and
    // the driver reads it at boot.
    info[8] = 60;
    max[16] = 60;
    m.registry.SetBinary(kDeviceKey, "DALR6 CRT_Info", info);
    m.registry.SetBinary(kDeviceKey, "DALR6 CRT_MaxModeInfo", max);
    Start();
    m.system.shown.clear();
    m.system.answers = {kIdOk, kIdNo};
    EXPECT_EQ(Ok(), 0);
    ASSERT_EQ(m.system.shown.size(), 2u);
    EXPECT_EQ(m.system.shown[1].text, "The changes take effect only when Windows restarts. Restart now?");
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALR6 CRT_Info")->data[8], 100);
}

TEST_F(Apply, ARateAtTheControlPanelsMaximumNeedsNoCorrection) {
    Start();
    SetRate("1024x768", "85");  // the demo card's Info and MaxModeInfo hold 85
    m.system.answers = {kIdNo};
    EXPECT_EQ(Ok(), 0);
    for (const auto& box : m.system.shown) EXPECT_EQ(box.text.find("Control Panel settings"), std::string::npos);
}

// What the snapshots hold: on Windows 2000 the desktop options lie in the
// device key's branch, on XP in one of their own; another head's key is a
// branch too, and its "PruningMode" a value Kelvane owns.
TEST(DriverKeys, EveryKeyKelvaneWritesIsABranchOfTheSnapshotsOnce) {
    AdapterContext a;
    a.DeviceKey = "SYSTEM\\Dev";
    a.DisplayDevices = {{"card", "\\Registry\\Machine\\SYSTEM\\Dev", "\\\\.\\DISPLAY1"},
                        {"head", "\\Registry\\Machine\\SYSTEM\\Dev1", "\\\\.\\DISPLAY2"}};
    a.DeviceCount = 2;
    auto branches = [&](const std::string& desktopKey) {
        a.DesktopKey = desktopKey;
        return SnapshotBranches(DriverKeysOf(a).keys);
    };
    using Keys = std::vector<std::string>;
    EXPECT_EQ(branches("system\\dev\\Desktop"), (Keys{"SYSTEM\\Dev", "SYSTEM\\Dev1"}));
    EXPECT_EQ(branches("SYSTEM\\Dev0\\Desktop"), (Keys{"SYSTEM\\Dev", "SYSTEM\\Dev0\\Desktop", "SYSTEM\\Dev1"}));
    EXPECT_EQ(branches(""), (Keys{"SYSTEM\\Dev", "SYSTEM\\Dev1"}));
    std::size_t desktopValues = 0, headValues = 0;
    for (const ValueRef& v : DriverKeysOf(a).ownValues) {
        desktopValues += v.key == a.DesktopKey;
        headValues += v.key == "SYSTEM\\Dev1";
    }
    EXPECT_EQ(desktopValues, 0u);
    a.DesktopKey = "SOFTWARE\\ATI Technologies\\Desktop\\{6C5A}";
    for (const ValueRef& v : DriverKeysOf(a).ownValues) desktopValues += v.key == a.DesktopKey;
    EXPECT_EQ(desktopValues, DesktopOptions().size());
    EXPECT_EQ(headValues, 1u);
}

TEST_F(Apply, ControlPanelValuesTooShortForTheRateAreNotClaimedCorrected) {
    m.registry.SetBinary(kDeviceKey, "DALR6 CRT_Info", Bytes(8, 0));  // no byte 8
    m.registry.DeleteValue(kDeviceKey, "DALR6 CRT_MaxModeInfo");
    Start();
    SetRate("1024x768", "100");
    EXPECT_EQ(Ok(), 0);
    for (const auto& box : m.system.shown) EXPECT_EQ(box.text.find("Control Panel settings"), std::string::npos);
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALR6 CRT_Info")->data, Bytes(8, 0));
    EXPECT_EQ(m.registry.Find(kDeviceKey, "DALR6 CRT_MaxModeInfo"), nullptr);
}

TEST_F(Apply, ARateThatIsNoByteStopsOkWithoutWritingAnything) {
    Start();
    SetRate("640x480", "300");
    auto before = m.registry.ChangeCount();
    EXPECT_EQ(Ok(), -1) << "the program stays open";
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text, "The refresh rate for 640x480 must be a whole number from 0 to 255.");
    EXPECT_EQ(m.registry.ChangeCount(), before);
    EXPECT_FALSE(m.system.HasFile("C:\\Kelvane\\lastknowngood.dat"));
}

TEST_F(Apply, MoreRecordsThanTheDriversListHoldsAreRefused) {
    Bytes many;
    for (int i = 0; i < 251; ++i) many = Join({many, Rec(0, 0, 0, static_cast<std::uint16_t>(i + 1))});
    // The padding after them is no record the choice needs.
    for (const Bytes& list : {many, Padded(many)}) {
        m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD1", list);
        Start();
        SetRate("640x480", "120");
        m.system.shown.clear();
        auto before = m.registry.ChangeCount();
        EXPECT_EQ(Ok(), -1);
        ASSERT_EQ(m.system.shown.size(), 1u);
        EXPECT_EQ(m.system.shown[0].text.rfind("The rates chosen need 257\u00A0restricted modes, but the driver's list "
                                               "holds at most 256.", 0), 0u) << m.system.shown[0].text;
        EXPECT_EQ(m.registry.ChangeCount(), before);
    }
}


TEST_F(Apply, TheSnapshotHoldsTheValuesFromBeforeOk) {
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 43));
    m.Boot();
    Start();
    SetRate("640x480", "75");
    EXPECT_EQ(Ok(), 0);
    RegistryImage snapshot;
    ASSERT_TRUE(ImportRegFile(snapshot, *m.system.ReadFile("C:\\Kelvane\\lastknowngood.dat")));
    EXPECT_EQ(snapshot.Find(kDeviceKey, "DALRestrictedModesBCD")->data, Rec(0, 0, 0, 43));
    EXPECT_NE(List()->data, Rec(0, 0, 0, 43));
}


TEST_F(Apply, CancelPutsTheStartUpSnapshotBackButNotAfterACheckStart) {
    Start();
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(640, 480, 0, 60));
    m.registry.SetDword(kDeviceKey, "PruningMode", 0);
    EXPECT_THROW(form->CancelClick(), ProgramEnded);
    EXPECT_EQ(List(), nullptr) << "a list written after the snapshot goes too";
    std::uint16_t pruning = 7;
    ReadDwordValue(m.registry, kDeviceKey, "PruningMode", pruning);
    EXPECT_EQ(pruning, 1);
    EXPECT_NE(m.registry.Find(kProductSettingsKey, "LangFileName"), nullptr);

    m.AwaitCheck();
    m.system.commandLine = test::kCheckCommand;
    Start();
    (*form->modeCheck)["bOK"].UserClick();
    m.system.launches.clear();
    m.registry.SetDword(kDeviceKey, "PruningMode", 0);
    EXPECT_THROW(form->CancelClick(), ProgramEnded);
    EXPECT_TRUE(m.system.launches.empty());
    ReadDwordValue(m.registry, kDeviceKey, "PruningMode", pruning);
    EXPECT_EQ(pruning, 0);
}

TEST_F(Apply, WithoutASnapshotFileCancelDeletesNothing) {
    m.system.registryEditorPresent = false;
    Start();
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(640, 480, 0, 60));
    EXPECT_THROW(form->CancelClick(), ProgramEnded);
    EXPECT_TRUE(List()) << "only a snapshot of the key may tell what to delete";
}

TEST_F(Apply, RestoreAnsweredNoStillImportsAndEnds) {
    Start();
    SetRate("640x480", "75");
    EXPECT_EQ(Ok(), 0);
    // The change was checked after its restart.
    m.Boot();
    m.TakeRunOnceCommands();
    m.system.commandLine = test::kCheckCommand;
    Start();
    form->modeCheck->bOKClick();
    m.system.commandLine = "Kelvane.exe";
    m.system.shown.clear();
    m.system.answers = {kIdNo};
    Start();
    m.system.launches.clear();
    EXPECT_THROW(form->bRestoreClick(), ProgramEnded);
    ASSERT_EQ(m.system.launches.size(), 1u);
    EXPECT_EQ(m.system.launches[0].parameters, "/s \"C:\\Kelvane\\lastknowngood.dat\"");
    EXPECT_EQ(List(), nullptr);
    EXPECT_EQ(m.system.shown.back().text, "Registry restored from backup. Restart now?");
    EXPECT_EQ(m.system.shown.back().caption, "Restart Needed");
    EXPECT_EQ(m.system.restartRequests, 0);
}

TEST_F(Apply, AYesToTheRestoreQuestionRestoresAtTheFirstPaint) {
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Rec(0, 0, 0, 43));
    m.Boot();
    Start();
    SetRate("640x480", "75");
    EXPECT_EQ(Ok(), 0);  // lastknowngood holds only the 43 Hz record
    // The driver never took the new list: 640x480 still offers 60 Hz.
    m.system.answers = {kIdYes, kIdNo};
    form = std::make_unique<TForm1>(m.platform);
    form->FormCreate();
    EXPECT_TRUE(form->state.RestoreAtStart);
    m.system.launches.clear();
    EXPECT_THROW(form->FormPaint(), ProgramEnded);
    ASSERT_EQ(m.system.launches.size(), 1u) << "no backup export, only the restore";
    EXPECT_EQ(List()->data, Rec(0, 0, 0, 43));
    EXPECT_TRUE(form->dialogs.empty());
}

}  // namespace
}  // namespace kv
