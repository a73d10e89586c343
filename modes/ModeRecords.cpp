#include "modes/ModeRecords.h"

#include <algorithm>

namespace kv {

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
