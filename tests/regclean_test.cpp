// The registry clean: which branches it finds, and a deletion that never
// takes a branch without a whole export to bring it back.
#include <gtest/gtest.h>

#include <functional>

#include "TestMachine.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/uRegClean.h"
#include "platform/RegFile.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::kDeviceKey;
using Op = SimRegistry::Op;

const std::string kServices = "SYSTEM\\CurrentControlSet\\Services\\";
const std::string kDisplayClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}";
const std::string kDiskClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}";
const std::string kVideo = "SYSTEM\\CurrentControlSet\\Control\\Video\\{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}";
const std::string kAtiSoftware = "SOFTWARE\\ATI Technologies";
const std::string kAti2mtag = kServices + "ati2mtag";

class RegClean : public ::testing::Test {
protected:
    void SetUp() override { m.registry.SetString(kProductSettingsKey, "InstallDir", test::kInstallDir); }
    void Open() {
        run = RunSnapshots{};
        run.backup = StartSnapshot(m.platform, kBackupFile, kDeviceKey);
        d = std::make_unique<TFRegClean>(m.platform, run, kDeviceKey);
    }
    std::vector<bool>& Checks() { return (*d)["clbBranch"].itemChecks; }
    void CheckOnly(const std::string& branch) {
        for (std::size_t i = 0; i < d->Branches.size(); ++i) Checks()[i] = d->Branches[i] == branch;
    }
    // Clicks OK; true when the program ended.
    bool OkEndsProgram() {
        try {
            (*d)["bOK"].UserClick();
            return false;
        } catch (const ProgramEnded& e) {
            return e.exitCode == 0;
        }
    }
    bool Says(const std::string& part) {
        return !m.system.shown.empty() && m.system.shown.back().text.find(part) != std::string::npos;
    }
    std::string ExportOf(const std::string& fileName) {
        return m.system.ReadFile(InstallFile(m.registry, fileName)).value_or("");
    }

    test::TestMachine m;
    RunSnapshots run;
    std::unique_ptr<TFRegClean> d;
};

TEST_F(RegClean, TheFourSearchesListLowerCaseAtiBranchesInOrder) {
    for (const char* name : {"atiide", "ATIRAGE", "ati", "Atixx", "vgasave"}) m.registry.CreateKey(kServices + name);
    m.registry.SetString(kDisplayClass + "\\0000", "InfSection", "ati2mtag");
    m.registry.SetString(kDisplayClass + "\\0001", "InfSection", "ATI2MTAG_R300");
    m.registry.SetDword(kDisplayClass + "\\0002", "InfSection", 0x00697461);  // "ati" as bytes of a number
    // Stored with its terminating zero, "ati" alone still names the driver.
    m.registry.SetString(kDiskClass + "\\0003", "InfSection", std::string("ati\0", 4));
    m.registry.SetString(kVideo + "\\0000", "drv", "ati2dvag");
    m.registry.CreateKey(kVideo + "\\Video");
    m.registry.SetString("SYSTEM\\CurrentControlSet\\Control\\Video\\{0}\\0000", "drv", "vga");
    Open();
    std::string lines;
    for (const std::string& line : (*d)["clbBranch"].items) lines += line + "|";
    EXPECT_EQ(lines, "HKLM\\SOFTWARE\\ATI Technologies|HKLM\\" + kServices + "ati2mtag|HKLM\\" + kServices +
                           "atiide|HKLM\\" + kDisplayClass + "\\0000|HKLM\\" + kDiskClass + "\\0003|HKLM\\" + kVideo +
                           "\\0000|");
    EXPECT_EQ(d->Branches.back(), kVideo + "\\0000");
    EXPECT_EQ(Checks(), std::vector<bool>(6, true));
    EXPECT_EQ(d->caption, "Kelvane - Registry Clean...");
    EXPECT_EQ((*d)["mWarning"].textColor, ui::kRed);
    EXPECT_EQ((*d)["mWarning"].text,
              "Warning: the drivers MUST be reinstalled after a registry clean. If you delete the "
              "HKLM\\SOFTWARE\\ATI Technologies\\ branch, you also MUST reinstall ATI MMC and the other ATI "
              "programs.");

    // Without the software key the list starts with the services; the
    // driver's service in capitals is somebody else's.
    m.registry.DeleteKey(kAtiSoftware);
    m.registry.DeleteKey(kAti2mtag);
    m.registry.CreateKey(kServices + "ATI2MTAG");
    Open();
    EXPECT_EQ(d->Branches.size(), 4u);
    EXPECT_EQ(d->Branches.front(), kServices + "atiide");

    EXPECT_EQ(CleanExportFileName(kAti2mtag), "clean_SYSTEM_CurrentControlSet_Services_ati2mtag.reg");
    EXPECT_EQ(CleanExportFileName("a/b:c*d?e\"f<g>h|i j"), "clean_a_b_c_d_e_f_g_h_i j.reg");
}

TEST_F(RegClean, OkExportsEveryCheckedBranchWholeThenDeletesItToTheLastSubkeyAndEndsTheProgram) {
    m.registry.SetString(kAti2mtag + "\\Device0\\Settings\\Deep\\Deeper", "x", "1");
    // Two paths that make the same file name must not share one export.
    m.registry.SetString(kServices + "ati:x", "v", "colon");
    m.registry.SetString(kServices + "ati_x", "v", "underscore");
    Open();
    ScheduleModeCheck(m.platform, run);
    Checks()[0] = false;
    EXPECT_TRUE(OkEndsProgram());

    EXPECT_FALSE(m.registry.KeyExists(kAti2mtag));
    EXPECT_FALSE(m.registry.KeyExists(kServices + "ati:x"));
    EXPECT_TRUE(m.registry.KeyExists(kAtiSoftware + "\\CDS\\0000\\0\\Driver"));
    EXPECT_EQ(ExportOf(CleanExportFileName(kAtiSoftware)), "");
    EXPECT_TRUE(run.backup.trusted) << "the start-up export finished before the device key went";
    // Neither the check after the restart nor the main window brings a
    // snapshot back into the deleted keys.
    EXPECT_FALSE(m.registry.Find(kRunOnceKey, kRunOnceValue));
    for (const auto& launch : m.system.launches) EXPECT_EQ(launch.parameters.rfind("/s", 0), std::string::npos);
    EXPECT_EQ(m.system.shown.size(), 1u);
    EXPECT_TRUE(Says("Deleted:\n    HKLM\\" + kAti2mtag + "\n"));
    EXPECT_TRUE(Says(std::string("folder ") + test::kInstallDir) && Says("Windows must be restarted"));
    EXPECT_FALSE(Says("ATI Technologies"));

    RegistryImage copy;
    std::string file = ExportOf("clean_SYSTEM_CurrentControlSet_Services_ati2mtag.reg");
    EXPECT_TRUE(CheckRegExport(file, kAti2mtag, copy));
    ASSERT_TRUE(ImportRegFile(m.registry, file));
    EXPECT_TRUE(m.registry.Find(kAti2mtag + "\\Device0\\Settings\\Deep\\Deeper", "x"));
    EXPECT_TRUE(m.registry.Find(kDeviceKey, "PruningMode"));
    ImportRegFile(m.registry, ExportOf("clean_SYSTEM_CurrentControlSet_Services_ati_x.reg"));
    ImportRegFile(m.registry, ExportOf("clean_SYSTEM_CurrentControlSet_Services_ati_x_2.reg"));
    EXPECT_TRUE(m.registry.Find(kServices + "ati:x", "v"));
    EXPECT_TRUE(m.registry.Find(kServices + "ati_x", "v"));
}

TEST_F(RegClean, ABootServiceIsShownUncheckedAndKeptEvenWhenTheUserChecksIt) {
    m.registry.SetDword(kServices + "atiide", "Start", 0);
    m.registry.SetDword(kAti2mtag, "Start", 1);
    Open();
    EXPECT_EQ((*d)["clbBranch"].items[2], "HKLM\\" + kServices + "atiide  (loaded at boot: kept)");
    EXPECT_EQ(d->Branches[2], kServices + "atiide");
    EXPECT_EQ(Checks(), (std::vector<bool>{true, true, false}));
    Checks() = {false, true, true};
    EXPECT_TRUE(OkEndsProgram());
    EXPECT_TRUE(m.registry.KeyExists(kServices + "atiide"));
    EXPECT_FALSE(m.registry.KeyExists(kAti2mtag));
    EXPECT_TRUE(Says("atiide - Windows loads this service at boot"));
}

TEST_F(RegClean, ABranchWhoseExportFailsIsKeptAndNamedAndTheProgramGoesOn) {
    m.registry.SetString(kDisplayClass + "\\0000", "InfSection", "ati2mtag");
    ScheduleModeCheck(m.platform, RunSnapshots{});
    std::vector<std::pair<std::string, std::function<void(bool)>>> cases = {
        {kDisplayClass + "\\0000", [this](bool on) { m.system.registryEditorPresent = !on; }},
        {kAti2mtag, [this](bool on) { m.system.editorHangs = on; }},
        {kAtiSoftware, [this](bool on) { m.system.exportLimit = on ? 300 : std::string::npos; }},
    };
    for (auto& [branch, fault] : cases) {
        Open();
        CheckOnly(branch);
        fault(true);
        EXPECT_FALSE(OkEndsProgram()) << branch;
        fault(false);
        EXPECT_TRUE(d->closed);
        EXPECT_TRUE(m.registry.KeyExists(branch));
        EXPECT_EQ(m.system.shown.back().text,
                  "Not deleted:\n    HKLM\\" + branch + " - the registry editor could not export it\n\n");
        EXPECT_EQ(ExportOf(CleanExportFileName(branch)), "");
    }
    EXPECT_TRUE(m.registry.Find(kRunOnceKey, kRunOnceValue)) << "nothing deleted: the pending check stands";
}

// Unzipped on the desktop, the program's folder and a class key's path make
// an export line of over 255 characters, which Windows starts all the same.
TEST_F(RegClean, FromADeepFolderTheLongestDriverKeysAreExportedAndDeleted) {
    const std::string folder = "C:\\Documents and Settings\\Administrator\\Desktop\\Kelvane-0.9.9.6";
    m.registry.SetString(kProductSettingsKey, "InstallDir", folder);
    m.registry.SetString(kDisplayClass + "\\0000", "InfSection", "ati2mtag");
    m.registry.SetString(kVideo + "\\0000", "drv", "ati2dvag");
    Open();
    for (const std::string& branch : {kDisplayClass + "\\0000", kVideo + "\\0000"}) {
        CheckOnly(branch);
        EXPECT_TRUE(OkEndsProgram()) << branch;
        EXPECT_FALSE(m.registry.KeyExists(branch));
        EXPECT_GT(m.system.launches.back().parameters.size(), 255u);
        EXPECT_TRUE(m.system.HasFile(folder + "\\" + CleanExportFileName(branch)));
        Open();
    }
}

TEST_F(RegClean, WindowsStoppingAtARefusedSubkeyLeavesAPartlyDeletedBranch) {
    m.registry.CreateKey(kAti2mtag + "\\Device0\\a\\a1");
    m.registry.CreateKey(kAti2mtag + "\\Device0\\a\\b\\c");
    m.registry.refuse = [](Op op, const std::string& path, const std::string&) {
        return op == Op::DeleteKey && (path == kAti2mtag + "\\Device0\\a\\b" || path == kAtiSoftware);
    };
    Open();
    EXPECT_TRUE(OkEndsProgram());
    EXPECT_FALSE(m.registry.KeyExists(kAti2mtag + "\\Device0\\a\\a1"));
    EXPECT_TRUE(m.registry.KeyExists(kAti2mtag + "\\Device0\\a\\b\\c"));
    EXPECT_TRUE(m.registry.Find(kAti2mtag + "\\Enum", "Count")) << "Windows stops at the first key it cannot delete";
    EXPECT_TRUE(m.registry.KeyExists(kAtiSoftware + "\\CBT")) << "a refused key keeps its whole branch";
    EXPECT_TRUE(Says("Only partly deleted (the key is still there, but some of its subkeys are gone):\n"
                     "    HKLM\\" + kAti2mtag + "\n"));
    EXPECT_TRUE(Says("HKLM\\" + kAtiSoftware + " - Windows refused to delete it"));
    EXPECT_FALSE(m.registry.Find(kRunOnceKey, kRunOnceValue));

    // A clean whose only deletion was refused changed nothing: the program
    // and the pending check go on.
    ScheduleModeCheck(m.platform, RunSnapshots{});
    Open();
    CheckOnly(kAtiSoftware);
    EXPECT_FALSE(OkEndsProgram());
    EXPECT_TRUE(m.registry.Find(kRunOnceKey, kRunOnceValue));
}

TEST_F(RegClean, CancelDeletesNothingAndOkOnAnEmptyListJustCloses) {
    Open();
    auto changes = m.registry.ChangeCount();
    (*d)["bCancel"].UserClick();
    EXPECT_TRUE(d->closed);
    EXPECT_EQ(m.registry.ChangeCount(), changes);

    m.registry.DeleteKey(kAtiSoftware);
    m.registry.DeleteKey(kAti2mtag);
    Open();
    EXPECT_TRUE(d->Branches.empty() && (*d)["clbBranch"].items.empty());
    auto launches = m.system.launches.size();
    EXPECT_FALSE(OkEndsProgram());
    EXPECT_TRUE(d->closed);
    EXPECT_EQ(m.system.launches.size(), launches);
    EXPECT_TRUE(m.system.shown.empty());
}

}  // namespace
}  // namespace kv
