#include "platform/ModeRecord.h"

#include <algorithm>

namespace kv {

namespace {

std::uint8_t ToBcd(unsigned x) { return static_cast<std::uint8_t>(((x / 10) << 4) | (x % 10)); }

void PutField(BcdModeRecord& r, std::size_t at, std::uint16_t value) {
    unsigned v = value % 10000;
    r[at] = ToBcd(v / 100);
    r[at + 1] = ToBcd(v % 100);
}

std::uint8_t FromBcd(std::uint8_t b) { return static_cast<std::uint8_t>((b >> 4) * 10 + (b & 0x0F)); }

}  // namespace

BcdModeRecord EncodeModeRecord(const ModeEntry& e) {
    BcdModeRecord r{};
    PutField(r, 0, e.width);
    PutField(r, 2, e.height);
    PutField(r, 4, e.depth);
    PutField(r, 6, e.rate);
    return r;
}

bool IsBcdByte(std::uint8_t b) { return (b >> 4) <= 9 && (b & 0x0F) <= 9; }

std::uint16_t DecodeBcdField(const std::uint8_t* field) {
    return static_cast<std::uint16_t>(FromBcd(field[0]) * 100 + FromBcd(field[1]));
}

ListBuffer EmptyListBuffer() {
    ListBuffer b;
    b.fill(0xFF);
    return b;
}

void KeepRawRecords(std::vector<Bytes>& kept, const std::vector<Bytes>& raw) {
    bool haveShort = std::any_of(kept.begin(), kept.end(), [](const Bytes& r) { return r.size() < 8; });
    for (const Bytes& r : raw) {
        if (r.size() < 8) {
            if (haveShort) continue;
            haveShort = true;
        }
        kept.push_back(r);
    }
}

std::size_t LengthBeforePadding(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        std::size_t record = (length - 1) / 8 * 8;
        if (!std::all_of(data + record, data + length, [](std::uint8_t b) { return b == 0xFF; })) break;
        length = record;
    }
    return length;
}

std::vector<Bytes> ListValuesToWrite(const Bytes& list, const std::vector<Bytes>& stored) {
    auto content = [](const Bytes& v) { return LengthBeforePadding(v.data(), v.size()); };
    bool said = !stored.empty() && content(stored[0]) == list.size() &&
                std::equal(list.begin(), list.end(), stored[0].begin()) &&
                std::all_of(stored.begin() + 1, stored.end(), [&](const Bytes& v) { return content(v) == 0; });
    if (said) return stored;
    std::vector<Bytes> values(std::max<std::size_t>(stored.size(), 1));
    values[0] = list;
    return values;
}

std::vector<ModeEntry> DecodeList(const ListBuffer& buffer, std::size_t length, std::vector<Bytes>* raw) {
    length = LengthBeforePadding(buffer.data(), std::min(length, buffer.size()));
    std::vector<ModeEntry> records;
    bool ended = false;
    for (std::size_t at = 0; at < length; at += 8) {
        const std::uint8_t* r = &buffer[at];
        std::size_t size = std::min<std::size_t>(8, length - at);
        // The driver reads no further; what the value holds beyond stays
        // in it as it was.
        ended = ended || r[0] == 0xFF;
        if (ended) {
            if (!raw) break;
            raw->emplace_back(r, r + size);
            continue;
        }
        bool valid = size == 8 && std::all_of(r, r + 8, IsBcdByte);
        if (!valid) {
            if (raw) raw->emplace_back(r, r + size);
            continue;
        }
        records.push_back({DecodeBcdField(r), DecodeBcdField(r + 2), DecodeBcdField(r + 4), DecodeBcdField(r + 6)});
    }
    return records;
}

}  // namespace kv
