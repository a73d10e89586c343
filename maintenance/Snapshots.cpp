#include "maintenance/Snapshots.h"

#include "app/Settings.h"
#include "platform/Misc.h"

namespace kv {

std::string ExportParameters(const std::string& installDir, const std::string& fileName,
                             const std::string& deviceKey) {
    std::string branch = "HKEY_LOCAL_MACHINE\\" + deviceKey;
    if (branch.find(' ') != std::string::npos) branch = "\"" + branch + "\"";
    return "/e \"" + installDir + "\\" + fileName + "\" " + branch;
}

std::string ImportParameters(const std::string& installDir, const std::string& fileName) {
    return "/s \"" + installDir + "\\" + fileName + "\"";
}

std::uintptr_t ExportSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey) {
    return LaunchProgram(p.system, "regedit.exe", ExportParameters(GetInstallDir(p.registry), fileName, deviceKey),
                         ".", kShowNormal);
}

std::uintptr_t ImportSnapshot(Platform& p, const std::string& fileName) {
    return LaunchProgram(p.system, "regedit.exe", ImportParameters(GetInstallDir(p.registry), fileName), ".",
                         kShowNormal);
}

}  // namespace kv
