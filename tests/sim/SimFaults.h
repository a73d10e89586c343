// One failure injected into the simulated machine. Its registry and file
// operations are counted in the order they are made, the registry editor's
// included, and the one numbered `failAt` fails as Windows fails one: access
// denied, a file another program holds, a disk that fills up half-way.
#pragma once

#include <string>

namespace kv {

// The machine stops at the operation `failAt`, as at a power switch or
// a crash: thrown through the program, it is no failure the program sees.
struct PowerCut {};

struct FaultPlan {
    unsigned long failAt = 0;  // counted from 1; 0 fails nothing
    unsigned long count = 0;
    std::string failed;  // the operation that failed, for a test's messages
    // The operation `failAt` is never made: the machine stops before it.
    bool cutPower = false;

    bool Fails(const char* operation, const std::string& what) {
        if (++count != failAt) return false;
        failed = std::string(operation) + " " + what;
        if (cutPower) throw PowerCut{};
        return true;
    }
};

}  // namespace kv
