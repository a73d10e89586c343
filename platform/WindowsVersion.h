// What the version number GetVersion gives tells about the system.
#pragma once

#include <cstdint>

namespace kv {

// The Windows 95/98/ME family sets the version number's high bit.
inline bool IsWindows9x(std::uint32_t version) { return (version & 0x80000000u) != 0; }

}  // namespace kv
