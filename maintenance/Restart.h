// Asking Windows to restart, as every command that needs a restart does.
#pragma once

#include "platform/Platform.h"

namespace kv {

// Enables the shutdown privilege, each step that fails said in the
// language in force, then asks Windows to restart. True when Windows took
// the request.
bool AskWindowsToRestart(ISystem& sys);

}  // namespace kv
