// Runs the registry image's .reg reader and writer from the command line,
// so the scripts that check them against a real registry editor can get a
// file written by Kelvane's own code:
//
//   regfile_tool export <in.reg> <key path under HKLM> <out.reg>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "platform/RegFile.h"
#include "platform/RegistryImage.h"

int main(int argc, char** argv) {
    if (argc != 5 || std::string(argv[1]) != "export") {
        std::cerr << "usage: regfile_tool export <in.reg> <key path under HKEY_LOCAL_MACHINE> <out.reg>\n";
        return 64;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::cerr << "regfile_tool: cannot read " << argv[2] << "\n";
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    kv::RegistryImage reg;
    std::string error;
    if (!kv::ImportRegFile(reg, bytes, &error)) {
        std::cerr << "regfile_tool: " << argv[2] << ": " << error << "\n";
        return 1;
    }
    std::string out = kv::ExportRegBranch(reg, argv[3]);
    if (out.empty()) {
        std::cerr << "regfile_tool: no key HKEY_LOCAL_MACHINE\\" << argv[3] << " in " << argv[2] << "\n";
        return 2;
    }
    std::ofstream file(argv[4], std::ios::binary);
    file << out;
    if (!file.flush()) {
        std::cerr << "regfile_tool: cannot write " << argv[4] << "\n";
        return 1;
    }
    return 0;
}
