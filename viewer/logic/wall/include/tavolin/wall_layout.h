// The wall's grids: one camera, 2x2, 3x3 or 4x4, named by their cell count
// (the number kept in the settings file).
#pragma once

#include <optional>

namespace tavolin {

enum class WallLayout { Single = 1, Grid2x2 = 4, Grid3x3 = 9, Grid4x4 = 16 };

inline constexpr WallLayout kDefaultWallLayout = WallLayout::Grid2x2;

inline int cellCount(WallLayout layout) { return static_cast<int>(layout); }
int columnCount(WallLayout layout);

// The layout of a cell count; none for any other number.
std::optional<WallLayout> wallLayoutOfCells(int cells);

} // namespace tavolin
