#include "tavolin/wall_layout.h"

namespace tavolin {

int columnCount(WallLayout layout) {
    switch (layout) {
    case WallLayout::Single: return 1;
    case WallLayout::Grid2x2: return 2;
    case WallLayout::Grid3x3: return 3;
    case WallLayout::Grid4x4: return 4;
    }
    return 1;
}

std::optional<WallLayout> wallLayoutOfCells(int cells) {
    for (WallLayout layout : {WallLayout::Single, WallLayout::Grid2x2, WallLayout::Grid3x3, WallLayout::Grid4x4}) {
        if (cellCount(layout) == cells) return layout;
    }
    return std::nullopt;
}

} // namespace tavolin
