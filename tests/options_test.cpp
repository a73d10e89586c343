#include <gtest/gtest.h>

#include "app/KVMAIN.h"
#include "maintenance/RestartNeed.h"
#include "options/OptionTable.h"
#include "TestMachine.h"

namespace kv {
namespace {

using test::kDeviceKey;
using ui::CheckState;

constexpr const char* kXpDesktop = "SOFTWARE\\ATI Technologies\\Desktop\\{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}";

class Options : public ::testing::Test {
protected:
    TForm1& Start() {
        form = std::make_unique<TForm1>(m.platform);
        form->RunCommand([&] { form->FormCreate(); });
        return *form;
    }
    void Write() { WriteBoundOptions(*form, *form->sharedRegistry, m.registry, form->adapter); }
    const RegValue* Device(const char* name) { return m.registry.Find(kDeviceKey, name); }
    test::TestMachine m;
    std::unique_ptr<TForm1> form;
};

TEST_F(Options, TheTableHasEveryBoxInComponentOrder) {
    TForm1& f = Start();
    std::vector<std::string> names;
    for (auto& c : f.controls)
        if (dynamic_cast<TTSCheckBox*>(c.get())) names.push_back(c->name);
    ASSERT_EQ(names.size(), 36u);
    EXPECT_EQ(names.front(), "tcbOpenGL");
    EXPECT_EQ(names[14], "cbAnisoD3D");
    EXPECT_EQ(names.back(), "ttsDDFPHP");
    auto& dfp = static_cast<TTSCheckBox&>(f["tcbDFPSAM"]);
    EXPECT_EQ(dfp.RegistryKey, "DALRULE_DFPSUPPORTSALLMODES ");
    EXPECT_EQ(f["tcbNoCRTTV"].text, "CRT&&TV can be active simultaneously");
}

TEST_F(Options, DwordsShowThreeStatesWithInversionAndWriteBackUnchanged) {
    m.registry.SetDword(kDeviceKey, "DisableTiling", 1);    // inverted: off
    m.registry.SetDword(kDeviceKey, "DisableDMACopy", 0);   // inverted: on
    m.registry.SetDword(kDeviceKey, "PruningMode", 1);
    TForm1& f = Start();
    EXPECT_EQ(f["tcbTilling"].state, CheckState::Unchecked);
    EXPECT_EQ(f["tcbDmaCopy"].state, CheckState::Checked);
    EXPECT_EQ(f["tcbLCD"].state, CheckState::Grayed);
    Write();
    EXPECT_EQ(Device("DisableTiling")->data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(Device("DisableDMACopy")->data, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(Device("DisableLCD"), nullptr);
}

TEST_F(Options, BinaryValuesOfUpToFourBytesAreReadAndAChangedOneIsWrittenAsFour) {
    m.registry.SetBinary(kDeviceKey, "OvlTheaterMode", {1});
    m.registry.SetBinary(kXpDesktop, "Workstation", {0});
    m.registry.SetBinary(kXpDesktop, "Maxx", {});
    TForm1& f = Start();
    EXPECT_EQ(f["tcbTheM"].state, CheckState::Checked);
    EXPECT_EQ(f["tcbWorkstation"].state, CheckState::Unchecked);
    EXPECT_EQ(f["tcbOverl"].state, CheckState::Checked) << "the demo machine's Overlay 01 00 00 00";
    EXPECT_EQ(f["tcbMaxx"].state, CheckState::Grayed);
    f["tcbWorkstation"].UserClick();  // unchecked -> grayed
    f["tcbWorkstation"].UserClick();  // grayed -> checked
    Write();
    EXPECT_EQ(Device("OvlTheaterMode")->data, (Bytes{1})) << "a box left as it was leaves its value alone";
    EXPECT_EQ(m.registry.Find(kXpDesktop, "Workstation")->data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(m.registry.Find(kXpDesktop, "Workstation")->type, kRegBinary);
    ASSERT_NE(m.registry.Find(kXpDesktop, "Maxx"), nullptr) << "an untouched empty value stays";
}

TEST_F(Options, TheStoredTypeReplacesTheDeclaredOne) {
    m.registry.SetBinary(kDeviceKey, "DisableDrvStretchBlt", {0, 0, 0, 0});
    m.registry.SetDword(kXpDesktop, "Overlay", 0);
    TForm1& f = Start();
    EXPECT_EQ(f["tcbBitBlt"].state, CheckState::Checked);
    EXPECT_EQ(static_cast<TTSCheckBox&>(f["tcbBitBlt"]).RegistryKeyType, RegType::REG_BINARY);
    f["tcbBitBlt"].UserClick();  // checked -> unchecked
    f["tcbOverl"].UserClick();   // unchecked -> grayed
    f["tcbOverl"].UserClick();   // grayed -> checked
    Write();
    EXPECT_EQ(Device("DisableDrvStretchBlt")->type, kRegBinary);
    EXPECT_EQ(Device("DisableDrvStretchBlt")->data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(m.registry.Find(kXpDesktop, "Overlay")->type, kRegDword);
    EXPECT_EQ(m.registry.Find(kXpDesktop, "Overlay")->data, (Bytes{1, 0, 0, 0}));
}

TEST_F(Options, UserGrayDeletesAndAnAbsentValueIsCreatedWithItsDeclaredType) {
    TForm1& f = Start();
    EXPECT_EQ(f["tcbOpenGL"].state, CheckState::Checked);
    f["tcbOpenGL"].UserClick();  // -> unchecked
    f["tcbOpenGL"].UserClick();  // -> grayed
    EXPECT_EQ(f["tcbOpenGL"].state, CheckState::Grayed);
    f["tcbHideOL"].UserClick();  // grayed -> checked
    f["ttsMF"].UserClick();
    Write();
    EXPECT_EQ(m.registry.Find(kXpDesktop, "OpenGL"), nullptr);
    EXPECT_EQ(m.registry.Find(kXpDesktop, "HideOverlayTHXLogo")->type, kRegBinary);
    EXPECT_EQ(Device("DALRULE_MOBILEFEATURES")->type, kRegDword);
}

TEST_F(Options, ValuesTheBoxCannotShowStayUnlessTheUserChangesThem) {
    m.registry.SetDword(kDeviceKey, "DisableUSWC", 2);
    m.registry.SetDword(kDeviceKey, "DisableVBlankFlip", 0x10001);
    m.registry.SetString(kDeviceKey, "DisableLCD", "1");
    m.registry.SetBinary(kDeviceKey, "OvlTheaterMode", {1, 0, 0, 0, 0, 0});
    m.registry.SetDword(kDeviceKey, "DDC2Disabled", 7);
    m.registry.SetString(kDeviceKey, "DisableDMACopy", "0");
    TForm1& f = Start();
    for (const char* box : {"TSCheckBox1", "tcbLCD", "tcbTheM", "tcbDDC2", "tcbDmaCopy"})
        EXPECT_EQ(f[box].state, CheckState::Grayed) << box;
    EXPECT_EQ(f["TSCheckBox2"].state, CheckState::Unchecked) << "0x10001: the low half, 1, inverted";
    EXPECT_TRUE(m.system.shown.empty()) << "a long binary is not a start-up error";
    f["tcbDDC2"].UserClick();
    f["tcbDDC2"].UserClick();
    f["tcbDDC2"].UserClick();  // round to grayed again, where it started
    f["tcbDmaCopy"].UserClick();  // grayed -> checked: the user sets it
    Write();
    EXPECT_EQ(Device("DisableUSWC")->data, (Bytes{2, 0, 0, 0}));
    EXPECT_EQ(Device("DisableVBlankFlip")->data, (Bytes{1, 0, 1, 0}));
    EXPECT_EQ(Device("DisableLCD")->type, kRegSz);
    EXPECT_EQ(Device("OvlTheaterMode")->data.size(), 6u);
    EXPECT_EQ(Device("DDC2Disabled")->data, (Bytes{7, 0, 0, 0})) << "back where it started: left alone";
    EXPECT_EQ(Device("DisableDMACopy")->type, kRegDword);
    EXPECT_EQ(Device("DisableDMACopy")->data, (Bytes{0, 0, 0, 0})) << "enabled, inverted";
}

TEST_F(Options, OnlyBoxesThatNeedARestartCountForIt) {
    TForm1& f = Start();
    auto optionsChanged = [&f] {
        RestartNeed::Settings now;
        now.options = RestartOptionStates(f);
        return f.restartNeed.Changed(now);
    };
    f["tcbHideRM"].UserClick();
    EXPECT_FALSE(optionsChanged());
    f["tcbTilling"].UserClick();
    EXPECT_TRUE(optionsChanged());
    f["tcbTilling"].UserClick();
    f["tcbTilling"].UserClick();
    EXPECT_FALSE(optionsChanged()) << "back where it started";
    f["cbAnisoD3D"].UserClick();
    EXPECT_TRUE(f["cbAnisoDegree"].enabled);
    EXPECT_TRUE(optionsChanged());
}

TEST_F(Options, DesktopKeyOnXpFallsBackToTheLastNumberedSubkey) {
    m.registry.DeleteKey(kXpDesktop);
    m.registry.SetDword("SOFTWARE\\ATI Technologies\\Desktop\\0000", "OpenGL", 0);
    m.registry.SetDword("SOFTWARE\\ATI Technologies\\Desktop\\0001", "OpenGL", 1);
    m.registry.CreateKey("SOFTWARE\\ATI Technologies\\Desktop\\Defaults");
    TForm1& f = Start();
    EXPECT_EQ(f.adapter.DesktopKey, "SOFTWARE\\ATI Technologies\\Desktop\\0001");
    EXPECT_EQ(f["tcbOpenGL"].state, CheckState::Checked);
    f["tcbD3D"].UserClick();
    Write();
    EXPECT_NE(m.registry.Find("SOFTWARE\\ATI Technologies\\Desktop\\0001", "D3D"), nullptr);
    EXPECT_EQ(m.registry.Find("SOFTWARE\\ATI Technologies\\Desktop\\0000", "D3D"), nullptr);
}

TEST(DesktopKey, OnlyANumberNamesADesktopSubkey) {
    RegistryImage reg;
    AdapterContext ctx;
    ctx.WinVer = "5.1";  // a build the version step leaves off
    const std::string root = "SOFTWARE\\ATI Technologies\\Desktop";
    for (const char* name : {"5", "-", "+", "Defaults"}) {
        reg.DeleteKey(root);
        reg.CreateKey(root + "\\" + name);
        bool number = std::string(name) == "5";
        EXPECT_EQ(FindDesktopKey(reg, ctx), number ? root + "\\" + name : "") << name;
    }
}

TEST(RestartBookkeeping, WithoutARecordEveryBoxCountsAsChanged) {
    test::TestMachine m;
    TForm1 form(m.platform);
    form.FormCreate();
    RestartNeed::Settings now;
    now.options = RestartOptionStates(form);
    RestartNeed recorded;
    recorded.RecordStartup(now);
    EXPECT_FALSE(recorded.Changed(now));
    EXPECT_TRUE(RestartNeed{}.Changed(now));
}

TEST_F(Options, OtherWindowsVersionsKeepDesktopOptionsUnderTheDeviceKey) {
    m.system.version = 0x08930005;  // Windows 2000
    m.registry.SetDword(std::string(kDeviceKey) + "\\Desktop", "Rotation", 1);
    TForm1& f = Start();
    EXPECT_EQ(f.adapter.DesktopKey, std::string(kDeviceKey) + "\\Desktop");
    EXPECT_EQ(f["tcbRotation"].state, CheckState::Checked);

    // Without any desktop key the boxes stay grayed and nothing is written.
    m.system.version = 0x0A280105;
    m.registry.DeleteKey("SOFTWARE\\ATI Technologies\\Desktop");
    m.registry.SetDword(kDeviceKey, "DisableTiling", 1);
    TForm1& g = Start();
    EXPECT_EQ(g.adapter.DesktopKey, "");
    g["tcbRotation"].UserClick();
    g["tcbTilling"].UserClick();
    auto before = m.registry.ChangeCount();
    WriteBoundOptions(g, *g.sharedRegistry, m.registry, g.adapter);
    EXPECT_FALSE(m.registry.KeyExists("SOFTWARE\\ATI Technologies\\Desktop"));
    EXPECT_GT(m.registry.ChangeCount(), before) << "the device options are still written";
}

TEST_F(Options, TheCreatePromptAsksOnceForAWarningBoxThatStartedGray) {
    TForm1& f = Start();
    auto& box = static_cast<TTSCheckBox&>(f["tcbProjector"]);
    box.Warnings = true;
    f.clicks.startedGrayed = true;
    m.system.answers = {kIdNo};
    box.UserClick();
    EXPECT_EQ(box.state, CheckState::Grayed) << "No puts the box back";
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text, "The registry key doesn't exist. Create it?");
    EXPECT_EQ(m.system.shown[0].caption, "?");
    m.system.answers = {kIdYes};
    box.UserClick();
    box.UserClick();
    EXPECT_EQ(m.system.shown.size(), 2u) << "after Yes no box asks again";
}

}  // namespace
}  // namespace kv
