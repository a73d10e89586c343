// The monitor of the adapter in use, and what its EDID declares.
#pragma once

#include <optional>
#include <string>

#include "platform/Edid.h"
#include "platform/Platform.h"

namespace kv {

// Windows keeps every monitor it has seen here, one key per model and
// instance; an instance's "Device Parameters" hold its EDID.
inline constexpr const char* kMonitorInstancesKey = "SYSTEM\\CurrentControlSet\\Enum\\DISPLAY";

struct MonitorInfo {
    enum class State {
        Known,         // `edid` holds what the monitor declares
        NoMonitor,     // Windows names no monitor for the adapter, or no instance of it
        NoEdid,        // its instance keeps no EDID
        Unreadable,    // its EDID could not be read, or is no binary value
        BadEdid,       // the bytes are no EDID that can be used: `problem` says why
    };
    State state = State::NoMonitor;
    EdidProblem problem = EdidProblem::None;
    std::string instanceKey;  // Enum\DISPLAY\<model>\<instance> under HKEY_LOCAL_MACHINE; "" none
    std::optional<Edid> edid;

    // The EDID when the monitor is known, else nothing: every judgement
    // against the monitor takes this.
    const Edid* Declared() const { return edid ? &*edid : nullptr; }
};

// The adapter's first monitor, as EnumDisplayDevices names it; its
// instance is the one under Enum\DISPLAY\<model> whose "Driver" names the
// same driver key. Instances of monitors once attached and gone name other
// keys and are never taken.
MonitorInfo FindMonitor(IRegistry& reg, IDisplay& display, const std::string& adapterName);
// The model of its instance, such as "TSY1913"; "" when none was found.
std::string MonitorModel(const MonitorInfo& monitor);

}  // namespace kv
