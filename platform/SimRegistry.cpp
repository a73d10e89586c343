#include "platform/SimRegistry.h"

#include <algorithm>
#include <cctype>

#include "platform/Text.h"

namespace kv {

namespace {

// Deletes a key with its branch as Windows does; `refused` names the keys
// Windows would not let go.
bool DeleteTree(SimRegistry::Key& parent, const std::string& name, const std::string& path,
                const std::function<bool(const std::string&)>& refused, unsigned long& changes) {
    auto it = parent.subkeys.find(name);
    // A key Windows will not open for writing is left whole, children and all.
    if (it == parent.subkeys.end() || refused(path)) return false;
    SimRegistry::Key& key = *it->second;
    // Windows only deletes empty keys: the children go first, and the first
    // one that stays keeps its parent, and every key above it, in place.
    while (!key.subkeys.empty()) {
        SimRegistry::Key& child = *key.subkeys.begin()->second;
        if (!DeleteTree(key, child.name, path + "\\" + child.name, refused, changes)) return false;
    }
    parent.subkeys.erase(it);
    ++changes;
    return true;
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

bool SimRegistry::KeyExists(const std::string& path) { return !Faulted(path) && FindKey(path) != nullptr; }

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
    if (parts.empty()) return false;
    std::string last = parts.back();
    parts.pop_back();
    Key* parent = root_.get();
    for (const std::string& part : parts) {
        auto it = parent->subkeys.find(part);
        if (it == parent->subkeys.end()) return false;
        parent = it->second.get();
    }
    return DeleteTree(
        *parent, last, path, [this](const std::string& key) { return Refused(Op::DeleteKey, key, ""); }, changes_);
}

RegStatus SimRegistry::QueryValue(const std::string& path, const std::string& name, RegValue& out) {
    Key* k = FindKey(path);
    if (!k) return RegStatus::NoKey;
    if (Refused(Op::Query, path, name)) return RegStatus::Failed;
    for (auto& [n, v] : k->values) {
        if (SameNoCase(n, name)) {
            out = v;
            return RegStatus::Ok;
        }
    }
    return RegStatus::Missing;
}

RegStatus SimRegistry::SetValue(const std::string& path, const std::string& name, const RegValue& value) {
    Key* k = FindKey(path);
    if (!k) return RegStatus::NoKey;
    if (Refused(Op::Set, path, name)) return RegStatus::Failed;
    ++changes_;
    for (auto& [n, v] : k->values) {
        if (SameNoCase(n, name)) {
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
                           [&](const auto& p) { return SameNoCase(p.first, name); });
    if (it == k->values.end()) return RegStatus::Missing;
    k->values.erase(it);
    ++changes_;
    return RegStatus::Ok;
}

std::vector<std::string> SimRegistry::SubKeyNames(const std::string& path) {
    std::vector<std::string> names;
    if (Faulted(path)) return names;
    if (Key* k = FindKey(path))
        for (auto& [n, sub] : k->subkeys) names.push_back(sub->name);
    return names;
}

std::vector<std::string> SimRegistry::ValueNames(const std::string& path) {
    std::vector<std::string> names;
    if (Faulted(path)) return names;
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
        if (SameNoCase(n, name)) return &v;
    return nullptr;
}

}  // namespace kv
