#include "platform/ShutdownPrivilege.h"

#include "platform/WindowsVersion.h"

namespace kv {

void AcquireShutdownPrivilege(ISystem& sys, const std::string& failure, const std::string& caption) {
    // Windows 95, 98 and ME have no privileges: every program may restart.
    if (IsWindows9x(sys.GetVersion())) return;
    ISystem::PrivilegeSteps steps = sys.EnableShutdownPrivilege();
    for (bool ok : {steps.openToken, steps.lookup, steps.adjust}) {
        if (!ok) sys.ShowMessageBox(failure, caption, kMbOk);
    }
}

}  // namespace kv
