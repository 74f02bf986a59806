// The wall's grids: one camera, 2x2, 3x3, 4x4 and the spotlight grids with
// one big cell beside five, seven or twelve small ones, named by their cell
// count (the number kept in the settings file). Each grid is a square of
// span x span units; every cell is a rectangle of whole units, the big cell
// first.
#pragma once

#include <optional>
#include <span>

namespace tavolin {

enum class WallLayout {
    Single = 1,
    Grid2x2 = 4,
    BigAndFive = 6,
    BigAndSeven = 8,
    Grid3x3 = 9,
    BigAndTwelve = 13,
    Grid4x4 = 16,
};

inline constexpr WallLayout kDefaultWallLayout = WallLayout::Grid2x2;
inline constexpr WallLayout kWallLayouts[] = {WallLayout::Single,      WallLayout::Grid2x2,    WallLayout::Grid3x3,
                                              WallLayout::Grid4x4,     WallLayout::BigAndFive, WallLayout::BigAndSeven,
                                              WallLayout::BigAndTwelve};

// A cell's place in grid units.
struct CellUnits {
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
    bool operator==(const CellUnits&) const = default;
};

// A cell's place in pixels.
struct CellBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const CellBox&) const = default;
};

inline int cellCount(WallLayout layout) { return static_cast<int>(layout); }
// The side of the grid's square, in units.
int gridSpan(WallLayout layout);
std::span<const CellUnits> cellUnits(WallLayout layout);
// Cell `cell` of `layout` on a wall of width x height pixels: neighbours
// share their edges, and the cells fill the wall without gaps.
CellBox cellBox(WallLayout layout, int cell, int width, int height);
// How the layout is called in menus.
const char* layoutTitle(WallLayout layout);

// The layout of a cell count; none for any other number.
std::optional<WallLayout> wallLayoutOfCells(int cells);

} // namespace tavolin
