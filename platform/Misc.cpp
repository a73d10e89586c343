#include "platform/Misc.h"

namespace kv {

namespace {

std::uint16_t ResultOf(RegStatus status) {
    switch (status) {
        case RegStatus::Ok: return kDone;
        case RegStatus::Failed:
        case RegStatus::Missing: return kValueFailed;
        case RegStatus::NoKey: break;
    }
    return kKeyFailed;
}

}  // namespace

bool ValueGone(IRegistry& reg, const std::string& path, const std::string& name) {
    RegValue v;
    RegStatus status = reg.QueryValue(path, name, v);
    return status == RegStatus::Missing || (status == RegStatus::NoKey && !reg.KeyExists(path));
}

std::uint16_t WriteDwordValue(IRegistry& reg, const std::string& path, const std::string& name,
                              std::uint16_t value) {
    RegValue v;
    v.type = kRegDword;
    v.data = {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8), 0, 0};
    return ResultOf(reg.SetValue(path, name, v));
}

std::uint16_t ReadDwordValue(IRegistry& reg, const std::string& path, const std::string& name,
                             std::uint16_t& value) {
    RegValue v;
    RegStatus st = reg.QueryValue(path, name, v);
    if (st == RegStatus::NoKey) return kKeyFailed;
    if (st != RegStatus::Ok || v.data.size() > 4) return kValueFailed;
    std::uint16_t low = 0;
    if (!v.data.empty()) low = v.data[0];
    if (v.data.size() > 1) low = static_cast<std::uint16_t>(low | (v.data[1] << 8));
    value = low;
    return kDone;
}

std::uint16_t ReadTextValue(IRegistry& reg, const std::string& path, const std::string& name,
                            std::string& text) {
    RegValue v;
    RegStatus st = reg.QueryValue(path, name, v);
    if (st == RegStatus::NoKey) return kKeyFailed;
    if (st != RegStatus::Ok || v.data.size() > kMaxTextRead) return kValueFailed;
    text.assign(v.data.begin(), v.data.end());
    return kDone;
}

std::uint16_t WriteTextValue(IRegistry& reg, const std::string& path, const std::string& name,
                             const std::string& text) {
    if (!reg.KeyExists(path)) return kKeyFailed;
    if (text.size() > kMaxTextWrite) return kValueFailed;
    RegValue v;
    v.type = kRegSz;
    v.data.assign(text.begin(), text.end());
    return ResultOf(reg.SetValue(path, name, v));
}

std::uintptr_t LaunchProgram(ISystem& sys, const std::string& file, const std::string& parameters,
                             const std::string& directory, int show) {
    if (file.size() > kMaxLaunchText || parameters.size() > kMaxLaunchText ||
        directory.size() > kMaxLaunchText)
        return 0;
    return sys.ShellOpen(file, parameters, directory, show);
}

bool IsWindows9x(std::uint32_t version) { return (version & 0x80000000u) != 0; }

void AcquireShutdownPrivilege(ISystem& sys) {
    if (IsWindows9x(sys.GetVersion())) return;
    ISystem::PrivilegeSteps steps = sys.EnableShutdownPrivilege();
    for (bool ok : {steps.openToken, steps.lookup, steps.adjust}) {
        if (!ok) sys.ShowMessageBox("Can't get SeShutdownPrivilege", "Error", kMbOk);
    }
}

}  // namespace kv
