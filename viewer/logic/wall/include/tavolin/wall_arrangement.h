// A named layout the user arranged: a grid and the camera each of its cells
// shows, or none. A camera shows in one cell at most, so that it needs one
// stream.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tavolin/wall_layout.h"

namespace tavolin {

struct WallArrangement {
    std::string name;
    WallLayout grid = kDefaultWallLayout;
    // One entry per cell of the grid: a camera position or none.
    std::vector<std::optional<int>> cells;

    bool operator==(const WallArrangement&) const = default;

    // An arrangement of `grid` showing `cameras` in cell order, the cells
    // beyond them empty; cameras beyond the last cell are left out.
    static WallArrangement of(std::string name, WallLayout grid, const std::vector<int>& cameras);

    std::optional<int> cameraAt(int cell) const;
    std::optional<int> cellOf(int position) const;
    // Each changes nothing and returns false for a cell outside the grid.
    bool swap(int cellA, int cellB);
    // Camera `position` goes into `cell`; when it already showed in another
    // cell, that one takes what `cell` held, so no camera shows twice.
    bool put(int position, int cell);
    bool empty(int cell);
    // Another grid keeps the cameras of the cells both grids have.
    void setGrid(WallLayout layout);
};

// The cells as kept in the settings file: camera numbers from 1 and "-" for
// an empty cell, comma-separated ("3,-,1,2").
std::string cellsText(const WallArrangement& arrangement);
// None when the text does not fit the grid: a wrong number of cells, a
// number outside 1..16, a camera twice or anything else.
std::optional<std::vector<std::optional<int>>> parseCells(const std::string& text, WallLayout grid);

} // namespace tavolin
