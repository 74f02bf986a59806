// Which camera each cell of the wall shows, the page, and the selected cell.
// The wall's cameras are the records with a host, in list order; a page of
// n cells shows the next n of them, and the last page may leave cells empty
// ("All cameras"). An arrangement instead shows its own cameras in its own
// cells, on one page.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "tavolin/camera_record.h"
#include "tavolin/wall_arrangement.h"
#include "tavolin/wall_layout.h"

namespace tavolin {

// Positions of the records the wall shows: those whose host is not blank.
std::vector<int> wallCameras(std::span<const CameraRecord> records);

enum class WallDirection { Left, Right, Up, Down };

class WallGrid {
public:
    // A page outside the pages there are is held to the nearest one.
    WallGrid(std::vector<int> cameras, WallLayout layout, int page);

    // The grid shown: the arrangement's while there is one.
    WallLayout layout() const { return arranged_ ? arranged_->grid : layout_; }
    // The grid of "All cameras".
    WallLayout pagedLayout() const { return layout_; }
    int cells() const { return cellCount(layout()); }
    int page() const { return arranged_ ? 0 : page_; }
    // The page of "All cameras", kept while an arrangement shows.
    int pagedPage() const { return page_; }
    // At least 1, also without cameras.
    int pageCount() const;

    // The camera position a cell of the shown page holds.
    std::optional<int> cameraAt(int cell) const;
    // The cell of the shown page that holds `position`.
    std::optional<int> cellOf(int position) const;
    // The positions of the shown page, in cell order.
    std::vector<int> shownCameras() const;

    // Every camera the wall may show, in list order.
    const std::vector<int>& cameras() const { return cameras_; }

    int selectedCell() const { return selected_; }
    std::optional<int> selectedCamera() const { return cameraAt(selected_); }

    // Shows `arrangement` instead of the pages, or the pages again for none.
    // The selected camera stays selected when it is still shown.
    void arrange(std::optional<WallArrangement> arrangement);
    const std::optional<WallArrangement>& arrangement() const { return arranged_; }

    // Another layout of "All cameras" (which it shows again) keeps the selected camera selected, on the page that
    // now holds it.
    void setLayout(WallLayout layout);
    // Moves `step` pages on, wrapping at either end; the selection keeps its
    // cell when that cell holds a camera, else goes to the page's last one.
    // False when there is only one page.
    bool turnPage(int step);
    // Moves the selection to the nearest cell on that side that shares rows
    // (or columns) with it; it stops at the grid's edges and never lands on
    // an empty cell. False when it did not move.
    bool moveSelection(WallDirection direction);
    // Selects a cell that holds a camera; false for any other.
    bool select(int cell);

private:
    void keepSelectionOnCamera();

    std::vector<int> cameras_;
    WallLayout layout_;
    std::optional<WallArrangement> arranged_;
    int page_ = 0;
    int selected_ = 0;
};

} // namespace tavolin
