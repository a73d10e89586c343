// Uninstall, on the simulated machine.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "maintenance/Uninstall.h"
#include "modes/Apply.h"
#include "platform/DriverValues.h"
#include "platform/RegValues.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::kDeviceKey;

class UninstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        m.registry.SetString(kProductSettingsKey, "InstallDir", test::kInstallDir);
        m.registry.SetString(kProductSettingsKey, "Version", "0.9.9.6");
    }
    int Run() {
        AdapterContext adapter;
        adapter.DeviceKey = kDeviceKey;
        run.driver = DriverKeysOf(adapter);
        try {
            Uninstall(m.platform, run, kDeviceKey);
        } catch (const ProgramEnded& e) {
            return e.exitCode;
        }
        return -1;
    }
    test::TestMachine m;
    RunSnapshots run;
};

TEST_F(UninstallTest, NoChangesNothingAndStartsNothing) {
    auto changes = m.registry.ChangeCount();
    m.system.answers = {kIdNo};
    EXPECT_EQ(Run(), -1);
    EXPECT_EQ(m.registry.ChangeCount(), changes);
    EXPECT_TRUE(m.system.launches.empty());
    EXPECT_EQ(m.system.shown[0].text + "/" + m.system.shown[0].caption, "Are you sure you want to uninstall Kelvane?/Uninstall");
}

TEST_F(UninstallTest, PutsTheStartsSettingsBackAndDeletesOnlyTheSettingsKey) {
    // The ordinary start's copy, then a change and a value new since.
    run.firstRun = StartSnapshot(m.platform, kFirstRunFile, kDeviceKey);
    m.registry.SetDword(kDeviceKey, kPruningModeValue, 0);
    m.registry.SetDword(kDeviceKey, "DALRULE_NEWSINCE", 1);
    m.registry.SetBinary(kDeviceKey, "DALRestrictedModesBCD", Bytes{6, 0x40, 4, 0x80, 0, 0, 0, 0x60});
    m.registry.SetString(kRunOnceKey, "Kelvane - test resolution", "C:\\Kelvane\\Kelvane.exe /CHECK");
    m.system.answers = {kIdYes};
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(m.registry.Find(kDeviceKey, "DALRestrictedModesBCD")) << "a value Kelvane writes, made since";
    std::uint16_t pruning = 9;
    ReadDwordValue(m.registry, kDeviceKey, kPruningModeValue, pruning);
    EXPECT_EQ(pruning, 1);
    EXPECT_TRUE(m.registry.Find(kDeviceKey, "DALRULE_NEWSINCE"));
    EXPECT_FALSE(m.registry.KeyExists(kProductSettingsKey));
    EXPECT_TRUE(m.registry.KeyExists("SOFTWARE\\Tessaly"));
    EXPECT_FALSE(m.registry.Find(kRunOnceKey, "Kelvane - test resolution"));
    ASSERT_EQ(m.system.shown.size(), 2u);
    EXPECT_EQ(m.system.shown[1].text + "/" + m.system.shown[1].caption,
              "The driver's settings were put back from firstrun.dat, and Kelvane's own settings were deleted; "
              "both take effect when Windows restarts. Kelvane deleted no files: to remove it, delete the folder "
              "C:\\Kelvane./OK");
}

// Only a copy this start made will do: an older one in its place holds the
// settings of some other day.
TEST_F(UninstallTest, AMissingBrokenOrOlderCopyIsToldAndTheSettingsKeyStillGoes) {
    const std::string firstRun = m.system.FullPath(InstallFile(m.registry, kFirstRunFile));
    auto older = [this] {
        m.registry.SetDword(kDeviceKey, kPruningModeValue, 7);
        RunSnapshots earlier;
        earlier.firstRun = StartSnapshot(m.platform, kFirstRunFile, kDeviceKey);
        ASSERT_TRUE(FinishSnapshot(m.platform, earlier.firstRun));
    };
    std::vector<std::function<void()>> cases{
        [] {},
        [this] { m.system.WriteFile(InstallFile(m.registry, kFirstRunFile), "REGEDIT4\r\n\r\n[HKEY_LOCAL"); },
        [&] {
            older();  // and this start's cannot take its place: another program holds it open
            m.system.lockedFiles.insert(firstRun);
            run.firstRun = StartSnapshot(m.platform, kFirstRunFile, kDeviceKey);
        },
        older,  // a start for the check after a restart makes none
    };
    for (auto& prepare : cases) {
        SetUp();
        run = RunSnapshots{};
        m.system.lockedFiles.clear();
        m.system.RemoveFile(firstRun);
        prepare();
        m.registry.SetDword(kDeviceKey, kPruningModeValue, 0);
        auto shownBefore = m.system.shown.size();
        m.system.answers = {kIdYes};
        EXPECT_EQ(Run(), 0);
        EXPECT_FALSE(m.registry.KeyExists(kProductSettingsKey));
        std::uint16_t pruning = 9;
        ReadDwordValue(m.registry, kDeviceKey, kPruningModeValue, pruning);
        EXPECT_EQ(pruning, 0);
        ASSERT_EQ(m.system.shown.size(), shownBefore + 2);
        const auto& told = m.system.shown.back();
        EXPECT_EQ(told.caption, "Error");
        EXPECT_NE(told.text.find("could not be put back"), std::string::npos) << told.text;
        EXPECT_NE(told.text.find("own settings were deleted"), std::string::npos) << told.text;
    }
}

TEST_F(UninstallTest, ASettingsKeyThatCannotBeDeletedIsTold) {
    run.firstRun = StartSnapshot(m.platform, kFirstRunFile, kDeviceKey);
    m.registry.refuse = [](SimRegistry::Op op, const std::string& path, const std::string&) {
        return op == SimRegistry::Op::DeleteKey && path == kProductSettingsKey;
    };
    m.system.answers = {kIdYes};
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(m.registry.KeyExists(kProductSettingsKey));
    EXPECT_EQ(m.system.shown.back().text,
              "Kelvane's own settings (HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaly\\Kelvane) could not be deleted.");
}

}  // namespace
}  // namespace kv
