// An in-memory registry under HKEY_LOCAL_MACHINE for the simulated machine.
// Names compare without regard to letter case and keep the case they were
// created with; subkeys are listed in name order, as Windows lists them.
// A branch is deleted as Windows deletes one: children first, stopping at the
// first key that cannot be deleted, so a refused key deep down leaves part of
// the branch behind.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/SimFaults.h"

namespace kv {

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class SimRegistry : public IRegistry {
public:
    struct Key {
        std::string name;
        std::map<std::string, std::unique_ptr<Key>, NoCaseLess> subkeys;
        std::vector<std::pair<std::string, RegValue>> values;  // in the order they were set
    };

    SimRegistry();

    bool KeyExists(const std::string& path) override;
    bool CreateKey(const std::string& path) override;
    bool DeleteKey(const std::string& path) override;
    RegStatus QueryValue(const std::string& path, const std::string& name, RegValue& out) override;
    RegStatus SetValue(const std::string& path, const std::string& name, const RegValue& value) override;
    RegStatus DeleteValue(const std::string& path, const std::string& name) override;
    std::vector<std::string> SubKeyNames(const std::string& path) override;
    std::vector<std::string> ValueNames(const std::string& path) override;

    // Conveniences for tests and seeding; each creates the key when missing.
    void SetString(const std::string& path, const std::string& name, const std::string& text);
    void SetDword(const std::string& path, const std::string& name, std::uint32_t value);
    void SetBinary(const std::string& path, const std::string& name, const Bytes& data);
    const RegValue* Find(const std::string& path, const std::string& name);

    Key* FindKey(const std::string& path);
    Key& Root() { return *root_; }

    // Counts every change, so a test can tell that nothing was written.
    unsigned long ChangeCount() const { return changes_; }

    // A fault to inject: an operation for which this answers true fails as
    // access denied would (the value name is empty for key operations; a
    // branch's deletion asks for each of its keys).
    enum class Op { CreateKey, DeleteKey, Query, Set, Delete };
    std::function<bool(Op, const std::string& path, const std::string& name)> refuse;
    // Counts every operation through the interface, reads included; the
    // one it picks fails (a list of names comes back empty).
    FaultPlan* faults = nullptr;

private:
    bool Refused(Op op, const std::string& path, const std::string& name) {
        bool faulted = Faulted(path + (name.empty() ? "" : "\\" + name));
        return faulted || (refuse && refuse(op, path, name));
    }
    bool Faulted(const std::string& what) { return faults && faults->Fails("registry", what); }

    std::unique_ptr<Key> root_;
    unsigned long changes_ = 0;
};

std::vector<std::string> SplitPath(const std::string& path);

}  // namespace kv
