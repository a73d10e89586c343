#include "modes/ModeRecords.h"

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

ListBuffer EmptyListBuffer() {
    ListBuffer b;
    b.fill(0xFF);
    return b;
}

std::vector<ModeEntry> DecodeList(const ListBuffer& buffer, std::size_t length, std::vector<Bytes>* raw) {
    length = std::min(length, buffer.size());
    std::vector<ModeEntry> records;
    for (std::size_t at = 0; at < length; at += 8) {
        const std::uint8_t* r = &buffer[at];
        if (r[0] == 0xFF) break;
        std::size_t size = std::min<std::size_t>(8, length - at);
        bool valid = size == 8 && std::all_of(r, r + 8, [](std::uint8_t b) { return (b >> 4) <= 9 && (b & 0x0F) <= 9; });
        if (!valid) {
            if (raw) raw->emplace_back(r, r + size);
            continue;
        }
        auto field = [&](int i) { return static_cast<std::uint16_t>(FromBcd(r[i]) * 100 + FromBcd(r[i + 1])); };
        records.push_back({field(0), field(2), field(4), field(6)});
    }
    return records;
}

std::vector<ResolutionRow> RowsFromSystemModes(IDisplay& display, const std::string& deviceName,
                                               std::uint32_t enumFlags) {
    std::vector<ResolutionRow> rows;
    std::uint32_t lastWidth = 0, lastHeight = 0;
    for (std::uint32_t i = 0; i < 65536; ++i) {
        std::optional<DisplayMode> mode = display.EnumMode(deviceName, i, enumFlags);
        if (!mode) break;
        // A rate the grid cannot hold in a byte is left out rather than
        // shown as some other rate.
        if (mode->width == 0 || mode->height == 0 || mode->frequency == 0 || mode->frequency > 255) continue;
        if (mode->width != lastWidth || mode->height != lastHeight) {
            if (mode->width < lastWidth) break;
            ResolutionRow row;
            row.height = static_cast<std::uint16_t>(mode->height);
            row.width = static_cast<std::uint16_t>(mode->width);
            rows.push_back(row);
            lastWidth = mode->width;
            lastHeight = mode->height;
        }
        auto rate = static_cast<std::uint8_t>(mode->frequency);
        auto& rates = rows.back().rates;
        if (std::find(rates.begin(), rates.end(), rate) == rates.end()) rates.push_back(rate);
    }
    return rows;
}

bool MergeRestrictedModes(std::vector<ResolutionRow>& rows, const std::vector<ModeEntry>& records) {
    bool undisabled = false;
    for (const ModeEntry& r : records) {
        if (r.width == 0 || r.height == 0 || r.rate == 0 || r.rate > 255) continue;
        auto rate = static_cast<std::uint8_t>(r.rate);
        bool found = false;
        for (ResolutionRow& row : rows) {
            if (row.width != r.width || row.height != r.height) continue;
            found = true;
            if (std::find(row.rates.begin(), row.rates.end(), rate) != row.rates.end())
                undisabled = true;
            else
                row.rates.push_back(rate);
        }
        if (!found) rows.push_back({r.height, r.width, {rate}, 0});
    }
    return undisabled;
}

void SortRows(std::vector<ResolutionRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const ResolutionRow& a, const ResolutionRow& b) {
        return a.width != b.width ? a.width < b.width : a.height < b.height;
    });
    for (ResolutionRow& row : rows) std::sort(row.rates.begin(), row.rates.end());
}

void SelectAllowedRates(std::vector<ResolutionRow>& rows, const std::vector<ModeEntry>& records) {
    for (ResolutionRow& row : rows) row.selected = row.rates.empty() ? 0 : row.rates.front();
    for (const ModeEntry& r : records) {
        for (ResolutionRow& row : rows) {
            if (row.width != r.width || row.height != r.height) continue;
            auto it = std::find(row.rates.begin(), row.rates.end(), static_cast<std::uint8_t>(r.rate));
            if (r.rate == 0 || r.rate > 255 || it == row.rates.end()) continue;
            std::size_t j = static_cast<std::size_t>(it - row.rates.begin());
            if (j == 0 || *it == row.selected)
                row.selected = j + 1 < row.rates.size() ? row.rates[j + 1] : kAllRatesRestricted;
        }
    }
}

void CollectKeptRecords(ModeTable& table, const std::vector<ModeEntry>& records, bool continuation) {
    for (const ModeEntry& r : records) {
        if (r.width == 0 && r.rate != 0) table.RestrictedRates.push_back(r.rate);
        if (r.rate == 0 && r.width != 0) table.RestrictedResolutions.push_back({r.height, r.width});
        if (continuation && r.rate != 0 && (r.width != 0 || r.height != 0)) table.ExtraListsHoldModes = true;
    }
}

}  // namespace kv
