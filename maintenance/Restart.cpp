#include "maintenance/Restart.h"

#include "lang/Lang.h"
#include "platform/ShutdownPrivilege.h"

namespace kv {

bool AskWindowsToRestart(ISystem& sys) {
    AcquireShutdownPrivilege(sys, LangText(kMsgNoShutdownPrivilege), LangText(kMsgError));
    return sys.RestartWindows();
}

}  // namespace kv
