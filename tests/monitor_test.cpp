// The monitor of the adapter in use: found by the driver key its ID names,
// shown on Adapter Info, and judging the grid's rates, OK, Try Rate,
// Autoconfig and the report.
#include <gtest/gtest.h>

#include "EdidBuilder.h"
#include "MainWindowTest.h"
#include "modes/MonitorRates.h"
#include "report/Report.h"

namespace kv {
namespace {

constexpr const char* kModel = "SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\TSY1913";
constexpr const char* kDriver = "{4D36E96E-E325-11CE-BFC1-08002BE10318}\\0000";

// An instance of the model, naming a driver key, with an EDID or none.
void PutInstance(test::TestMachine& m, const std::string& instance, const std::string& driver,
                 std::optional<RegValue> edid) {
    const std::string key = std::string(kModel) + "\\" + instance;
    m.registry.CreateKey(key + "\\Device Parameters");
    m.registry.SetString(key, "Driver", driver);
    if (edid) m.registry.SetValue(key + "\\Device Parameters", "EDID", *edid);
}

RegValue Binary(const Bytes& bytes) { return {kRegBinary, bytes}; }

TEST(MonitorOfTheAdapter, OnlyTheInstanceNamingTheDriverKeyOfTheMonitorInUseCounts) {
    const Bytes crt = test::Crt19().Build();
    test::EdidBuilder other = test::Crt19();
    other.descriptors.clear();
    other.Name("GONE MONITOR").Range(50, 75, 30, 54, 8);
    test::EdidBuilder bad = test::Crt19();
    bad.breakChecksum = true;
    struct Case {
        const char* what;
        std::function<void(test::TestMachine&)> seed;
        MonitorInfo::State state;
        std::string shown;
    };
    const std::string known = "KELVANE CRT19: 30-96 kHz, 50-160 Hz, 200 MHz";
    const Case cases[] = {
        {"nothing under Enum\\DISPLAY", [](test::TestMachine&) {}, MonitorInfo::State::NoMonitor,
         "Not known: Windows names no monitor for this adapter"},
        {"a monitor once attached and gone comes first",
         [&](test::TestMachine& m) {
             PutInstance(m, "4&1&0&01", "{4D36E96E-E325-11CE-BFC1-08002BE10318}\\0003", Binary(other.Build()));
             PutInstance(m, "5&2&0&02", kDriver, Binary(crt));
         },
         MonitorInfo::State::Known, known},
        {"the driver key in other letter case",
         [&](test::TestMachine& m) { PutInstance(m, "1", "{4d36e96e-e325-11ce-bfc1-08002be10318}\\0000", Binary(crt)); },
         MonitorInfo::State::Known, known},
        {"only a monitor once attached and gone",
         [&](test::TestMachine& m) {
             PutInstance(m, "1", "{4D36E96E-E325-11CE-BFC1-08002BE10318}\\0003", Binary(other.Build()));
         },
         MonitorInfo::State::NoMonitor, "Not known: Windows names no monitor for this adapter"},
        {"no EDID value", [&](test::TestMachine& m) { PutInstance(m, "1", kDriver, std::nullopt); },
         MonitorInfo::State::NoEdid, "Not known: Windows keeps no EDID for it"},
        {"an EDID of text", [&](test::TestMachine& m) { PutInstance(m, "1", kDriver, RegValue{kRegSz, {'A', 0}}); },
         MonitorInfo::State::Unreadable, "Not known: its EDID cannot be read"},
        {"an EDID that cannot be read",
         [&](test::TestMachine& m) {
             PutInstance(m, "1", kDriver, Binary(crt));
             m.registry.refuse = [](SimRegistry::Op op, const std::string&, const std::string& name) {
                 return op == SimRegistry::Op::Query && name == "EDID";
             };
         },
         MonitorInfo::State::Unreadable, "Not known: its EDID cannot be read"},
        {"a wrong checksum", [&](test::TestMachine& m) { PutInstance(m, "1", kDriver, Binary(bad.Build())); },
         MonitorInfo::State::BadEdid, "Not known: its EDID has a wrong checksum"},
        {"Wine's empty EDID", [&](test::TestMachine& m) { PutInstance(m, "1", kDriver, Binary({})); },
         MonitorInfo::State::BadEdid, "Not known: its EDID is shorter than 128 bytes"},
        {"no monitor on the adapter",
         [&](test::TestMachine& m) {
             PutInstance(m, "1", kDriver, Binary(crt));
             m.display.monitors.clear();
         },
         MonitorInfo::State::NoMonitor, "Not known: Windows names no monitor for this adapter"},
        {"a monitor ID of another form",
         [&](test::TestMachine& m) {
             PutInstance(m, "1", kDriver, Binary(crt));
             m.display.monitors[0].deviceId = "MONITOR\\TSY1913";
         },
         MonitorInfo::State::NoMonitor, "Not known: Windows names no monitor for this adapter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::MainWindowDriver d;
        // The test machine is the demo machine, whose CRT Windows knows.
        d.m.registry.DeleteKey(kMonitorInstancesKey);
        c.seed(d.m);
        TForm1& form = d.Start();
        EXPECT_EQ(form.monitor.state, c.state);
        EXPECT_EQ(form["lbMonitor"].text, c.shown);
        // Without a known range nothing is marked, and Autoconfig picks the
        // highest rate as it always did.
        if (c.state != MonitorInfo::State::Known) {
            for (int k = 1; k <= RefreshGrid::kRows; ++k)
                for (const std::string& item : form["ComboBox" + std::to_string(k)].items)
                    EXPECT_EQ(item.find('!'), std::string::npos) << item;
        }
    }
}

class MonitorInTheWindow : public test::MainWindowTest {
protected:
    std::vector<std::string> Items(const std::string& resolution) {
        for (int tries = 0; tries < 5; ++tries) {
            for (int k = 1; k <= 15; ++k)
                if ((*form)["l" + std::to_string(k)].text == resolution) return (*form)["ComboBox" + std::to_string(k)].items;
            (*form)["sbDown"].UserClick();
        }
        return {};
    }
};

// The test machine's CRT declares up to 200 MHz: 1600x1200 at 75 Hz
// (202.5 MHz) and 1920x1440 at 60 Hz (234 MHz) lie outside.
TEST_F(MonitorInTheWindow, RatesOutsideAreMarkedReportedAskedAboutAndNeverPickedByAutoconfig) {
    Start();
    EXPECT_EQ((*form)["lbMonitor"].text, "KELVANE CRT19: 30-96 kHz, 50-160 Hz, 200 MHz");
    EXPECT_EQ(Items("1600x1200"), (std::vector<std::string>{"60", "65", "70", "75 !"}));
    EXPECT_EQ(Items("1920x1440"), (std::vector<std::string>{"60 !"}));
    // GTF's least blanking puts 320x200 at 60 Hz at 12 kHz; the driver adds
    // blank lines to reach the monitor's lowest rate: no mark.
    for (int i = 0; i < 5; ++i) (*form)["sbUp"].UserClick();
    EXPECT_EQ(Items("320x200"), (std::vector<std::string>{"60", "70", "72", "75", "85", "100", "120"}));

    // The report: the monitor, the verdict on each chosen rate, the EDID.
    ReportFacts facts;
    facts.rows = {form->modes.ResolutionRows.back()};  // 1920x1440 at 60
    facts.rows[0].selected = 60;
    facts.monitor = &form->monitor;
    std::string log = ReportLog(m.platform, form->adapter, facts);
    EXPECT_NE(log.find("\r\nMonitor: KELVANE CRT19 SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\TSY1913\\5&2B3C4D&0&12345678&01&00\r\n"
                       "EDID version: 1.3\r\n"
                       "Range: 50-160 Hz, 30-96 kHz, 200 MHz\r\n"
                       "Chosen rates:\r\n"
                       "1920x1440 60: outside (90.0 kHz, 234.0 MHz)\r\n"
                       "EDID:\r\n00 FF FF FF FF FF FF 00"),
              std::string::npos)
        << log;

    // Autoconfig: the highest rate inside; a row with none keeps its choice.
    Click("bAuto");
    const auto row = [&](int w, int h) {
        for (const ResolutionRow& r : form->modes.ResolutionRows)
            if (r.width == w && r.height == h) return r.selected;
        return std::uint8_t{0};
    };
    EXPECT_EQ(row(1600, 1200), 70);
    EXPECT_EQ(row(1920, 1440), 60);
    EXPECT_EQ(row(1280, 1024), 85);

    // OK names the row, the rate and the limit, and No (the default)
    // saves nothing; a rate chosen before this run is not asked about.
    SetRate("1600x1200", "75 !");
    const unsigned long before = m.registry.ChangeCount();
    m.system.shown.clear();
    EXPECT_EQ(Ok(), -1);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].caption, "Outside the monitor's range");
    EXPECT_EQ(m.system.shown[0].buttons, kMbYesNo | kMbDefaultSecond);
    EXPECT_EQ(m.system.shown[0].text,
              "These rates lie outside the range your monitor declares it can show:\n\n"
              "1600x1200 at 75 Hz: needs 202.5 MHz; the monitor declares at most 200 MHz\n\n"
              "At such a rate the screen may stay dark, and an old monitor may be strained. Save them all the same?");
    EXPECT_EQ(m.registry.ChangeCount(), before);

    // Try Rate asks too, and No tries nothing.
    m.system.shown.clear();
    for (int k = 1; k <= RefreshGrid::kRows; ++k)
        if ((*form)["l" + std::to_string(k)].text == "1600x1200")
            form->RunCommand([&] { (*form)["ComboBox" + std::to_string(k)].onContextMenu()[0].onClick(); });
    ASSERT_FALSE(m.system.shown.empty());
    EXPECT_EQ(m.system.shown[0].caption, "Outside the monitor's range");
    EXPECT_NE(m.system.shown[0].text.find("The try ends by itself after 15 seconds."), std::string::npos);
    EXPECT_EQ(Open("TTryRate"), nullptr);
    EXPECT_EQ(m.display.modeChanges, 0);

    // Yes saves.
    m.system.answers = {kIdYes};
    EXPECT_EQ(Ok(), 0);
    EXPECT_NE(m.registry.ChangeCount(), before);
}

}  // namespace
}  // namespace kv
