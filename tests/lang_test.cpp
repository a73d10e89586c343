#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>

#include "MainWindowTest.h"
#include "dialogs/About.h"
#include "lang/Lang.h"
#include "lang/LangDialog.h"
#include "lang/LngFile.h"
#include "maintenance/uFirstRun.h"
#include "modes/CheckModes.h"
#include "modes/TryRate.h"
#include "nonstd/NonStdRes.h"
#include "nonstd/TNonStdResAdd.h"
#include "platform/DriverValues.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"
#include "platform/Text.h"
#include "tools/EnglishLng.h"
#include "ui/TextWidth.h"

namespace kv {
namespace {

// Every test begins as a fresh program does: no language file in force.
struct ResetLanguageEachTest : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { LanguageInForce() = kv::Language{}; }
};
const bool kListening = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetLanguageEachTest);
    return true;
}();

// The entries a language file gives the main window's items.
bool MainWindowEntry(int n) {
    return (n >= 2 && n <= 20) || (n >= 41 && n <= 60) || n == 72 || (n >= 80 && n <= 97) ||
           (n >= 115 && n <= 123) || (n >= kTxtVendorId && n <= kTxtVBlankFlip) || n == kMenuTryRate ||
           n == kTxtMonitor || n == kHintMonitor || n == kMenuSaveProfile || n == kMenuLoadProfile;
}

// A file whose entry N reads "T<N>", entries 0 to `last`, then a translator.
std::string NumberedFile(int last, const std::string& versionLine = "Version = 0.9.9.6") {
    std::string f = versionLine + "\r\n";
    for (int n = 0; n <= last; ++n) f += "T" + std::to_string(n) + "\r\n";
    return f + "Numbered project\r\n";
}

// Every text of the window a user can see or hover: captions, hints, tab
// and list items, menu captions.
std::vector<std::string> WindowTexts(ui::Form& form) {
    std::vector<std::string> texts{form.caption};
    for (auto& c : form.controls) {
        texts.push_back(c->name + "=" + c->text);
        texts.push_back(c->name + "?" + c->hint);
        for (const std::string& item : c->items) texts.push_back(c->name + "#" + item);
    }
    for (const ui::Menu& menu : form.menus) {
        texts.push_back(menu.caption);
        for (const ui::MenuItem& item : menu.items) texts.push_back(item.name + "=" + item.caption);
    }
    return texts;
}

std::set<std::string> AllWindowStrings(ui::Form& form) {
    std::set<std::string> all{form.caption};
    for (auto& c : form.controls) {
        all.insert(c->text);
        all.insert(c->hint);
        all.insert(c->items.begin(), c->items.end());
    }
    for (const ui::Menu& menu : form.menus) {
        all.insert(menu.caption);
        for (const ui::MenuItem& item : menu.items) all.insert(item.caption);
    }
    return all;
}

class Language : public test::MainWindowTest {
protected:
    void PutFile(const std::string& name, const std::string& content) {
        m.system.WriteFile(std::string(test::kInstallDir) + "\\" + name, content);
    }
    void Choose(const std::string& name) {
        m.registry.CreateKey(kProductSettingsKey);
        WriteTextValue(m.registry, kProductSettingsKey, "LangFileName", name);
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (const auto& box : m.system.shown) texts.push_back(box.caption + ": " + box.text);
        return texts;
    }
    TForm3& OpenLanguageDialog() {
        form->FindMenuItem("Language1")->onClick();
        return dynamic_cast<TForm3&>(*form->dialogs.back());
    }
    std::string Shipped(const std::string& name) { return test::SourceFile("lang/" + name); }
};

TEST_F(Language, ACompleteFileChangesEveryItemItNamesAndEnglishComesBackWhole) {
    Start();
    std::vector<std::string> english = WindowTexts(*form);

    PutFile("numbered.lng", NumberedFile(kLastLangEntry));
    Choose("numbered.lng");
    EXPECT_EQ(LoadLanguage(*form, m.platform), kLangApplied);
    std::set<std::string> shown = AllWindowStrings(*form);
    for (int n = 0; n <= kLastLangEntry; ++n) {
        bool found = shown.count("T" + std::to_string(n)) != 0;
        EXPECT_EQ(found, MainWindowEntry(n)) << "entry " << n;
    }
    EXPECT_EQ(form->menus[0].items[2].caption, "T115") << "Clean Registry, the third item of Program";
    EXPECT_EQ(form->menus[0].items[0].caption, "T72");
    EXPECT_EQ((*form)["lbChip"].hint, "T41") << "the chip's hint shows on its value too";
    EXPECT_EQ(form->caption, "Kelvane 0.9.9.6") << "the window's own caption stays";
    EXPECT_EQ((*form)["bLang"].text, "Language");

    // Back to English in the same run: every item as it was built.
    Choose("");
    EXPECT_EQ(LoadLanguage(*form, m.platform), kLangNoFile);
    EXPECT_EQ(WindowTexts(*form), english);
    EXPECT_TRUE(m.system.shown.empty());
}

// The translators' template, loaded as it is, reads as the built-in
// English: a translator starts from a file that works.
TEST_F(Language, TheTemplateForTranslatorsChangesNothing) {
    Start();
    std::vector<std::string> english = WindowTexts(*form);
    std::string bytes = EnglishLngFile();
    LngFile file = ParseLngFile(m.system, bytes);
    EXPECT_TRUE(file.versionMatches);
    EXPECT_EQ(file.codePage, 1252u);
    EXPECT_EQ(file.entries.size(), static_cast<std::size_t>(kLastLangEntry) + 1) << "every entry";
    PutFile("English.lng", bytes);
    Choose("English.lng");
    ASSERT_EQ(LoadLanguage(*form, m.platform), kLangApplied);
    EXPECT_TRUE(m.system.shown.empty());
    auto words = [](std::string text) {
        std::erase_if(text, [](unsigned char c) { return std::isspace(c); });
        return text;
    };
    for (int n = 0; n <= kLastLangEntry; ++n) {
        // An entry English leaves empty cannot be: the dialog and the hints
        // below.
        const std::string& text = EnglishText(n);
        if (text.empty()) continue;
        if (text.find('\n') == std::string::npos) {
            EXPECT_EQ(LangText(n), text) << "entry " << n;
        } else {
            EXPECT_EQ(words(LangText(n)), words(text)) << "entry " << n << ", on one line";
        }
    }
    // The window shows what it showed, and hints only where English has
    // none.
    std::vector<std::string> shown = WindowTexts(*form);
    ASSERT_EQ(shown.size(), english.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_TRUE(shown[i] == english[i] || english[i].back() == '?') << shown[i];
    // The language dialog lists it as the built-in English.
    TForm3& dialog = OpenLanguageDialog();
    EXPECT_EQ(dialog["lbLang"].items, (std::vector<std::string>{kBuiltInLanguageLine, kBuiltInLanguageLine}));
}

TEST_F(Language, TheVersionLineTakesAnyTenCharactersAndSkippedLinesCountNowhere) {
    Start();
    for (const char* prefix : {"Version = ", "0123456789", "          ", "\xE4\xF6\xFC\xDF\xC4\xD6\xDC\xE9\xE8\xE0"}) {
        m.system.shown.clear();
        PutFile("v.lng", NumberedFile(5, std::string(prefix) + "0.9.9.6"));
        Choose("v.lng");
        EXPECT_EQ(LoadLanguage(*form, m.platform), kLangApplied) << prefix;
        EXPECT_EQ((*form)["gbRefresh"].text, "T2");
    }
    for (const char* line : {"Version: 0.9.9.6", "Version =  0.9.9.6", "Version = 0.9.9.6 ", "Version = 0.9.9.7",
                             "0.9.9.6"}) {
        m.system.shown.clear();
        PutFile("v.lng", NumberedFile(5, line));
        EXPECT_EQ(LoadLanguage(*form, m.platform), kLangWrongVersion) << line;
        EXPECT_EQ(Messages(), std::vector<std::string>{"Error: Wrong version of the language file"});
        EXPECT_EQ((*form)["gbRefresh"].text, "Refresh Rates:") << "a refused file leaves English";
        EXPECT_EQ(LangText(23), "The changes take effect only when Windows restarts. Restart now?");
    }

    // Comments, sections and empty lines before the version line and
    // between entries, with LF-only line ends here and there.
    PutFile("v.lng",
            "; a comment\r\n[section]\r\n\r\nVersion = 0.9.9.6\r\n;x\r\nhelp.chm\r\n\r\n[y]\nName\n"
            "Rates:\r\n;between\r\nTab A\r\nBy us\r\n");
    EXPECT_EQ(LoadLanguage(*form, m.platform), kLangApplied);
    EXPECT_EQ(LangText(0), "help.chm");
    EXPECT_EQ((*form)["gbRefresh"].text, "Rates:");
    EXPECT_EQ((*form)["tcMainTabs"].items[0], "Tab A");
}

TEST_F(Language, EntriesAShorterFileDoesNotReachShowEnglishNeverAnEarlierFilesText) {
    Start();
    PutFile("long.lng", NumberedFile(kLastLangEntry));
    PutFile("short.lng", NumberedFile(3));
    Choose("long.lng");
    LoadLanguage(*form, m.platform);
    ASSERT_EQ((*form)["OK"].text, "T6");

    Choose("short.lng");
    EXPECT_EQ(LoadLanguage(*form, m.platform), kLangApplied);
    EXPECT_EQ((*form)["gbRefresh"].text, "T2");
    EXPECT_EQ((*form)["tcMainTabs"].items[0], "T3");
    EXPECT_EQ((*form)["tcMainTabs"].items[1], "Driver Settings") << "the translator's line is no entry";
    EXPECT_EQ((*form)["tcMainTabs"].items[2], "Desktop Settings");
    EXPECT_EQ((*form)["OK"].text, "OK");
    EXPECT_EQ(form->menus[0].items[0].caption, "Uninstall");
    EXPECT_EQ(LangText(23), "The changes take effect only when Windows restarts. Restart now?");
    EXPECT_EQ(LangText(74), "Are you sure you want to uninstall Kelvane?");
    EXPECT_EQ(LangText(kLangEntryEnd), "") << "no entry past the last";
    EXPECT_EQ(LangText(-1), "");

    // A first file that stops early: the rest is English, not empty.
    Choose("short.lng");
    Start();
    EXPECT_EQ((*form)["tcMainTabs"].items[0], "T3");
    EXPECT_EQ((*form)["Cancel"].text, "Cancel");
    EXPECT_EQ(LangText(70), "Registry restored from backup. Restart now?");

    // A file of 0.9.9.6: entries 0 to 126, then its translator. What came
    // since shows English, never that name.
    PutFile("old.lng", NumberedFile(126));
    Choose("old.lng");
    Start();
    EXPECT_EQ((*form)["Label1"].text, "T11");
    EXPECT_EQ((*form)["Label2"].text, "Vendor ID:");
    EXPECT_EQ((*form)["hz1"].text, "Hz");
    EXPECT_EQ((*form)["TSCheckBox2"].text, "Enable VBlankFlip");
    EXPECT_EQ(LangText(kTranslatorLine), "");
    EXPECT_EQ(LangText(kMsgRegistryKeyNotFound), "Registry key not found");
    EXPECT_EQ(LangText(kMsgRateNotNumber, {"800x600"}),
              "The refresh rate for 800x600 must be a whole number from 0 to 255.");
}

TEST_F(Language, ATranslationMovesItsPlaceholdersAndOneWithoutThemShowsEnglish) {
    Start();
    std::string f = "Version = 0.9.9.6\r\n";
    for (int n = 0; n <= kLastLangEntry; ++n) {
        if (n == kMsgRateAboveAll)
            f += "%2: %1 Hz? (%3, %2, 100%)\r\n";
        else if (n == kMsgRateNotNumber)
            f += "Keine ganze Zahl\r\n";
        else
            f += "T" + std::to_string(n) + "\r\n";
    }
    PutFile("moved.lng", f + "Translator\r\n");
    Choose("moved.lng");
    ASSERT_EQ(LoadLanguage(*form, m.platform), kLangApplied);
    EXPECT_EQ(LangText(kMsgRateAboveAll, {"150", "800x600", "120"}), "800x600: 150 Hz? (120, 800x600, 100%)");
    EXPECT_EQ(LangText(kMsgRateNotNumber, {"800x600"}),
              "The refresh rate for 800x600 must be a whole number from 0 to 255.")
        << "a translation that lost the number";
    EXPECT_EQ(LangText(kMsgRateNotNumber), "Keine ganze Zahl");
    EXPECT_EQ(LangText(kMsgValueUnreadable, {"%2", "it holds a text"}),
              "Kelvane cannot read the driver's value '%2': it holds a text.")
        << "a value that holds a placeholder is not filled again";
}

// Texts with a count take the form their number needs, by the rule of as
// many forms as the file gives; a file of 0.9.9.6 keeps its words around
// the number.
TEST_F(Language, ACountTakesTheFormItsNumberNeeds) {
    const unsigned long counts[] = {0, 1, 2, 4, 5, 11, 12, 14, 21, 22, 25, 101, 111};
    const std::size_t three[] = {2, 0, 1, 1, 2, 2, 2, 2, 0, 1, 2, 0, 2};
    for (std::size_t i = 0; i < std::size(counts); ++i) {
        EXPECT_EQ(PluralForm(1, counts[i]), 0u) << counts[i];
        EXPECT_EQ(PluralForm(2, counts[i]), counts[i] == 1 ? 0u : 1u) << counts[i];
        EXPECT_EQ(PluralForm(3, counts[i]), three[i]) << counts[i];
    }
    Start();
    EXPECT_EQ(LangCount(kTxtTryCountdown, 1), "The previous mode comes back in 1\u00A0second");
    EXPECT_EQ(IssuesFoundText(0, 1), "Found 0\u00A0errors, 1\u00A0warning");

    auto file = [&](std::map<int, std::string> texts) {
        std::string f = "Version = 0.9.9.6\r\n";
        for (int n = 0; n <= kLastLangEntry; ++n)
            f += (texts.count(n) ? texts[n] : "T" + std::to_string(n)) + "\r\n";
        PutFile("counts.lng", f + "Translator\r\n");
        Choose("counts.lng");
        ASSERT_EQ(LoadLanguage(*form, m.platform), kLangApplied);
    };
    file({{kTxtTryCountdown, "cherez %1 sekundu|cherez %1 sekundy|cherez %1 sekund"},
          {kTxtIssuesFoundIn, "Naideno: %1, %2"},
          {kTxtIssuesErrorsIn, "%1 oshibka|%1 oshibki|%1 oshibok"},
          {kTxtIssuesWarningsIn, "%1 Warnung"},
          {kTxtCheckFirstCountdownIn, "noch %1"}});
    std::string seen;
    for (unsigned long n : {1, 2, 5, 21, 111}) seen += LangCount(kTxtTryCountdown, n) + ";";
    EXPECT_EQ(seen, "cherez 1\u00A0sekundu;cherez 2\u00A0sekundy;cherez 5\u00A0sekund;cherez 21\u00A0sekundu;"
                    "cherez 111\u00A0sekund;");
    EXPECT_EQ(IssuesFoundText(22, 3), "Naideno: 22\u00A0oshibki, 3\u00A0Warnung") << "one form serves every number";
    EXPECT_EQ(SecondsLeftText(kTxtCheckFirstCountdownIn, kTxtCheckFirstCountdown, 2), "noch 2");
    file({{kTxtTryCountdown, "cherez sekundu|cherez %1 sekundy|cherez %1 sekund"}});
    EXPECT_EQ(LangCount(kTxtTryCountdown, 2), "cherez 2\u00A0sekundy");
    EXPECT_EQ(LangCount(kTxtTryCountdown, 21), "The previous mode comes back in 21\u00A0seconds")
        << "a form that lost the number shows English";

    PutFile("old.lng", NumberedFile(126));
    Choose("old.lng");
    LoadLanguage(*form, m.platform);
    EXPECT_EQ(SecondsLeftText(kTxtCheckFirstCountdownIn, kTxtCheckFirstCountdown, 1), "T37 1\u00A0T38");
    EXPECT_EQ(IssuesFoundText(1, 2), "T1001T1012T102");
}

TEST_F(Language, LinesBeyondTheTableAreIgnored) {
    Start();
    PutFile("huge.lng", NumberedFile(400));
    Choose("huge.lng");
    EXPECT_EQ(LoadLanguage(*form, m.platform), kLangApplied);
    EXPECT_EQ(LangText(249), "T249");
    EXPECT_EQ(LangText(static_cast<int>(kLangEntryCount) - 1), "T399") << "the table's last entry is the file's";
    EXPECT_EQ(LangText(static_cast<int>(kLangEntryCount)), "") << "beyond the table";
    EXPECT_EQ((*form)["bAuto"].text, "T80");

    // Back in English, entries the table has no English text for are empty.
    Choose("");
    LoadLanguage(*form, m.platform);
    for (int entry : {-1, kLastLangEntry + 1, static_cast<int>(kLangEntryCount)})
        EXPECT_EQ(LangText(entry), "") << entry;
    EXPECT_EQ(LangText(126).substr(0, 9), "Warning: ");
    EXPECT_EQ(LangText(127), "") << "where files of 0.9.9.6 name their translator";
    EXPECT_EQ(LangText(kMsgRegistryKeyNotFound), "Registry key not found");
}

TEST_F(Language, NoFileAnEmptyNameOrAMissingFile) {
    Start();
    for (std::string empty : {std::string(""), std::string(1, '\0')}) {
        m.registry.SetValue(kProductSettingsKey, "LangFileName", {kRegSz, Bytes(empty.begin(), empty.end())});
        EXPECT_EQ(LoadLanguage(*form, m.platform), kLangNoFile);
    }
    m.registry.DeleteValue(kProductSettingsKey, "LangFileName");
    EXPECT_EQ(LoadLanguage(*form, m.platform), kLangNoFile);
    EXPECT_TRUE(m.system.shown.empty());

    Choose("Gone.lng");
    EXPECT_EQ(LoadLanguage(*form, m.platform), kLangNotRead);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error: Can't open Gone.lng"});
    EXPECT_FALSE(LanguageInForce().Loaded());
    EXPECT_EQ(LanguageInForce().FileName(), "Gone.lng") << "kept, to be written back";

    // At the next start the name is still there, and so is the message;
    // Cancel keeps the name.
    m.system.shown.clear();
    Start();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error: Can't open Gone.lng"});
    EXPECT_EQ(Click("Cancel"), 0);
    std::string stored;
    ReadTextValue(m.registry, kProductSettingsKey, "LangFileName", stored);
    EXPECT_EQ(stored, "Gone.lng");
}

TEST_F(Language, TheCheckAfterARestartShowsNothingBeforeItsCountDown) {
    Choose("Gone.lng");
    m.AwaitCheck();
    m.system.commandLine = test::kCheckCommand;
    Start();
    EXPECT_TRUE(m.system.shown.empty());
    EXPECT_EQ(form->dialogs.back()->caption, "Kelvane - Checking Video Modes...");

    PutFile("Gone.lng", NumberedFile(126));
    Start();
    ui::Form& check = *form->dialogs.back();
    EXPECT_EQ(check.caption, "T35");
    EXPECT_EQ(check["Label1"].text, "T36");
    EXPECT_EQ(check["Label2"].text, "T37 15\u00A0T38");
    EXPECT_EQ(check["bOK"].text, "T6");
    EXPECT_EQ(check["bCancel"].text, "T7");
    check["bCancel"].UserClick();
    EXPECT_EQ(check["Label1"].text, "T39");
    EXPECT_EQ(check["Label2"].text, "T40 15\u00A0T38");
    check.timers[0].onTimer();
    EXPECT_EQ(check["Label2"].text, "T40 14\u00A0T38");
    EXPECT_FALSE(form->FindMenuItem("Language1")->enabled);
}

TEST_F(Language, TheCodePageLineOrTheSystemsCodePageDecidesHowTheBytesRead) {
    Start();
    // "Частоты:" in code page 1251.
    const std::string rates = "\xD7\xE0\xF1\xF2\xEE\xF2\xFB:";
    std::string body = "Version = 0.9.9.6\r\nhelp.chm\r\nX\r\n" + rates + "\r\nTranslator\r\n";
    PutFile("ru.lng", "[codepage=1251]\r\n" + body);
    Choose("ru.lng");
    LoadLanguage(*form, m.platform);
    ASSERT_FALSE(m.system.HasCodePage(1251));
    EXPECT_EQ((*form)["gbRefresh"].text, "Частоты:")
        << "on a Western system without Cyrillic support installed, through the file's line";

    // A code-page line that names none is passed over; five digits, blanks
    // and capitals still name one.
    for (const char* odd :
         {"[codepage=]", "[codepage=12x]", "[codepage=9999999]", "[Codepage = 1251]", "[codepage=01251]"}) {
        PutFile("ru.lng", std::string(odd) + "\r\n" + body);
        EXPECT_EQ(LoadLanguage(*form, m.platform), kLangApplied) << odd;
        bool names = std::string(odd).find("1251") != std::string::npos;
        EXPECT_EQ((*form)["gbRefresh"].text, names ? "Частоты:" : "×àñòîòû:") << odd;
    }
    PutFile("ru.lng", body);
    LoadLanguage(*form, m.platform);
    EXPECT_EQ((*form)["gbRefresh"].text, "×àñòîòû:") << "read as the system's 1252";
    m.system.ansiCodePage = 1251;
    LoadLanguage(*form, m.platform);
    EXPECT_EQ((*form)["gbRefresh"].text, "Частоты:") << "on a Russian system";
    EXPECT_EQ(DecodeWindowsCodePage("\x7f\x80\xff", 1252), "\x7f€ÿ");
    EXPECT_EQ(DecodeWindowsCodePage("\x80\xa8\xff", 1251), "ЂЁя");
}

TEST_F(Language, ALongerCaptionTakesTwoLinesAndPushesTheBoxesBelowIt) {
    Start();
    std::string f = "Version = 0.9.9.6\r\n";
    for (int n = 0; n <= kLastLangEntry; ++n)
        f += n == 16 ? "A very long caption for the LCD controller box\r\n" : EnglishText(n) + "x\r\n";
    PutFile("long.lng", f + "Someone\r\n");
    Choose("long.lng");
    int nextBefore = (*form)["tcbDDC2"].rect.y;
    ASSERT_FALSE((*form)["tcbLCD"].wordWrap);
    form->ReloadLanguage();
    EXPECT_TRUE((*form)["tcbLCD"].wordWrap);
    EXPECT_GE((*form)["tcbDDC2"].rect.y, (*form)["tcbLCD"].rect.y + (*form)["tcbLCD"].rect.h);
    EXPECT_GT((*form)["tcbDDC2"].rect.y, nextBefore);

    Choose("");
    form->ReloadLanguage();
    EXPECT_FALSE((*form)["tcbLCD"].wordWrap);
    EXPECT_EQ((*form)["tcbDDC2"].rect.y, nextBefore);
}

TEST_F(Language, EveryLanguageFitsTheDriverPage) {
    for (const std::string& name : test::EveryLanguage()) {
        SCOPED_TRACE(name.empty() ? "English" : name);
        if (!name.empty()) PutFile(name, Shipped(name));
        Choose(name);
        Start();
        const ui::Control& page = (*form)["gbAdvanced"];
        std::vector<const ui::Control*> boxes;
        for (auto& c : form->controls)
            if (c->parent == "gbAdvanced" && c->kind == ui::Kind::CheckBox) boxes.push_back(c.get());
        ASSERT_GT(boxes.size(), 20u);
        for (const ui::Control* a : boxes) {
            EXPECT_LE(a->rect.y + a->rect.h, page.rect.h - 4) << a->name << " runs off the page";
            for (const ui::Control* b : boxes) {
                bool overlap = a != b && a->rect.x < b->rect.x + b->rect.w && b->rect.x < a->rect.x + a->rect.w &&
                               a->rect.y < b->rect.y + b->rect.h && b->rect.y < a->rect.y + a->rect.h;
                EXPECT_FALSE(overlap) << a->name << " lies over " << b->name;
            }
        }
    }
}

// The word-wrapped lines of a caption `width` pixels wide, as a label or a
// check box breaks them at blanks and line ends; a word wider than a line
// counts one more, for what is cut off.
int CaptionLines(const std::string& text, int width, bool accel) {
    int lines = 0;
    std::size_t from = 0;
    do {
        std::size_t to = text.find('\n', from);
        std::string paragraph = text.substr(from, to == std::string::npos ? std::string::npos : to - from);
        if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
        std::istringstream words(paragraph);
        std::string word, line;
        ++lines;
        while (words >> word) {
            std::string longer = line.empty() ? word : line + " " + word;
            if (!line.empty() && ui::CaptionWidth(longer, accel) > width) {
                ++lines;
                longer = word;
            }
            if (ui::CaptionWidth(word, accel) > width) ++lines;
            line = longer;
        }
        from = to == std::string::npos ? to : to + 1;
    } while (from != std::string::npos);
    return lines;
}

// Design pixels of the dialog font and of the controls around a caption.
constexpr int kLineHeight = 13;    // a line
constexpr int kButtonEdges = 12;   // a push button's raised edge and focus frame, both sides
constexpr int kCheckRoom = 20;     // a check box's square and the gap after it
constexpr int kFrameEnds = 16;     // a group box's frame before and after its caption
constexpr int kTabRoom = 2 * 10 + 8;  // a tab's padding on both sides, and the gap to the next
constexpr int kTitleEnds = 40;     // the title bar's icon and close box
constexpr int kTitleButtons = 36;  // its minimise and maximise boxes

bool Overlap(const ui::Rect& a, const ui::Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// Every caption of the window that does not fit its control, and every
// control that leaves its window or lies over another, one line each.
std::vector<std::string> Misfits(ui::Form& w) {
    std::vector<std::string> found;
    // The title's font is bold, about a tenth wider.
    int title = ui::CaptionWidth(w.caption, false) * 11 / 10;
    int titleRoom = w.clientWidth - kTitleEnds - (w.minimizeBox ? kTitleButtons : 0);
    if (title > titleRoom)
        found.push_back(w.name + " \"" + w.caption + "\": " + std::to_string(title) + " wide in " +
                        std::to_string(titleRoom));
    auto note = [&](const ui::Control& c, const std::string& why) {
        found.push_back(w.name + "." + c.name + " \"" + c.text + "\": " + why);
    };
    auto size = [](const ui::Rect& r) { return std::to_string(r.w) + "x" + std::to_string(r.h); };
    const ui::Rect client{0, 0, w.clientWidth, w.clientHeight};
    std::vector<const ui::Control*> shown;
    for (auto& owned : w.controls) {
        const ui::Control& c = *owned;
        // Controls no user sees lie wholly outside the window.
        if (!w.Shown(c) || !Overlap(w.ScreenRect(c), client)) continue;
        const ui::Rect& r = c.rect;
        const ui::Rect& in = c.parent.empty() ? client : w[c.parent].rect;
        if (r.x < 0 || r.y < 0 || r.x + r.w > in.w || r.y + r.h > in.h) note(c, "leaves " + size(in));
        for (const ui::Control* other : shown)
            if (other->parent == c.parent && Overlap(other->rect, r)) note(c, "lies over " + other->name);
        shown.push_back(&c);

        int width = ui::CaptionWidth(c.text, c.showAccel);
        switch (c.kind) {
            case ui::Kind::Button:
                if (width + kButtonEdges > r.w) note(c, std::to_string(width) + " wide in " + size(r));
                break;
            case ui::Kind::Label:
            case ui::Kind::Memo:
            case ui::Kind::CheckBox: {
                int room = r.w - (c.kind == ui::Kind::CheckBox ? kCheckRoom : 0);
                int lines = c.kind == ui::Kind::CheckBox && !c.wordWrap ? (width > room ? 2 : 1)
                                                                         : CaptionLines(c.text, room, c.showAccel);
                if (lines * kLineHeight > r.h + 3) note(c, std::to_string(lines) + " lines in " + size(r));
                break;
            }
            case ui::Kind::GroupBox:
                // The frame's top edge shows on both sides of the caption.
                if (!c.text.empty() && width + 2 * kFrameEnds > r.w)
                    note(c, std::to_string(width) + " wide in " + size(r));
                break;
            case ui::Kind::TabControl: {
                int tabs = 0;
                for (const std::string& tab : c.items) tabs += ui::CaptionWidth(tab) + kTabRoom;
                if (tabs > r.w) note(c, "tabs " + std::to_string(tabs) + " wide in " + size(r));
                break;
            }
            default: break;
        }
    }
    return found;
}

// Every window in English and in the shipped languages: each caption fits
// its control, each control its window, and none lies over another.
TEST_F(Language, EveryWindowFitsEveryLanguage) {
    for (const std::string& name : test::EveryLanguage()) {
        SCOPED_TRACE(name.empty() ? "English" : name);
        if (!name.empty()) PutFile(name, Shipped(name));
        Choose(name);
        // Every kind of line the issues dialog shows.
        m.registry.SetString(kProductSettingsKey, "Version", "0.7");
        m.registry.SetDword(test::kDeviceKey, kNativeModesValue, 1);
        m.registry.SetBinary(test::kDeviceKey, kMinResValue, test::Rec(640, 480, 8, 75));
        m.registry.SetBinary(test::kDeviceKey, kRestrictedListNames[0],
                             test::Join({test::Rec(1600, 1200, 0, 0), test::Rec(0, 0, 0, 43)}));
        m.registry.SetBinary(test::kDeviceKey, kRestrictedListNames[1], test::Rec(800, 600, 0, 60));
        Start();
        ASSERT_TRUE(Open<ui::Form>("TfFirstRun"));
        std::vector<ui::Form*> windows;
        for (auto& d : form->dialogs) windows.push_back(d.get());
        for (const char* item : {"Resolutions1", "Adapter1", "CleanRegistry1", "Language1", "About1"}) {
            Menu(item);
            windows.push_back(form->dialogs.back().get());
        }
        TNonStRes& list = *Open<TNonStRes>("TNonStRes");
        list["bAdd"].UserClick();
        ASSERT_TRUE(list.editor);
        windows.push_back(list.editor);
        // The check after a restart in both its phases, and the report's wait.
        TForm5 check(m.platform, DriverKeys{}), secondPhase(m.platform, DriverKeys{});
        secondPhase["bCancel"].UserClick();
        TForm6 wait;
        windows.insert(windows.end(), {&check, &secondPhase, &wait});
        // A rate being tried, in a mode of the longest name.
        std::unique_ptr<TTryRate> trial = TTryRate::Start(m.platform, SimAtiAdapter::kDeviceName, 1280, 1024, 85);
        ASSERT_TRUE(trial);
        windows.push_back(trial.get());
        for (ui::Form* w : windows)
            for (const std::string& misfit : Misfits(*w)) ADD_FAILURE() << misfit;
        for (int tab : {0, 1, 2}) {
            (*form)["tcMainTabs"].itemIndex = tab;
            (*form)["tcMainTabs"].onChange();
            for (const std::string& misfit : Misfits(*form)) ADD_FAILURE() << "tab " << tab << ": " << misfit;
        }
    }
}

TEST_F(Language, TheDialogListsEnglishAndEveryUsableFile) {
    Start();
    {
        TForm3& dialog = OpenLanguageDialog();
        EXPECT_EQ(dialog["lbLang"].items, std::vector<std::string>{"English [Kelvane project]"});
        dialog["bCancel"].UserClick();
    }
    PutFile("a.lng", NumberedFile(kLastLangEntry));
    // The same language name, with lines the format skips between entries.
    std::string spaced = NumberedFile(kLastLangEntry);
    spaced.insert(spaced.find("T1\r\n"), "; note\r\n\r\n[x]\r\n");
    spaced.insert(spaced.find("T50\r\n"), "\r\n;\r\n");
    PutFile("b.lng", spaced);
    PutFile("old.lng", NumberedFile(kLastLangEntry, "Version = 0.9.9.5"));
    PutFile("tiny.lng", "Version = 0.9.9.6\r\nhelp.chm\r\n");
    // Just a translator, whose name is no language's; a name and a translator.
    PutFile("named.lng", "Version = 0.9.9.6\r\nhelp.chm\r\nNamed\r\n");
    PutFile("pair.lng", "Version = 0.9.9.6\r\nhelp.chm\r\nPaired\r\nBy us\r\n");
    PutFile("notes.txt", NumberedFile(kLastLangEntry));

    TForm3& dialog = OpenLanguageDialog();
    std::vector<std::string> lines = dialog["lbLang"].items;
    std::vector<std::string> expected = {"English [Kelvane project]", "T1 [Numbered project]", "T1 [Numbered project]",
                                         "named.lng", "Paired [By us]", "tiny.lng"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(dialog.LangFileList,
              (std::vector<std::string>{"a.lng", "b.lng", "named.lng", "pair.lng", "tiny.lng"}));
    EXPECT_EQ(dialog["lbLang"].itemIndex, 0) << "English is in force";

    // Each line loads its own file; a double click is OK.
    m.system.files[m.system.FullPath(std::string(test::kInstallDir) + "\\b.lng")] =
        std::string(spaced).replace(spaced.find("T2\r\n"), 2, "B2");
    dialog["lbLang"].itemIndex = 2;
    dialog["lbLang"].onClick();
    EXPECT_TRUE(dialog.closed);
    EXPECT_EQ((*form)["gbRefresh"].text, "B2") << "re-captioned at once";
    TForm3& again = OpenLanguageDialog();
    EXPECT_EQ(again["lbLang"].itemIndex, 2) << "the language in force is selected";
    again["lbLang"].itemIndex = 1;
    again["bOK"].UserClick();
    EXPECT_EQ((*form)["gbRefresh"].text, "T2");
    std::string stored;
    ReadTextValue(m.registry, kProductSettingsKey, "LangFileName", stored);
    EXPECT_EQ(stored, "a.lng");

    // Cancel changes nothing.
    TForm3& cancelled = OpenLanguageDialog();
    // Chosen again while open, the same dialog comes to the front.
    std::size_t open = form->dialogs.size();
    form->FindMenuItem("Language1")->onClick();
    EXPECT_EQ(form->dialogs.size(), open);
    EXPECT_TRUE(cancelled.bringToFront);
    cancelled["lbLang"].itemIndex = 0;
    cancelled["bCancel"].UserClick();
    EXPECT_TRUE(cancelled.closed);
    EXPECT_EQ((*form)["gbRefresh"].text, "T2");
    EXPECT_TRUE(m.system.shown.empty());
}

TEST_F(Language, EnglishOrNoSelectionWritesAnEmptyNameAndTheNextStartIsEnglish) {
    PutFile("a.lng", NumberedFile(kLastLangEntry));
    Choose("a.lng");
    Start();
    ASSERT_EQ((*form)["OK"].text, "T6");
    for (int selected : {0, -1}) {
        TForm3& dialog = OpenLanguageDialog();
        dialog["lbLang"].itemIndex = selected;
        dialog["bOK"].UserClick();
        EXPECT_EQ((*form)["OK"].text, "OK");
        std::string stored = "x";
        ReadTextValue(m.registry, kProductSettingsKey, "LangFileName", stored);
        EXPECT_EQ(stored, "");
    }
    EXPECT_EQ(Click("Cancel"), 0);
    Start();
    EXPECT_EQ((*form)["OK"].text, "OK");
    EXPECT_TRUE(m.system.shown.empty());
}

TEST_F(Language, AChoiceIsKeptAtTheNextStartAndMessagesSpeakIt) {
    PutFile("a.lng", NumberedFile(kLastLangEntry));
    Start();
    TForm3& dialog = OpenLanguageDialog();
    dialog["lbLang"].itemIndex = 1;
    dialog["bOK"].UserClick();
    SetRate("640x480", "75");
    EXPECT_EQ(Ok(), 0);
    ASSERT_FALSE(m.system.shown.empty());
    EXPECT_EQ(m.system.shown.back().text, "T23");
    EXPECT_EQ(m.system.shown.back().caption, "T24");

    // Not restarted: the driver still offers 60 Hz, and the offer to
    // restore speaks the language too.
    m.system.shown.clear();
    Start();
    EXPECT_EQ((*form)["Cancel"].text, "T7");
    EXPECT_EQ(Messages(), std::vector<std::string>{"T76: T77"});
}

// Whichever step stops a save, its reason is the chosen language's.
TEST_F(Language, AStoppedSaveGivesItsReasonInTheChosenLanguage) {
    std::string file = NumberedFile(kLastLangEntry);
    auto translate = [&](int entry, const std::string& text) {
        std::string line = "\r\nT" + std::to_string(entry) + "\r\n";
        file.replace(file.find(line), line.size(), "\r\n" + text + "\r\n");
    };
    translate(kMsgPutBack, "%1 - %2 - zurueck");
    translate(kWhySetData, "'%1' nicht gesetzt");
    PutFile("a.lng", file);
    Choose("a.lng");
    // The restricted-mode list is binary, the tiling option a DWORD.
    for (const char* refused : {"DALRestrictedModesBCD", "DisableTiling"}) {
        Start();
        SetRate("640x480", "75");
        (*form)["tcbTilling"].UserClick();
        m.system.shown.clear();
        m.registry.refuse = [&](SimRegistry::Op op, const std::string&, const std::string& name) {
            return op == SimRegistry::Op::Set && name == refused;
        };
        EXPECT_EQ(Ok(), 1);
        m.registry.refuse = nullptr;
        ASSERT_FALSE(m.system.shown.empty());
        EXPECT_EQ(m.system.shown.back().text,
                  "T" + std::to_string(kStopSaving) + " - '" + refused + "' nicht gesetzt - zurueck");
    }
}

TEST_F(Language, TheShippedTranslationsAreCompleteAndChangeTheMainWindow) {
    // Texts that read the same in the translation, on purpose.
    const std::map<std::string, std::set<int>> same = {
        {"German.lng",
         {0, 6, 9, 11, 56, kTxtRevision, kTxtHz, kTxtVersion, kTxtAboutOk, kTxtMonitor, kTxtMonitorRange,
          kTxtMonitorRangeNoClock, kLogRun}},
        {"Russian.lng", {0, 6, kTxtAboutOk, kLogRun}},
    };
    // A file not named there keeps English only where all of them do.
    std::set<int> everywhere = same.begin()->second;
    for (const auto& [name, unchanged] : same)
        std::erase_if(everywhere, [&](int n) { return unchanged.count(n) == 0; });
    const std::vector<std::string> files = test::ShippedLanguageFiles();
    for (const auto& [name, unchanged] : same)
        EXPECT_EQ(std::count(files.begin(), files.end(), name), 1) << name << " ships";
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        const std::set<int>& unchanged = same.count(name) ? same.at(name) : everywhere;
        std::string bytes = Shipped(name);
        ASSERT_FALSE(bytes.empty());
        LngFile file = ParseLngFile(m.system, bytes);
        EXPECT_TRUE(file.versionMatches);
        EXPECT_EQ(file.entries.size(), static_cast<std::size_t>(kLastLangEntry) + 1)
            << "every entry; the translator's last line is none";
        EXPECT_TRUE(!same.count(name) || file.translator.find("Kelvane") != std::string::npos) << "the project's own";
        EXPECT_TRUE(file.entries.size() > kTranslatorLine && file.entries[kTranslatorLine] == file.translator)
            << "where files of 0.9.9.6 name the translator";
        EXPECT_EQ(file.entries[0], "KelvaneEn.chm") << "no translated help exists";
        for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
            EXPECT_EQ(bytes[at - 1], '\r') << "CR LF line ends";

        PutFile(name, bytes);
        Start();
        Choose(name);
        EXPECT_EQ(LoadLanguage(*form, m.platform), kLangApplied);
        EXPECT_TRUE(m.system.shown.empty());
        for (int n = 0; n <= kLastLangEntry; ++n) {
            const std::string& english = EnglishText(n);
            if (english.empty()) continue;
            EXPECT_EQ(LangText(n) == english, unchanged.count(n) != 0) << "entry " << n << ": " << LangText(n);
            EXPECT_TRUE(IsValidUtf8(LangText(n)));
            // A text holds no line break: "\n" in a file would show as it is.
            EXPECT_EQ(LangText(n).find("\\n"), std::string::npos) << "entry " << n;
            // A translation that lost a placeholder would show English.
            for (char k = '1'; k <= '9'; ++k) {
                if (english.find({'%', k}) == std::string::npos) continue;
                EXPECT_NE(LangText(n).find({'%', k}), std::string::npos) << "entry " << n << " lacks %" << k;
            }
        }
    }
    // Read through its code-page line, Russian reads right on a Western system.
    LanguageInForce() = kv::Language{};
    Choose("Russian.lng");
    LoadLanguage(*form, m.platform);
    EXPECT_EQ(LangText(7), "Отмена");
    EXPECT_EQ(LangText(1), "Русский");

    // Adapter Info without the driver's values says so in the window's
    // language: English without a file, Russian with it.
    m.registry.DeleteValue(test::kDeviceKey, "Device Description");
    Start();
    EXPECT_EQ((*form)["lbChip"].text, "Раздел реестра не найден");
    Choose("");
    Start();
    EXPECT_EQ((*form)["lbChip"].text, "Registry key not found");
}

}  // namespace
}  // namespace kv
