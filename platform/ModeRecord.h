// The driver's 8-byte mode records: the format of its restricted-mode lists,
// which the mode table, the start-up examination and the report all read.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/Platform.h"

namespace kv {

// Width, height, colour depth and refresh rate, each four BCD digits in two
// bytes, most significant first; 0 matches any value.
using BcdModeRecord = std::array<std::uint8_t, 8>;

struct ModeEntry {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t depth = 0;
    std::uint16_t rate = 0;
};

// The driver's list values are read into a buffer of this size filled with
// 0xFF, so a list ends at its first record that begins with 0xFF.
inline constexpr std::size_t kListBufferSize = 2048;
inline constexpr std::size_t kMaxListRecords = kListBufferSize / 8;
using ListBuffer = std::array<std::uint8_t, kListBufferSize>;

BcdModeRecord EncodeModeRecord(const ModeEntry& entry);
// Decodes a list buffer record by record up to the first record that begins
// with 0xFF, as the driver reads it; `length` is how many bytes the value
// held. A record that is not valid BCD (a nibble above 9), or the short
// record a length that is no multiple of 8 ends with, is no mode at all: it
// is left out of the result and, when `raw` is given, kept there byte for
// byte so that it can be written back as it was. So is every record from
// the first 0xFF one on, in order: written back after the modes, they stay
// where the driver stops reading. The padding the value ends with is no
// record at all and is not kept.
std::vector<ModeEntry> DecodeList(const ListBuffer& buffer, std::size_t length = kListBufferSize,
                                  std::vector<Bytes>* raw = nullptr);
// How many of a list value's bytes come before its padding: the records of
// nothing but 0xFF it ends with (a short last one among them). The driver
// fills its buffer with 0xFF before it reads a value, so to it they are no
// more than the end of the list; some tools store the whole buffer.
std::size_t LengthBeforePadding(const std::uint8_t* data, std::size_t length);
// What a save writes into each of a list's values (the first one and those
// after it, as `stored` holds them read, an absent one empty): `list` into
// the first and nothing into the others. But when the values already say
// that list, the first holding it before its padding and the others nothing
// but padding, each gets back the bytes it held, padding included: the
// driver and other tools may rely on them.
std::vector<Bytes> ListValuesToWrite(const Bytes& list, const std::vector<Bytes>& stored);
ListBuffer EmptyListBuffer();
// Adds the records of one more list value that are no mode (as DecodeList
// gives them) to those kept from the values before it, all to be written
// into one value. Only the first short record is kept: the driver reads no
// record cut short, but two written one after the other would join into a
// whole record that it reads.
void KeepRawRecords(std::vector<Bytes>& kept, const std::vector<Bytes>& raw);
// Whether a byte holds two decimal digits.
bool IsBcdByte(std::uint8_t b);
// One field of a record: two bytes of BCD digits, most significant first.
std::uint16_t DecodeBcdField(const std::uint8_t* field);

struct RestrictedResolution {
    std::uint16_t height = 0;
    std::uint16_t width = 0;
};

}  // namespace kv
