#include "maintenance/WriteSteps.h"

#include "lang/Lang.h"
#include "platform/RegValues.h"

namespace kv {

namespace {

bool OpenKeyOrAbort(SharedRegistry& shared, const std::string& key, bool wasThere, const std::string& reason) {
    if (shared.OpenKey("\\" + key, false)) return true;
    if (wasThere) throw CommandAborted(reason);
    return false;
}

}  // namespace

void WriteDwordOrAbort(IRegistry& reg, const std::string& key, const std::string& name, std::uint16_t value) {
    if (WriteDwordValue(reg, key, name, value) != kDone) throw CommandAborted(LangText(kWhySetData, {name}));
}

void WriteBinaryOrAbort(SharedRegistry& shared, const std::string& name, const Bytes& data) {
    if (!shared.WriteBinary(name, data)) throw CommandAborted(LangText(kWhySetData, {name}));
}

void WriteTextOrAbort(SharedRegistry& shared, const std::string& name, const std::string& text) {
    if (!shared.WriteString(name, text)) throw CommandAborted(LangText(kWhySetData, {name}));
}

void DeleteValueOrAbort(SharedRegistry& shared, const std::string& name) {
    shared.DeleteValue(name);
    if (!shared.ValueGone(name)) throw CommandAborted(LangText(kWhyDelete, {name}));
}

bool OpenDriverKeyOrAbort(SharedRegistry& shared, const std::string& key, bool wasThere) {
    return OpenKeyOrAbort(shared, key, wasThere, LangText(kWhyOpenDriverKey));
}

bool OpenKeyOfValueOrAbort(SharedRegistry& shared, const std::string& key, const std::string& valueName,
                           bool wasThere) {
    return OpenKeyOrAbort(shared, key, wasThere, LangText(kWhyOpenKeyOf, {valueName}));
}

void RestoreSnapshotOrAbort(Platform& p, const std::string& fileName, const DriverKeys& driver,
                            const std::string* expectedFingerprint) {
    RestoreOutcome outcome = RestoreSnapshot(p, fileName, driver, expectedFingerprint);
    if (!outcome.Ok()) throw CommandAborted(RestoreFailureText(outcome, fileName));
}

}  // namespace kv
