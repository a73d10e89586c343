// The adapter dialog, on the simulated machine.
#include <gtest/gtest.h>

#include <memory>

#include "TestMachine.h"
#include "dialogs/Adapters.h"
#include "lang/Lang.h"
#include "platform/DriverValues.h"
#include "platform/RegFile.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::kDeviceKey;
constexpr const char* kSecondHead = "System\\CurrentControlSet\\Services\\ati2mtag\\Device1";

class AdapterDialog : public ::testing::Test {
protected:
    void SetUp() override {
        m.registry.SetString(kProductSettingsKey, "InstallDir", test::kInstallDir);
        // The card's second head, then a number Windows gives a mirroring
        // driver, which is no adapter.
        m.display.moreDevices = {
            {"\\\\.\\DISPLAY2", "RADEON 9800 PRO - Secondary", kDisplayAttachedToDesktop,
             std::string("\\Registry\\Machine\\") + kSecondHead},
            {"\\\\.\\DISPLAYV1", "NetMeeting driver", 0, ""},
            {"\\\\.\\DISPLAY4", "RADEON 7000", kDisplayAttachedToDesktop,
             "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\ati2mtag\\Device3"},
        };
        m.registry.CreateKey(kSecondHead);
        ASSERT_TRUE(EnumerateDisplayDevices(m.display, adapter));
    }
    TForm4& Open() {
        d = std::make_unique<TForm4>(m.platform, adapter, run);
        d->onApplied = [this](bool changed) { applied.push_back(changed); };
        return *d;
    }
    void Select(int line) {
        (*d)["lbAdapters"].itemIndex = line;
        (*d)["lbAdapters"].onChange();
    }
    std::uint16_t Dword(const std::string& key, const char* name) {
        std::uint16_t v = 999;
        ReadDwordValue(m.registry, key, name, v);
        return v;
    }
    bool Ignores() { return (*d)["cbIgnoreMC"].Checked(); }

    test::TestMachine m;
    AdapterContext adapter;
    RunSnapshots run;
    std::unique_ptr<TForm4> d;
    std::vector<bool> applied;
};

TEST_F(AdapterDialog, ListsEveryNumberAndShowsEachAdaptersPruning) {
    m.registry.SetDword(kDeviceKey, kPruningModeValue, 0);
    Open();
    EXPECT_EQ((*d)["lbAdapters"].items,
              (std::vector<std::string>{"RADEON 9800 PRO", "RADEON 9800 PRO - Secondary", "", "RADEON 7000"}));
    EXPECT_EQ((*d)["lbAdapters"].itemIndex, -1);
    EXPECT_TRUE(Ignores());  // the first adapter's value, before any line is chosen
    Select(1);
    EXPECT_FALSE(Ignores());  // no value: the monitor is respected
    m.registry.SetDword(kSecondHead, kPruningModeValue, 5);
    Select(1);
    // The start-up sequence prunes for any value but 0; the box says the same.
    EXPECT_FALSE(Ignores());
    Select(0);
    EXPECT_TRUE(Ignores());
    EXPECT_FALSE((*d)["cbAllways"].visible);
}

TEST_F(AdapterDialog, OkWithoutSelectionSetsTheFirstAdapterAfterItsSnapshot) {
    Open()["cbIgnoreMC"].UserClick();
    (*d)["bOK"].UserClick();
    EXPECT_EQ(Dword(kDeviceKey, kPruningModeValue), 0);
    EXPECT_EQ(Dword(kProductSettingsKey, "AdapterNum"), 0);
    EXPECT_EQ(Dword(kProductSettingsKey, "Allways"), 0);  // written back in the sense it was read (absent)
    EXPECT_TRUE(d->closed);
    EXPECT_EQ(applied, std::vector<bool>{true});
    // Restore can take it back: the snapshot holds the value from before.
    RegistryImage before;
    ImportRegFile(before, m.system.ReadFile(InstallFile(m.registry, kLastKnownGoodFile)).value_or(""));
    EXPECT_EQ(before.Find(kDeviceKey, kPruningModeValue)->data[0], 1);
    EXPECT_TRUE(run.lastKnownGoodTaken);
}

TEST_F(AdapterDialog, ASecondAdapterIsStoredByItsNumberAndAnUnchangedValueIsNotWritten) {
    Open();
    Select(1);
    auto changes = m.registry.ChangeCount();
    (*d)["bOK"].UserClick();
    EXPECT_EQ(Dword(kProductSettingsKey, "AdapterNum"), 1);
    // Only the two program values: the driver's key was not touched, so no
    // snapshot was needed and no restart is.
    EXPECT_EQ(m.registry.ChangeCount(), changes + 2);
    EXPECT_FALSE(m.registry.Find(kSecondHead, kPruningModeValue));
    EXPECT_FALSE(m.system.HasFile(InstallFile(m.registry, kLastKnownGoodFile)));
    EXPECT_EQ(applied, std::vector<bool>{false});

    Open();
    Select(1);
    (*d)["cbIgnoreMC"].UserClick();
    (*d)["lbAdapters"].onClick();  // a double click is OK
    EXPECT_EQ(Dword(kSecondHead, kPruningModeValue), 0);
    EXPECT_EQ(Dword(kDeviceKey, kPruningModeValue), 1);
    EXPECT_EQ(applied, (std::vector<bool>{false, true}));
}

TEST_F(AdapterDialog, CancelAnEmptyLineOrADeclinedQuestionWriteNothing) {
    auto changes = m.registry.ChangeCount();
    Open()["cbIgnoreMC"].UserClick();
    (*d)["bExit"].UserClick();
    EXPECT_TRUE(d->closed);

    Open();
    Select(2);
    (*d)["bOK"].UserClick();
    EXPECT_FALSE(d->closed);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_NE(m.system.shown[0].text.find("no display adapter"), std::string::npos);

    Open()["cbIgnoreMC"].UserClick();
    d->confirmRerun = [] { return false; };
    (*d)["bOK"].UserClick();
    EXPECT_FALSE(d->closed);

    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_TRUE(applied.empty());
}

TEST_F(AdapterDialog, NoSnapshotNoWrite) {
    m.system.lockedFiles.insert(m.system.FullPath(InstallFile(m.registry, kLastKnownGoodFile)));
    auto changes = m.registry.ChangeCount();
    Open()["cbIgnoreMC"].UserClick();
    (*d)["bOK"].UserClick();
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_FALSE(d->closed);
    ASSERT_EQ(m.system.shown.size(), 1u);
    EXPECT_EQ(m.system.shown[0].text, EnglishText(kMsgNoLastKnownGood));
}

}  // namespace
}  // namespace kv
