// Kelvane.exe /SAVE and /APPLY: a profile saved or applied with no window,
// as a start-up script, a logon script or a deployment tool runs it.
// Nothing is shown; what was done goes to Kelvane.log beside the program,
// and the exit code says how it ended.
#include "app/ProfileRun.h"

#include <cctype>

#include "app/KVMAIN.h"
#include "lang/Lang.h"
#include "maintenance/Restart.h"
#include "platform/QuietSystem.h"
#include "platform/Settings.h"
#include "platform/WindowsVersion.h"

namespace kv {

namespace {

constexpr const char* kLogFile = "Kelvane.log";

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string OneLine(std::string s) {
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

// One run: its command, the quiet platform it works on, and its log.
class Run {
public:
    Run(Platform& platform, QuietSystem& quiet, const ProfileCommand& command)
        : p_(platform), quiet_(quiet), command_(command) {}

    int Go() {
        try {
            if (!command_.valid || command_.action == ProfileCommand::Action::None)
                return Refuse(LangText(kWhyRefusedUsage));
            return command_.action == ProfileCommand::Action::Save ? Save() : Apply();
        } catch (const ProgramEnded&) {
            // Start-up ended the program: no adapter, or a file it needs.
            return Refuse(LangText(kWhyRefusedStartup));
        } catch (const std::exception& e) {
            Said();
            Add(LangText(kLogSaid, {OneLine(e.what())}));
            // The guarded path put the keys back before the exception came here.
            if (writing_) return form_->snapshots.halfWritten ? kExitNotPutBack : kExitPutBack;
            return wrote_ ? kExitDone : Refuse(LangText(kWhyRefusedStartup));
        }
    }

    // Said at the end, with what the run said on its way.
    LangEntry Meaning(int code) const {
        switch (code) {
            case kExitDone:
                return command_.action == ProfileCommand::Action::Save ? kTxtExitSaved
                       : restart_                                         ? kTxtExitApplied
                                                                          : kTxtExitAppliedNoRestart;
            case kExitNothing: return kTxtExitNothing;
            case kExitRefused: return kTxtExitRefused;
            case kExitPutBack: return kTxtExitPutBack;
            default: return kTxtExitNotPutBack;
        }
    }

    void Add(const std::string& line) { lines.push_back(line); }
    // The message boxes the run did not show, in the order they came.
    void Said() {
        for (const std::string& m : quiet_.messages) Add(LangText(kLogSaid, {OneLine(m)}));
        quiet_.messages.clear();
    }

    std::vector<std::string> lines;

private:
    int Refuse(const std::string& why) {
        Said();
        Add(LangText(kLogRefused, {why}));
        return kExitRefused;
    }

    // The main window's state, without the window.
    std::optional<LangEntry> Start() {
        form_ = std::make_unique<TForm1>(p_);
        std::optional<LangEntry> refusal = form_->StartWithoutWindow();
        Said();
        if (!refusal) {
            const TForm1& f = *form_;
            Add(LangText(kLogThisMachine, {f.lbCardType->text.empty() ? f.lbChip->text : f.lbCardType->text,
                                           f.lbMonitor->text}));
        }
        return refusal;
    }

    int Save() {
        if (std::optional<LangEntry> refusal = Start()) return Refuse(LangText(*refusal));
        if (!p_.system.WriteFile(command_.file, ProfileText(form_->ProfileOfWindow())))
            return Refuse(LangText(kMsgProfileNotWritten, {command_.file}));
        return kExitDone;
    }

    int Apply() {
        ProfileReading reading = ReadProfileFile(p_.system, command_.file);
        if (!reading.profile) return Refuse(LangText(kMsgProfileUnusable, {command_.file, reading.problem}));
        const Profile& profile = *reading.profile;
        // A profile written by hand may not say where it was made.
        if (profile.made.empty() || profile.adapter.empty())
            Add(LangText(kLogProfileOnly, {command_.file}));
        else
            Add(LangText(kLogProfile, {command_.file, profile.made, profile.adapter, profile.monitor}));
        if (IsWindows9x(p_.system.GetVersion())) return Refuse(LangText(kWhyRefusedWindows));
        if (std::optional<LangEntry> refusal = Start()) return Refuse(LangText(*refusal));

        TForm1::ProfileLoad load = form_->LoadProfile(profile, true);
        for (const std::string& why : load.skipped) Add(LangText(kLogSkipped, {why}));
        if (load.changes.empty()) return kExitNothing;

        writing_ = true;
        TForm1::WriteOutcome outcome = form_->WriteWithoutWindow();
        writing_ = false;
        Said();
        LogSnapshots();
        switch (outcome.result) {
            case ChangeResult::Written: break;
            case ChangeResult::Refused: return kExitRefused;
            case ChangeResult::PutBack: return kExitPutBack;
            case ChangeResult::NotPutBack: return kExitNotPutBack;
        }
        wrote_ = true;
        for (const TForm1::ProfileChange& c : load.changes) Add(LangText(kLogChanged, {c.what, c.now, c.was}));
        restart_ = outcome.restart;
        Finish();
        return kExitDone;
    }

    void LogSnapshots() {
        const RunSnapshots& run = form_->snapshots;
        if (!run.lastKnownGoodTaken) return;
        std::vector<std::string> keys;
        for (const std::string& key : run.lastKnownGood) keys.push_back("HKEY_LOCAL_MACHINE\\" + key);
        Add(LangText(kLogSnapshot, {InstallFile(p_.registry, kLastKnownGoodFile), Enumeration(keys)}));
    }

    // Nobody may be there to answer a check after the restart, and one left
    // unanswered undoes the change: it is arranged only when asked for.
    void Finish() {
        std::string why = form_->FinishWriteWithoutWindow(restart_ && command_.check);
        Said();
        if (!restart_) return;
        if (!command_.check)
            Add(LangText(kLogNoCheck));
        else if (why.empty())
            Add(LangText(kLogCheckArranged));
        else
            Add(LangText(kLogSaid, {OneLine(why)}));
        if (!command_.restart) return;
        if (AskWindowsToRestart(p_.system))
            Add(LangText(kLogRestarting));
        else
            Add(LangText(kLogSaid, {LangText(kMsgCannotRestart)}));
        Said();
    }

    Platform& p_;
    QuietSystem& quiet_;
    const ProfileCommand& command_;
    std::unique_ptr<TForm1> form_;
    bool writing_ = false;  // the guarded path runs
    bool wrote_ = false;    // it wrote the change whole
    bool restart_ = false;
};

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

ProfileCommand ParseProfileCommand(const std::string& commandLine) {
    ProfileCommand command;
    std::vector<std::string> words = SplitCommandLine(commandLine);
    auto fileAfter = [&](std::size_t& i, std::string& into) {
        if (i + 1 >= words.size() || words[i + 1].empty() || words[i + 1][0] == '/' || !into.empty()) {
            command.valid = false;
            return;
        }
        into = words[++i];
    };
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string word = Upper(words[i]);
        if (word == "/SAVE" || word == "/APPLY") {
            if (command.action != ProfileCommand::Action::None) command.valid = false;
            command.action = word == "/SAVE" ? ProfileCommand::Action::Save : ProfileCommand::Action::Apply;
            fileAfter(i, command.file);
        } else if (word == "/LOG") {
            fileAfter(i, command.log);
        } else if (word == "/RESTART") {
            command.restart = true;
        } else if (word == "/CHECK") {
            command.check = true;
        } else {
            command.valid = false;
        }
    }
    if (command.action == ProfileCommand::Action::Save && (command.restart || command.check)) command.valid = false;
    return command;
}

bool IsProfileCommand(const std::string& commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string upper = Upper(words[i]);
        if (upper == "/SAVE" || upper == "/APPLY") return true;
    }
    return false;
}

int RunProfileCommand(Platform& platform) {
    ISystem& system = platform.system;
    QuietSystem quiet(system);
    Platform quietPlatform{platform.registry, platform.display, quiet};
    ProfileCommand command = ParseProfileCommand(system.CommandLine());
    Run run(quietPlatform, quiet, command);
    run.Add(LangText(kLogRun, {system.LocalTimeText(), kVersionText, system.CommandLine()}));
    int code = run.Go();
    run.Said();
    run.Add(LangText(kLogExit, {std::to_string(code), LangText(run.Meaning(code))}));
    // Appended to each file, in the code page Notepad reads; one that
    // cannot be written is passed over, since the exit code still tells
    // the outcome.
    std::string text;
    for (const std::string& line : run.lines) text += line + "\r\n";
    text = system.EncodeText(text + "\r\n", ISystem::CodePage::Ansi);
    std::vector<std::string> files{ProgramFolder(system) + "\\" + kLogFile};
    if (!command.log.empty()) files.push_back(command.log);
    for (const std::string& file : files) system.WriteFile(file, system.ReadFile(file).value_or("") + text);
    return code;
}

}  // namespace kv
