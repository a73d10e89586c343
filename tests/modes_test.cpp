#include <gtest/gtest.h>

#include "app/KVMAIN.h"
#include "modes/ModeRecords.h"
#include "TestMachine.h"

namespace kv {
namespace {

using test::kDeviceKey;
using test::TestMachine;

Bytes Records(std::initializer_list<ModeEntry> entries) {
    Bytes out;
    for (const ModeEntry& e : entries) {
        BcdModeRecord r = EncodeModeRecord(e);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

const ResolutionRow* Row(TForm1& form, int w, int h) {
    for (const ResolutionRow& r : form.modes.ResolutionRows)
        if (r.width == w && r.height == h) return &r;
    return nullptr;
}

TEST(ModeRecordCodec, EncodesEachFieldAsFourBcdDigits) {
    EXPECT_EQ(EncodeModeRecord({640, 480, 0, 60}), (BcdModeRecord{0x06, 0x40, 0x04, 0x80, 0, 0, 0x00, 0x60}));
    EXPECT_EQ(EncodeModeRecord({1280, 1024, 32, 120}),
              (BcdModeRecord{0x12, 0x80, 0x10, 0x24, 0x00, 0x32, 0x01, 0x20}));
    ListBuffer b = EmptyListBuffer();
    const std::uint8_t rec[8] = {0x12, 0x80, 0x10, 0x24, 0, 0, 0, 0x75};
    std::copy(rec, rec + 8, b.begin());
    auto list = DecodeList(b);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].width, 1280);
    EXPECT_EQ(list[0].height, 1024);
    EXPECT_EQ(list[0].depth, 0);
    EXPECT_EQ(list[0].rate, 75);
}

TEST(ModeRecordCodec, AFullBufferIsReadWholeAndAnFFRecordEndsTheList) {
    ListBuffer b;
    for (std::size_t i = 0; i < kMaxListRecords; ++i) {
        BcdModeRecord r = EncodeModeRecord({800, 600, 0, static_cast<std::uint16_t>(i % 100)});
        std::copy(r.begin(), r.end(), b.begin() + static_cast<long>(i * 8));
    }
    EXPECT_EQ(DecodeList(b).size(), 256u);
    b[8 * 3] = 0xFF;
    EXPECT_EQ(DecodeList(b).size(), 3u);
    EXPECT_TRUE(DecodeList(EmptyListBuffer()).empty());
}

TEST(ModeRecordCodec, OnlyTheBytesTheValueHeldAreRecords) {
    ListBuffer b{};  // zeros, not 0xFF, beyond what the value held
    BcdModeRecord r = EncodeModeRecord({640, 480, 0, 60});
    std::copy(r.begin(), r.end(), b.begin());
    EXPECT_EQ(DecodeList(b, 8).size(), 1u);
    std::vector<Bytes> raw;
    EXPECT_EQ(DecodeList(b, 11, &raw).size(), 1u);
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0], (Bytes{0, 0, 0})) << "a short last record is kept as it was";
}

// A display whose every index is the same mode: the enumeration gives up
// after 65536 of them.
struct EndlessDisplay : IDisplay {
    std::uint32_t calls = 0;
    std::vector<DisplayMode> modes;
    std::optional<DisplayDeviceInfo> EnumDevice(std::uint32_t) override { return std::nullopt; }
    std::optional<DisplayMode> EnumMode(const std::string&, std::uint32_t i, std::uint32_t) override {
        ++calls;
        if (i < modes.size()) return modes[i];
        return DisplayMode{640, 480, 8, 60};
    }
    bool ChangeFrequency(std::uint32_t, std::uint32_t) override { return false; }
    std::optional<DisplayMode> CurrentMode(const std::string&) override { return std::nullopt; }
    long ChangeMode(const std::string&, const DisplayMode&, std::uint32_t) override { return kDispChangeFailed; }
};

TEST(TableRules, ModesWithoutASizeOrARateInAByteAreSkipped) {
    EndlessDisplay d;
    d.modes = {{0, 480, 8, 60}, {640, 0, 8, 70}, {640, 480, 8, 0}, {640, 480, 8, 255}, {640, 480, 8, 256}};
    std::vector<ResolutionRow> rows = RowsFromSystemModes(d, "", 0);
    EXPECT_EQ(d.calls, 65536u);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].rates, (std::vector<std::uint8_t>{255, 60}));
}

TEST(TableRules, OnlyWholeModeRecordsMergeAndSortingOrdersWidthThenHeight) {
    std::vector<ResolutionRow> rows = {{1024, 1280, {60}, 0}, {480, 640, {75, 60}, 0}, {400, 640, {70}, 0}};
    std::vector<ModeEntry> records = {{0, 480, 0, 85},   {640, 0, 0, 85},   {640, 480, 0, 0},
                                      {640, 480, 0, 316}, {640, 480, 0, 255}, {640, 480, 0, 72}};
    EXPECT_FALSE(MergeRestrictedModes(rows, records));
    EXPECT_TRUE(MergeRestrictedModes(rows, {{640, 480, 0, 72}})) << "a rate the row has is still offered";
    SortRows(rows);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].height, 400);
    EXPECT_EQ(rows[1].height, 480);
    EXPECT_EQ(rows[2].width, 1280);
    EXPECT_EQ(rows[1].rates, (std::vector<std::uint8_t>{60, 72, 75, 255}));

    // A rate record above 255 Hz is no 60 Hz record (316 is 60 in a byte).
    SelectAllowedRates(rows, {{640, 480, 0, 316}, {640, 480, 0, 0}});
    EXPECT_EQ(rows[1].selected, 60);
    // 60 and 75 restricted, 72 not: the lowest allowed is 72.
    SelectAllowedRates(rows, {{640, 480, 0, 60}, {640, 480, 0, 75}});
    EXPECT_EQ(rows[1].selected, 72);
    EXPECT_EQ(rows[0].selected, 70);
}

// A resolution the enumeration lists twice keeps both rows, each taking the
// list's rates and its own selection; the resolutions only the list names
// follow in the order it first names them, one row each however many
// records name them, until the sort puts every row in its place.
TEST(TableRules, EveryRowOfAResolutionTakesItsRecordsAndNewOnesKeepTheListsOrder) {
    std::vector<ResolutionRow> rows = {{480, 640, {60}, 0}, {600, 800, {60}, 0}, {480, 640, {70}, 0}};
    std::vector<ModeEntry> records;
    for (std::uint16_t k = 0; k < 40; ++k) {
        auto width = static_cast<std::uint16_t>(2000 - 8 * k);  // from the widest down
        records.push_back({width, 1000, 0, 85});
        records.push_back({640, 480, 0, static_cast<std::uint16_t>(100 + k)});
        records.push_back({width, 1000, 0, 75});
    }
    EXPECT_FALSE(MergeRestrictedModes(rows, records));
    ASSERT_EQ(rows.size(), 43u);
    EXPECT_EQ(rows[0].rates.size(), 41u);
    EXPECT_EQ(rows[1].rates, (std::vector<std::uint8_t>{60}));
    EXPECT_EQ(rows[2].rates.size(), 41u);
    for (std::size_t k = 0; k < 40; ++k) {
        EXPECT_EQ(rows[3 + k].width, 2000 - 8 * k);
        EXPECT_EQ(rows[3 + k].rates, (std::vector<std::uint8_t>{85, 75}));
    }

    SortRows(rows);
    EXPECT_EQ(rows[0].rates.front(), 60) << "the two 640x480 rows keep their order";
    EXPECT_EQ(rows[1].rates.front(), 70);
    EXPECT_EQ(rows[2].width, 800);
    for (std::size_t k = 0; k < 40; ++k) {
        EXPECT_EQ(rows[3 + k].width, 1688 + 8 * k);
        EXPECT_EQ(rows[3 + k].rates, (std::vector<std::uint8_t>{75, 85}));
    }

    SelectAllowedRates(rows, {{640, 480, 0, 60}, {2000, 1000, 0, 75}, {640, 480, 0, 100}});
    EXPECT_EQ(rows[0].selected, 101);
    EXPECT_EQ(rows[1].selected, 70);
    EXPECT_EQ(rows[2].selected, 60);
    EXPECT_EQ(rows[42].selected, 85);
    EXPECT_EQ(rows[41].selected, 75);
}

TEST(TableRules, OnlyModeRecordsOfTheContinuationValuesRaiseTheFlag) {
    ModeTable t;
    CollectKeptRecords(t, {{640, 480, 0, 60}, {0, 0, 0, 60}, {640, 480, 0, 0}}, false);
    EXPECT_FALSE(t.ExtraListsHoldModes);
    CollectKeptRecords(t, {{0, 0, 0, 60}, {640, 480, 0, 0}, {0, 0, 16, 0}}, true);
    EXPECT_FALSE(t.ExtraListsHoldModes);
    for (ModeEntry e : {ModeEntry{640, 0, 0, 60}, ModeEntry{0, 480, 0, 60}}) {
        ModeTable u;
        CollectKeptRecords(u, {e}, true);
        EXPECT_TRUE(u.ExtraListsHoldModes) << e.width << "x" << e.height;
    }
}

class TableBuild : public ::testing::Test {
protected:
    void SetList(const char* name, const Bytes& data) { m.registry.SetBinary(kDeviceKey, name, data); }
    // The driver takes its lists at boot; then Kelvane starts.
    TForm1& StartAfterBoot() {
        m.Boot();
        return Start();
    }
    TForm1& Start() {
        form = std::make_unique<TForm1>(m.platform);
        form->RunCommand([&] { form->FormCreate(); });
        return *form;
    }
    TestMachine m;
    std::unique_ptr<TForm1> form;
};

TEST_F(TableBuild, RowsFollowTheFirstColourDepthsResolutionsInOrder) {
    TForm1& f = StartAfterBoot();
    ASSERT_EQ(f.modes.ResolutionRows.size(), 18u);
    EXPECT_EQ(f.modes.ResolutionRows.front().width, 320);
    EXPECT_EQ(f.modes.ResolutionRows.back().width, 1920);
    const ResolutionRow* r = Row(f, 800, 600);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rates, (std::vector<std::uint8_t>{56, 60, 70, 72, 75, 85, 100, 120}));
    EXPECT_EQ(r->selected, 56);
}

TEST_F(TableBuild, SelectionIsTheLowestRateTheListLeavesAllowed) {
    SetList("DALRestrictedModesBCD", Records({{640, 480, 0, 60}, {640, 480, 0, 70}, {640, 480, 0, 72},
                                              {1280, 1024, 0, 60}, {1280, 1024, 0, 70}, {1280, 1024, 0, 75},
                                              {1280, 1024, 0, 85}}));
    TForm1& f = StartAfterBoot();
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_EQ(Row(f, 640, 480)->selected, 75);
    EXPECT_EQ(Row(f, 640, 480)->rates.front(), 60) << "restricted rates come back into the row";
    EXPECT_EQ(Row(f, 1280, 1024)->selected, kAllRatesRestricted);
    EXPECT_EQ(f["ComboBox1"].text, "60");
}

TEST_F(TableBuild, ARestrictedModeWithoutAnEnumeratedResolutionBecomesItsOwnRow) {
    SetList("DALRestrictedModesBCD", Records({{1400, 1050, 0, 60}}));
    TForm1& f = StartAfterBoot();
    const ResolutionRow* r = Row(f, 1400, 1050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rates, (std::vector<std::uint8_t>{60}));
    EXPECT_EQ(r->selected, kAllRatesRestricted);
    EXPECT_EQ(&f.modes.ResolutionRows.back() - 2, r) << "sorted in among the others by width";
}

TEST_F(TableBuild, ARestrictedRateStillOfferedAsksToRestore) {
    SetList("DALRestrictedModesBCD", Records({{640, 480, 0, 60}}));
    m.system.answers = {kIdYes};
    TForm1& f = Start();  // no boot: the driver has not taken the list
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text,
              "A refresh rate that should be disabled is in use. Restoring the previous registry data is "
              "strongly recommended. Restore now?");
    EXPECT_EQ(m.system.shown[0].caption, "Error");
    EXPECT_EQ(m.system.shown[0].buttons, kMbYesNo);
    EXPECT_TRUE(f.state.RestoreAtStart);
    EXPECT_EQ(Row(f, 640, 480)->selected, 70);
}

TEST_F(TableBuild, ContinuationValuesOnlyRaiseTheFlagAndAllFiveKeepTheirOtherRecords) {
    SetList("DALRestrictedModesBCD", Records({{0, 0, 0, 56}, {1600, 1200, 0, 0}, {0, 0, 16, 0}}));
    SetList("DALRestrictedModesBCD2", Records({{640, 480, 0, 60}, {0, 0, 0, 43}}));
    SetList("DALRestrictedModesBCD4", Records({{1024, 768, 0, 0}}));
    TForm1& f = StartAfterBoot();
    EXPECT_TRUE(f.modes.ExtraListsHoldModes);
    EXPECT_EQ(Row(f, 800, 600)->selected, 60) << "the 56 Hz rate record keeps 800x600 from offering 56";
    EXPECT_EQ(Row(f, 640, 480)->selected, 70) << "the driver took the continuation record; Kelvane does not";
    EXPECT_EQ(f.modes.RestrictedRates, (std::vector<std::uint16_t>{56, 43}));
    ASSERT_EQ(f.modes.RestrictedResolutions.size(), 2u);
    EXPECT_EQ(f.modes.RestrictedResolutions[0].width, 1600);
    EXPECT_EQ(f.modes.RestrictedResolutions[1].height, 768);
}

// A list Kelvane cannot read whole is named, with what is wrong and what
// Kelvane does about it; start-up goes on with the lists locked.
TEST_F(TableBuild, AListThatCannotBeReadWholeIsNamedAndLocksTheLists) {
    SetList("DALRestrictedModesBCD3", Bytes(2049, 0x00));
    TForm1& f = StartAfterBoot();
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text,
              "Kelvane cannot read the driver's value 'DALRestrictedModesBCD3': it holds 2049\u00A0bytes, more than the "
              "2048 bytes (256 modes) Kelvane can read. Kelvane leaves the driver's restricted-mode lists as they are: the refresh rates "
              "cannot be changed, but the other settings can. Only a repair with Fix&Restart resets them (the "
              "snapshot it takes first keeps them).");
    EXPECT_TRUE(f.state.DriverListsUnreadable);
    EXPECT_TRUE(f.state.StartupComplete);
    EXPECT_FALSE(f["ComboBox1"].enabled);
    EXPECT_FALSE(f["bAuto"].enabled);

    // Exactly 2048 bytes is read whole.
    Bytes full;
    for (int i = 0; i < 256; ++i) {
        BcdModeRecord r = EncodeModeRecord({0, 0, 0, static_cast<std::uint16_t>(i + 1)});
        full.insert(full.end(), r.begin(), r.end());
    }
    SetList("DALRestrictedModesBCD3", full);
    m.system.shown.clear();
    TForm1& g = StartAfterBoot();
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_FALSE(g.state.DriverListsUnreadable);
    EXPECT_TRUE(g["ComboBox1"].enabled);
    ASSERT_EQ(g.modes.RestrictedRates.size(), 256u);
    EXPECT_EQ(g.modes.RestrictedRates.back(), 256);
}

TEST_F(TableBuild, AListOfTheWrongTypeIsNamedAndStartUpGoesOn) {
    m.registry.SetString(kDeviceKey, "DALRestrictedModesBCD", "garbage");
    m.registry.SetDword(kDeviceKey, "DALRestrictedModesBCD2", 5);
    TForm1& f = StartAfterBoot();
    ASSERT_EQ(m.system.shown.size(), 2u);
    EXPECT_EQ(m.system.shown[0].text.substr(0, 80),
              "Kelvane cannot read the driver's value 'DALRestrictedModesBCD': it holds a text.");
    EXPECT_NE(m.system.shown[1].text.find("'DALRestrictedModesBCD2': it holds a number"),
              std::string::npos);
    EXPECT_TRUE(f.state.StartupComplete);
    EXPECT_TRUE(f.state.DriverListsUnreadable);
    EXPECT_EQ(f["l1"].text, "320x200") << "the grid is filled";
    EXPECT_EQ(f["lbChip"].text.empty(), false) << "and the adapter page";
}

TEST_F(TableBuild, PruningModeZeroEnumeratesRawAndDisablesAutoconfig) {
    m.registry.SetDword(kDeviceKey, "PruningMode", 0);
    TForm1& f = StartAfterBoot();
    EXPECT_FALSE(f["bAuto"].enabled);
    EXPECT_EQ(Row(f, 1024, 768)->rates.back(), 120) << "the raw list has rates the monitor cannot take";
    m.registry.SetDword(kDeviceKey, "PruningMode", 0x10000);  // low half 0 as well
    EXPECT_FALSE(Start()["bAuto"].enabled);
    m.registry.DeleteValue(kDeviceKey, "PruningMode");
    TForm1& g = Start();
    EXPECT_TRUE(g["bAuto"].enabled) << "an absent value counts as pruning on";
    EXPECT_EQ(Row(g, 1024, 768)->rates.back(), 100);
}

TEST_F(TableBuild, ModesEnumeratedTwiceOrOutOfOrderMakeOneRowEach) {
    m.display.enumeration = std::vector<DisplayMode>{{640, 480, 8, 75}, {640, 480, 8, 60}, {640, 480, 8, 75},
                                                     {800, 600, 8, 0},  {800, 600, 8, 60}, {800, 600, 8, 300},
                                                     {1024, 768, 8, 60}, {640, 480, 32, 85}};
    TForm1& f = StartAfterBoot();
    ASSERT_EQ(f.modes.ResolutionRows.size(), 3u) << "the smaller width starts the next depth: the end";
    EXPECT_EQ(Row(f, 640, 480)->rates, (std::vector<std::uint8_t>{60, 75}));
    EXPECT_EQ(Row(f, 800, 600)->rates, (std::vector<std::uint8_t>{60})) << "no rate 0, none above 255";
}

TEST_F(TableBuild, AnisotropyDegreeIsReadFromTheDdhalKey) {
    m.registry.SetString(std::string(kDeviceKey) + "\\ddhal", "AnisoDegree", "64");
    TForm1& f = StartAfterBoot();
    EXPECT_TRUE(f["cbAnisoD3D"].Checked());
    EXPECT_TRUE(f["cbAnisoDegree"].enabled);
    EXPECT_EQ(f["cbAnisoDegree"].text, "64");
    EXPECT_EQ(f.restartNeed.Startup().anisoDegree, "64");

    m.registry.SetString(std::string(kDeviceKey) + "\\ddhal", "AnisoDegree", "");
    TForm1& g = Start();
    EXPECT_FALSE(g["cbAnisoD3D"].Checked());
    EXPECT_FALSE(g["cbAnisoDegree"].enabled);
    EXPECT_EQ(g["cbAnisoDegree"].text, "16");
}

}  // namespace
}  // namespace kv
