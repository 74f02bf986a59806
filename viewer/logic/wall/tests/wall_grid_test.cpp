// Cell assignment, pages, layouts and the selection, without widgets.
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <optional>
#include <vector>

#include "tavolin/wall_grid.h"

namespace tavolin {
namespace {

std::vector<int> firstCameras(int n) {
    std::vector<int> cameras(n);
    std::iota(cameras.begin(), cameras.end(), 0);
    return cameras;
}

TEST(WallGridTest, CamerasAreTheRecordsWithAHostInListOrder) {
    std::array<CameraRecord, kCameraCount> records{};
    for (int i = 0; i < kCameraCount; ++i) records[i] = defaultCameraRecord(i);
    setText(records[1].host, "");
    setText(records[4].host, "   ");
    setText(records[15].host, "");
    EXPECT_EQ(wallCameras(records), (std::vector<int>{0, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
}

TEST(WallGridTest, PagesHoldTheNextCamerasAndTheLastMayLeaveCellsEmpty) {
    struct Case {
        int cameras;
        WallLayout layout;
        int storedPage;
        int pages;
        int page;
        std::vector<int> shown;
    };
    const std::vector<int> ten = {0, 1, 3, 4, 6, 7, 9, 11, 12, 15}; // positions with a host
    const Case cases[] = {
        {10, WallLayout::Grid2x2, 0, 3, 0, {0, 1, 3, 4}},
        {10, WallLayout::Grid2x2, 2, 3, 2, {12, 15}},
        {10, WallLayout::Grid2x2, 7, 3, 2, {12, 15}}, // a page beyond the last
        {10, WallLayout::Grid4x4, 1, 1, 0, ten},
        {10, WallLayout::Single, 9, 10, 9, {15}},
        {0, WallLayout::Grid2x2, 3, 1, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(cellCount(c.layout) * 100 + c.storedPage);
        WallGrid grid(std::vector<int>(ten.begin(), ten.begin() + c.cameras), c.layout, c.storedPage);
        EXPECT_EQ(grid.pageCount(), c.pages);
        EXPECT_EQ(grid.page(), c.page);
        EXPECT_EQ(grid.shownCameras(), c.shown);
        EXPECT_EQ(grid.cameraAt(static_cast<int>(c.shown.size())), std::nullopt);
    }
}

TEST(WallGridTest, PagesWrapAndTheSelectionFollowsTheCameraAcrossLayouts) {
    WallGrid grid(firstCameras(10), WallLayout::Grid4x4, 0);
    ASSERT_TRUE(grid.select(9));
    grid.setLayout(WallLayout::Grid2x2);
    EXPECT_EQ(grid.page(), 2);
    EXPECT_EQ(grid.selectedCell(), 1);
    grid.setLayout(WallLayout::Grid3x3);
    EXPECT_EQ(grid.page(), 1);
    EXPECT_EQ(grid.selectedCamera(), 9);
    ASSERT_TRUE(grid.turnPage(1));
    EXPECT_EQ(grid.page(), 0);
    EXPECT_EQ(grid.selectedCamera(), 0);
    ASSERT_TRUE(grid.select(7));
    ASSERT_TRUE(grid.turnPage(-1));
    EXPECT_EQ(grid.selectedCamera(), 9) << "the last page's only camera";
    EXPECT_FALSE(WallGrid(firstCameras(3), WallLayout::Grid2x2, 0).turnPage(1));
}

TEST(WallGridTest, ArrowsMoveWithinTheGridAndNeverOntoAnEmptyCell) {
    struct Case {
        int from;
        WallDirection direction;
        std::optional<int> to; // none: stays
    };
    // 3x3 with seven cameras: cells 0..6 hold one, 7 and 8 are empty.
    const Case cases[] = {
        {4, WallDirection::Left, 3},  {4, WallDirection::Right, 5},  {4, WallDirection::Up, 1},
        {4, WallDirection::Down, {}}, {3, WallDirection::Down, 6},   {0, WallDirection::Left, {}},
        {0, WallDirection::Up, {}},   {2, WallDirection::Right, {}}, {6, WallDirection::Right, {}},
        {6, WallDirection::Down, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from * 10 + static_cast<int>(c.direction));
        WallGrid grid(firstCameras(7), WallLayout::Grid3x3, 0);
        ASSERT_TRUE(grid.select(c.from));
        EXPECT_EQ(grid.moveSelection(c.direction), c.to.has_value());
        EXPECT_EQ(grid.selectedCell(), c.to.value_or(c.from));
    }
    WallGrid grid(firstCameras(7), WallLayout::Grid3x3, 0);
    EXPECT_FALSE(grid.select(8));
    EXPECT_EQ(grid.selectedCell(), 0);
}

} // namespace
} // namespace tavolin
