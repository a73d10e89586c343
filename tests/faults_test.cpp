// Every command that writes the driver's settings, run once for each of the
// machine's registry and file operations failing in turn (the registry
// editor's included). Whichever one fails, the registry ends as the command
// meant it, or the user is told; and Restore Registry in the next run puts
// the driver's key back as it was before the change.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "MainWindowTest.h"
#include "app/ProfileRun.h"
#include "maintenance/ModeCheckSchedule.h"
#include "maintenance/Snapshots.h"
#include "maintenance/uRegClean.h"
#include "modes/CheckModes.h"
#include "nonstd/NonStdRes.h"
#include "nonstd/TNonStdResAdd.h"
#include "platform/DriverValues.h"
#include "platform/RegFile.h"
#include "platform/Settings.h"

namespace kv {
namespace {

using test::kDeviceKey;
constexpr const char* kDesktopKey = "SOFTWARE\\ATI Technologies\\Desktop\\{6C5A1F3E-2B8D-4E7A-9F10-3D4C5B6A7E80}";
constexpr const char* kSecondHead = "System\\CurrentControlSet\\Services\\ati2mtag\\Device1";
// Every key Kelvane may write on the demo machine with a second head.
const char* const kDriverKeys[] = {kDeviceKey, kDesktopKey, kSecondHead};

bool IsText(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// A branch as text: keys in order, values by name, texts without their
// terminating zeros (the registry editor may add one).
void Dump(const RegistryImage::Key& key, const std::string& path, std::ostringstream& out) {
    out << "[" << path << "]\n";
    std::vector<std::string> lines;
    for (const auto& [name, value] : key.values) {
        // Kelvane's own bookkeeping; only what decides a pending check counts,
        // and of its record only that it is there: which keys the kept file
        // holds depends on what start-up could read.
        if (SameNoCase(path, kProductSettingsKey) && name != "BackupBeforeChange") continue;
        if (SameNoCase(path, kProductSettingsKey)) {
            lines.push_back("backupbeforechange=recorded");
            continue;
        }
        Bytes data = value.data;
        if (IsText(value.type))
            while (!data.empty() && data.back() == 0) data.pop_back();
        std::string line = name + "=" + std::to_string(value.type) + ":";
        for (std::uint8_t b : data) line += std::to_string(b) + ",";
        std::transform(line.begin(), line.begin() + static_cast<long>(name.size()), line.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines) out << line << "\n";
    // What a restart drops is bookkeeping of this boot only.
    for (const auto& [ignored, sub] : key.subkeys)
        if (!sub->volatileKey) Dump(*sub, path.empty() ? sub->name : path + "\\" + sub->name, out);
}

std::string State(RegistryImage& reg, const std::string& branch = "") {
    std::ostringstream out;
    if (const RegistryImage::Key* key = reg.FindKey(branch)) Dump(*key, branch, out);
    // The check's entry matters only while a change awaits it: without the
    // record the check it starts ends at once, taking the entry with it.
    if (branch.empty() && !reg.Find(kProductSettingsKey, "BackupBeforeChange")) {
        std::string text = out.str();
        std::size_t at = text.find("\nkelvane - test resolution=");
        if (at != std::string::npos) text.erase(at, text.find('\n', at + 1) - at);
        return text;
    }
    return out.str();
}

// The lines of one state the other lacks, each way, for a failure's message.
std::string Difference(const std::string& got, const std::string& want) {
    auto lines = [](const std::string& text) {
        std::multiset<std::string> all;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) all.insert(line);
        return all;
    };
    std::multiset<std::string> a = lines(got), b = lines(want);
    std::string out;
    for (const std::string& l : a)
        if (!b.count(l)) out += "  + " + l + "\n";
    for (const std::string& l : b)
        if (!a.count(l)) out += "  - " + l + "\n";
    return out;
}

// One program session on its own machine, as the walk needs a fresh one for
// every operation that fails.
// The driver's keys, each as text.
std::string DriverState(RegistryImage& reg) {
    std::string all;
    for (const char* key : kDriverKeys) all += State(reg, key);
    return all;
}

struct Session : test::MainWindowDriver {
    Session() {
        // The card's second head, whose key the adapter dialog may write.
        m.registry.SetDword(kSecondHead, kPruningModeValue, 1);
        m.display.moreDevices = {{"\\\\.\\DISPLAY2", "RADEON 9800 PRO - Secondary", kDisplayAttachedToDesktop,
                                  std::string("\\Registry\\Machine\\") + kSecondHead}};
    }
    std::string origin;         // the driver's keys before the change
    // What Restore Registry brings back: the keys before the last run's change.
    std::string restoreOrigin;
    std::set<std::string> shownTexts;

    void MarkOrigin() { origin = restoreOrigin = DriverState(m.registry); }
    // Clicks a dialog's button; a program that ends is no failure here.
    void Press(ui::Form* dialog, const std::string& button) {
        if (!dialog) return;
        try {
            form->RunCommand([&] { (*dialog)[button].UserClick(); });
        } catch (const ProgramEnded&) {
        }
    }
    void AddResolution(const std::string& w, const std::string& h) {
        Menu("Resolutions1");
        TNonStRes* list = Open<TNonStRes>("TNonStRes");
        ASSERT_TRUE(list);
        (*list)["bAdd"].UserClick();
        ASSERT_TRUE(list->editor);
        TNonStResAdd& e = *list->editor;
        e["eWidth"].text = w;
        e["eHeight"].text = h;
        e["bOK"].UserClick();
    }
    // A resolution added and the list's OK: a write early in a run.
    void SaveResolution(const std::string& w, const std::string& h) {
        AddResolution(w, h);
        Press(Open<TNonStRes>("TNonStRes"), "bOK");
    }
    // A change saved with No to the restart, then a new start: the change
    // awaits its check; Restore would take back only this run's changes.
    void ChangeAwaitingCheck() {
        MarkOrigin();
        Start();
        SetRate("640x480", "75");
        (*form)["tcbOpenGL"].UserClick();
        Ok();
        Start();
        restoreOrigin = DriverState(m.registry);
    }
    void TellsSince(std::size_t first) {
        for (std::size_t i = first; i < m.system.shown.size(); ++i) shownTexts.insert(m.system.shown[i].text);
    }
};

struct Scenario {
    const char* name;
    std::function<void(Session&)> prepare;  // runs without faults; marks the origin
    std::function<void(Session&)> command;  // runs with one operation failing
};

// What a run of the command under one fault left.
struct Outcome {
    std::string state;
    std::set<std::string> told;
    unsigned long operations = 0;
    std::string failed;
    // While a change awaits its check: the driver's keys as the kept file
    // holds them, those it lacks as they are now.
    std::optional<std::string> kept;
};

Outcome RunCommand(Session& s, const Scenario& sc, unsigned long failAt) {
    std::size_t firstBox = s.m.system.shown.size();
    s.m.faults = FaultPlan{};
    s.m.faults.failAt = failAt;
    try {
        sc.command(s);
    } catch (const ProgramEnded&) {
    }
    Outcome out{State(s.m.registry), {}, s.m.faults.count, s.m.faults.failed, std::nullopt};
    s.m.faults.failAt = 0;
    if (s.m.registry.Find(kProductSettingsKey, "BackupBeforeChange")) {
        RegistryImage parsed;
        std::vector<std::string> branches;
        std::string file = s.File(kBeforeChangeFile);
        if (CheckRegSnapshot(file, {std::begin(kDriverKeys), std::end(kDriverKeys)}, parsed, branches)) {
            out.kept = "";
            for (const char* key : kDriverKeys)
                *out.kept += State(std::find(branches.begin(), branches.end(), key) != branches.end() ? parsed
                                                                                                      : s.m.registry,
                                   key);
        } else {
            out.kept = "no whole beforechange.dat: " + file.substr(0, 40);
        }
        // A check still pending whose way back is the state the keys are in
        // now changes nothing, however it is answered: the next logon's
        // check only takes its bookkeeping away.
        if (out.kept == DriverState(s.m.registry)) {
            out.kept.reset();
            RegistryImage::Key* settings = s.m.registry.FindKey(kProductSettingsKey);
            std::erase_if(settings->values, [](const auto& v) { return v.first == "BackupBeforeChange"; });
            out.state = State(s.m.registry);
        }
    }
    s.TellsSince(firstBox);
    out.told = s.shownTexts;
    return out;
}

// Restore Registry in a new run, after a restart whose pending check the
// user answers with OK first.
std::string RestoredKey(Session& s) {
    s.m.Boot();
    s.m.TakeRunOnceCommands();
    s.m.system.commandLine = "\"C:\\Kelvane\\Kelvane.exe\"";
    s.Start();
    s.AnswerCheck();
    s.Click("bRestore");
    return DriverState(s.m.registry);
}

void Walk(const Scenario& sc) {
    auto reference = std::make_unique<Session>();
    sc.prepare(*reference);
    ASSERT_FALSE(reference->origin.empty()) << sc.name;
    std::string before = State(reference->m.registry);
    Outcome intended = RunCommand(*reference, sc, 0);
    ASSERT_NE(intended.state, before) << sc.name << " changes nothing";
    if (intended.kept) {
        ASSERT_EQ(*intended.kept, reference->origin) << sc.name << ": the kept file without a fault";
    }
    std::string restored = RestoredKey(*reference);
    ASSERT_EQ(restored, reference->restoreOrigin) << sc.name << ": Restore without a fault\n"
                                                  << Difference(restored, reference->restoreOrigin);

    for (unsigned long k = 1; k <= intended.operations; ++k) {
        auto s = std::make_unique<Session>();
        sc.prepare(*s);
        Outcome o = RunCommand(*s, sc, k);
        bool told = std::any_of(o.told.begin(), o.told.end(),
                                [&](const std::string& t) { return !intended.told.count(t); });
        std::string where = std::string(sc.name) + ", operation " + std::to_string(k) + " failing: " + o.failed;
        EXPECT_TRUE(o.state == intended.state || told) << where << ", nothing told\n"
                                                       << Difference(o.state, intended.state);
        // The way back of a change awaiting its check is the state before it.
        if (o.kept) {
            EXPECT_EQ(*o.kept, s->origin) << where << ", the kept file\n" << Difference(*o.kept, s->origin);
        }
        std::string restored = RestoredKey(*s);
        // A command that wrote nothing leaves Restore the run before's way back.
        EXPECT_TRUE(restored == s->restoreOrigin || restored == s->origin)
            << where << ", Restore left\n" << Difference(restored, s->restoreOrigin);
    }
}

const Bytes kHarmfulList = test::Rec(640, 480, 0, 60);

const Scenario kScenarios[] = {
    {"OK",
     [](Session& s) {
         s.MarkOrigin();
         s.Start();
         s.SetRate("640x480", "75");
         (*s.form)["tcbTilling"].UserClick();
         (*s.form)["tcbOpenGL"].UserClick();
     },
     [](Session& s) { s.Ok(); }},
    {"a whole run ending in OK",
     [](Session& s) { s.MarkOrigin(); },
     [](Session& s) {
         s.Start();
         if (!s.form->state.StartupComplete) return;
         s.SetRate("640x480", "75");
         s.Ok();
     }},
    {"List OK",
     [](Session& s) {
         s.MarkOrigin();
         s.Start();
         s.AddResolution("1280", "1024");
     },
     [](Session& s) { s.Press(s.Open<TNonStRes>("TNonStRes"), "bOK"); }},
    {"Fix&Restart",
     [](Session& s) {
         s.m.registry.SetDword(kDeviceKey, kNativeModesValue, 2);
         s.m.registry.SetBinary(kDeviceKey, kRestrictedListNames[0], kHarmfulList);
         s.m.Boot();
         s.MarkOrigin();
         s.Start();
     },
     [](Session& s) { s.Press(s.Open<ui::Form>("TfFirstRun"), "bFix"); }},
    {"Restore",
     [](Session& s) {
         s.ChangeAwaitingCheck();
         s.restoreOrigin = s.origin;  // the change is taken back with its check
     },
     [](Session& s) { s.Click("bRestore"); }},
    {"Cancel",
     [](Session& s) {
         s.MarkOrigin();
         s.Start();
         s.SaveResolution("1280", "1024");
     },
     [](Session& s) { s.Click("Cancel"); }},
    {"the mode check's fallback",
     [](Session& s) {
         s.MarkOrigin();
         s.Start();
         s.SetRate("1024x768", "85");
         s.m.system.answers = {kIdYes};
         s.Ok();
         s.m.Boot();
         s.m.TakeRunOnceCommands();
         s.m.system.commandLine = test::kCheckCommand;
     },
     [](Session& s) {
         s.Start();
         if (!s.form->modeCheck) return;
         TForm5& check = *s.form->modeCheck;
         s.form->RunCommand([&] {
             for (int i = 0; i < 30; ++i) check.Timer1Timer();
         });
     }},
    {"the adapter dialog's OK",
     [](Session& s) {
         s.MarkOrigin();
         s.Start();
         s.Menu("Adapter1");
         if (ui::Form* adapters = s.Open<ui::Form>("TForm4")) (*adapters)["cbIgnoreMC"].UserClick();
     },
     [](Session& s) { s.Press(s.Open<ui::Form>("TForm4"), "bOK"); }},
    {"the adapter dialog's OK for the second head, after a list OK",
     [](Session& s) {
         s.MarkOrigin();
         s.Start();
         s.SaveResolution("1280", "1024");
         s.Menu("Adapter1");
         if (ui::Form* adapters = s.Open<ui::Form>("TForm4")) {
             (*adapters)["lbAdapters"].itemIndex = 1;
             (*adapters)["lbAdapters"].onChange();
             (*adapters)["cbIgnoreMC"].UserClick();
         }
     },
     [](Session& s) { s.Press(s.Open<ui::Form>("TForm4"), "bOK"); }},
    {"a second OK while the first awaits its check",
     [](Session& s) {
         s.ChangeAwaitingCheck();
         s.SetRate("800x600", "85");
     },
     [](Session& s) { s.Ok(); }},
    {"/APPLY of a profile, with no window",
     [](Session& s) {
         s.MarkOrigin();
         s.m.system.WriteFile("C:\\lab.ini", "[Kelvane Profile]\r\nVersion=1\r\n[Rates]\r\n640x480=75\r\n"
                                             "[Options]\r\nOpenGL=0\r\nDisableTiling=1\r\n"
                                             "[Custom Resolutions]\r\n1=1360x1024\r\n");
         s.m.system.commandLine = "\"C:\\Kelvane\\Kelvane.exe\" /APPLY C:\\lab.ini";
     },
     [](Session& s) {
         // Nothing shows: the exit code and the log say how it ended.
         int code = RunProfileCommand(s.m.platform);
         std::string log = s.File("Kelvane.log");
         if (code == kExitRefused || code == kExitPutBack) {
             EXPECT_EQ(DriverState(s.m.registry), s.origin) << "exit code " << code << "\n" << log;
         }
         if (code != kExitDone) s.shownTexts.insert("exit code " + std::to_string(code));
         std::istringstream lines(log);
         for (std::string line; std::getline(lines, line);)
             if (line.rfind("Said:", 0) == 0 || line.rfind("Not applied:", 0) == 0) s.shownTexts.insert(line);
     }},
    {"Uninstall",
     [](Session& s) {
         s.MarkOrigin();
         s.Start();
         s.SaveResolution("1280", "1024");
         s.m.system.answers = {kIdYes};
     },
     [](Session& s) { s.Menu("Uninstall1"); }},
    {"Uninstall while a change awaits its check",
     [](Session& s) {
         s.ChangeAwaitingCheck();
         s.m.system.answers = {kIdYes};
     },
     [](Session& s) { s.Menu("Uninstall1"); }},
};

class FaultWalk : public ::testing::TestWithParam<int> {};

TEST_P(FaultWalk, EveryFailingOperationLeavesTheChangeWholeOrToldAndRestoreUndoesIt) {
    Walk(kScenarios[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(WritingCommands, FaultWalk, ::testing::Range(0, static_cast<int>(std::size(kScenarios))),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = kScenarios[info.param].name;
                             name.erase(std::remove_if(name.begin(), name.end(),
                                                       [](unsigned char c) { return !std::isalnum(c); }),
                                        name.end());
                             return name;
                         });

// The check after the restart cut short at any step, as a power switch or a
// crash cuts it: before its count-down, during it, after the first
// fallback, during the import. The next logon runs it again (or, cut before
// it wrote its entry again, the next start of Kelvane), and left unanswered
// it brings back the settings from before the change.
TEST(FaultWalkCheck, ACheckCutShortRunsAgainAndFallsBackToTheSettingsBeforeTheChange) {
    auto prepare = [](Session& s) {
        s.MarkOrigin();
        s.Start();
        s.SetRate("1024x768", "85");
        (*s.form)["tcbOpenGL"].UserClick();
        s.m.system.answers = {kIdYes};
        s.Ok();
        ASSERT_TRUE(s.RestartAndLogon());
        s.m.system.restartRequests = 0;
    };
    // The copy the logon's start handed the check to, unanswered so long.
    auto check = [](Session& s, int seconds) {
        ASSERT_TRUE(s.StartHandedCheck());
        ASSERT_TRUE(s.form->modeCheck);
        TForm5& c = *s.form->modeCheck;
        s.form->RunCommand([&] {
            for (int i = 0; i < seconds; ++i) c.Timer1Timer();
        });
    };
    auto after = [](Session& s, const std::string& where) {
        s.m.CutPower();
        s.m.system.restartRequests = 0;
        bool atLogon = false;
        try {
            atLogon = s.RestartAndLogon() && s.StartHandedCheck();
            if (!atLogon) {
                s.m.system.commandLine = "\"C:\\Kelvane\\Kelvane.exe\"";
                s.m.system.currentDirectory = test::kInstallDir;
                s.Start();
            }
        } catch (const ProgramEnded&) {
            EXPECT_FALSE(ChangePending(s.m.platform)) << where << ": a check start with something to check ended";
        }
        if (ChangePending(s.m.platform)) {
            ASSERT_TRUE(s.form->modeCheck && s.form->modeCheck->Pending()) << where << ": no check";
            TForm5& c = *s.form->modeCheck;
            s.form->RunCommand([&] {
                for (int i = 0; i < 30; ++i) c.Timer1Timer();
            });
            EXPECT_EQ(s.m.system.restartRequests, 1) << where;
        }
        EXPECT_FALSE(ChangePending(s.m.platform)) << where;
        std::string now = DriverState(s.m.registry);
        EXPECT_EQ(now, s.origin) << where << "\n" << Difference(now, s.origin);
    };

    auto reference = std::make_unique<Session>();
    prepare(*reference);
    reference->m.faults = FaultPlan{};
    check(*reference, 30);
    const unsigned long operations = reference->m.faults.count;
    ASSERT_EQ(DriverState(reference->m.registry), reference->origin);
    ASSERT_EQ(reference->m.system.restartRequests, 1);

    for (int seconds : {0, 1, 14, 15, 16, 29}) {
        auto s = std::make_unique<Session>();
        prepare(*s);
        check(*s, seconds);
        after(*s, "ended after " + std::to_string(seconds) + " seconds");
    }
    for (unsigned long k = 1; k <= operations; ++k) {
        auto s = std::make_unique<Session>();
        prepare(*s);
        s->m.faults = FaultPlan{};
        s->m.faults.failAt = k;
        s->m.faults.cutPower = true;
        try {
            check(*s, 30);
        } catch (const PowerCut&) {
        }
        after(*s, "cut at operation " + std::to_string(k) + ": " + s->m.faults.failed);
    }
}

// The registry clean deletes whole branches, each exported first: whichever
// operation fails, every branch ends whole or is named in the report, and
// the exports put every deleted one back.
TEST(FaultWalkClean, EveryBranchEndsWholeOrNamedAndItsExportPutsItBack) {
    auto open = [](Session& s) -> TFRegClean* {
        s.Start();
        s.Menu("CleanRegistry1");
        return s.Open<TFRegClean>("TFRegClean");
    };
    auto reference = std::make_unique<Session>();
    TFRegClean* clean = open(*reference);
    ASSERT_TRUE(clean);
    std::vector<std::string> branches = clean->Branches;
    ASSERT_GE(branches.size(), 2u);
    std::string before = State(reference->m.registry);
    RunCommand(*reference, {"Clean", nullptr, [&](Session& s) { s.Press(clean, "bOK"); }}, 0);
    unsigned long operations = reference->m.faults.count;
    ASSERT_NE(State(reference->m.registry), before);

    for (unsigned long k = 1; k <= operations; ++k) {
        auto s = std::make_unique<Session>();
        TFRegClean* dialog = open(*s);
        ASSERT_TRUE(dialog);
        std::map<std::string, std::string> whole;
        for (const std::string& b : branches) whole[b] = State(s->m.registry, b);
        std::size_t firstBox = s->m.system.shown.size();
        Outcome o = RunCommand(*s, {"Clean", nullptr, [&](Session& r) { r.Press(dialog, "bOK"); }}, k);
        std::string where = "operation " + std::to_string(k) + " failing: " + o.failed;
        ASSERT_EQ(s->m.system.shown.size(), firstBox + 1) << where << ": the report";
        const std::string& report = s->m.system.shown.back().text;
        for (const std::string& b : branches) {
            bool changed = State(s->m.registry, b) != whole[b];
            EXPECT_TRUE(!changed || report.find(b + "\n") != std::string::npos) << where << ": " << b << " unnamed";
        }

        for (const auto& [path, content] : s->m.system.files)
            if (path.rfind("c:\\kelvane\\clean_", 0) == 0) ImportRegFile(s->m.registry, content);
        for (const std::string& b : branches) EXPECT_EQ(State(s->m.registry, b), whole[b]) << where << ": " << b;
    }
}

}  // namespace
}  // namespace kv
