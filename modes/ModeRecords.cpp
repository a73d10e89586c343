#include "modes/ModeRecords.h"

#include <algorithm>
#include <bitset>
#include <span>
#include <unordered_map>

#include "lang/Lang.h"

namespace kv {

namespace {

// Room a row's rates get at once: more than a monitor usually offers at one
// resolution, so that a table of thousands of rows is not spent growing them.
constexpr std::size_t kRatesAtOnce = 16;

std::uint32_t ResolutionKey(std::uint16_t width, std::uint16_t height) { return std::uint32_t{width} << 16 | height; }

// The records of a list that name a resolution, found by it: a row looks
// up its own records rather than reading the whole list, which with
// thousands of rows and a full list was most of the table's build.
class RecordsByResolution {
public:
    struct Entry {
        std::uint32_t key;
        std::size_t position;  // in the list
        auto operator<=>(const Entry&) const = default;
    };

    // The records `keep` takes.
    template <class Keep>
    RecordsByResolution(const std::vector<ModeEntry>& records, Keep keep) {
        for (std::size_t i = 0; i < records.size(); ++i)
            if (keep(records[i])) entries_.push_back({ResolutionKey(records[i].width, records[i].height), i});
        std::sort(entries_.begin(), entries_.end());
    }

    // The resolution's records, in list order.
    std::span<const Entry> Of(std::uint16_t width, std::uint16_t height) const {
        std::uint32_t key = ResolutionKey(width, height);
        auto first = std::lower_bound(entries_.begin(), entries_.end(), Entry{key, 0});
        auto last = first;
        while (last != entries_.end() && last->key == key) ++last;
        return {first, last};
    }

private:
    std::vector<Entry> entries_;
};

}  // namespace

std::vector<ResolutionRow> RowsFromSystemModes(IDisplay& display, const std::string& deviceName,
                                               std::uint32_t enumFlags) {
    std::vector<ResolutionRow> rows;
    std::uint32_t lastWidth = 0, lastHeight = 0;
    std::bitset<256> seen;  // the rates of the row being read
    for (std::uint32_t i = 0; i < kMaxModesListed; ++i) {
        std::optional<DisplayMode> mode = display.EnumMode(deviceName, i, enumFlags);
        if (!mode) break;
        // A rate the grid cannot hold in a byte is left out rather than
        // shown as some other rate.
        if (mode->width == 0 || mode->height == 0 || mode->frequency == 0 || mode->frequency > 255) continue;
        if (mode->width != lastWidth || mode->height != lastHeight) {
            if (mode->width < lastWidth) break;
            ResolutionRow& row = rows.emplace_back();
            row.height = static_cast<std::uint16_t>(mode->height);
            row.width = static_cast<std::uint16_t>(mode->width);
            row.rates.reserve(kRatesAtOnce);
            seen.reset();
            lastWidth = mode->width;
            lastHeight = mode->height;
        }
        auto rate = static_cast<std::uint8_t>(mode->frequency);
        if (!seen[rate]) rows.back().rates.push_back(rate);
        seen.set(rate);
    }
    return rows;
}

bool MergeRestrictedModes(std::vector<ResolutionRow>& rows, const std::vector<ModeEntry>& records) {
    auto whole = [](const ModeEntry& r) { return r.width != 0 && r.height != 0 && r.rate != 0 && r.rate <= 255; };
    RecordsByResolution index(records, whole);
    bool undisabled = false;
    auto add = [&undisabled](ResolutionRow& row, std::uint16_t rate) {
        auto byte = static_cast<std::uint8_t>(rate);
        if (std::find(row.rates.begin(), row.rates.end(), byte) != row.rates.end())
            undisabled = true;
        else
            row.rates.push_back(byte);
    };
    // Each row takes the rates of its resolution's records, in list order.
    std::vector<bool> merged(records.size(), false);
    for (ResolutionRow& row : rows) {
        for (const RecordsByResolution::Entry& e : index.Of(row.width, row.height)) {
            merged[e.position] = true;
            add(row, records[e.position].rate);
        }
    }
    // A resolution the system does not offer gets a row of its own after
    // the others, in the order the list first names it.
    std::unordered_map<std::uint32_t, std::size_t> added;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ModeEntry& r = records[i];
        if (!whole(r) || merged[i]) continue;
        auto [at, fresh] = added.try_emplace(ResolutionKey(r.width, r.height), rows.size());
        if (fresh)
            rows.push_back({r.height, r.width, {static_cast<std::uint8_t>(r.rate)}, 0});
        else
            add(rows[at->second], r.rate);
    }
    return undisabled;
}

void SortRows(std::vector<ResolutionRow>& rows) {
    auto before = [](const ResolutionRow& a, const ResolutionRow& b) {
        return a.width != b.width ? a.width < b.width : a.height < b.height;
    };
    // The enumeration comes in order; only the rows the list added after it
    // need sorting, and then merging in, which keeps equal rows in the
    // order they had as a stable sort of all of them would.
    auto tail = std::is_sorted_until(rows.begin(), rows.end(), before);
    std::stable_sort(tail, rows.end(), before);
    std::inplace_merge(rows.begin(), tail, rows.end(), before);
    for (ResolutionRow& row : rows)
        if (!std::is_sorted(row.rates.begin(), row.rates.end())) std::sort(row.rates.begin(), row.rates.end());
}

void SelectAllowedRates(std::vector<ResolutionRow>& rows, const std::vector<ModeEntry>& records) {
    RecordsByResolution index(records, [](const ModeEntry& r) { return r.rate != 0 && r.rate <= 255; });
    for (ResolutionRow& row : rows) {
        row.selected = row.rates.empty() ? 0 : row.rates.front();
        for (const RecordsByResolution::Entry& e : index.Of(row.width, row.height)) {
            auto it = std::find(row.rates.begin(), row.rates.end(), static_cast<std::uint8_t>(records[e.position].rate));
            if (it == row.rates.end()) continue;
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

std::string ByteValueProblem(const ValueInfo& info) {
    if (!info.exists) return "";
    if (info.kind == ValueKind::Dword) return LangText(kWhyHoldsNumber);
    if (info.kind == ValueKind::String || info.kind == ValueKind::ExpandString) return LangText(kWhyHoldsText);
    if (info.size > kListBufferSize) return LangCount(kWhyTooLong, info.size);
    return "";
}

}  // namespace kv
