// Trying a grid row's rate before the restart: the display shows it now and
// comes back by itself, and nothing reaches the registry.
#include <functional>

#include "MainWindowTest.h"
#include "maintenance/ModeCheckSchedule.h"
#include "modes/TryRate.h"

namespace kv::test {
namespace {

constexpr DisplayMode kBootMode{1024, 768, 32, 60};

class TryRate : public MainWindowTest {
protected:
    // The number (1 to 15) of the grid row that shows a resolution,
    // scrolled into view.
    int Row(const std::string& resolution) {
        for (int tries = 0; tries < 40; ++tries) {
            for (int k = 1; k <= RefreshGrid::kRows; ++k)
                if ((*form)["l" + std::to_string(k)].text == resolution) return k;
            (*form)["sbDown"].UserClick();
        }
        ADD_FAILURE() << "no row " << resolution;
        return 1;
    }
    ui::Control& Box(const std::string& resolution) { return (*form)["ComboBox" + std::to_string(Row(resolution))]; }
    // The one item a right-click on the row's label or rate box offers.
    ui::MenuItem RowMenu(const std::string& resolution, const char* control = "l") {
        std::vector<ui::MenuItem> items = (*form)[control + std::to_string(Row(resolution))].onContextMenu();
        EXPECT_EQ(items.size(), 1u);
        return items.empty() ? ui::MenuItem{} : items[0];
    }
    // Right-click, then the item: the try window, if one opened.
    TTryRate* TryFromRow(const std::string& resolution, const char* control = "l") {
        ui::MenuItem item = RowMenu(resolution, control);
        if (item.enabled) form->RunCommand(item.onClick);
        return Open<TTryRate>("TTryRate");
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (const auto& box : m.system.shown) texts.push_back(box.text);
        return texts;
    }
};

TEST_F(TryRate, EveryWayOutBringsThePreviousModeBackAndOnlyKeepLeavesTheRateInTheGrid) {
    struct Way {
        const char* name;
        std::function<void(TTryRate&)> out;
        bool kept;
    };
    const Way ways[] = {
        {"the count-down",
         [](TTryRate& w) {
             for (int s = 0; s < 14; ++s) w.timers[0].onTimer();
             EXPECT_EQ(w.Label2.text, "The previous mode comes back in 1\u00A0second");
             EXPECT_FALSE(w.closed) << "one second is left";
             w.timers[0].onTimer();
         },
         false},
        {"Back", [](TTryRate& w) { w.bBack.UserClick(); }, false},
        {"Esc", [](TTryRate& w) { w.PressEscape(); }, false},
        {"the close box", [](TTryRate& w) { EXPECT_TRUE(w.onCloseQuery()); }, false},
        {"the end of Windows' session", [](TTryRate& w) { w.onEndSession(); }, false},
        {"Keep this rate", [](TTryRate& w) { w.bKeep.UserClick(); }, true},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        Start();
        Box("1024x768").text = "85";
        unsigned long writes = m.registry.ChangeCount();
        EXPECT_EQ(RowMenu("1024x768", "ComboBox").caption, "Try 1024x768 at 85 Hz now");
        TTryRate* trial = TryFromRow("1024x768");
        ASSERT_TRUE(trial);
        EXPECT_EQ(m.display.Current(), (DisplayMode{1024, 768, 32, 85}));
        EXPECT_EQ(m.display.StoredFrequency(), 0u) << "a mode for now, not stored";
        EXPECT_EQ(trial->caption, "Kelvane - Trying a Rate...");
        EXPECT_TRUE(trial->stayOnTop && trial->modal);
        EXPECT_NE(trial->Label1.text.find("1024x768 at 85 Hz"), std::string::npos);
        EXPECT_EQ(trial->Label2.text, "The previous mode comes back in 15\u00A0seconds");

        form->RunCommand([&] { way.out(*trial); });
        EXPECT_TRUE(trial->closed);
        EXPECT_EQ(m.display.Current(), kBootMode);
        EXPECT_FALSE(m.display.TemporaryMode()) << "back to the stored mode Windows' own way";
        EXPECT_EQ(Box("1024x768").text, way.kept ? "85" : "60");
        EXPECT_EQ(m.registry.ChangeCount(), writes);
        EXPECT_TRUE(m.system.shown.empty());
    }

    // Kept, the rate is written by OK like any other choice in the grid.
    ASSERT_EQ(Ok(), 0);
    ASSERT_TRUE(List());
    EXPECT_EQ(List()->data, Join({Rec(1024, 768, 0, 60), Rec(1024, 768, 0, 70), Rec(1024, 768, 0, 72),
                                  Rec(1024, 768, 0, 75)}));

    // However the program ends during a try, the screen comes back first.
    for (bool destroyed : {false, true}) {
        Start();
        Box("1024x768").text = "75";
        ASSERT_TRUE(TryFromRow("1024x768"));
        if (destroyed)
            form.reset();
        else
            EXPECT_THROW(m.system.EndProgram(0), ProgramEnded);
        EXPECT_EQ(m.display.Current(), kBootMode);
        EXPECT_FALSE(m.display.TemporaryMode());
    }

    // A mode set for now before the try, here an interlaced one, comes back
    // as it was, display flags and all.
    const DisplayMode interlaced{1024, 768, 32, 87, kDisplayInterlaced};
    m.display.moreModes = {interlaced};
    CancelModeCheck(m.platform);  // the saved rate's check answered
    m.Boot();
    Start();
    ASSERT_EQ(m.display.ChangeMode(SimAtiAdapter::kDeviceName, interlaced, kCdsFullscreen), kDispChangeSuccessful);
    Box("1024x768").text = "100";
    ASSERT_TRUE(TryFromRow("1024x768"));
    Open<TTryRate>("TTryRate")->bBack.UserClick();
    EXPECT_EQ(m.display.Current(), interlaced);
    EXPECT_TRUE(m.display.TemporaryMode());
}

TEST_F(TryRate, ARateThatCannotBeShownIsSaidAndChangesNothing) {
    struct Case {
        const char* name;
        const char* rate;
        std::optional<long> answer;
        const char* message;
    };
    const Case cases[] = {
        // The card makes 120 Hz, but Windows leaves it out for the monitor.
        {"above every rate offered", "120", std::nullopt,
         "The display driver does not offer 1024x768 at 120 Hz in the current colour depth, so it cannot be tried. "
         "Nothing was changed."},
        {"the driver fails", "85", kDispChangeFailed,
         "Windows did not switch the display to 1024x768 at 85 Hz. The screen stays as it was."},
        {"a restart is wanted first", "85", kDispChangeRestart,
         "Windows did not switch the display to 1024x768 at 85 Hz. The screen stays as it was."},
        {"no number", "8x", std::nullopt, "The refresh rate for 1024x768 must be a whole number from 0 to 255."},
    };
    // Without the monitor's range: 120 Hz would be asked about first.
    m.display.monitors.clear();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Start();
        m.system.shown.clear();
        m.display.changeAnswer = c.answer;
        Box("1024x768").text = c.rate;
        EXPECT_FALSE(TryFromRow("1024x768", "ComboBox"));
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
        EXPECT_EQ(m.display.Current(), kBootMode);
        EXPECT_EQ(Box("1024x768").text, c.rate);
        m.display.changeAnswer.reset();
    }

    // A rate the driver's list forbids since the last boot is shown in the
    // row, but the driver no longer offers it.
    m.registry.SetValue(kDeviceKey, "DALRestrictedModesBCD", {kRegBinary, Rec(1024, 768, 0, 85)});
    m.Boot();
    Start();
    m.system.shown.clear();
    Box("1024x768").text = "85";
    EXPECT_FALSE(TryFromRow("1024x768"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].substr(0, 52), "The display driver does not offer 1024x768 at 85 Hz ");

    // With no rate of 1024x768 left, Windows starts in a mode still offered
    // (none at 0 Hz), and a try comes back to it without a word.
    m.registry.SetValue(kDeviceKey, "DALRestrictedModesBCD",
                        {kRegBinary, Join({Rec(1024, 768, 0, 60), Rec(1024, 768, 0, 70), Rec(1024, 768, 0, 72),
                                           Rec(1024, 768, 0, 75), Rec(1024, 768, 0, 85), Rec(1024, 768, 0, 100)})});
    m.Boot();
    Start();
    m.system.shown.clear();
    Box("800x600").text = "85";
    ASSERT_TRUE(TryFromRow("800x600"));
    Open<TTryRate>("TTryRate")->bBack.UserClick();
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_NE(m.display.Current().frequency, 0u);
}

TEST_F(TryRate, TheMenuTriesTheRowWhoseBoxHasTheFocus) {
    Start();
    ui::Control& box = Box("1280x1024");  // below the first fifteen rows
    box.text = "75";
    form->focused = &box;
    ASSERT_EQ(Menu("TryRate1"), -1);
    ASSERT_TRUE(Open<TTryRate>("TTryRate"));
    EXPECT_EQ(m.display.Current(), (DisplayMode{1280, 1024, 32, 75}));
    Open<TTryRate>("TTryRate")->bBack.UserClick();

    // With no box focused, the first row shown.
    form->focused = &(*form)["OK"];
    ASSERT_EQ(Menu("TryRate1"), -1);
    EXPECT_EQ(m.display.Current().width, std::stoul((*form)["l1"].text));
}

TEST_F(TryRate, NothingIsTriedDuringTheCheckBesideAnotherWindowOrOnLockedLists) {
    // The check after a restart waits for its answer: it comes to the front.
    m.AwaitCheck();
    m.system.commandLine = kCheckCommand;
    Start();
    ASSERT_TRUE(form->modeCheck && form->modeCheck->Pending());
    EXPECT_FALSE(RowMenu("1024x768").enabled);
    m.system.activated.clear();
    EXPECT_EQ(Menu("TryRate1"), -1);
    EXPECT_FALSE(Open<TTryRate>("TTryRate"));
    EXPECT_EQ(m.display.modeChanges, 0);
    AnswerCheck();

    m.system.commandLine = "\"C:\\Kelvane\\Kelvane.exe\"";
    Start();
    m.system.shown.clear();
    ASSERT_EQ(Menu("About1"), -1);
    EXPECT_FALSE(RowMenu("1024x768").enabled);
    EXPECT_EQ(Menu("TryRate1"), -1);
    EXPECT_EQ(Messages(), std::vector<std::string>{"A rate can be tried only while no other Kelvane window is open. "
                                                   "Close it first."});

    // A list that cannot be read locks the grid.
    m.registry.SetValue(kDeviceKey, "DALRestrictedModesBCD", {kRegDword, {1, 0, 0, 0}});
    Start();
    m.system.shown.clear();
    EXPECT_FALSE(RowMenu("1024x768").enabled);
    EXPECT_EQ(Menu("TryRate1"), -1);
    EXPECT_EQ(Messages(), std::vector<std::string>{"The driver's lists could not be read, so the grid is locked and "
                                                   "no rate can be tried."});
    EXPECT_EQ(m.display.modeChanges, 0);
}

}  // namespace
}  // namespace kv::test
