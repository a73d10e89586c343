#include "maintenance/Snapshots.h"

#include "platform/Misc.h"
#include "platform/RegFile.h"
#include "platform/Settings.h"

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

bool TakeSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey) {
    // An older file must not pass for the new one.
    std::string path = InstallFile(p.registry, fileName);
    p.system.RemoveFile(path);
    std::uintptr_t editor = ExportSnapshot(p, fileName, deviceKey);
    if (!editor || !p.system.WaitForProgram(editor, kSnapshotWaitMs)) return false;
    std::optional<std::string> content = p.system.ReadFile(path);
    return content && !content->empty();
}

std::uintptr_t RestoreSnapshot(Platform& p, const std::string& fileName, const std::string& deviceKey,
                               const std::vector<ValueRef>& ownValues) {
    std::optional<std::string> content = p.system.ReadFile(InstallFile(p.registry, fileName));
    SimRegistry snapshot;
    // Only a snapshot of this very key tells which values were absent.
    if (content && ImportRegFile(snapshot, *content) && snapshot.KeyExists(deviceKey)) {
        for (const auto& [key, name] : ownValues) {
            RegValue live;
            if (p.registry.QueryValue(key, name, live) == RegStatus::Ok && !snapshot.Find(key, name))
                p.registry.DeleteValue(key, name);
        }
    }
    return ImportSnapshot(p, fileName);
}

}  // namespace kv
