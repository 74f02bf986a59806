#include "tavolin/wall_arrangement.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

#include "tavolin/camera_record.h"

namespace tavolin {

WallArrangement WallArrangement::of(std::string name, WallLayout grid, const std::vector<int>& cameras) {
    WallArrangement arrangement{std::move(name), grid, {}};
    arrangement.cells.resize(static_cast<std::size_t>(cellCount(grid)));
    const std::size_t shown = std::min(cameras.size(), arrangement.cells.size());
    std::copy_n(cameras.begin(), shown, arrangement.cells.begin());
    return arrangement;
}

std::optional<int> WallArrangement::cameraAt(int cell) const {
    if (cell < 0 || cell >= static_cast<int>(cells.size())) return std::nullopt;
    return cells[static_cast<std::size_t>(cell)];
}

std::optional<int> WallArrangement::cellOf(int position) const {
    const auto it = std::find(cells.begin(), cells.end(), std::optional<int>(position));
    if (it == cells.end()) return std::nullopt;
    return static_cast<int>(it - cells.begin());
}

bool WallArrangement::swap(int cellA, int cellB) {
    const int n = static_cast<int>(cells.size());
    if (cellA < 0 || cellA >= n || cellB < 0 || cellB >= n) return false;
    std::swap(cells[static_cast<std::size_t>(cellA)], cells[static_cast<std::size_t>(cellB)]);
    return true;
}

bool WallArrangement::put(int position, int cell) {
    if (cell < 0 || cell >= static_cast<int>(cells.size()) || position < 0 || position >= kCameraCount) return false;
    if (const auto from = cellOf(position)) return swap(*from, cell);
    cells[static_cast<std::size_t>(cell)] = position;
    return true;
}

bool WallArrangement::empty(int cell) {
    if (cell < 0 || cell >= static_cast<int>(cells.size())) return false;
    cells[static_cast<std::size_t>(cell)].reset();
    return true;
}

void WallArrangement::setGrid(WallLayout layout) {
    grid = layout;
    cells.resize(static_cast<std::size_t>(cellCount(layout)));
}

std::string cellsText(const WallArrangement& arrangement) {
    std::string text;
    for (std::size_t i = 0; i < arrangement.cells.size(); ++i) {
        if (i > 0) text += ',';
        const auto& cell = arrangement.cells[i];
        text += cell ? std::to_string(*cell + 1) : std::string("-");
    }
    return text;
}

std::optional<std::vector<std::optional<int>>> parseCells(const std::string& text, WallLayout grid) {
    std::vector<std::optional<int>> cells;
    std::string_view rest = text;
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        if (item == "-") {
            cells.emplace_back();
        } else {
            int number = 0;
            const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), number);
            if (error != std::errc() || end != item.data() + item.size() || number < 1 || number > kCameraCount) {
                return std::nullopt;
            }
            if (std::find(cells.begin(), cells.end(), std::optional<int>(number - 1)) != cells.end()) {
                return std::nullopt;
            }
            cells.emplace_back(number - 1);
        }
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (static_cast<int>(cells.size()) != cellCount(grid)) return std::nullopt;
    return cells;
}

} // namespace tavolin
