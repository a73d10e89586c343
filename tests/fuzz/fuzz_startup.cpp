// The main window's start-up on a machine whose registry the input shapes:
// the input is a .reg file imported over the demo machine's registry (so a
// few lines reach any value Kelvane reads at start-up: the driver's lists
// and options, the settings key, the adapter's identifiers). The window is
// created and painted as Windows does it; then the machine restarts and
// Kelvane starts again for the check after the restart. A comment line of
// the file "; answers: yes no ok cancel ..." scripts the answers to the
// message boxes in order; without one every box gets the default answer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "FuzzMachine.h"

using namespace kv;

namespace {

void ScriptAnswers(const std::string& regFile, SimSystem& system) {
    const std::string marker = "; answers:";
    std::size_t at = regFile.find(marker);
    if (at == std::string::npos) return;
    std::istringstream words(regFile.substr(at + marker.size(), regFile.find('\n', at) - at - marker.size()));
    std::string word;
    while (words >> word) {
        if (word == "yes") system.answers.push_back(kIdYes);
        if (word == "no") system.answers.push_back(kIdNo);
        if (word == "ok") system.answers.push_back(kIdOk);
        if (word == "cancel") system.answers.push_back(kIdCancel);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    fuzz::Machine m;
    ImportRegFile(m.registry, input);
    ScriptAnswers(input, m.system);
    m.Boot();

    auto form = std::make_unique<TForm1>(m.platform);
    if (!fuzz::StartMainWindow(*form)) return 0;
    fuzz::CheckNoUnexpectedError(m.system);

    form.reset();
    m.Boot();
    m.system.commandLine += " /CHECK";
    form = std::make_unique<TForm1>(m.platform);
    if (!fuzz::StartMainWindow(*form)) return 0;
    fuzz::CheckNoUnexpectedError(m.system);
    return 0;
}
