// A registry under HKEY_LOCAL_MACHINE held in memory. The snapshots are read
// into one to be checked before the registry editor may import them, and the
// simulated machine's registry is one. Names compare without regard to
// letter case and keep the case they were created with; subkeys are listed
// in name order, as Windows lists them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace kv {

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class RegistryImage : public IRegistry {
public:
    struct Key {
        std::string name;
        std::map<std::string, std::unique_ptr<Key>, NoCaseLess> subkeys;
        std::vector<std::pair<std::string, RegValue>> values;  // in the order they were set
        bool volatileKey = false;  // gone at the next restart
    };

    RegistryImage();

    bool KeyExists(const std::string& path) override;
    bool CreateKey(const std::string& path) override;
    bool CreateVolatileKey(const std::string& path) override;
    bool DeleteKey(const std::string& path) override;
    RegStatus QueryValue(const std::string& path, const std::string& name, RegValue& out) override;
    RegStatus SetValue(const std::string& path, const std::string& name, const RegValue& value) override;
    RegStatus DeleteValue(const std::string& path, const std::string& name) override;
    std::vector<std::string> SubKeyNames(const std::string& path) override;
    std::vector<std::string> ValueNames(const std::string& path) override;

    // Each creates the key when missing, as an import does; through the
    // interface above, so that a registry built on this sees every change.
    void SetString(const std::string& path, const std::string& name, const std::string& text);
    void SetDword(const std::string& path, const std::string& name, std::uint32_t value);
    void SetBinary(const std::string& path, const std::string& name, const Bytes& data);
    const RegValue* Find(const std::string& path, const std::string& name);

    Key* FindKey(const std::string& path);
    // What a restart leaves: every volatile key goes, with its subkeys.
    void DropVolatileKeys();

private:
    // The key above the path's last part, which it names; nullptr when
    // that key is not there, or the path is the root.
    Key* ParentOf(const std::string& path, std::string& last);

    std::unique_ptr<Key> root_;
};

std::vector<std::string> SplitPath(const std::string& path);

}  // namespace kv
