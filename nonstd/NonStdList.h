// The user's non-standard resolutions as the driver stores them: extra
// modes it offers when the hardware can show them, read at boot from four
// list values under the device key as 8-byte BCD records.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DriverValues.h"
#include "platform/ModeRecord.h"

namespace kv {

class SharedRegistry;

// One extra mode; a depth or refresh of 0 means any.
struct NonStdEntry {
    std::uint16_t width = 0, height = 0;
    std::uint8_t refresh = 0, depth = 0;
    bool operator==(const NonStdEntry&) const = default;
};

// The program-wide state: created empty at program start, lives for the run.
struct NonStandardRun {
    std::vector<NonStdEntry> Entries;
};

inline constexpr std::size_t kNonStandardValueCount = std::size(kNonStandardListNames);
// The largest values the driver's record and the entry can hold: four
// decimal digits for a size, a byte for a depth or a rate.
inline constexpr unsigned long kMaxNonStdSize = 9999;
inline constexpr unsigned long kMaxNonStdDepthOrRate = 255;

// The list box line: "1280 x 1024 x Any BPP x Any Refresh", "  800 x   600 x 32 x 85".
std::string NonStdLine(const NonStdEntry& e);
// The driver's record: width, height, depth, refresh, each as four BCD digits.
BcdModeRecord NonStdRecord(const NonStdEntry& e);

// Reads one stored value: its entries join `entries` (none twice), and the
// records no entry can show (a size of 0, a depth or rate the editor does
// not take, bytes that are no record) join `kept`, to be written back as
// they were.
void DecodeNonStdValue(const ListBuffer& buffer, std::size_t length, std::vector<NonStdEntry>& entries,
                       std::vector<Bytes>& kept);
// The value written: the entries, then the kept records; a record cut
// short can only come last.
Bytes EncodeNonStdList(const std::vector<NonStdEntry>& entries, const std::vector<Bytes>& kept);

// The four list values as read from the device key.
struct StoredNonStdList {
    std::vector<NonStdEntry> entries;
    // Stored records no entry can show, written back after the entries
    // exactly as they were read.
    std::vector<Bytes> kept;
    // Each value as read, padding included; an absent or unreadable one empty.
    std::vector<Bytes> stored;
    // Values of another type or too long to read: never written.
    std::array<bool, kNonStandardValueCount> unreadable{};
    // "'name' (why)" for each of those.
    std::vector<std::string> problems;
};
// Reads the values from the current key of `shared`; their entries join
// `entries` (none twice).
StoredNonStdList ReadNonStdLists(SharedRegistry& shared, std::vector<NonStdEntry> entries = {});
// Writes `entries`, then the kept records, into the first value of the
// current key; the continuations the driver would add to it are left
// empty, not deleted, and values that already say the list go back as they
// were. The first write that fails aborts.
void WriteNonStdLists(SharedRegistry& shared, const StoredNonStdList& read, const std::vector<NonStdEntry>& entries);
// Makes `entries` the list of the current key, unless it holds them
// already: the values are read again just before, so that the kept records
// and their padding go back as they are. A first value that cannot be read
// stops the command. True when the list was written.
bool ReplaceNonStdEntries(SharedRegistry& shared, const std::vector<NonStdEntry>& entries);

}  // namespace kv
