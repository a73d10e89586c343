// The right to restart Windows, which a program must enable for itself
// before it asks for a restart on Windows 2000 and XP.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace kv {

// Enables the shutdown privilege so that a restart request is honoured.
// Each failing step shows `failure`; the caller asks for the restart all the
// same, since that request says for itself whether Windows refused it.
void AcquireShutdownPrivilege(ISystem& sys, const std::string& failure, const std::string& caption);

}  // namespace kv
