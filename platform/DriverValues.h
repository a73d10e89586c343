// Names of the ATI driver's own values that Kelvane reads and writes. The
// driver reads them from its keys when Windows starts, so the names are the
// driver's, not ours.
#pragma once

namespace kv {

// The restricted-mode list: the driver no longer offers a mode it names.
// The first value is the one Kelvane writes; the four continuations are
// read, kept and removed when the first is written.
inline constexpr const char* kRestrictedListNames[] = {"DALRestrictedModesBCD", "DALRestrictedModesBCD1",
                                                       "DALRestrictedModesBCD2", "DALRestrictedModesBCD3",
                                                       "DALRestrictedModesBCD4"};

// The user's extra modes, which the driver offers when the hardware can.
inline constexpr const char* kNonStandardListNames[] = {"DALNonStandardModesBCD", "DALNonStandardModesBCD1",
                                                        "DALNonStandardModesBCD2", "DALNonStandardModesBCD3"};

// 0: the driver offers modes without regard to what the monitor reports.
inline constexpr const char* kPruningModeValue = "PruningMode";

// The Direct3D anisotropy degree, a text in the device key's "ddhal" subkey.
inline constexpr const char* kDdhalSubkey = "ddhal";
inline constexpr const char* kAnisoDegreeValue = "AnisoDegree";

}  // namespace kv
