// Profiles saved and applied from the command line, with no window:
//   Kelvane.exe /SAVE <file> [/LOG <file>]
//   Kelvane.exe /APPLY <file> [/RESTART] [/CHECK] [/LOG <file>]
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kv {

// The exit codes a script reads.
enum : int {
    kExitDone = 0,       // applied (a restart needed, or made) or saved
    kExitNothing = 1,    // the machine already matches the profile: nothing written
    kExitRefused = 2,    // nothing written: bad command line or profile, no ATI adapter, another Kelvane, a pending check
    kExitPutBack = 3,    // a write failed, and everything was put back
    kExitNotPutBack = 4, // a write failed, and not everything came back
};

struct ProfileCommand {
    enum class Action { None, Save, Apply };
    Action action = Action::None;
    std::string file, log;
    bool restart = false, check = false;
    // False for a word it does not know, a switch without its file, or
    // /RESTART or /CHECK given to /SAVE.
    bool valid = true;
};

// The words of a command line as Windows parts them: at blanks, with
// quotes grouping; the first is the program.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
ProfileCommand ParseProfileCommand(const std::string& commandLine);
// The command line asks for /SAVE or /APPLY: the program runs without a window.
bool IsProfileCommand(const std::string& commandLine);

// Runs it; returns the exit code. Nothing is shown; every run is appended
// to Kelvane.log beside the program, and to the /LOG file.
int RunProfileCommand(Platform& platform);

}  // namespace kv
