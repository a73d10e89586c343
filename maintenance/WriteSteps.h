// The steps the commands that write the driver's settings are made of (OK,
// the repair at start-up, the list of extra resolutions, the adapter dialog,
// uninstall). Each makes one change and, when the change does not take,
// ends the command with CommandAborted carrying the reason in the user's
// language. A command so reads as its steps, and none can go on past a
// failed one: ChangeDriverSettings, which runs it, then puts every key back
// and names the reason.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "maintenance/Snapshots.h"
#include "platform/Platform.h"
#include "platform/SharedRegistry.h"

namespace kv {

// A writing command stopped at a step; what() is the reason, translated.
class CommandAborted : public std::runtime_error {
public:
    explicit CommandAborted(const std::string& reason) : std::runtime_error(reason) {}
};

// A number into a DWORD value of an existing key, zero-extended from the
// 16 bits the driver's tools have always written (kWhySetData).
void WriteDwordOrAbort(IRegistry& reg, const std::string& key, const std::string& name, std::uint16_t value);

// Binary data, or a text with its terminating zero, into a value of the
// current key (kWhySetData).
void WriteBinaryOrAbort(SharedRegistry& shared, const std::string& name, const Bytes& data);
void WriteTextOrAbort(SharedRegistry& shared, const std::string& name, const std::string& text);

// Deletes a value of the current key. Only a value still there afterwards
// stops the command, since one that was never there is as good as deleted
// (kWhyDelete).
void DeleteValueOrAbort(SharedRegistry& shared, const std::string& name);

// Makes a driver key current; false when it is not there, and nothing is
// written in its place. A key that was there when its settings were read
// (`wasThere`) and will not open now stops the command: what the user chose
// from those settings would otherwise be dropped without a word. The
// device key's reason is kWhyOpenDriverKey; the key of an option's value
// names that value (kWhyOpenKeyOf).
bool OpenDriverKeyOrAbort(SharedRegistry& shared, const std::string& key, bool wasThere);
bool OpenKeyOfValueOrAbort(SharedRegistry& shared, const std::string& key, const std::string& valueName,
                           bool wasThere);

// Puts a snapshot back as RestoreSnapshot does; one that does not come back
// whole stops the command with what went wrong.
void RestoreSnapshotOrAbort(Platform& p, const std::string& fileName, const DriverKeys& driver,
                            const std::string* expectedFingerprint);

}  // namespace kv
