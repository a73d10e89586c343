#include "platform/SimRegistry.h"

#include <algorithm>
#include <cctype>

namespace kv {

namespace {

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && !NoCaseLess()(a, b) && !NoCaseLess()(b, a);
}

}  // namespace

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

SimRegistry::SimRegistry() : root_(std::make_unique<Key>()) { root_->name = "HKEY_LOCAL_MACHINE"; }

SimRegistry::Key* SimRegistry::FindKey(const std::string& path) {
    Key* k = root_.get();
    for (const std::string& part : SplitPath(path)) {
        auto it = k->subkeys.find(part);
        if (it == k->subkeys.end()) return nullptr;
        k = it->second.get();
    }
    return k;
}

bool SimRegistry::KeyExists(const std::string& path) { return FindKey(path) != nullptr; }

bool SimRegistry::CreateKey(const std::string& path) {
    if (Refused(Op::CreateKey, path, "")) return false;
    Key* k = root_.get();
    for (const std::string& part : SplitPath(path)) {
        auto it = k->subkeys.find(part);
        if (it == k->subkeys.end()) {
            auto child = std::make_unique<Key>();
            child->name = part;
            it = k->subkeys.emplace(part, std::move(child)).first;
            ++changes_;
        }
        k = it->second.get();
    }
    return true;
}

bool SimRegistry::DeleteKey(const std::string& path) {
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty() || Refused(Op::DeleteKey, path, "")) return false;
    std::string last = parts.back();
    parts.pop_back();
    Key* k = root_.get();
    for (const std::string& part : parts) {
        auto it = k->subkeys.find(part);
        if (it == k->subkeys.end()) return false;
        k = it->second.get();
    }
    if (k->subkeys.erase(last) == 0) return false;
    ++changes_;
    return true;
}

RegStatus SimRegistry::QueryValue(const std::string& path, const std::string& name, RegValue& out) {
    Key* k = FindKey(path);
    if (!k) return RegStatus::NoKey;
    if (Refused(Op::Query, path, name)) return RegStatus::Failed;
    for (auto& [n, v] : k->values) {
        if (SameName(n, name)) {
            out = v;
            return RegStatus::Ok;
        }
    }
    return RegStatus::Failed;
}

RegStatus SimRegistry::SetValue(const std::string& path, const std::string& name, const RegValue& value) {
    Key* k = FindKey(path);
    if (!k) return RegStatus::NoKey;
    if (Refused(Op::Set, path, name)) return RegStatus::Failed;
    ++changes_;
    for (auto& [n, v] : k->values) {
        if (SameName(n, name)) {
            v = value;
            return RegStatus::Ok;
        }
    }
    k->values.emplace_back(name, value);
    return RegStatus::Ok;
}

RegStatus SimRegistry::DeleteValue(const std::string& path, const std::string& name) {
    Key* k = FindKey(path);
    if (!k) return RegStatus::NoKey;
    if (Refused(Op::Delete, path, name)) return RegStatus::Failed;
    auto it = std::find_if(k->values.begin(), k->values.end(),
                           [&](const auto& p) { return SameName(p.first, name); });
    if (it == k->values.end()) return RegStatus::Failed;
    k->values.erase(it);
    ++changes_;
    return RegStatus::Ok;
}

std::vector<std::string> SimRegistry::SubKeyNames(const std::string& path) {
    std::vector<std::string> names;
    if (Key* k = FindKey(path))
        for (auto& [n, sub] : k->subkeys) names.push_back(sub->name);
    return names;
}

std::vector<std::string> SimRegistry::ValueNames(const std::string& path) {
    std::vector<std::string> names;
    if (Key* k = FindKey(path))
        for (auto& [n, v] : k->values) names.push_back(n);
    return names;
}

void SimRegistry::SetString(const std::string& path, const std::string& name, const std::string& text) {
    CreateKey(path);
    SetValue(path, name, RegValue{kRegSz, Bytes(text.begin(), text.end())});
}

void SimRegistry::SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
    CreateKey(path);
    SetValue(path, name,
             RegValue{kRegDword, Bytes{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                       static_cast<std::uint8_t>(value >> 16),
                                       static_cast<std::uint8_t>(value >> 24)}});
}

void SimRegistry::SetBinary(const std::string& path, const std::string& name, const Bytes& data) {
    CreateKey(path);
    SetValue(path, name, RegValue{kRegBinary, data});
}

const RegValue* SimRegistry::Find(const std::string& path, const std::string& name) {
    Key* k = FindKey(path);
    if (!k) return nullptr;
    for (auto& [n, v] : k->values)
        if (SameName(n, name)) return &v;
    return nullptr;
}

}  // namespace kv
