#include "modes/RefreshGrid.h"

#include <string>

#include "lang/Lang.h"
#include "modes/MonitorRates.h"

namespace kv {

RefreshGrid::RefreshGrid(std::vector<ResolutionRow>& rows) : rows_(rows) {}

std::string RefreshGrid::ResolutionText(const ResolutionRow& row) {
    return std::to_string(row.width) + "x" + std::to_string(row.height);
}

std::optional<std::uint8_t> RefreshGrid::ParseRate(const std::string& text) {
    auto trimmed = [](const std::string& t) {
        std::size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
        return b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
    };
    std::string digits = trimmed(text);
    if (!digits.empty() && digits.back() == kOutsideMarker[1]) digits = trimmed(digits.substr(0, digits.size() - 1));
    if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    int value = std::stoi(digits);
    if (value > 255) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

void RefreshGrid::ShowRow(int k, const ResolutionRow& row) {
    ui::Control& box = Box(k);
    box.text = std::to_string(row.selected) + (OutsideRange(monitor, row, row.selected) ? kOutsideMarker : "");
    box.items.clear();
    bool marked = false;
    for (std::uint8_t rate : row.rates) {
        bool outside = OutsideRange(monitor, row, rate);
        marked = marked || outside;
        box.items.push_back(std::to_string(rate) + (outside ? kOutsideMarker : ""));
    }
    box.hintEntry = marked ? kHintRateMarked : ui::kNoEntry;
    box.hint = marked ? LangText(kHintRateMarked) : "";
    shown[static_cast<std::size_t>(k - 1)].label->text = ResolutionText(row);
}

void RefreshGrid::Fill() {
    up->enabled = false;
    down->enabled = false;
    FirstVisibleRow = 0;
    for (int k = 1; k <= static_cast<int>(rows_.size()); ++k) {
        if (k > kRows) {
            down->enabled = true;
            break;
        }
        ShowRow(k, rows_[static_cast<std::size_t>(k - 1)]);
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        bool used = i < rows_.size();
        for (ui::Control* c : {shown[i].label, shown[i].box, shown[i].unit}) c->visible = used;
    }
}

std::optional<std::size_t> RefreshGrid::StoreVisibleBoxes() {
    std::vector<std::uint8_t> rates;
    for (int k = 1; k <= kRows; ++k) {
        std::size_t index = FirstVisibleRow + static_cast<std::size_t>(k - 1);
        if (index >= rows_.size()) break;
        std::optional<std::uint8_t> rate = ParseRate(Box(k).text);
        if (!rate) return index;
        rates.push_back(*rate);
    }
    for (std::size_t i = 0; i < rates.size(); ++i) rows_[FirstVisibleRow + i].selected = rates[i];
    return std::nullopt;
}

std::optional<std::size_t> RefreshGrid::Scroll(int step) {
    if (std::optional<std::size_t> bad = StoreVisibleBoxes()) return bad;
    for (int k = 1; k <= kRows; ++k) Box(k).items.clear();
    if (step < 0) {
        if (FirstVisibleRow > 0) --FirstVisibleRow;
        if (FirstVisibleRow == 0) up->enabled = false;
        down->enabled = true;
    } else {
        if (FirstVisibleRow + kRows < rows_.size()) ++FirstVisibleRow;
        up->enabled = true;
        down->enabled = FirstVisibleRow + kRows < rows_.size();
    }
    for (int k = 1; k <= kRows; ++k) {
        std::size_t index = FirstVisibleRow + static_cast<std::size_t>(k - 1);
        if (index >= rows_.size()) break;
        ShowRow(k, rows_[index]);
    }
    return std::nullopt;
}

void RefreshGrid::Autoconfig() {
    for (ResolutionRow& row : rows_)
        if (std::optional<std::uint8_t> rate = HighestRateInside(monitor, row)) row.selected = *rate;
    Fill();
}

}  // namespace kv
