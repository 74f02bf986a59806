// Which camera each cell of the wall shows, the page, and the selected cell.
// The wall's cameras are the records with a host, in list order; a page of
// n cells shows the next n of them, and the last page may leave cells empty.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "tavolin/camera_record.h"
#include "tavolin/wall_layout.h"

namespace tavolin {

// Positions of the records the wall shows: those whose host is not blank.
std::vector<int> wallCameras(std::span<const CameraRecord> records);

enum class WallDirection { Left, Right, Up, Down };

class WallGrid {
public:
    // A page outside the pages there are is held to the nearest one.
    WallGrid(std::vector<int> cameras, WallLayout layout, int page);

    WallLayout layout() const { return layout_; }
    int columns() const { return columnCount(layout_); }
    int cells() const { return cellCount(layout_); }
    int page() const { return page_; }
    // At least 1, also without cameras.
    int pageCount() const;

    // The camera position a cell of the shown page holds.
    std::optional<int> cameraAt(int cell) const;
    // The cell of the shown page that holds `position`.
    std::optional<int> cellOf(int position) const;
    // The positions of the shown page, in cell order.
    std::vector<int> shownCameras() const;

    int selectedCell() const { return selected_; }
    std::optional<int> selectedCamera() const { return cameraAt(selected_); }

    // Another layout keeps the selected camera selected, on the page that
    // now holds it.
    void setLayout(WallLayout layout);
    // Moves `step` pages on, wrapping at either end; the selection keeps its
    // cell when that cell holds a camera, else goes to the page's last one.
    // False when there is only one page.
    bool turnPage(int step);
    // Moves the selection one cell; it stops at the grid's edges and never
    // lands on an empty cell. False when it did not move.
    bool moveSelection(WallDirection direction);
    // Selects a cell that holds a camera; false for any other.
    bool select(int cell);

private:
    void keepSelectionOnCamera();

    std::vector<int> cameras_;
    WallLayout layout_;
    int page_ = 0;
    int selected_ = 0;
};

} // namespace tavolin
