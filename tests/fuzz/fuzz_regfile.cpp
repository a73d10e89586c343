// The registry editor's .reg files: the input imported into an empty
// registry image, that image exported and imported again, and the
// input converted as the report converts the editor's exports.
//
// What the simulated registry editor writes it must read back: an export of
// any key passes the check the snapshots rely on, and a second round trip
// changes nothing (the first may: regedit itself drops a string's last
// letter when the string lacks its terminating zero).
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzMachine.h"
#include "report/Report.h"

using namespace kv;

namespace {

std::string RoundTrip(const std::string& exported) {
    RegistryImage again;
    std::string error;
    if (!ImportRegFile(again, exported, &error)) fuzz::Fault("an export the importer refuses: " + error);
    return ExportRegBranch(again, "");
}

void CheckExportOf(RegistryImage& reg, const std::string& key) {
    std::string exported = ExportRegBranch(reg, key);
    if (exported.empty()) return;
    RegistryImage parsed;
    SnapshotFault why;
    if (!CheckRegExport(exported, key, parsed, &why))
        fuzz::Fault("the export of " + key + " fails its check: fault " + std::to_string(why.kind) + " " + why.key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);

    RegistryImage reg;
    if (ImportRegFile(reg, input)) {
        std::string first = ExportRegBranch(reg, "");
        std::string second = RoundTrip(first);
        if (RoundTrip(second) != second) fuzz::Fault("a second round trip through the editor changed the export");
        for (const std::string& top : reg.SubKeyNames("")) CheckExportOf(reg, top);
        CheckExportOf(reg, fuzz::kDeviceKey);
        RegistryImage parsed;
        CheckRegExport(input, fuzz::kDeviceKey, parsed);
    }

    // The report's conversion of a 16-bit export to 8-bit text.
    SimRegistry unused;
    SimSystem system(unused);
    const std::string path = std::string(fuzz::kInstallDir) + "\\export.reg";
    system.WriteFile(path, input);
    ConvertRegExport(system, path);
    std::string converted = system.ReadFile(path).value_or("");
    if (input.compare(0, 2, "\xFF\xFE") == 0) {
        // Every line of a converted export ends in CR LF.
        if (!converted.empty() && converted.compare(converted.size() - 2, 2, "\r\n") != 0)
            fuzz::Fault("a converted export whose last line lacks its CR LF");
    } else if (converted != input) {
        fuzz::Fault("the conversion changed a file that is no 16-bit export");
    }
    return 0;
}
