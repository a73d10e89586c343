#include "platform/Monitor.h"

#include <vector>

#include "platform/RegValues.h"
#include "platform/RegistryImage.h"
#include "platform/Text.h"

namespace kv {

namespace {

// MONITOR\<model>\{class}\<nnnn> cut into the model and the driver key
// ({class}\<nnnn>); false for any other form.
bool CutMonitorId(const std::string& id, std::string& model, std::string& driver) {
    std::vector<std::string> parts = SplitPath(id);
    if (parts.size() != 4 || !SameNoCase(parts[0], "MONITOR")) return false;
    model = parts[1];
    driver = parts[2] + "\\" + parts[3];
    return true;
}

}  // namespace

MonitorInfo FindMonitor(IRegistry& reg, IDisplay& display, const std::string& adapterName) {
    MonitorInfo info;
    std::optional<DisplayDeviceInfo> monitor = display.EnumMonitor(adapterName, 0);
    std::string model, driver;
    if (!monitor || !CutMonitorId(monitor->deviceId, model, driver)) return info;
    const std::string modelKey = std::string(kMonitorInstancesKey) + "\\" + model;
    for (const std::string& instance : reg.SubKeyNames(modelKey)) {
        std::string named;
        if (ReadTextValue(reg, modelKey + "\\" + instance, "Driver", named) != kDone || !SameNoCase(named, driver))
            continue;
        info.instanceKey = modelKey + "\\" + instance;
        break;
    }
    if (info.instanceKey.empty()) return info;

    RegValue value;
    RegStatus status = reg.QueryValue(info.instanceKey + "\\Device Parameters", "EDID", value);
    if (status == RegStatus::Missing || status == RegStatus::NoKey) {
        info.state = MonitorInfo::State::NoEdid;
        return info;
    }
    if (status != RegStatus::Ok || value.type != kRegBinary) {
        info.state = MonitorInfo::State::Unreadable;
        return info;
    }
    EdidReading reading = ReadEdid(value.data);
    info.problem = reading.problem;
    info.edid = std::move(reading.edid);
    info.state = info.edid ? MonitorInfo::State::Known : MonitorInfo::State::BadEdid;
    return info;
}

std::string MonitorModel(const MonitorInfo& monitor) {
    std::string prefix = std::string(kMonitorInstancesKey) + "\\";
    if (monitor.instanceKey.size() <= prefix.size()) return "";
    std::string rest = monitor.instanceKey.substr(prefix.size());
    return rest.substr(0, rest.find('\\'));
}

}  // namespace kv
