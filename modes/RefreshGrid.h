// The refresh-rate grid: fifteen rows of the resolution table at a time, a
// label, an editable box with the lowest allowed rate and the unit on each.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modes/ModeRecords.h"
#include "platform/Edid.h"
#include "ui/Form.h"

namespace kv {

class RefreshGrid {
public:
    static constexpr int kRows = 15;

    // The window's controls the grid shows its rows in; the window makes
    // them and hands them over.
    struct Row {
        ui::Control* label = nullptr;
        ui::Control* box = nullptr;
        ui::Control* unit = nullptr;
    };
    std::array<Row, kRows> shown{};
    ui::Control* up = nullptr;
    ui::Control* down = nullptr;

    explicit RefreshGrid(std::vector<ResolutionRow>& rows);

    void Fill();
    // Stores the visible boxes into the table. A box that does not hold a
    // whole number from 0 to 255 stops the store and is reported by its
    // row's index; nothing is stored then.
    std::optional<std::size_t> StoreVisibleBoxes();
    // A box without a valid rate keeps the grid where it is; its row is
    // returned.
    std::optional<std::size_t> ScrollUp() { return Scroll(-1); }
    std::optional<std::size_t> ScrollDown() { return Scroll(+1); }
    // Every row's highest rate inside the monitor's range (its highest rate
    // when the range is not known); a row without one keeps its choice.
    void Autoconfig();

    // What the monitor declares it can show; nothing when not known. A
    // rate outside it carries a marker in its row's list.
    const Edid* monitor = nullptr;

    // The table's index of the top row; a table may hold any number of rows.
    std::size_t FirstVisibleRow = 0;

    // A whole number from 0 to 255, with or without the marker of a rate
    // outside the monitor's range.
    static std::optional<std::uint8_t> ParseRate(const std::string& text);
    static std::string ResolutionText(const ResolutionRow& row);

private:
    std::optional<std::size_t> Scroll(int step);
    void ShowRow(int k, const ResolutionRow& row);
    ui::Control& Box(int k) { return *shown[static_cast<std::size_t>(k - 1)].box; }

    std::vector<ResolutionRow>& rows_;
};

}  // namespace kv
