#include "platform/Settings.h"

#include "platform/RegValues.h"

namespace kv {

std::string GetInstallDir(IRegistry& reg) {
    std::string dir = ".";
    ReadTextValue(reg, kProductSettingsKey, kInstallDirValue, dir);
    if (!dir.empty() && dir.back() == '\0') dir.pop_back();
    return dir;
}

std::string InstallFile(IRegistry& reg, const std::string& fileName) {
    return GetInstallDir(reg) + "\\" + fileName;
}

std::string ProgramFolder(ISystem& system) {
    std::string path = system.ProgramPath();
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace kv
