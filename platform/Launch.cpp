#include "platform/Launch.h"

#include "platform/Text.h"

namespace kv {

std::uintptr_t LaunchProgram(ISystem& sys, const std::string& file, const std::string& parameters,
                             const std::string& directory, int show) {
    if (!FitsWindowsLimits(file, parameters, directory)) return 0;
    return sys.ShellOpen(file, parameters, directory, show);
}

bool FitsWindowsLimits(const std::string& file, const std::string& parameters, const std::string& directory) {
    const std::size_t fileChars = Utf8ToUtf16(file).size();
    // The file quoted and a blank before the parameters.
    return fileChars <= kMaxLaunchPath && Utf8ToUtf16(directory).size() <= kMaxLaunchPath &&
           fileChars + 3 + Utf8ToUtf16(parameters).size() <= kMaxCommandLine;
}

}  // namespace kv
