#include "platform/RegistryImage.h"

#include <algorithm>
#include <cctype>

#include "platform/Text.h"

namespace kv {

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

RegistryImage::RegistryImage() : root_(std::make_unique<Key>()) { root_->name = "HKEY_LOCAL_MACHINE"; }

RegistryImage::Key* RegistryImage::FindKey(const std::string& path) {
    Key* k = root_.get();
    for (const std::string& part : SplitPath(path)) {
        auto it = k->subkeys.find(part);
        if (it == k->subkeys.end()) return nullptr;
        k = it->second.get();
    }
    return k;
}

bool RegistryImage::KeyExists(const std::string& path) { return FindKey(path) != nullptr; }

bool RegistryImage::CreateKey(const std::string& path) {
    Key* k = root_.get();
    for (const std::string& part : SplitPath(path)) {
        auto it = k->subkeys.find(part);
        if (it == k->subkeys.end()) {
            // Windows keeps a volatile key's children in memory too: a key
            // meant to last cannot be made under it.
            if (k->volatileKey) return false;
            auto child = std::make_unique<Key>();
            child->name = part;
            it = k->subkeys.emplace(part, std::move(child)).first;
        }
        k = it->second.get();
    }
    return true;
}

RegistryImage::Key* RegistryImage::ParentOf(const std::string& path, std::string& last) {
    std::vector<std::string> parts = SplitPath(path);
    // The root is no key of its own.
    if (parts.empty()) return nullptr;
    last = parts.back();
    parts.pop_back();
    Key* parent = root_.get();
    for (const std::string& part : parts) {
        auto it = parent->subkeys.find(part);
        if (it == parent->subkeys.end()) return nullptr;
        parent = it->second.get();
    }
    return parent;
}

bool RegistryImage::CreateVolatileKey(const std::string& path) {
    std::string last;
    Key* parent = ParentOf(path, last);
    if (!parent) return false;
    auto& child = parent->subkeys[last];
    if (!child) {
        child = std::make_unique<Key>();
        child->name = last;
        child->volatileKey = true;
    }
    return true;
}

void RegistryImage::DropVolatileKeys() {
    std::vector<Key*> keys{root_.get()};
    while (!keys.empty()) {
        Key* k = keys.back();
        keys.pop_back();
        std::erase_if(k->subkeys, [](const auto& sub) { return sub.second->volatileKey; });
        for (auto& [name, sub] : k->subkeys) keys.push_back(sub.get());
    }
}

bool RegistryImage::DeleteKey(const std::string& path) {
    std::string last;
    Key* parent = ParentOf(path, last);
    return parent && parent->subkeys.erase(last) != 0;
}

RegStatus RegistryImage::QueryValue(const std::string& path, const std::string& name, RegValue& out) {
    Key* k = FindKey(path);
    if (!k) return RegStatus::NoKey;
    for (auto& [n, v] : k->values) {
        if (SameNoCase(n, name)) {
            out = v;
            return RegStatus::Ok;
        }
    }
    return RegStatus::Missing;
}

RegStatus RegistryImage::SetValue(const std::string& path, const std::string& name, const RegValue& value) {
    Key* k = FindKey(path);
    if (!k) return RegStatus::NoKey;
    for (auto& [n, v] : k->values) {
        if (SameNoCase(n, name)) {
            v = value;
            return RegStatus::Ok;
        }
    }
    k->values.emplace_back(name, value);
    return RegStatus::Ok;
}

RegStatus RegistryImage::DeleteValue(const std::string& path, const std::string& name) {
    Key* k = FindKey(path);
    if (!k) return RegStatus::NoKey;
    auto it = std::find_if(k->values.begin(), k->values.end(),
                           [&](const auto& p) { return SameNoCase(p.first, name); });
    if (it == k->values.end()) return RegStatus::Missing;
    k->values.erase(it);
    return RegStatus::Ok;
}

std::vector<std::string> RegistryImage::SubKeyNames(const std::string& path) {
    std::vector<std::string> names;
    if (Key* k = FindKey(path))
        for (auto& [n, sub] : k->subkeys) names.push_back(sub->name);
    return names;
}

std::vector<std::string> RegistryImage::ValueNames(const std::string& path) {
    std::vector<std::string> names;
    if (Key* k = FindKey(path))
        for (auto& [n, v] : k->values) names.push_back(n);
    return names;
}

void RegistryImage::SetString(const std::string& path, const std::string& name, const std::string& text) {
    CreateKey(path);
    SetValue(path, name, RegValue{kRegSz, Bytes(text.begin(), text.end())});
}

void RegistryImage::SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
    CreateKey(path);
    SetValue(path, name,
             RegValue{kRegDword, Bytes{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                       static_cast<std::uint8_t>(value >> 16),
                                       static_cast<std::uint8_t>(value >> 24)}});
}

void RegistryImage::SetBinary(const std::string& path, const std::string& name, const Bytes& data) {
    CreateKey(path);
    SetValue(path, name, RegValue{kRegBinary, data});
}

const RegValue* RegistryImage::Find(const std::string& path, const std::string& name) {
    Key* k = FindKey(path);
    if (!k) return nullptr;
    for (auto& [n, v] : k->values)
        if (SameNoCase(n, name)) return &v;
    return nullptr;
}

}  // namespace kv
