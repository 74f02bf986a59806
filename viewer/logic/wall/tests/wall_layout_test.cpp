// The grids' cells as rectangles, and moving the selection across them.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "tavolin/wall_grid.h"
#include "tavolin/wall_layout.h"

namespace tavolin {
namespace {

TEST(WallLayoutTest, CellsSitWhereTheTableSays) {
    struct Case {
        WallLayout layout;
        int cell;
        CellBox box; // on a wall of 1280 x 720
    };
    const Case cases[] = {
        {WallLayout::Single, 0, {0, 0, 1280, 720}},          {WallLayout::Grid2x2, 3, {640, 360, 640, 360}},
        {WallLayout::Grid3x3, 4, {426, 240, 427, 240}},      {WallLayout::Grid4x4, 15, {960, 540, 320, 180}},
        {WallLayout::BigAndFive, 0, {0, 0, 853, 480}},       {WallLayout::BigAndFive, 2, {853, 240, 427, 240}},
        {WallLayout::BigAndFive, 3, {0, 480, 426, 240}},     {WallLayout::BigAndSeven, 0, {0, 0, 960, 540}},
        {WallLayout::BigAndSeven, 7, {960, 540, 320, 180}},  {WallLayout::BigAndTwelve, 0, {320, 180, 640, 360}},
        {WallLayout::BigAndTwelve, 6, {960, 180, 320, 180}}, {WallLayout::BigAndSeven, 8, {}}, // no such cell
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << cellCount(c.layout) << " cell " << c.cell);
        EXPECT_EQ(cellBox(c.layout, c.cell, 1280, 720), c.box);
    }
}

TEST(WallLayoutTest, EveryGridCoversTheWallOnceWithItsCellCount) {
    constexpr int kWidth = 1001;
    constexpr int kHeight = 701;
    for (const WallLayout layout : kWallLayouts) {
        SCOPED_TRACE(cellCount(layout));
        ASSERT_EQ(static_cast<int>(cellUnits(layout).size()), cellCount(layout));
        std::vector<int> covered(kWidth * kHeight, 0);
        for (int cell = 0; cell < cellCount(layout); ++cell) {
            const CellBox b = cellBox(layout, cell, kWidth, kHeight);
            for (int y = b.top; y < b.top + b.height; ++y) {
                for (int x = b.left; x < b.left + b.width; ++x) ++covered[static_cast<std::size_t>(y * kWidth + x)];
            }
        }
        EXPECT_TRUE(std::all_of(covered.begin(), covered.end(), [](int n) { return n == 1; }));
        EXPECT_EQ(wallLayoutOfCells(cellCount(layout)), layout);
    }
    EXPECT_EQ(wallLayoutOfCells(5), std::nullopt);
}

TEST(WallLayoutTest, TheSelectionMovesToTheNearestCellOnThatSide) {
    struct Case {
        WallLayout layout;
        int from;
        WallDirection direction;
        int to; // -1: it stays
    };
    const Case cases[] = {
        {WallLayout::Grid3x3, 4, WallDirection::Left, 3},
        {WallLayout::Grid3x3, 3, WallDirection::Left, -1},
        {WallLayout::Grid3x3, 1, WallDirection::Down, 4},
        {WallLayout::BigAndFive, 0, WallDirection::Right, 1}, // beside the big cell: the first
        {WallLayout::BigAndFive, 2, WallDirection::Left, 0},
        {WallLayout::BigAndFive, 0, WallDirection::Down, 3},
        {WallLayout::BigAndTwelve, 2, WallDirection::Down, 0},
        {WallLayout::BigAndTwelve, 0, WallDirection::Up, 2},
        {WallLayout::BigAndTwelve, 5, WallDirection::Right, 0},
    };
    std::vector<int> sixteen(16);
    std::iota(sixteen.begin(), sixteen.end(), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << cellCount(c.layout) << " from " << c.from);
        WallGrid grid(sixteen, c.layout, 0);
        ASSERT_TRUE(grid.select(c.from));
        EXPECT_EQ(grid.moveSelection(c.direction), c.to >= 0);
        EXPECT_EQ(grid.selectedCell(), c.to >= 0 ? c.to : c.from);
    }
}

} // namespace
} // namespace tavolin
