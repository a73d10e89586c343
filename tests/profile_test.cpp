// Profiles: what one machine's window holds saved as an INI file, loaded
// into a window, and applied with no window by a script on many machines.
#include <gtest/gtest.h>

#include "EdidBuilder.h"
#include "MainWindowTest.h"
#include "app/ProfileRun.h"
#include "maintenance/ModeCheckSchedule.h"
#include "platform/RegFile.h"
#include "profile/Profile.h"

namespace kv {
namespace {

using test::kDeviceKey;
using test::Rec;

constexpr const char* kDesktopKey = "SOFTWARE\\ATI Technologies\\Desktop\\{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}";
constexpr const char* kLab = "C:\\Profiles\\lab.ini";
constexpr const char* kEdidKey =
    "SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\TSY1913\\5&2B3C4D&0&12345678&01&00\\Device Parameters";

struct ProfileMachine : test::MainWindowDriver {
    ProfileMachine() { m.Boot(); }
    // Kelvane.exe with these words, as a script starts it.
    int Run(const std::string& words) {
        m.system.commandLine = "\"C:\\Kelvane\\Kelvane.exe\" " + words;
        Platform p{m.registry, display ? *display : m.display, m.system};
        return RunProfileCommand(p);
    }
    // The rate the grid shows for a resolution, or "" when no row shows it.
    std::string Shown(const std::string& resolution) {
        for (int k = 1; k <= 15; ++k)
            if ((*form)["l" + std::to_string(k)].text == resolution) return (*form)["ComboBox" + std::to_string(k)].text;
        return "";
    }
    IDisplay* display = nullptr;
    std::string Log() { return File("Kelvane.log"); }
    // What Kelvane owns of the driver's settings, and the values beside it.
    std::string Owned() { return ExportRegBranch(m.registry, kDeviceKey) + ExportRegBranch(m.registry, kDesktopKey); }
    // After a restart the check is answered, as the user would.
    void AnswerTheCheck() {
        m.Boot();
        m.TakeRunOnceCommands();
        m.system.commandLine = "\"C:\\Kelvane\\Kelvane.exe\"";
        Start();
        AnswerCheck();
        form.reset();
    }
};

std::string Minimal(const std::string& body) { return "[Kelvane Profile]\r\nVersion=1\r\n" + body; }

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Everything Kelvane owns set on one machine, saved by /SAVE and applied by
// /APPLY on another: the second machine's driver values are the first's.
TEST(Profiles, WhatOneMachineSavesAnotherAppliesValueForValueAndOnlyOnce) {
    ProfileMachine a;
    // The list as the list dialog leaves it: the continuations empty.
    a.m.registry.SetBinary(kDeviceKey, "DALNonStandardModesBCD", Rec(1360, 1024, 32, 75));
    for (const char* more : {"DALNonStandardModesBCD1", "DALNonStandardModesBCD2", "DALNonStandardModesBCD3"})
        a.m.registry.SetBinary(kDeviceKey, more, {});
    TForm1& f = a.Start();
    a.SetRate("640x480", "75");
    a.SetRate("1024x768", "85");
    a.SetRate("1280x1024", "255");  // no rate of it at all
    f["cb8"].SetState(ui::CheckState::Unchecked);
    f["tcbOpenGL"].SetState(ui::CheckState::Unchecked);
    f["tcbDTM"].SetState(ui::CheckState::Checked);  // an inverted binary value
    f["tcbBitBlt"].SetState(ui::CheckState::Unchecked);
    f["cbAnisoD3D"].SetState(ui::CheckState::Checked);
    f["cbAnisoDegree"].text = "32";
    a.m.system.answers = {kIdYes, kIdNo};  // the row without rates, then no restart now
    ASSERT_EQ(a.Ok(), 0);
    a.AnswerTheCheck();
    ASSERT_EQ(a.Run(std::string("/SAVE ") + kLab), kExitDone) << a.Log();
    std::string text = a.m.system.ReadFile(kLab).value_or("");
    for (const char* line : {"640x480=75\r\n", "1280x1024=none\r\n", "8=0\r\n", "32=1\r\n", "OpenGL=0\r\n",
                             "DisableOverlayTheaterMode=0\r\n", "DisableDrvStretchBlt=1\r\n",
                             "DisableTiling=default\r\n", "DALRULE_DFPSUPPORTSALLMODES=default\r\n",
                             "AnisoDegree=32\r\n", "1=1360x1024x32@75\r\n", "Monitor=KELVANE CRT19\r\n",
                             "MonitorID=TSY1913\r\n", "Made=2026-12-09 08:00:00\r\n"})
        EXPECT_TRUE(Holds(text, line)) << line << " in\n" << text;
    // The text reads back as it was written.
    ProfileReading reread = ReadProfile(text);
    ASSERT_TRUE(reread.profile) << reread.problem;
    EXPECT_EQ(ProfileText(*reread.profile), text);

    ProfileMachine b;
    b.m.system.WriteFile(kLab, text);
    ASSERT_EQ(b.Run(std::string("/APPLY ") + kLab), kExitDone) << b.Log();
    EXPECT_EQ(b.Owned(), a.Owned());
    EXPECT_TRUE(Holds(b.Log(), "Changed: 640x480: 75 Hz (was 60 Hz)")) << b.Log();
    EXPECT_TRUE(Holds(b.Log(), "Snapshot: C:\\Kelvane\\lastknowngood.dat holds HKEY_LOCAL_MACHINE\\")) << b.Log();
    EXPECT_TRUE(Holds(b.Log(), "Exit code 0: applied; Windows must restart to use it")) << b.Log();
    EXPECT_FALSE(ChangePending(b.m.platform)) << "no check unless asked for";

    // A start-up script runs it at every boot: the machine matches now,
    // before the restart and after it, and nothing is written.
    for (bool boot : {false, true}) {
        if (boot) b.m.Boot();
        unsigned long changes = b.m.registry.ChangeCount();
        EXPECT_EQ(b.Run(std::string("/APPLY ") + kLab + " /RESTART"), kExitNothing) << b.Log();
        EXPECT_EQ(b.m.registry.ChangeCount(), changes) << "boot " << boot;
        EXPECT_EQ(b.m.system.restartRequests, 0);
    }
    EXPECT_TRUE(Holds(b.Log(), "Exit code 1: nothing to do")) << b.Log();
}

// Another machine takes what it can: a resolution it lacks, a rate its
// driver does not offer or its monitor declares it cannot show, an option
// Kelvane does not know, each stays as it is and the log says why.
TEST(Profiles, AnotherMachineTakesWhatItCanAndTheLogSaysWhyNotTheRest) {
    ProfileMachine b;
    std::vector<DisplayMode> modes;
    for (const DisplayMode& mode : SimAtiAdapter::HardwareModes())
        if (mode.width != 1152) modes.push_back(mode);
    b.m.display.enumeration = modes;
    test::EdidBuilder small = test::Crt19();
    small.descriptors.clear();
    small.Name("SMALL CRT").Range(50, 85, 30, 70, 15);
    b.m.registry.SetValue(kEdidKey, "EDID", {kRegBinary, small.Build()});
    b.m.registry.SetDword(kDeviceKey, "DisableTiling", 7);
    b.m.system.WriteFile(kLab, Minimal("[Rates]\r\n1152x864=85\r\n1024x768=87\r\n640x480=100\r\n800x600=85\r\n"
                                       "[Colour Depths]\r\n8=0\r\n16=0\r\n24=0\r\n32=0\r\n"
                                       "[Options]\r\nDisableTiling=1\r\nNoSuchValue=1\r\n"));
    ASSERT_EQ(b.Run(std::string("/APPLY ") + kLab + " /CHECK /RESTART"), kExitDone) << b.Log();
    EXPECT_EQ(b.m.system.restartRequests, 1);
    std::string log = b.Log();
    for (const char* said : {"Not applied: 1152x864: this machine offers no such resolution",
                             "Not applied: 1024x768 at 87 Hz: the driver does not offer this rate",
                             "Not applied: 640x480 at 100 Hz: the monitor declares at most 85 Hz",
                             "Not applied: NoSuchValue: Kelvane knows no such option",
                             "This machine: Radeon 9800 Pro 128MB, ATI Technologies Inc with the monitor SMALL CRT",
                             "Changed: 800x600: 85 Hz (was 56 Hz)", "Changed: DisableTiling: 1 (was default)",
                             "Not applied: Can't disable all colour depths: 32 BPP will be enabled.",
                             "\r\nProfile: C:\\Profiles\\lab.ini\r\n",
                             "The check after the restart is arranged."})
        EXPECT_TRUE(Holds(log, said)) << said << " in\n" << log;
    EXPECT_TRUE(Holds(log, "Windows restarts now.\r\nExit code 0: applied; Windows must restart to use it")) << log;
    EXPECT_EQ(b.List()->data, test::Join({Rec(800, 600, 0, 56), Rec(800, 600, 0, 60), Rec(800, 600, 0, 70),
                                          Rec(800, 600, 0, 72), Rec(800, 600, 0, 75), Rec(0, 0, 8, 0),
                                          Rec(0, 0, 16, 0), Rec(0, 0, 24, 0)}));
    EXPECT_EQ(b.m.registry.Find(kDeviceKey, "DisableTiling")->data, (Bytes{1, 0, 0, 0}));
    EXPECT_TRUE(ChangePending(b.m.platform)) << "/CHECK arranges the check as OK does";

    // The desktop's options take effect without a restart: none is made.
    ProfileMachine c;
    c.m.system.WriteFile(kLab, Minimal("[Options]\r\nOpenGL=0\r\n"));
    ASSERT_EQ(c.Run(std::string("/APPLY ") + kLab + " /RESTART /CHECK"), kExitDone) << c.Log();
    EXPECT_EQ(c.m.system.restartRequests, 0);
    EXPECT_FALSE(ChangePending(c.m.platform));
    EXPECT_TRUE(Holds(c.Log(), "Exit code 0: applied\r\n")) << c.Log();

    // The driver reads its extra modes at boot: custom resolutions alone
    // need the restart.
    ProfileMachine d;
    d.m.system.WriteFile(kLab, Minimal("[Custom Resolutions]\r\n1=1360x1024\r\n"));
    ASSERT_EQ(d.Run(std::string("/APPLY ") + kLab + " /RESTART"), kExitDone) << d.Log();
    EXPECT_EQ(d.m.registry.Find(kDeviceKey, "DALNonStandardModesBCD")->data, Rec(1360, 1024, 0, 0));
    EXPECT_EQ(d.m.system.restartRequests, 1);
}

// Nothing is written for a profile or a start that cannot be used, and the
// log names the reason.
TEST(Profiles, EveryRefusalWritesNothingAndExitsTwo) {
    struct Case {
        const char* what;
        std::optional<std::string> file;
        std::string words;
        std::string said;
        std::function<void(ProfileMachine&)> seed = nullptr;
    };
    const Case cases[] = {
        {"no file", std::nullopt, "/APPLY C:\\Profiles\\lab.ini", "the file cannot be read"},
        {"a line that is no INI", Minimal("[Rates]\r\ngarbage\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "line 4 (garbage): this is neither a [section] nor name=value"},
        {"a rate that is no number", Minimal("[Rates]\r\n640x480=abc\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "line 4 (640x480=abc): a rate is a number of Hz from 1 to 254, or none"},
        {"a resolution that is garbage", Minimal("[Rates]\r\n640by480=85\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "this is no resolution such as 1024x768"},
        {"another program's INI", std::string("[Settings]\r\nColor=1\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "it is no Kelvane profile"},
        {"a newer profile", std::string("[Kelvane Profile]\r\nVersion=2\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "it was made by a newer Kelvane (profile version 2)"},
        {"a file of megabytes", Minimal(std::string(2 << 20, ';')), "/APPLY C:\\Profiles\\lab.ini",
         "it is larger than a profile can be (64 KB at most)"},
        {"a name given twice", Minimal("[Options]\r\nOpenGL=1\r\nopengl=0\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "this name is given twice in its section"},
        {"no file after /APPLY", Minimal(""), "/APPLY /RESTART", "the command line is"},
        {"a word it does not know", Minimal(""), "/APPLY C:\\Profiles\\lab.ini /FORCE", "the command line is"},
        {"/CHECK for /SAVE", std::nullopt, "/SAVE C:\\Profiles\\lab.ini /CHECK", "the command line is"},
        {"another Kelvane running", Minimal("[Rates]\r\n640x480=75\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "another Kelvane is running",
         [](ProfileMachine& s) {
             s.m.system.session = 1;
             s.m.system.ClaimSingleInstance("Global\\Tessaly.Kelvane.OneInstance");
             s.m.system.session = 0;
         }},
        {"a change awaiting its check", Minimal("[Rates]\r\n640x480=75\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "a change awaits its check after the restart", [](ProfileMachine& s) { s.m.AwaitCheck(); }},
        {"no ATI adapter", Minimal("[Rates]\r\n640x480=75\r\n"), "/APPLY C:\\Profiles\\lab.ini",
         "Kelvane could not read this machine's settings",
         [](ProfileMachine& s) {
             static test::NoDisplay none;
             s.display = &none;
         }},
        {"a profile that cannot be written", std::nullopt, "/SAVE C:\\Profiles\\lab.ini",
         "The profile could not be written as C:\\Profiles\\lab.ini",
         [](ProfileMachine& s) { s.m.system.readOnlyFiles.insert(s.m.system.FullPath(kLab)); }},
    };
    for (const Case& c : cases) {
        ProfileMachine s;
        if (c.file) s.m.system.WriteFile(kLab, *c.file);
        if (c.seed) c.seed(s);
        unsigned long changes = s.m.registry.ChangeCount();
        std::string owned = s.Owned();
        EXPECT_EQ(s.Run(c.words), kExitRefused) << c.what;
        EXPECT_EQ(s.Owned(), owned) << c.what;
        // Only a start that got as far as the machine records where the
        // program lives, in its own key.
        if (c.words.rfind("/APPLY", 0) == 0 && !s.display) {
            EXPECT_EQ(s.m.registry.ChangeCount(), changes) << c.what;
        }
        EXPECT_TRUE(Holds(s.Log(), c.said)) << c.what << ":\n" << s.Log();
        EXPECT_TRUE(Holds(s.Log(), "Exit code 2: refused; nothing was written")) << c.what;
        EXPECT_TRUE(s.m.system.shown.empty()) << c.what << ": nothing shows";
    }
}

// The window's Save Profile writes what it shows; Load Profile puts a
// profile into the grid and the boxes and writes nothing until OK.
TEST(Profiles, TheWindowSavesAndLoadsAndOnlyOkWrites) {
    ProfileMachine s;
    s.Start();
    s.SetRate("640x480", "75");
    s.m.system.fileAnswers = {std::string(kLab)};
    s.Menu("SaveProfile1");
    ASSERT_EQ(s.m.system.fileDialogs.size(), 1u);
    EXPECT_EQ(s.m.system.fileDialogs[0].kind, ISystem::FileDialog::Save);
    EXPECT_EQ(s.m.system.fileDialogs[0].filter, "Kelvane profiles (*.ini)|*.ini|All files (*.*)|*.*|");
    ASSERT_FALSE(s.m.system.shown.empty());
    EXPECT_EQ(s.m.system.shown.back().text, std::string("The profile was saved as ") + kLab + ".");
    std::string saved = s.m.system.ReadFile(kLab).value_or("");
    EXPECT_TRUE(Holds(saved, "640x480=75\r\n"));

    s.m.system.WriteFile(kLab, saved + "[Custom Resolutions]\r\n1=1360x1024\r\n[Options]\r\nNoSuchValue=1\r\n");
    s.SetRate("640x480", "60");
    unsigned long changes = s.m.registry.ChangeCount();
    s.m.system.fileAnswers = {std::string(kLab)};
    s.m.system.shown.clear();
    s.Menu("LoadProfile1");
    EXPECT_EQ(s.m.registry.ChangeCount(), changes) << "nothing written before OK";
    EXPECT_EQ(s.Shown("640x480"), "75");
    ASSERT_EQ(s.m.system.shown.size(), 1u) << "what was not loaded, in one message";
    EXPECT_TRUE(Holds(s.m.system.shown[0].text, "NoSuchValue: Kelvane knows no such option"));

    // A file that is no profile changes nothing in the window either.
    s.m.system.WriteFile("C:\\notes.ini", "[Kelvane Profile]\r\nVersion=1\r\n[Rates]\r\n640x480=fast\r\n");
    s.m.system.fileAnswers = {std::string("C:\\notes.ini")};
    s.Menu("LoadProfile1");
    EXPECT_TRUE(Holds(s.m.system.shown.back().text, "C:\\notes.ini cannot be used as a profile: line 4"));
    EXPECT_EQ(s.Shown("640x480"), "75");

    ASSERT_EQ(s.Ok(), 0);
    EXPECT_EQ(s.List()->data, test::Join({Rec(640, 480, 0, 60), Rec(640, 480, 0, 70), Rec(640, 480, 0, 72)}));
    EXPECT_EQ(s.m.registry.Find(kDeviceKey, "DALNonStandardModesBCD")->data, Rec(1360, 1024, 0, 0));
    EXPECT_TRUE(ChangePending(s.m.platform)) << "OK's road: the check after the restart";
}

TEST(Profiles, TheReaderTakesWhatWindowsAndNotepadWriteAndRefusesTheRest) {
    struct Case {
        std::string text;
        std::string problem;  // "" when it reads
    };
    auto utf16 = [](const std::string& ascii) {
        std::string bytes = "\xFF\xFE";
        for (char c : ascii) bytes += std::string{c, '\0'};
        return bytes;
    };
    const Case cases[] = {
        {Minimal("; a comment\r\n\r\n  [ rates ]  \r\n 640 x 480 = \"85\" \r\n"), ""},
        {utf16(Minimal("[Rates]\r\n640x480=85\r\n")), ""},
        {"\xEF\xBB\xBF" + Minimal("[Rates]\n640x480=85\n"), ""},
        {Minimal("[Rates]\r\n640x480=85\r\n[Notes]\r\nWho=the lab\r\n"), ""},
        {Minimal("[Rates]\r\n640x480=0\r\n"), "a rate is a number of Hz from 1 to 254, or none"},
        {Minimal("[Rates]\r\n640x480=255\r\n"), "a rate is a number of Hz from 1 to 254, or none"},
        {Minimal("[Rates]\r\n0x480=85\r\n"), "this is no resolution such as 1024x768"},
        {Minimal("[Colour Depths]\r\n15=1\r\n"), "Kelvane knows the colour depths 8, 16, 24 and 32"},
        {Minimal("[Colour Depths]\r\n8=yes\r\n"), "a colour depth is 1 (offered) or 0 (not offered)"},
        {Minimal("[Options]\r\nOpenGL=on\r\n"), "an option is 1, 0 or default"},
        {Minimal("[Options]\r\nAnisoDegree=-1\r\n"), "the degree is a whole number or off"},
        {Minimal("[Custom Resolutions]\r\n1=1280x960x0\r\n"), "this is no resolution such as 1280x960"},
        {Minimal("[Custom Resolutions]\r\n1=10000x960\r\n"), "this is no resolution such as 1280x960"},
        {Minimal("[Custom Resolutions]\r\n1=1280x960@\r\n"), "this is no resolution such as 1280x960"},
        {"Version=1\r\n", "line 1 (Version=1): it comes before the first [section]"},
        {Minimal("[Rates\r\n"), "this is neither a [section] nor name=value"},
        {Minimal("=85\r\n"), "this is neither a [section] nor name=value"},
        {std::string("[Kelvane Profile]\r\nVersion=one\r\n"), "the version is no number"},
        {Minimal(std::string("[Rates]\r\n640x480=85\0\r\n", 20)), "it holds bytes that are no text"},
    };
    for (const Case& c : cases) {
        ProfileReading r = ReadProfile(c.text);
        EXPECT_EQ(r.profile.has_value(), c.problem.empty()) << c.text << ": " << r.problem;
        EXPECT_TRUE(Holds(r.problem, c.problem)) << c.text << ": " << r.problem;
        if (r.profile && r.profile->rates) {
            ASSERT_EQ(r.profile->rates->size(), 1u) << c.text;
            EXPECT_EQ((*r.profile->rates)[0].rate, 85) << c.text;
        }
    }
    // A part left out is left alone; one given empty sets an empty list.
    Profile partial = ReadProfile(Minimal("[Made On]\r\nMonitor=\"\"\r\n[Options]\r\nOpenGL=1\r\n")).profile.value();
    EXPECT_FALSE(partial.rates || partial.custom);
    EXPECT_EQ(partial.monitor, "") << "Windows takes the quotes off";
    Profile empty = ReadProfile(Minimal("[Rates]\r\n[Custom Resolutions]\r\n")).profile.value();
    EXPECT_TRUE(empty.rates && empty.rates->empty() && empty.custom && empty.custom->empty());

    // The custom resolutions' forms, each read as written.
    for (const char* text : {"1280x960", "1280x960x32", "1280x960@85", "1280x960x32@85"})
        EXPECT_EQ(CustomResolutionText(ParseCustomResolution(text).value()), text);
}

TEST(Profiles, TheCommandLineIsPartedAsWindowsPartsIt) {
    ProfileCommand c = ParseProfileCommand("\"C:\\Program Files\\Kelvane\\Kelvane.exe\" /apply \"C:\\My Lab\\a b.ini\" "
                                           "/LOG \"\\\\server\\logs\\pc 1.log\" /Restart /CHECK");
    EXPECT_TRUE(c.valid);
    EXPECT_EQ(c.action, ProfileCommand::Action::Apply);
    EXPECT_EQ(c.file, "C:\\My Lab\\a b.ini");
    EXPECT_EQ(c.log, "\\\\server\\logs\\pc 1.log");
    EXPECT_TRUE(c.restart && c.check);
    EXPECT_FALSE(ParseProfileCommand("Kelvane.exe /SAVE a.ini /APPLY b.ini").valid);
    EXPECT_FALSE(ParseProfileCommand("Kelvane.exe /APPLY a.ini /LOG").valid);
    EXPECT_TRUE(IsProfileCommand("Kelvane.exe /save x.ini"));
    EXPECT_FALSE(IsProfileCommand("\"C:\\SAVE\\Kelvane.exe\" /CHECK")) << "the program's own path is no switch";
}

}  // namespace
}  // namespace kv
