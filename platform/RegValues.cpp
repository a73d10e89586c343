#include "platform/RegValues.h"

#include <algorithm>

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
    // Windows' own tools store the terminating zero, older Kelvanes did not:
    // the text ends at the first zero either way.
    text.assign(v.data.begin(), std::find(v.data.begin(), v.data.end(), std::uint8_t{0}));
    return kDone;
}

std::uint16_t WriteTextValue(IRegistry& reg, const std::string& path, const std::string& name,
                             const std::string& text) {
    if (!reg.KeyExists(path)) return kKeyFailed;
    if (text.size() > kMaxTextWrite) return kValueFailed;
    RegValue v;
    v.type = kRegSz;
    // REG_SZ data ends with its zero: the driver, and every reader that
    // trusts the terminator, would read on past the value's end.
    v.data.assign(text.begin(), text.end());
    v.data.push_back(0);
    return ResultOf(reg.SetValue(path, name, v));
}

}  // namespace kv
