#include "platform/Settings.h"

#include "platform/RegValues.h"

namespace kv {

std::string GetInstallDir(IRegistry& reg) {
    std::string dir = ".";
    ReadTextValue(reg, kProductSettingsKey, "InstallDir", dir);
    if (!dir.empty() && dir.back() == '\0') dir.pop_back();
    return dir;
}

std::string InstallFile(IRegistry& reg, const std::string& fileName) {
    return GetInstallDir(reg) + "\\" + fileName;
}

}  // namespace kv
