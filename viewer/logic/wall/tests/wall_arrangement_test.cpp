// Arranged layouts: editing their cells and their text in the settings file.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tavolin/wall_arrangement.h"

namespace tavolin {
namespace {

using Cells = std::vector<std::optional<int>>;
constexpr std::nullopt_t kEmpty = std::nullopt;

TEST(WallArrangementTest, EditsKeepEachCameraInOneCell) {
    enum class Edit { Swap, Put, Empty };
    struct Case {
        const char* what;
        Edit edit;
        int a;
        int b;
        bool changed;
        Cells after;
    };
    const Cells before{0, 1, kEmpty, 3};
    const Case cases[] = {
        {"swap two cameras", Edit::Swap, 0, 3, true, {3, 1, kEmpty, 0}},
        {"swap with an empty cell", Edit::Swap, 1, 2, true, {0, kEmpty, 1, 3}},
        {"swap outside the grid", Edit::Swap, 1, 4, false, before},
        {"put a new camera in an empty cell", Edit::Put, 7, 2, true, {0, 1, 7, 3}},
        {"put a new camera over another", Edit::Put, 7, 0, true, {7, 1, kEmpty, 3}},
        {"put a shown camera elsewhere", Edit::Put, 3, 0, true, {3, 1, kEmpty, 0}},
        {"put into no cell", Edit::Put, 7, -1, false, before},
        {"put no camera", Edit::Put, 16, 2, false, before},
        {"empty a cell", Edit::Empty, 1, 0, true, {0, kEmpty, kEmpty, 3}},
        {"empty outside the grid", Edit::Empty, 9, 0, false, before},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WallArrangement arrangement{"Gate", WallLayout::Grid2x2, before};
        bool changed = false;
        switch (c.edit) {
        case Edit::Swap: changed = arrangement.swap(c.a, c.b); break;
        case Edit::Put: changed = arrangement.put(c.a, c.b); break;
        case Edit::Empty: changed = arrangement.empty(c.a); break;
        }
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(arrangement.cells, c.after);
    }
}

TEST(WallArrangementTest, AnotherGridKeepsTheCellsBothHave) {
    WallArrangement arrangement = WallArrangement::of("Yard", WallLayout::Grid2x2, {4, 5, 6, 7});
    arrangement.setGrid(WallLayout::BigAndFive);
    EXPECT_EQ(arrangement.cells, (Cells{4, 5, 6, 7, kEmpty, kEmpty}));
    arrangement.setGrid(WallLayout::Single);
    EXPECT_EQ(arrangement.cells, Cells{4});
}

TEST(WallArrangementTest, CellsTextReadsBackOrIsRefused) {
    const WallArrangement arrangement{"Gate", WallLayout::Grid2x2, {2, kEmpty, 0, 15}};
    EXPECT_EQ(cellsText(arrangement), "3,-,1,16");
    EXPECT_EQ(parseCells("3,-,1,16", WallLayout::Grid2x2), arrangement.cells);
    for (const char* bad :
         {"", "1,2,3", "1,2,3,4,5", "1,2,2,4", "0,1,2,3", "1,2,3,17", "1,2,x,4", "1,2,3,4,", "1, 2,3,4", "-1,2,3,4"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(parseCells(bad, WallLayout::Grid2x2), std::nullopt);
    }
}

} // namespace
} // namespace tavolin
