// The non-standard resolution list and its editor: what loading shows, what
// List OK stores, and the driver's values that must survive either.
#include <gtest/gtest.h>

#include <sstream>

#include "MainWindowTest.h"
#include "lang/Lang.h"
#include "lang/LngFile.h"
#include "modes/Apply.h"
#include "nonstd/NonStdRes.h"
#include "nonstd/TNonStdResAdd.h"
#include "platform/Settings.h"
#include "ui/TextWidth.h"

namespace kv {
namespace {

using test::Join;
using test::kDeviceKey;
using test::Rec;
constexpr const char* const* kNames = kNonStandardListNames;

class NonStd : public ::testing::Test {
protected:
    void SetUp() override {
        m.registry.SetString(kProductSettingsKey, "InstallDir", test::kInstallDir);
        AdapterContext adapter;
        adapter.DeviceKey = kDeviceKey;
        snapshots.driver = DriverKeysOf(adapter);
    }

    TNonStRes& Open(const std::string& deviceKey = kDeviceKey) {
        auto open = [this](std::unique_ptr<ui::Form> f) -> ui::Form& {
            windows.push_back(std::move(f));
            return *windows.back();
        };
        auto list = std::make_unique<TNonStRes>(m.platform, run, snapshots, deviceKey, open);
        list->onWritten = [this] { listWritten = true; };
        d = list.get();
        windows.push_back(std::move(list));
        return *d;
    }
    void Click(const char* button) { (*d)[button].UserClick(); }
    void Select(int line) { (*d)["lbRes"].itemIndex = line; }
    TNonStResAdd& Editor() {
        EXPECT_NE(d->editor, nullptr);
        return *d->editor;
    }
    // Types into the open editor and presses its OK; true when it closed.
    bool Type(const std::string& w, const std::string& h, const std::string& bpp = "Any",
              const std::string& hz = "Any") {
        TNonStResAdd& e = Editor();
        e["eWidth"].text = w;
        e["eHeight"].text = h;
        e["eBpp"].text = bpp;
        e["eHz"].text = hz;
        e["bOK"].UserClick();
        return e.closed;
    }
    bool Add(const std::string& w, const std::string& h, const std::string& bpp = "Any",
             const std::string& hz = "Any") {
        Click("bAdd");
        return Type(w, h, bpp, hz);
    }
    std::string Lines() {
        std::string all;
        for (const std::string& line : (*d)["lbRes"].items) all += line + "|";
        return all;
    }
    Bytes Value(const char* name) {
        const RegValue* v = m.registry.Find(kDeviceKey, name);
        return v ? v->data : Bytes{0xDE, 0xAD};
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> all;
        for (const auto& box : m.system.shown) all.push_back(box.caption + ": " + box.text);
        return all;
    }
    // A list of `count` different modes.
    static Bytes Modes(int count, std::uint16_t height) {
        Bytes all;
        for (int i = 0; i < count; ++i) all = Join({all, Rec(static_cast<std::uint16_t>(1000 + i), height, 0, 0)});
        return all;
    }

    test::TestMachine m;
    NonStandardRun run;
    // List OK wrote the list, which the driver reads at boot.
    bool listWritten = false;
    RunSnapshots snapshots;
    std::vector<std::unique_ptr<ui::Form>> windows;
    TNonStRes* d = nullptr;
};

TEST_F(NonStd, AnEntryIsStoredAsFourBcdFieldsAndShownAsItsLine) {
    EXPECT_EQ(NonStdLine({1280, 1024, 0, 0}), "1280 x 1024 x Any BPP x Any Refresh");
    EXPECT_EQ(NonStdLine({800, 600, 85, 32}), "  800 x   600 x 32 x 85");
    EXPECT_EQ(NonStdLine({64, 9999, 255, 8}), "  64 x 9999 x 8 x 255");
    EXPECT_EQ(NonStdLine({1000, 999, 0, 0}), "1000 x   999 x Any BPP x Any Refresh");
    BcdModeRecord r = NonStdRecord({800, 600, 85, 32});
    EXPECT_EQ(Bytes(r.begin(), r.end()), (Bytes{0x08, 0x00, 0x06, 0x00, 0x00, 0x32, 0x00, 0x85}))
        << "depth before rate";

    Open();
    EXPECT_EQ(d->caption, "Non-Standard Resolutions Management");
    EXPECT_EQ((*d)["mWarning"].text.substr(0, 60), "Warning: Kelvane can enable ONLY resolutions supported by th");
    EXPECT_TRUE(Add("1280", "1024"));
    EXPECT_EQ(Lines(), "1280 x 1024 x Any BPP x Any Refresh|");
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), (Bytes{0x12, 0x80, 0x10, 0x24, 0, 0, 0, 0}));
    EXPECT_TRUE(listWritten);
    EXPECT_TRUE(d->closed);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(NonStd, LoadingMergesDuplicatesAndOkGathersEveryValueIntoTheFirst) {
    m.registry.SetBinary(kDeviceKey, kNames[0],
                         Join({Rec(1280, 1024, 0, 0), Rec(1280, 1024, 0, 0), Rec(1152, 864, 32, 75)}));
    m.registry.SetBinary(kDeviceKey, kNames[2], Join({Rec(800, 600, 0, 85), Rec(1280, 1024, 0, 0)}));
    const char* lines = "1280 x 1024 x Any BPP x Any Refresh|1152 x   864 x 32 x 75|  800 x   600 x Any BPP x 85|";
    Open();
    EXPECT_EQ(Lines(), lines);
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), Join({Rec(1280, 1024, 0, 0), Rec(1152, 864, 32, 75), Rec(800, 600, 0, 85)}));
    for (int i = 1; i <= 3; ++i) {
        const RegValue* v = m.registry.Find(kDeviceKey, kNames[i]);
        ASSERT_NE(v, nullptr) << kNames[i] << " is emptied, not deleted";
        EXPECT_EQ(v->type, kRegBinary);
        EXPECT_TRUE(v->data.empty());
    }
    // The list of the run is merged with the stored one again, once.
    Open();
    EXPECT_EQ(Lines(), lines);
}

TEST_F(NonStd, TheEditorReadsAnyInEveryCaseAndTheLeadingDigitsOfARateOrDepth) {
    Open();
    for (auto [typed, value] : std::vector<std::pair<const char*, int>>{
             {"any", 0}, {"ANY", 0}, {"Many", 0}, {"", 0}, {"85", 85}, {"85Hz", 85}, {" 72", 72}, {"Hz", 0}}) {
        ASSERT_TRUE(Add("1024", "600", typed, typed)) << typed;
        EXPECT_EQ(run.Entries.back().refresh, value) << typed;
        EXPECT_EQ(run.Entries.back().depth, value) << typed;
    }
    EXPECT_EQ((*d)["lbRes"].items[4], "1024 x   600 x 85 x 85");
}

TEST_F(NonStd, ASizeThatIsNoNumberIsRefusedSilentlyAndTooLargeValuesWithAMessage) {
    Open();
    Click("bAdd");
    for (const char* width : {"80x", "0", "", " ", "x80", "80 ", "-80", "+80"})
        EXPECT_FALSE(Type(width, "600")) << width;
    EXPECT_FALSE(Type("800", "60O"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(Type("10000", "600"));
    EXPECT_FALSE(Type("65536", "600")) << "not taken as 0 either";
    EXPECT_FALSE(Type("800", "99999999999999999999"));
    EXPECT_FALSE(Type("800", "600", "256"));
    EXPECT_FALSE(Type("800", "600", "32", "300"));
    // Neither a negative number nor a fraction is taken as Any or cut.
    EXPECT_FALSE(Type("800", "600", "-16"));
    EXPECT_FALSE(Type("800", "600", "16.5"));
    EXPECT_FALSE(Type("800", "600", "32", " -85"));
    EXPECT_FALSE(Type("800", "600", "32", "72,5"));
    const std::string depth = "Error: The colour depth can be at most 255 bits per pixel, or Any.";
    const std::string rate = "Error: The refresh rate can be at most 255 Hz, or Any.";
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Error: The width can be at most 9999 pixels.",
                                                    "Error: The width can be at most 9999 pixels.",
                                                    "Error: The height can be at most 9999 pixels.", depth, rate,
                                                    depth, depth, rate, rate}));
    EXPECT_TRUE(run.Entries.empty());
    EXPECT_NE(d->editor, nullptr) << "still open";
    EXPECT_TRUE(Type(" 9999", "0600", "255", "255"));
    EXPECT_EQ(d->editor, nullptr);
    EXPECT_EQ(Lines(), "9999 x   600 x 255 x 255|");
}

TEST_F(NonStd, RemoveTakesOnlyTheSelectedLineAndAddKeepsDuplicates) {
    m.registry.SetBinary(kDeviceKey, kNames[0], Join({Rec(800, 600, 0, 0), Rec(1024, 600, 0, 0)}));
    Open();
    Click("bRemove");
    EXPECT_EQ(run.Entries.size(), 2u);
    Select(0);
    Click("bRemove");
    EXPECT_EQ(Lines(), "1024 x   600 x Any BPP x Any Refresh|");
    EXPECT_EQ((*d)["lbRes"].itemIndex, -1);
    Click("bRemove");
    EXPECT_EQ(run.Entries.size(), 1u);
    (*d)["lbRes"].itemIndex = 1;  // a selection past the last line
    Click("bRemove");
    EXPECT_EQ(run.Entries.size(), 1u);
    Click("bEdit");
    EXPECT_EQ(d->editor, nullptr) << "nothing to edit past the last line";

    EXPECT_TRUE(Add("1024", "600"));
    EXPECT_EQ(Lines(), "1024 x   600 x Any BPP x Any Refresh|1024 x   600 x Any BPP x Any Refresh|");
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), Join({Rec(1024, 600, 0, 0), Rec(1024, 600, 0, 0)}));
}

TEST_F(NonStd, EditReplacesTheEntryItWasOpenedOnWhileTheListWaitsForTheEditor) {
    m.registry.SetBinary(kDeviceKey, kNames[0],
                         Join({Rec(800, 600, 32, 75), Rec(1024, 600, 0, 0), Rec(1280, 768, 0, 0)}));
    Open();
    Click("bEdit");
    EXPECT_EQ(d->editor, nullptr) << "no line selected";
    Select(0);
    (*d)["lbRes"].UserClick();  // a double click
    TNonStResAdd& e = Editor();
    EXPECT_EQ(e.mode, TNonStResAdd::Mode::Edit);
    EXPECT_TRUE(e.modal);
    EXPECT_EQ(e.owner, d);
    EXPECT_EQ(e["eWidth"].text + e["eHeight"].text + e["eBpp"].text + e["eHz"].text, "8006003275");

    // The list's buttons only bring the editor forward.
    Select(2);
    for (const char* button : {"bRemove", "bAdd", "bEdit", "bOK", "BCancel"}) {
        e.bringToFront = false;
        Click(button);
        EXPECT_TRUE(e.bringToFront) << button;
    }
    EXPECT_FALSE(d->onCloseQuery());
    EXPECT_FALSE(d->closed);
    EXPECT_EQ(run.Entries.size(), 3u);
    EXPECT_EQ(windows.size(), 2u);

    EXPECT_TRUE(Type("1600", "1200", "aNY", "60"));
    EXPECT_EQ(d->editor, nullptr);
    EXPECT_EQ(Lines(),
              "1600 x 1200 x Any BPP x 60|1024 x   600 x Any BPP x Any Refresh|1280 x   768 x Any BPP x Any Refresh|");

    // Cancel and the close box change nothing.
    Click("bEdit");
    Editor()["eWidth"].text = "640";
    Editor()["bCancel"].UserClick();
    EXPECT_EQ(d->editor, nullptr);
    Click("bEdit");
    EXPECT_EQ(Editor()["eWidth"].text, "1280");
    EXPECT_TRUE(Editor().onCloseQuery());
    EXPECT_EQ(d->editor, nullptr);
    EXPECT_EQ(run.Entries[2], (NonStdEntry{1280, 768, 0, 0}));
}

TEST_F(NonStd, CancelDropsWhatThisOpeningChangedAndTheListOutlivesTheDialog) {
    Open();
    ASSERT_TRUE(Add("1024", "600"));
    Click("bOK");
    // Gone from the driver's key, but still in the run's list.
    m.registry.DeleteValue(kDeviceKey, kNames[0]);
    std::vector<NonStdEntry> before{{1024, 600, 0, 0}};
    auto changes = m.registry.ChangeCount();
    for (bool closeBox : {false, true}) {
        Open();
        ASSERT_EQ(run.Entries, before);
        ASSERT_TRUE(Add("800", "480"));
        Select(1);
        Click("bEdit");
        ASSERT_TRUE(Type("720", "480"));
        Select(0);
        Click("bRemove");
        ASSERT_EQ(run.Entries, (std::vector<NonStdEntry>{{720, 480, 0, 0}}));
        if (closeBox)
            EXPECT_TRUE(d->onCloseQuery());
        else
            Click("BCancel");
        EXPECT_TRUE(d->closed);
        EXPECT_EQ(run.Entries, before);
    }
    EXPECT_EQ(m.registry.ChangeCount(), changes);
}

TEST_F(NonStd, RecordsTheListCannotShowAreWrittenBackByteForByteAfterTheEntries) {
    Bytes noBcd{0x0A, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00};
    Bytes cutShort{0x12, 0x34, 0x56};
    m.registry.SetBinary(kDeviceKey, kNames[0],
                         Join({Rec(800, 600, 0, 0), Rec(0, 0, 32, 0), noBcd, Rec(1024, 768, 300, 0),
                               Rec(1024, 768, 255, 255)}));
    m.registry.SetBinary(kDeviceKey, kNames[1], Join({cutShort}));
    m.registry.SetBinary(kDeviceKey, kNames[3], Join({Rec(0, 600, 0, 60)}));
    Open();
    // The largest depth and rate a line can show are shown.
    EXPECT_EQ(Lines(), "  800 x   600 x Any BPP x Any Refresh|1024 x   768 x 255 x 255|");
    ASSERT_TRUE(Add("1280", "1024"));
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), Join({Rec(800, 600, 0, 0), Rec(1024, 768, 255, 255), Rec(1280, 1024, 0, 0),
                                      Rec(0, 0, 32, 0),
                                      Rec(1024, 768, 300, 0), noBcd, Rec(0, 600, 0, 60), cutShort}));
}

// The driver reads no further than a record that begins with 0xFF: the list
// shows nothing after it, and writes it back as it was.
TEST_F(NonStd, WhatFollowsA0xFFRecordIsNotShownButKeptWhereItStood) {
    const Bytes list = Join({Bytes(8, 0xFF), Rec(1280, 1024, 32, 85)});
    m.registry.SetBinary(kDeviceKey, kNames[0], list);
    Open();
    EXPECT_EQ(Lines(), "");
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), list);
    Open();
    ASSERT_TRUE(Add("800", "600"));
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), Join({Rec(800, 600, 0, 0), list}));
}

// Written one after the other, the cut ends of two values would make an
// extra 1280 x 1024 the user never added.
TEST_F(NonStd, ShortRecordsOfTwoValuesAreNotJoinedIntoAnEntry) {
    m.registry.SetBinary(kDeviceKey, kNames[0], Join({Rec(800, 600, 0, 0), Bytes{0x12, 0x80}}));
    m.registry.SetBinary(kDeviceKey, kNames[2], Bytes{0x10, 0x24, 0x00, 0x00, 0x00, 0x00});
    Open();
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), Join({Rec(800, 600, 0, 0), Bytes{0x12, 0x80}}));
}

TEST_F(NonStd, AnUnreadableValueIsNamedOnceAndLeftAlone) {
    m.registry.SetBinary(kDeviceKey, kNames[0], Rec(800, 600, 0, 0));
    m.registry.SetDword(kDeviceKey, kNames[2], 5);
    m.registry.SetBinary(kDeviceKey, kNames[3], Join({Rec(640, 400, 0, 0), Bytes(kListBufferSize, 0x11)}));
    RegValue dword = *m.registry.Find(kDeviceKey, kNames[2]), big = *m.registry.Find(kDeviceKey, kNames[3]);
    Open();
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "Warning: Kelvane cannot read the driver's values 'DALNonStandardModesBCD2' (it holds a "
                              "number) and 'DALNonStandardModesBCD3' (it holds 2056\u00A0bytes, more than the 2048 bytes "
                              "(256 modes) Kelvane can read). They are left as they are."});
    EXPECT_EQ(Lines(), "  800 x   600 x Any BPP x Any Refresh|");
    Click("bOK");
    EXPECT_TRUE(listWritten);
    EXPECT_TRUE(Value(kNames[1]).empty());
    EXPECT_EQ(m.registry.Find(kDeviceKey, kNames[2])->data, dword.data);
    EXPECT_EQ(m.registry.Find(kDeviceKey, kNames[3])->data, big.data);
}

TEST_F(NonStd, AnUnreadableFirstValueIsNeverWritten) {
    m.registry.SetString(kDeviceKey, kNames[0], "1280x1024");
    m.registry.SetBinary(kDeviceKey, kNames[1], Rec(800, 600, 0, 0));
    Open();
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_NE(m.system.shown[0].text.find("'DALNonStandardModesBCD' (it holds a text). It is left as it is. The list "
                                          "is written into 'DALNonStandardModesBCD', so OK cannot save it."),
              std::string::npos);
    ASSERT_TRUE(Add("1024", "600"));
    auto changes = m.registry.ChangeCount();
    Click("bOK");
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_FALSE(listWritten || d->closed || snapshots.lastKnownGoodTaken);
    EXPECT_EQ(m.system.shown.back().caption, "Error");
}

TEST_F(NonStd, TheDriversListHoldsAtMost256Records) {
    // Padding is no record: one entry padded to the driver's whole buffer
    // leaves room, and left as it was the list goes back with its padding.
    const Bytes padded = test::Padded(Rec(800, 600, 0, 0));
    m.registry.SetBinary(kDeviceKey, kNames[0], padded);
    Open();
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), padded);
    Open();
    Click("bAdd");
    ASSERT_NE(d->editor, nullptr) << "not full";
    EXPECT_TRUE(Type("640", "400"));
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), Join({Rec(800, 600, 0, 0), Rec(640, 400, 0, 0)}));

    run = {};
    listWritten = false;
    // 255 entries and one record the list cannot show.
    m.registry.SetBinary(kDeviceKey, kNames[0], Join({Modes(255, 700), Rec(0, 0, 0, 60)}));
    Open();
    Click("bAdd");
    EXPECT_EQ(d->editor, nullptr);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].caption, "Error");
    Select(3);
    Click("bRemove");
    EXPECT_TRUE(Add("640", "400"));
    Click("bOK");
    // Exactly 256 records fit.
    EXPECT_TRUE(listWritten);
    Bytes full = Value(kNames[0]);
    ASSERT_EQ(full.size(), kListBufferSize);
    EXPECT_EQ(Bytes(full.end() - 16, full.end() - 8), Rec(640, 400, 0, 0));

    // Four values can hold more than the one written.
    run = {};
    listWritten = false;
    for (int i = 0; i < 4; ++i)
        m.registry.SetBinary(kDeviceKey, kNames[i], Modes(100, static_cast<std::uint16_t>(600 + i)));
    auto changes = m.registry.ChangeCount();
    Open();
    EXPECT_EQ((*d)["lbRes"].items.size(), 400u);
    Click("bOK");
    EXPECT_EQ(
        m.system.shown.back().text.rfind("The list needs 400\u00A0records, but the driver's list holds at most 256.", 0),
        0u);
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_FALSE(listWritten || d->closed);
}

TEST_F(NonStd, AMissingDeviceKeyIsNeitherReadNorWrittenNorCreated) {
    std::string missing = std::string(kDeviceKey) + "9";
    auto changes = m.registry.ChangeCount();
    Open(missing);
    EXPECT_EQ(Lines(), "");
    ASSERT_TRUE(Add("1024", "600"));
    Click("bOK");
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error: Kelvane cannot open the driver's key (HKEY_LOCAL_MACHINE\\" +
                                                   missing + "), so the list was not written. Nothing was changed."});
    EXPECT_FALSE(m.registry.KeyExists(missing));
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_FALSE(listWritten || d->closed);
}

TEST_F(NonStd, NothingIsWrittenWithoutLastKnownGoodWhichIsTakenOnceARun) {
    std::string lastKnownGood = m.system.FullPath(InstallFile(m.registry, kLastKnownGoodFile));
    m.system.lockedFiles.insert(lastKnownGood);
    Open();
    ASSERT_TRUE(Add("1024", "600"));
    Click("bOK");
    EXPECT_EQ(Messages(), std::vector<std::string>{std::string("Error: ") + EnglishText(kMsgNoLastKnownGood)});
    EXPECT_EQ(m.registry.Find(kDeviceKey, kNames[0]), nullptr);
    EXPECT_FALSE(listWritten || d->closed);

    m.system.lockedFiles.clear();
    Click("bOK");
    EXPECT_TRUE(listWritten);
    EXPECT_EQ(m.system.ReadFile(lastKnownGood).value_or("").find("DALNonStandardModesBCD"), std::string::npos)
        << "taken before the write";

    // A later List OK of the same run keeps the snapshot from before it.
    std::size_t exports = m.system.launches.size();
    Open();
    ASSERT_TRUE(Add("800", "480"));
    Click("bOK");
    EXPECT_EQ(m.system.launches.size(), exports);
    EXPECT_EQ(Value(kNames[0]), Join({Rec(1024, 600, 0, 0), Rec(800, 480, 0, 0)}));
}

TEST_F(NonStd, AWriteThatFailsHalfWayPutsBackTheValuesAsTheyWere) {
    m.registry.SetBinary(kDeviceKey, kNames[0], Rec(800, 600, 0, 0));
    m.registry.SetBinary(kDeviceKey, kNames[2], Rec(1024, 768, 0, 0));
    bool deleteFails = false;
    m.registry.refuse = [&](SimRegistry::Op op, const std::string&, const std::string& name) {
        return (op == SimRegistry::Op::Set && name == kNames[2]) || (deleteFails && op == SimRegistry::Op::Delete);
    };
    Open();
    ASSERT_TRUE(Add("1280", "1024"));
    Click("bOK");
    EXPECT_EQ(Value(kNames[0]), Rec(800, 600, 0, 0));
    EXPECT_EQ(m.registry.Find(kDeviceKey, kNames[1]), nullptr) << "absent before, deleted again";
    EXPECT_EQ(Messages(), std::vector<std::string>{"Error: Saving the non-standard resolutions stopped: Failed to set "
                                                   "data for 'DALNonStandardModesBCD2'. Kelvane put the driver's "
                                                   "settings back as they were before this run changed them "
                                                   "(lastknowngood.dat)."});
    EXPECT_FALSE(listWritten || d->closed);

    deleteFails = true;
    Click("bOK");
    EXPECT_NE(m.system.shown.back().text.find("could not be deleted, so HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\"
                                              "Services\\ati2mtag\\Device0 may be only partly restored. Choose "
                                              "Restore Registry to try again."),
              std::string::npos)
        << m.system.shown.back().text;
    EXPECT_FALSE(listWritten || d->closed);
}

// The word-wrapped lines of a text in the dialog font.
int WrappedLines(const std::string& text, int width) {
    std::istringstream words(text);
    std::string word, line;
    int lines = 1;
    while (words >> word) {
        std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && ui::CaptionWidth(longer, false) > width) {
            ++lines;
            longer = word;
        }
        line = longer;
    }
    return lines;
}

TEST_F(NonStd, EveryLanguageFitsBothWindows) {
    for (const std::string& file : test::EveryLanguage()) {
        SCOPED_TRACE(file.empty() ? "English" : file);
        LanguageInForce() = Language{};
        if (!file.empty())
            LanguageInForce().PutInForce(file, ParseLngFile(m.system, test::SourceFile("lang/" + file)).entries);
        Open();
        Click("bAdd");
        for (ui::Form* form : {static_cast<ui::Form*>(d), static_cast<ui::Form*>(d->editor)}) {
            for (const auto& c : form->controls) {
                int room = c->rect.w - (c->kind == ui::Kind::Button ? 12 : 0);
                if (c->kind == ui::Kind::Label || c->kind == ui::Kind::Button) {
                    EXPECT_LE(ui::CaptionWidth(c->text), room) << c->name;
                }
                EXPECT_LE(c->rect.x + c->rect.w, form->clientWidth - 8) << c->name;
                EXPECT_LE(c->rect.y + c->rect.h, form->clientHeight - 8) << c->name;
            }
        }
        // A line of 13 pixels; the text field keeps a few pixels inside its edge.
        const ui::Control& warning = (*d)["mWarning"];
        EXPECT_LE(WrappedLines(warning.text, warning.rect.w - 8) * 13, warning.rect.h - 4);
        // Beside the list's scroll bar.
        EXPECT_LE(ui::CaptionWidth(NonStdLine({9999, 9999, 0, 0}), false), (*d)["lbRes"].rect.w - 24);
        Editor()["bCancel"].UserClick();
    }
    LanguageInForce() = Language{};
}

}  // namespace
}  // namespace kv
