// The diagnostic report on the simulated machine: its log, the conversion of
// the registry editor's exports, the batch file, and the whole procedure as
// the Report button runs it, in the installation folder whatever the current
// one is.
#include <gtest/gtest.h>

#include <algorithm>

#include "MainWindowTest.h"
#include "lang/Lang.h"
#include "platform/Settings.h"
#include "report/Report.h"

namespace kv {
namespace {

std::string Utf16Export(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0, end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "the last line ends in CR LF";
    return lines;
}

ResolutionRow Row(std::uint16_t w, std::uint16_t h, std::vector<std::uint8_t> rates, std::uint8_t selected) {
    ResolutionRow row;
    row.width = w;
    row.height = h;
    row.rates = std::move(rates);
    row.selected = selected;
    return row;
}

TEST(ReportLog, KnownMachineGivesTheLogLineByLine) {
    test::TestMachine m;
    AdapterContext adapter;
    adapter.DeviceKey = test::kDeviceKey;
    adapter.DeviceName = "\\\\.\\DISPLAY1";
    adapter.WinVer = "Windows XP 5.1.2600";
    adapter.ClassID = "{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000";
    adapter.VideoID = "{23A77BF7-ED96-40EC-AF06-9B1F4867732A}";
    // Two modes that differ only in depth end the list at the second.
    m.display.enumeration = std::vector<DisplayMode>{
        {640, 480, 8, 60}, {640, 480, 8, 75}, {800, 600, 8, 60}, {800, 600, 16, 60}, {1024, 768, 8, 60}};
    ReportFacts facts;
    facts.rows = {Row(1024, 768, {60, 75, 85}, 75), Row(1280, 1024, {60}, 0)};
    facts.boxes = {false, true, false, true, true, false, false, true};

    std::string log = ReportLog(m.platform, adapter, facts);
    const std::string sep(80, '-');
    EXPECT_EQ(log, "Kelvane Version 0.9.9.6 report file [Lang:0()]\r\n" + sep + "\r\n" +
                       "IgnoreMonitorCaps : No\r\n" + test::kDeviceKey + "\r\n" + sep + "\r\n" +
                       "Modes:\r\n"
                       "1024x768 Refresh Rates: 60 75 85 Selected: 75\r\n"
                       "1280x1024 Refresh Rates: 60 Selected: 0\r\n" +
                       sep + "\r\nMonitor: not known (no monitor)\r\n" + sep + "\r\nCB: FALSE TRUE FALSE TRUE TRUE FALSE FALSE TRUE\r\n" + sep +
                       "\r\nWinVer: Windows XP 5.1.2600\r\n" + sep +
                       "\r\nClassID: {4D36E968-E325-11CE-BFC1-08002BE10318}\\0000\r\n"
                       "VideoID: {23A77BF7-ED96-40EC-AF06-9B1F4867732A}\r\n" +
                       sep +
                       "\r\nML2:\r\n\r640x480: 60 75\r800x600: 60"
                       "\rML0:\r\n\r640x480: 60 75\r800x600: 60\r\n");
    EXPECT_EQ(m.display.lastEnumFlags, 0u) << "the second list is enumerated without the raw flag";

    m.registry.CreateKey(kProductSettingsKey);
    m.registry.SetValue(kProductSettingsKey, "IgnoreMonitorCAPS", {kRegDword, {1, 0, 0, 0}});
    facts.langLoaded = 1;
    facts.langFileName = "German.lng";
    log = ReportLog(m.platform, adapter, facts);
    EXPECT_EQ(log.substr(0, log.find("\r\n")), "Kelvane Version 0.9.9.6 report file [Lang:1(German.lng)]");
    EXPECT_NE(log.find("\r\nIgnoreMonitorCaps : Yes\r\n"), std::string::npos);
    // Only the low 16 bits count, as for every number the program reads.
    m.registry.SetValue(kProductSettingsKey, "IgnoreMonitorCAPS", {kRegDword, {0, 0, 1, 0}});
    EXPECT_NE(ReportLog(m.platform, adapter, facts).find("IgnoreMonitorCaps : No"), std::string::npos);
}

TEST(ReportLog, RawListsTellRawModesApartAndStopAtTheEnumerationsEnd) {
    test::TestMachine m;
    std::string raw = RawModeList(m.display, "\\\\.\\DISPLAY1", kEnumRawMode);
    std::string pruned = RawModeList(m.display, "\\\\.\\DISPLAY1", 0);
    EXPECT_EQ(raw.front(), '\r');
    EXPECT_GT(raw.size(), pruned.size()) << "the raw list holds the modes the monitor cannot take";
    // Every group is a new resolution: none repeats the one before it.
    EXPECT_EQ(pruned.find(" \r"), std::string::npos);

    m.display.enumeration = std::vector<DisplayMode>{};
    EXPECT_EQ(RawModeList(m.display, "\\\\.\\DISPLAY1", 0), "");
    m.display.enumeration = std::vector<DisplayMode>{{640, 480, 8, 60}, {640, 480, 8, 72}, {640, 480, 32, 60}};
    EXPECT_EQ(RawModeList(m.display, "\\\\.\\DISPLAY1", 0), "\r640x480: 60 72 60")
        << "only a mode equal to the one just before it ends the list";
    // A new width or a new height alone starts a new group.
    m.display.enumeration = std::vector<DisplayMode>{{640, 480, 8, 60}, {720, 480, 8, 60}, {720, 576, 8, 60}};
    EXPECT_EQ(RawModeList(m.display, "\\\\.\\DISPLAY1", 0), "\r640x480: 60\r720x480: 60\r720x576: 60");

    // A driver that never stops enumerating: the list ends after 65536 modes.
    std::vector<DisplayMode> endless;
    for (std::uint32_t i = 0; i < 70000; ++i) endless.push_back({640, 480, 8, i % 2 ? 60u : 75u});
    m.display.enumeration = endless;
    std::string list = RawModeList(m.display, "\\\\.\\DISPLAY1", 0);
    EXPECT_EQ(std::count(list.begin(), list.end(), ' '), 65536);
}

TEST(ConvertRegExport, SixteenBitExportBecomesAnsiText) {
    test::TestMachine m;
    ISystem& sys = m.system;
    // ASCII text: the same bytes, one per character, without the mark.
    std::string ascii = Utf16Export(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"A\"=\"b\"\r\n\r\n");
    EXPECT_EQ(RegExportAsAnsi(sys, ascii),
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"A\"=\"b\"\r\n\r\n");
    // A last line without its line end gets one; LF-only lines get CR LF;
    // a byte left over from a cut export is dropped.
    EXPECT_EQ(RegExportAsAnsi(sys, Utf16Export(u"\na\nb")), "\r\na\r\nb\r\n");
    EXPECT_EQ(RegExportAsAnsi(sys, "\xFF\xFE"), "");
    EXPECT_EQ(RegExportAsAnsi(sys, Utf16Export(u"a") + "b"), "a\r\n");

    // Characters outside ASCII come out in the system's code page.
    std::string umlaut = Utf16Export(u"\"Path\"=\"C:\\\\Gerät\"\r\n");
    EXPECT_EQ(RegExportAsAnsi(sys, umlaut), "\"Path\"=\"C:\\\\Ger\xE4t\"\r\n");
    std::string cyrillic = Utf16Export(u"\"DriverDesc\"=\"Видеоадаптер\"\r\n");
    EXPECT_EQ(RegExportAsAnsi(sys, cyrillic), "\"DriverDesc\"=\"????????????\"\r\n")
        << "a Western code page has no Cyrillic letters";
    // A control character above ASCII is no euro sign, which 1252 keeps at
    // byte 0x80.
    EXPECT_EQ(RegExportAsAnsi(sys, Utf16Export(u"\u0080\u20AC")), "?\x80\r\n");
    m.system.ansiCodePage = 1251;
    EXPECT_EQ(RegExportAsAnsi(sys, cyrillic), "\"DriverDesc\"=\"\xC2\xE8\xE4\xE5\xEE\xE0\xE4\xE0\xEF\xF2\xE5\xF0\"\r\n");

    // A file that is no 16-bit export is left as it is, even when it
    // starts like one.
    EXPECT_EQ(RegExportAsAnsi(sys, "REGEDIT4\r\n"), "REGEDIT4\r\n");
    EXPECT_EQ(RegExportAsAnsi(sys, "\xFFX\r\n"), "\xFFX\r\n");
    EXPECT_EQ(RegExportAsAnsi(sys, "\xFF"), "\xFF");
    EXPECT_EQ(RegExportAsAnsi(sys, "A\xFE\r\n"), "A\xFE\r\n");
    EXPECT_EQ(RegExportAsAnsi(sys, ""), "");

    m.system.WriteFile("C:\\Kelvane\\x.reg", ascii);
    EXPECT_TRUE(ConvertRegExport(sys, "C:\\Kelvane\\x.reg"));
    EXPECT_EQ(m.system.files["c:\\kelvane\\x.reg"].substr(0, 8), "Windows ");
    EXPECT_FALSE(ConvertRegExport(sys, "C:\\Kelvane\\missing.reg"));
}

TEST(ReportBatch, FortySixLinesThatJoinEveryPieceAndCompressInPlace) {
    std::string batch = ReportBatch("C:\\Program Files\\Kelvane");
    std::vector<std::string> lines = CrLfLines(batch);
    const std::string sep = "echo ------------>> 0.tmp";
    std::vector<std::string> expected{"@echo off", "del Kelvane.rpt", "copy ati2mtaa.reg 0.tmp", "del ati2mtaa.reg",
                                      sep};
    for (const char* file :
         {"ati2mtag.reg", "atimtag.reg", "ati2mpaa.reg", "ati2mpag.reg", "class.reg", "video.reg", "ati.reg"}) {
        expected.push_back(std::string("copy /b 0.tmp + ") + file + " 1.tmp");
        expected.push_back(std::string("del ") + file);
        expected.push_back("del 0.tmp");
        expected.push_back("ren 1.tmp 0.tmp");
        expected.push_back(sep);
    }
    expected.insert(expected.end(),
                    {"copy /b \"Kelvane.txt\" + 0.tmp 1.tmp", "del \"Kelvane.txt\"", "del 0.tmp",
                     "ren 1.tmp \"Kelvane.rpt\"",
                     "makecab \"C:\\Program Files\\Kelvane\\Kelvane.rpt\" \"C:\\Program Files\\Kelvane\\Kelvane.rpt\"",
                     "del cpall.bat"});
    ASSERT_EQ(lines.size(), 46u);
    EXPECT_EQ(lines, expected);

    // A "%" in the folder's name is doubled, or the interpreter would read
    // a variable there.
    EXPECT_EQ(CrLfLines(ReportBatch("D:\\100% CRT"))[44],
              "makecab \"D:\\100%% CRT\\Kelvane.rpt\" \"D:\\100%% CRT\\Kelvane.rpt\"");
}

class ReportTest : public test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Start();
    }
    std::string File(const std::string& name) { return m.system.files["c:\\kelvane\\" + name]; }
    bool Has(const std::string& name) { return m.system.HasFile("C:\\Kelvane\\" + name); }
    const SimSystem::ShownBox& LastBox() { return m.system.shown.back(); }
    // The report's content as the cabinet holds it.
    std::string Packed() {
        std::optional<std::string> content = SimCabinetContent(File("kelvane.rpt"));
        EXPECT_TRUE(content) << "Kelvane.rpt is a cabinet";
        return content.value_or("");
    }
};

TEST_F(ReportTest, ReportPacksTheLogAndEveryExportIntoOneCabinet) {
    // Started from another folder, as after a restart: nothing lands there.
    m.system.currentDirectory = "C:\\WINDOWS\\system32";
    m.system.WriteFile("C:\\WINDOWS\\system32\\0.tmp", "someone else's");
    m.system.WriteFile("C:\\WINDOWS\\system32\\class.reg", "someone else's");
    std::size_t filesThere = m.system.FindFiles("C:\\WINDOWS\\system32\\*").size();
    // The boxes as the window shows them; a grayed one counts as unchecked.
    const char* boxes[] = {"cb8", "cb16", "cb24", "cb32", "tcbOpenGL", "tcbD3D", "tcbProjector", "tcbRotation"};
    const ui::CheckState states[] = {ui::CheckState::Unchecked, ui::CheckState::Checked, ui::CheckState::Unchecked,
                                     ui::CheckState::Checked,   ui::CheckState::Grayed,  ui::CheckState::Checked,
                                     ui::CheckState::Unchecked, ui::CheckState::Checked};
    for (int i = 0; i < 8; ++i) (*form)[boxes[i]].state = states[i];
    bool waitClosedBeforeMessage = false;
    form->refreshWindows = [&] {
        waitClosedBeforeMessage = m.system.shown.empty() && form->dialogs.back()->name == "TForm6" &&
                                  form->dialogs.back()->closed;
    };

    EXPECT_EQ(Click("bReport"), -1);
    EXPECT_EQ(LastBox().text, "Report saved in Kelvane.rpt");
    EXPECT_EQ(LastBox().caption, "Report Creation OK");
    EXPECT_TRUE(waitClosedBeforeMessage) << "the \"Wait...\" window goes before the message";

    std::string report = Packed();
    EXPECT_EQ(report.rfind("Kelvane Version 0.9.9.6 report file [Lang:0()]\r\n", 0), 0u);
    EXPECT_NE(report.find("1024x768 Refresh Rates:"), std::string::npos);
    EXPECT_NE(report.find("\r\nCB: FALSE TRUE FALSE TRUE FALSE TRUE FALSE TRUE\r\n"), std::string::npos);
    // The log, then the eight exports in their order, each followed by a
    // line of twelve hyphens; a branch the machine lacks leaves its place
    // empty. Nothing of a text join's ^Z is left.
    std::vector<std::string> pieces;
    std::size_t start = 0, sep;
    // A whole line of twelve: the log's separators are longer.
    while ((sep = report.find("\n------------\r\n", start ? start - 1 : 0)) != std::string::npos) {
        pieces.push_back(report.substr(start, sep + 1 - start));
        start = sep + 15;
    }
    EXPECT_EQ(start, report.size()) << "the last export is followed by hyphens";
    ASSERT_EQ(pieces.size(), 8u);
    EXPECT_EQ(pieces[0].substr(pieces[0].size() - 2), "\r\n") << "the log, and no ati2mtaa on this machine";
    const char* header = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\";
    EXPECT_EQ(pieces[1].rfind(std::string(header) + "SYSTEM\\CurrentControlSet\\Services\\ati2mtag]", 0), 0u);
    for (int missing : {2, 3, 4, 6}) EXPECT_EQ(pieces[missing], "") << missing;
    EXPECT_EQ(pieces[5].rfind(std::string(header) + "SYSTEM\\CurrentControlSet\\Control\\Class]", 0), 0u);
    EXPECT_EQ(pieces[7].rfind(header, 0), 0u);
    EXPECT_LT(pieces[7].find("\\ATI Technologies]"), 100u);
    EXPECT_EQ(report.find('\x1A'), std::string::npos);
    EXPECT_EQ(report.find('\0'), std::string::npos) << "the exports are 8-bit text";

    // The pieces are gone; the other folder is as it was.
    for (const char* left : {"kelvane.txt", "cpall.bat", "0.tmp", "1.tmp", "ati2mtag.reg", "class.reg"})
        EXPECT_FALSE(Has(left)) << left;
    EXPECT_EQ(m.system.FindFiles("C:\\WINDOWS\\system32\\*").size(), filesThere);
    EXPECT_EQ(m.system.files["c:\\windows\\system32\\0.tmp"], "someone else's");
    // Only the batch file's own removal of an old report found nothing.
    EXPECT_EQ(m.system.failedBatchCommands, std::vector<std::string>{"del Kelvane.rpt"});
    // Every export and the batch file were waited for, each for a bounded time.
    std::size_t editors = 0;
    for (const SimSystem::Launch& l : m.system.launches) editors += l.file == "regedit.exe" && l.parameters.rfind("/e ", 0) == 0 && l.parameters.find(".reg ") != std::string::npos;
    std::size_t bounded = 0;
    for (const SimSystem::Wait& w : m.system.waits) bounded += w.timeoutMs == kExportWaitMs || w.timeoutMs == kBatchWaitMs;
    EXPECT_GE(bounded, editors + 1);
    const SimSystem::Launch& batch = m.system.launches.back();
    EXPECT_EQ(batch.file, "C:\\Kelvane\\cpall.bat");
    EXPECT_EQ(batch.directory, "C:\\Kelvane");
    EXPECT_EQ(batch.show, kShowHidden);
}

TEST_F(ReportTest, BranchesThatDoNotExistLeaveAnEmptyPieceAndNoEditorRun) {
    m.registry.DeleteKey("SYSTEM\\CurrentControlSet\\Services\\atimtag");
    m.registry.DeleteKey("Software\\ATI Technologies");
    std::size_t startup = m.system.launches.size();
    EXPECT_EQ(Click("bReport"), -1);
    EXPECT_EQ(LastBox().text, "Report saved in Kelvane.rpt");
    for (const SimSystem::Launch& l :
         std::vector<SimSystem::Launch>(m.system.launches.begin() + static_cast<long>(startup), m.system.launches.end())) {
        EXPECT_EQ(l.parameters.find("atimtag"), std::string::npos);
        EXPECT_EQ(l.parameters.find("ATI Technologies"), std::string::npos);
    }
    std::string report = Packed();
    EXPECT_EQ(report.substr(report.size() - 28), "------------\r\n------------\r\n") << "ati.reg is empty";
}

TEST_F(ReportTest, OnlyACabinetMadeByThisRunIsCalledSaved) {
    m.system.WriteFile("C:\\Kelvane\\Kelvane.rpt", SimCabinet("Kelvane.rpt", "an old report"));

    // Without the cabinet tool the joined text stays uncompressed.
    m.system.cabinetToolPresent = false;
    Click("bReport");
    EXPECT_NE(LastBox().text.find("makecab"), std::string::npos);
    EXPECT_EQ(LastBox().caption, "Error");
    EXPECT_EQ(File("kelvane.rpt").rfind("Kelvane Version", 0), 0u) << "not the old cabinet";

    // A batch file that does not end in time is no saved report.
    m.system.cabinetToolPresent = true;
    m.system.batchHangs = true;
    Click("bReport");
    EXPECT_NE(LastBox().text.find("did not finish"), std::string::npos);
    EXPECT_FALSE(Has("kelvane.rpt")) << "the old one went first";

    // An old report another program holds open: nothing is started.
    m.system.batchHangs = false;
    m.system.FinishPrograms();
    m.system.WriteFile("C:\\Kelvane\\Kelvane.rpt", "old");
    m.system.lockedFiles.insert("c:\\kelvane\\kelvane.rpt");
    std::size_t launched = m.system.launches.size();
    Click("bReport");
    EXPECT_NE(LastBox().text.find("could not remove the old"), std::string::npos);
    EXPECT_EQ(m.system.launches.size(), launched);
}

TEST_F(ReportTest, FailuresOnTheWaySayWhatWentWrongAndLeaveNoPieces) {
    m.system.editorHangs = true;
    Click("bReport");
    EXPECT_NE(LastBox().text.find("did not finish exporting HKEY_LOCAL_MACHINE\\SYSTEM"), std::string::npos);
    EXPECT_FALSE(Has("kelvane.txt"));
    EXPECT_FALSE(Has("cpall.bat")) << "no batch joins half exports";

    m.system.editorHangs = false;
    m.system.FinishPrograms();
    m.system.WriteFile("C:\\Kelvane\\cpall.bat", "");
    m.system.readOnlyFiles.insert("c:\\kelvane\\cpall.bat");
    Click("bReport");
    EXPECT_EQ(LastBox().text, "Can't create a temporary file");
    EXPECT_EQ(LastBox().caption, "Error");
    EXPECT_FALSE(Has("kelvane.txt"));
    EXPECT_FALSE(Has("ati2mtag.reg"));

    m.system.readOnlyFiles.clear();
    m.system.registryEditorPresent = false;
    Click("bReport");
    EXPECT_NE(LastBox().text.find("registry editor could not be started"), std::string::npos);
}

TEST_F(ReportTest, TheBatchFileNamesTheFolderInTheConsolesCodePage) {
    m.registry.SetString(kProductSettingsKey, "InstallDir", "C:\\Programme\\Gerät");
    m.system.WriteFile("C:\\Programme\\Gerät\\ati.pci", test::kSmallPciIds);
    m.system.batchHangs = true;
    Click("bReport");
    std::string batch = m.system.files[m.system.FullPath("C:\\Programme\\Gerät\\cpall.bat")];
    // In the OEM code page 850 "ä" is 0x84.
    EXPECT_NE(batch.find("makecab \"C:\\Programme\\Ger\x84t\\Kelvane.rpt\""), std::string::npos);
}

TEST_F(ReportTest, NothingStartsWhileTheCheckAfterARestartWaits) {
    m.AwaitCheck();
    m.system.commandLine = test::kCheckCommand;
    Start();
    ASSERT_TRUE(form->CheckPending());
    std::size_t launched = m.system.launches.size();
    Click("bReport");
    Click("Help");
    form->RunCommand([&] { form->FindMenuItem("About1")->onClick(); });
    EXPECT_EQ(m.system.launches.size(), launched);
    for (const auto& d : form->dialogs) EXPECT_NE(d->name, "TForm2");
}

}  // namespace
}  // namespace kv
