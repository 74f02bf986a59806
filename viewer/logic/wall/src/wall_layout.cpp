#include "tavolin/wall_layout.h"

#include <algorithm>
#include <array>

namespace tavolin {
namespace {

template <int Span>
constexpr std::array<CellUnits, Span * Span> evenGrid() {
    std::array<CellUnits, Span * Span> cells{};
    for (int i = 0; i < Span * Span; ++i) cells[static_cast<std::size_t>(i)] = {i % Span, i / Span, 1, 1};
    return cells;
}

constexpr auto kSingle = evenGrid<1>();
constexpr auto kGrid2x2 = evenGrid<2>();
constexpr auto kGrid3x3 = evenGrid<3>();
constexpr auto kGrid4x4 = evenGrid<4>();
// The big cell top left, the small ones down its right side and along its foot.
constexpr CellUnits kBigAndFive[] = {{0, 0, 2, 2}, {2, 0, 1, 1}, {2, 1, 1, 1},
                                     {0, 2, 1, 1}, {1, 2, 1, 1}, {2, 2, 1, 1}};
constexpr CellUnits kBigAndSeven[] = {{0, 0, 3, 3}, {3, 0, 1, 1}, {3, 1, 1, 1}, {3, 2, 1, 1},
                                      {0, 3, 1, 1}, {1, 3, 1, 1}, {2, 3, 1, 1}, {3, 3, 1, 1}};
// The big cell in the middle, framed by twelve.
constexpr CellUnits kBigAndTwelve[] = {{1, 1, 2, 2}, {0, 0, 1, 1}, {1, 0, 1, 1}, {2, 0, 1, 1}, {3, 0, 1, 1},
                                       {0, 1, 1, 1}, {3, 1, 1, 1}, {0, 2, 1, 1}, {3, 2, 1, 1}, {0, 3, 1, 1},
                                       {1, 3, 1, 1}, {2, 3, 1, 1}, {3, 3, 1, 1}};

} // namespace

int gridSpan(WallLayout layout) {
    switch (layout) {
    case WallLayout::Single: return 1;
    case WallLayout::Grid2x2: return 2;
    case WallLayout::Grid3x3:
    case WallLayout::BigAndFive: return 3;
    case WallLayout::Grid4x4:
    case WallLayout::BigAndSeven:
    case WallLayout::BigAndTwelve: return 4;
    }
    return 1;
}

std::span<const CellUnits> cellUnits(WallLayout layout) {
    switch (layout) {
    case WallLayout::Single: return kSingle;
    case WallLayout::Grid2x2: return kGrid2x2;
    case WallLayout::Grid3x3: return kGrid3x3;
    case WallLayout::Grid4x4: return kGrid4x4;
    case WallLayout::BigAndFive: return kBigAndFive;
    case WallLayout::BigAndSeven: return kBigAndSeven;
    case WallLayout::BigAndTwelve: return kBigAndTwelve;
    }
    return kSingle;
}

CellBox cellBox(WallLayout layout, int cell, int width, int height) {
    const auto cells = cellUnits(layout);
    if (cell < 0 || cell >= static_cast<int>(cells.size())) return {};
    const CellUnits& u = cells[static_cast<std::size_t>(cell)];
    const int span = gridSpan(layout);
    // Edges at whole fractions of the wall, so that neighbours meet exactly.
    const int left = u.x * width / span;
    const int top = u.y * height / span;
    return {left, top, (u.x + u.width) * width / span - left, (u.y + u.height) * height / span - top};
}

const char* layoutTitle(WallLayout layout) {
    switch (layout) {
    case WallLayout::Single: return "1 Camera";
    case WallLayout::Grid2x2: return "2 x 2";
    case WallLayout::Grid3x3: return "3 x 3";
    case WallLayout::Grid4x4: return "4 x 4";
    case WallLayout::BigAndFive: return "1 Big and 5";
    case WallLayout::BigAndSeven: return "1 Big and 7";
    case WallLayout::BigAndTwelve: return "1 Big and 12";
    }
    return "";
}

std::optional<WallLayout> wallLayoutOfCells(int cells) {
    const auto* found = std::find_if(std::begin(kWallLayouts), std::end(kWallLayouts),
                                     [cells](WallLayout layout) { return cellCount(layout) == cells; });
    if (found == std::end(kWallLayouts)) return std::nullopt;
    return *found;
}

} // namespace tavolin
