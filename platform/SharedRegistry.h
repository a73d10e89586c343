// The one registry object of a run, rooted at HKEY_LOCAL_MACHINE, with a
// current key. A path that begins with "\" is absolute; any other path is
// relative to the current key. A failed open leaves the previous key current,
// so the reads and writes that follow still go to it. Like the value
// helpers it only reports: what a failure means is for its caller to say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kv {

enum class ValueKind { Binary, Dword, String, ExpandString, Other };

struct ValueInfo {
    bool exists = false;
    ValueKind kind = ValueKind::Other;
    std::size_t size = 0;
};

class SharedRegistry {
public:
    explicit SharedRegistry(IRegistry& registry) : reg_(registry) {}

    bool OpenKey(const std::string& path, bool create);
    // The current key, relative to HKEY_LOCAL_MACHINE ("" for the root).
    const std::string& CurrentKey() const { return current_; }

    // A binary value (or one of a type the registry object does not know) of
    // at most `size` bytes is copied and its length returned; an absent one
    // reads as 0 bytes and leaves the buffer untouched. Anything else is not
    // read: nothing comes back, and `found` says what the value is.
    std::optional<std::size_t> ReadBinary(const std::string& name, std::uint8_t* buffer, std::size_t size,
                                          ValueInfo* found = nullptr);
    // False when it could not.
    bool WriteBinary(const std::string& name, const Bytes& data);
    // Stores the text with its terminating zero, as the registry object always
    // has; false when it could not.
    bool WriteString(const std::string& name, const std::string& text);
    bool DeleteValue(const std::string& name);
    // Whether the open key surely holds no such value (one that cannot be
    // read may still be there).
    bool ValueGone(const std::string& name);
    ValueInfo GetValueInfo(const std::string& name);
    std::vector<std::string> SubKeyNames();
    bool DeleteKey(const std::string& path);

private:
    std::string Resolve(const std::string& path) const;

    IRegistry& reg_;
    std::string current_;
};

}  // namespace kv
