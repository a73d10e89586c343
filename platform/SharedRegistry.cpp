#include "platform/SharedRegistry.h"

#include <algorithm>

#include "platform/RegValues.h"

namespace kv {

namespace {

std::string Trim(const std::string& path) {
    std::size_t b = 0, e = path.size();
    while (b < e && path[b] == '\\') ++b;
    while (e > b && path[e - 1] == '\\') --e;
    return path.substr(b, e - b);
}

ValueKind KindOf(std::uint32_t type) {
    switch (type) {
        case kRegBinary: return ValueKind::Binary;
        case kRegDword: return ValueKind::Dword;
        case kRegSz: return ValueKind::String;
        case kRegExpandSz: return ValueKind::ExpandString;
        default: return ValueKind::Other;
    }
}

}  // namespace

std::string SharedRegistry::Resolve(const std::string& path) const {
    if (!path.empty() && path[0] == '\\') return Trim(path);
    std::string rel = Trim(path);
    if (current_.empty()) return rel;
    if (rel.empty()) return current_;
    return current_ + "\\" + rel;
}

bool SharedRegistry::OpenKey(const std::string& path, bool create) {
    std::string full = Resolve(path);
    bool ok = reg_.KeyExists(full) || (create && reg_.CreateKey(full));
    if (ok) current_ = full;
    return ok;
}

std::optional<std::size_t> SharedRegistry::ReadBinary(const std::string& name, std::uint8_t* buffer,
                                                      std::size_t size, ValueInfo* found) {
    RegValue v;
    if (reg_.QueryValue(current_, name, v) != RegStatus::Ok) return 0;
    ValueKind kind = KindOf(v.type);
    if ((kind != ValueKind::Binary && kind != ValueKind::Other) || v.data.size() > size) {
        if (found) *found = ValueInfo{true, kind, v.data.size()};
        return std::nullopt;
    }
    std::copy(v.data.begin(), v.data.end(), buffer);
    return v.data.size();
}

bool SharedRegistry::WriteBinary(const std::string& name, const Bytes& data) {
    RegValue v;
    v.type = kRegBinary;
    v.data = data;
    return reg_.SetValue(current_, name, v) == RegStatus::Ok;
}

bool SharedRegistry::WriteString(const std::string& name, const std::string& text) {
    RegValue v;
    v.type = kRegSz;
    v.data.assign(text.begin(), text.end());
    v.data.push_back(0);
    return reg_.SetValue(current_, name, v) == RegStatus::Ok;
}

bool SharedRegistry::DeleteValue(const std::string& name) {
    return reg_.DeleteValue(current_, name) == RegStatus::Ok;
}

bool SharedRegistry::ValueGone(const std::string& name) { return kv::ValueGone(reg_, current_, name); }

ValueInfo SharedRegistry::GetValueInfo(const std::string& name) {
    RegValue v;
    ValueInfo info;
    if (reg_.QueryValue(current_, name, v) != RegStatus::Ok) return info;
    info.exists = true;
    info.kind = KindOf(v.type);
    info.size = v.data.size();
    return info;
}

std::vector<std::string> SharedRegistry::SubKeyNames() { return reg_.SubKeyNames(current_); }

bool SharedRegistry::DeleteKey(const std::string& path) { return reg_.DeleteKey(Resolve(path)); }

}  // namespace kv
