// One failure injected into the simulated machine. Its registry and file
// operations are counted in the order they are made, the registry editor's
// included, and the one numbered `failAt` fails as Windows fails one: access
// denied, a file another program holds, a disk that fills up half-way.
#pragma once

#include <string>

namespace kv {

struct FaultPlan {
    unsigned long failAt = 0;  // counted from 1; 0 fails nothing
    unsigned long count = 0;
    std::string failed;  // the operation that failed, for a test's messages

    bool Fails(const char* operation, const std::string& what) {
        if (++count != failAt) return false;
        failed = std::string(operation) + " " + what;
        return true;
    }
};

}  // namespace kv
