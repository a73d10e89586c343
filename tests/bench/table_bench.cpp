// Times the resolution table the main window builds at start-up, chained as
// TForm1::StartupSequence and BuildModeTable chain it: the rows from the
// enumerated modes, the first restricted list merged, sorted and selected
// from, and the records of all five lists kept. The inputs double from
// 8192 modes with lists of 32 records to 65,536 modes with five full lists
// of 256; the median of several runs at each size is printed with its ratio
// to the size before, and a fingerprint of the largest table, which stays
// the same as long as the table does.
//
//   table_bench [RUNS]
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "modes/ModeRecords.h"
#include "platform/ModeRecord.h"

namespace {

using namespace kv;

// A display that lists the given modes and nothing after them.
class ListedModes : public IDisplay {
public:
    explicit ListedModes(const std::vector<DisplayMode>& modes) : modes_(modes) {}
    std::optional<DisplayDeviceInfo> EnumDevice(std::uint32_t) override { return std::nullopt; }
    std::optional<DisplayMode> EnumMode(const std::string&, std::uint32_t index, std::uint32_t) override {
        if (index < modes_.size()) return modes_[index];
        return std::nullopt;
    }
    bool ChangeFrequency(std::uint32_t, std::uint32_t) override { return false; }
    std::optional<DisplayMode> CurrentMode(const std::string&) override { return std::nullopt; }
    long ChangeMode(const std::string&, const DisplayMode&, std::uint32_t) override { return kDispChangeFailed; }

private:
    const std::vector<DisplayMode>& modes_;
};

constexpr std::size_t kLists = 5;
constexpr std::uint32_t kRates[] = {60, 70, 72, 75, 85, 90, 100, 120};
constexpr std::size_t kRatesPerResolution = std::size(kRates);

struct Inputs {
    std::size_t modes = 0;
    std::size_t records = 0;  // in each list
    std::vector<DisplayMode> enumerated;
    std::array<ListBuffer, kLists> lists{};
    std::array<std::size_t, kLists> lengths{};
};

// Resolution i of the enumeration: widths rise by one every four
// resolutions, each width with four heights, as a driver lists them.
std::uint16_t WidthOf(std::size_t i) { return static_cast<std::uint16_t>(320 + i / 4); }
std::uint16_t HeightOf(std::size_t i) { return static_cast<std::uint16_t>(240 + 60 * (i % 4)); }

void Put(Inputs& in, std::size_t list, std::size_t index, ModeEntry e) {
    BcdModeRecord r = EncodeModeRecord(e);
    std::copy(r.begin(), r.end(), in.lists[list].begin() + static_cast<long>(index * 8));
}

// `modes` enumerated modes (eight rates for each resolution, ascending as
// Windows lists them) and five lists of `records` records each. The first
// restricts rates the enumeration lacks, three quarters of them at
// resolutions spread over the table and a quarter, two rates each, at
// resolutions it does not offer at all, from the widest down. The others
// hold resolution, rate and whole mode records by turns.
Inputs MakeInputs(std::size_t modes, std::size_t records) {
    Inputs in;
    in.modes = modes;
    in.records = records;
    std::size_t resolutions = modes / kRatesPerResolution;
    for (std::size_t i = 0; i < resolutions; ++i)
        for (std::uint32_t rate : kRates) in.enumerated.push_back({WidthOf(i), HeightOf(i), 32, rate});

    for (ListBuffer& b : in.lists) b = EmptyListBuffer();
    std::size_t known = records * 3 / 4;
    for (std::size_t j = 0; j < records; ++j) {
        static constexpr std::uint16_t kMissingRates[] = {43, 47, 56};
        if (j < known) {
            std::size_t i = j * resolutions / known;
            Put(in, 0, j, {WidthOf(i), HeightOf(i), 0, kMissingRates[j % 3]});
        } else {
            std::size_t k = j - known;
            Put(in, 0, j, {static_cast<std::uint16_t>(9900 - k / 2), 7000, 0, static_cast<std::uint16_t>(k % 2 ? 75 : 60)});
        }
    }
    for (std::size_t list = 1; list < kLists; ++list) {
        for (std::size_t j = 0; j < records; ++j) {
            std::size_t i = (j * 7 + list) % resolutions;
            ModeEntry e = j % 3 == 0   ? ModeEntry{WidthOf(i), HeightOf(i), 0, 0}
                          : j % 3 == 1 ? ModeEntry{0, 0, 0, static_cast<std::uint16_t>(kRates[j % 8])}
                                       : ModeEntry{WidthOf(i), HeightOf(i), 0, 56};
            Put(in, list, j, e);
        }
    }
    in.lengths.fill(records * 8);
    return in;
}

ModeTable Build(const Inputs& in) {
    ListedModes display(in.enumerated);
    ModeTable t;
    t.ResolutionRows = RowsFromSystemModes(display, "\\\\.\\DISPLAY1", 0);
    std::vector<ModeEntry> records = DecodeList(in.lists[0], in.lengths[0], &t.KeptRawRecords);
    MergeRestrictedModes(t.ResolutionRows, records);
    SortRows(t.ResolutionRows);
    SelectAllowedRates(t.ResolutionRows, records);
    CollectKeptRecords(t, records, false);
    for (std::size_t list = 1; list < kLists; ++list)
        CollectKeptRecords(t, DecodeList(in.lists[list], in.lengths[list], &t.KeptRawRecords), true);
    return t;
}

// FNV-1a over everything the table holds.
std::uint64_t Fingerprint(const ModeTable& t) {
    std::uint64_t h = 1469598103934665603ull;
    auto mix = [&h](std::uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            h ^= (v >> (8 * i)) & 0xFF;
            h *= 1099511628211ull;
        }
    };
    for (const ResolutionRow& r : t.ResolutionRows) {
        mix(r.width);
        mix(r.height);
        mix(r.selected);
        mix(r.rates.size());
        for (std::uint8_t rate : r.rates) mix(rate);
    }
    for (const RestrictedResolution& r : t.RestrictedResolutions) mix((std::uint64_t{r.width} << 16) | r.height);
    for (std::uint16_t rate : t.RestrictedRates) mix(rate);
    mix(t.KeptRawRecords.size());
    mix(t.ExtraListsHoldModes);
    return h;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 31;
    if (runs < 1) {
        std::fprintf(stderr, "usage: table_bench [RUNS]\n");
        return 2;
    }
    std::vector<Inputs> sizes;
    for (std::size_t modes = 8192, records = 32; modes <= 65536; modes *= 2, records *= 2)
        sizes.push_back(MakeInputs(modes, records));

    // The sizes take turns, so that whatever else the machine does falls
    // on all of them alike; the first round only warms up.
    std::vector<std::vector<double>> ms(sizes.size());
    std::vector<std::size_t> rows(sizes.size());
    std::uint64_t fingerprint = 0;
    for (int run = 0; run <= runs; ++run) {
        for (std::size_t s = 0; s < sizes.size(); ++s) {
            auto t0 = std::chrono::steady_clock::now();
            ModeTable t = Build(sizes[s]);
            auto t1 = std::chrono::steady_clock::now();
            if (run == 0) {
                rows[s] = t.ResolutionRows.size();
                if (s + 1 == sizes.size()) fingerprint = Fingerprint(t);
                continue;
            }
            ms[s].push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
    }

    std::printf("table build, median of %d runs (5 lists of the size given; the first merged):\n", runs);
    double previous = 0;
    for (std::size_t s = 0; s < sizes.size(); ++s) {
        double median = Median(ms[s]);
        std::printf("  %6zu modes, lists of %3zu records: %6zu rows %8.3f ms", sizes[s].modes, sizes[s].records,
                    rows[s], median);
        if (previous > 0) std::printf("   x%.2f", median / previous);
        std::printf("\n");
        previous = median;
    }
    std::printf("  table of %zu modes: fingerprint %016llx\n", sizes.back().modes,
                static_cast<unsigned long long>(fingerprint));
    return 0;
}
