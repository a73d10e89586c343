#include <gtest/gtest.h>

#include "app/KVMAIN.h"
#include "TestMachine.h"

namespace kv {
namespace {

// An adapter that offers `rows` resolutions, 800 + 8 * i wide, at 60, 75
// and 85 Hz.
class ManyRowsDisplay : public IDisplay {
public:
    explicit ManyRowsDisplay(int rows) {
        for (int i = 0; i < rows; ++i)
            for (std::uint32_t rate : {60u, 75u, 85u})
                modes.push_back({800u + 8u * static_cast<std::uint32_t>(i), 600, 32, rate});
    }
    std::optional<DisplayDeviceInfo> EnumDevice(std::uint32_t i) override {
        if (i) return std::nullopt;
        return DisplayDeviceInfo{"\\\\.\\DISPLAY1", "Card", 5, std::string("\\Registry\\Machine\\") + test::kDeviceKey, ""};
    }
    std::optional<DisplayMode> EnumMode(const std::string&, std::uint32_t i, std::uint32_t) override {
        if (i >= modes.size()) return std::nullopt;
        return modes[i];
    }
    bool ChangeFrequency(std::uint32_t, std::uint32_t) override { return false; }
    std::optional<DisplayMode> CurrentMode(const std::string&) override { return std::nullopt; }
    long ChangeMode(const std::string&, const DisplayMode&, std::uint32_t) override { return kDispChangeFailed; }
    std::vector<DisplayMode> modes;
};

struct Grid {
    explicit Grid(int rows) : display(rows), form(platform) { form.FormCreate(); }
    bool Visible(int k) { return form.Shown(form["ComboBox" + std::to_string(k)]); }
    test::TestMachine m;
    ManyRowsDisplay display;
    Platform platform{m.registry, display, m.system};
    TForm1 form;
};

TEST(RefreshGridTest, SeventeenRowsScrollOneAtATimeAndKeepTypedRates) {
    Grid g(17);
    auto& f = g.form;
    EXPECT_TRUE(f["sbDown"].enabled);
    EXPECT_FALSE(f["sbUp"].enabled);
    EXPECT_EQ(f["l1"].text, "800x600");
    EXPECT_EQ(f["ComboBox1"].items, (std::vector<std::string>{"60", "75", "85"}));
    EXPECT_TRUE(g.Visible(15));

    f["ComboBox1"].text = "85";
    f["sbDown"].UserClick();
    f["sbDown"].UserClick();
    EXPECT_EQ(f.grid.FirstVisibleRow, 2);
    EXPECT_EQ(f["l1"].text, "816x600");
    EXPECT_EQ(f["l15"].text, "928x600");
    EXPECT_FALSE(f["sbDown"].enabled);
    EXPECT_TRUE(f["sbUp"].enabled);
    EXPECT_EQ(f.modes.ResolutionRows[0].selected, 85);

    f["sbUp"].UserClick();
    f["ComboBox15"].text = "75";
    f["sbUp"].UserClick();
    EXPECT_FALSE(f["sbUp"].enabled);
    EXPECT_TRUE(f["sbDown"].enabled);
    EXPECT_EQ(f["ComboBox1"].text, "85");
    EXPECT_EQ(f.modes.ResolutionRows[15].selected, 75) << "the bottom box is stored too";
}

TEST(RefreshGridTest, FewerThanFifteenRowsHideTheRestAndNeverScroll) {
    Grid g(4);
    EXPECT_TRUE(g.Visible(4));
    EXPECT_EQ(g.form["l4"].text, "824x600");
    EXPECT_EQ(g.form["ComboBox4"].items.size(), 3u);
    EXPECT_FALSE(g.Visible(5));
    EXPECT_FALSE(g.form.Shown(g.form["l15"]));
    EXPECT_FALSE(g.form.Shown(g.form["hz5"]));
    EXPECT_FALSE(g.form["sbUp"].enabled);
    EXPECT_FALSE(g.form["sbDown"].enabled);
}

TEST(RefreshGridTest, FifteenRowsFillTheGridWithoutScrolling) {
    Grid g(15);
    EXPECT_TRUE(g.Visible(15));
    EXPECT_EQ(g.form["l15"].text, "912x600");
    EXPECT_FALSE(g.form["sbDown"].enabled);
}

// A driver that ignores the monitor, or many extra resolutions, can list
// more rows than a byte counts.
TEST(RefreshGridTest, EveryRowOfALongTableCanBeReached) {
    Grid g(300);
    auto& f = g.form;
    for (int clicks = 0; clicks < 400 && f["sbDown"].enabled; ++clicks) f["sbDown"].UserClick();
    EXPECT_EQ(f.grid.FirstVisibleRow, 285u);
    EXPECT_EQ(f["l15"].text, "3192x600");
    f["ComboBox15"].text = "85";
    f["sbUp"].UserClick();
    EXPECT_EQ(f.modes.ResolutionRows[299].selected, 85);
    EXPECT_EQ(f["l1"].text, "3072x600");
}

// Another adapter may leave a shorter table; what the user typed into boxes
// that are hidden now is not read.
TEST(RefreshGridTest, BoxesHiddenByAShorterTableAreNotRead) {
    Grid g(17);
    auto& f = g.form;
    f["ComboBox5"].text = "abc";
    f.modes.ResolutionRows.resize(4);
    f.grid.Fill();
    f["ComboBox4"].text = "75";
    EXPECT_EQ(f.grid.StoreVisibleBoxes(), std::nullopt);
    EXPECT_EQ(f.modes.ResolutionRows[3].selected, 75);
}

TEST(RefreshGridTest, AnEmptyTableShowsNoRowAndAutoconfigChangesNothing) {
    Grid g(0);
    EXPECT_FALSE(g.Visible(1));
    g.form["bAuto"].UserClick();
    EXPECT_FALSE(g.Visible(1));
    EXPECT_TRUE(g.m.system.shown.empty());
}

TEST(RefreshGridTest, AutoconfigPicksEveryHighestRateAndReturnsToTheTop) {
    Grid g(17);
    auto& f = g.form;
    f["sbDown"].UserClick();
    f["bAuto"].UserClick();
    EXPECT_EQ(f.grid.FirstVisibleRow, 0);
    EXPECT_FALSE(f["sbUp"].enabled);
    EXPECT_EQ(f["l1"].text, "800x600");
    EXPECT_EQ(f["ComboBox1"].text, "85");
    EXPECT_EQ(f["ComboBox1"].items.size(), 3u) << "each rate offered once";
    for (const ResolutionRow& row : f.modes.ResolutionRows) EXPECT_EQ(row.selected, 85);
}

TEST(RefreshGridTest, ARateThatIsNoByteStopsTheScrollWithAMessage) {
    Grid g(17);
    auto& f = g.form;
    for (const char* bad : {"300", "256", "7x", "", "-5"}) {
        g.m.system.shown.clear();
        f["ComboBox2"].text = bad;
        f["sbDown"].UserClick();
        EXPECT_EQ(f.grid.FirstVisibleRow, 0) << bad;
        ASSERT_EQ(g.m.system.shown.size(), 1u) << bad;
        EXPECT_EQ(g.m.system.shown[0].text, "The refresh rate for 808x600 must be a whole number from 0 to 255.");
        EXPECT_EQ(f.modes.ResolutionRows[1].selected, 60) << "nothing is stored, not even 300's low byte";
    }
    f["ComboBox2"].text = " 75 ";
    f["ComboBox3"].text = "255";
    f["sbDown"].UserClick();
    EXPECT_EQ(f.modes.ResolutionRows[1].selected, 75);
    EXPECT_EQ(f.modes.ResolutionRows[2].selected, 255) << "the largest byte is a rate";
}

}  // namespace
}  // namespace kv
