// Names of the ATI driver's own values that Kelvane reads and writes. The
// driver reads them from its keys when Windows starts, so the names are the
// driver's, not ours. The on/off options' values are named in the option
// table (options/OptionTable.cpp), one row each.
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

// What the issues dialog looks at and repairs: the native modes rule and
// the minimum-resolution record do harm and are cleared; the CRT rule, also
// one of the options, is set by the repair when asked.
inline constexpr const char* kNativeModesValue = "DALRULE_ADDNATIVEMODESTOMODETABLE";
inline constexpr const char* kMinResValue = "DALOPTION_MinResBCD";
inline constexpr const char* kCrtAllModesValue = "DALRULE_CRTSUPPORTSALLMODES";

// The control panel's highest rate, kept by each generation of the driver in
// a pair of binary values: an Info value and the matching MaxModeInfo value.
struct MaxRatePair {
    const char* info;
    const char* maxModeInfo;
};
inline constexpr MaxRatePair kMaxRatePairs[] = {
    {"DALRagePro CRT GDO_Info", "DALRagePro_CRT_GDO_MaxModeInfo"},
    {"DALRage128 CRT GDO_Info", "DALRage128 CRT GDO_MaxModeInfo"},
    {"DALR6 CRT_Info", "DALR6 CRT_MaxModeInfo"},
    {"DALR6 CRT2_Info", "DALR6 CRT2_MaxModeInfo"},
};

}  // namespace kv
