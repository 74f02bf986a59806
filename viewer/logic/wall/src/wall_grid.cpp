#include "tavolin/wall_grid.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace tavolin {

std::vector<int> wallCameras(std::span<const CameraRecord> records) {
    std::vector<int> positions;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string_view host = textOf(records[i].host);
        const bool blank = std::all_of(host.begin(), host.end(), [](unsigned char c) { return std::isspace(c); });
        if (!blank) positions.push_back(static_cast<int>(i));
    }
    return positions;
}

WallGrid::WallGrid(std::vector<int> cameras, WallLayout layout, int page)
    : cameras_(std::move(cameras)), layout_(layout), page_(std::clamp(page, 0, pageCount() - 1)) {}

int WallGrid::pageCount() const {
    if (arranged_) return 1;
    const int n = cellCount(layout_);
    return std::max(1, (static_cast<int>(cameras_.size()) + n - 1) / n);
}

std::optional<int> WallGrid::cameraAt(int cell) const {
    if (cell < 0 || cell >= cells()) return std::nullopt;
    if (arranged_) {
        // A camera whose record lost its host shows nowhere.
        const auto position = arranged_->cameraAt(cell);
        if (!position || std::find(cameras_.begin(), cameras_.end(), *position) == cameras_.end()) return std::nullopt;
        return position;
    }
    const std::size_t index = static_cast<std::size_t>(page_ * cells() + cell);
    if (index >= cameras_.size()) return std::nullopt;
    return cameras_[index];
}

std::optional<int> WallGrid::cellOf(int position) const {
    for (int cell = 0; cell < cells(); ++cell) {
        if (cameraAt(cell) == position) return cell;
    }
    return std::nullopt;
}

std::vector<int> WallGrid::shownCameras() const {
    std::vector<int> shown;
    for (int cell = 0; cell < cells(); ++cell) {
        if (auto position = cameraAt(cell)) shown.push_back(*position);
    }
    return shown;
}

void WallGrid::arrange(std::optional<WallArrangement> arrangement) {
    const auto selected = selectedCamera();
    arranged_ = std::move(arrangement);
    const auto cell = selected ? cellOf(*selected) : std::nullopt;
    if (cell) {
        selected_ = *cell;
        return;
    }
    selected_ = 0;
    for (int i = 0; i < cells(); ++i) {
        if (cameraAt(i)) {
            selected_ = i;
            break;
        }
    }
}

void WallGrid::setLayout(WallLayout layout) {
    arranged_.reset();
    const auto selected = selectedCamera();
    const auto it = selected ? std::find(cameras_.begin(), cameras_.end(), *selected) : cameras_.end();
    const int index = it == cameras_.end() ? 0 : static_cast<int>(it - cameras_.begin());
    layout_ = layout;
    page_ = index / cellCount(layout);
    selected_ = index % cellCount(layout);
}

bool WallGrid::turnPage(int step) {
    const int pages = pageCount();
    if (pages == 1) return false;
    page_ = ((page_ + step) % pages + pages) % pages;
    keepSelectionOnCamera();
    return true;
}

bool WallGrid::moveSelection(WallDirection direction) {
    const auto units = cellUnits(layout());
    const CellUnits from = units[static_cast<std::size_t>(selected_)];
    const bool sideways = direction == WallDirection::Left || direction == WallDirection::Right;
    int best = -1;
    int bestGap = 0;
    for (int i = 0; i < static_cast<int>(units.size()); ++i) {
        const CellUnits& to = units[static_cast<std::size_t>(i)];
        const bool shares = sideways ? to.y < from.y + from.height && from.y < to.y + to.height
                                     : to.x < from.x + from.width && from.x < to.x + to.width;
        int gap = -1;
        switch (direction) {
        case WallDirection::Left: gap = from.x - (to.x + to.width); break;
        case WallDirection::Right: gap = to.x - (from.x + from.width); break;
        case WallDirection::Up: gap = from.y - (to.y + to.height); break;
        case WallDirection::Down: gap = to.y - (from.y + from.height); break;
        }
        // The nearest one; of those beside a big cell, the first.
        if (i != selected_ && shares && gap >= 0 && (best < 0 || gap < bestGap)) {
            best = i;
            bestGap = gap;
        }
    }
    return best >= 0 && select(best);
}

bool WallGrid::select(int cell) {
    if (!cameraAt(cell)) return false;
    selected_ = cell;
    return true;
}

void WallGrid::keepSelectionOnCamera() {
    if (cameraAt(selected_)) return;
    const int shown = static_cast<int>(shownCameras().size());
    selected_ = std::max(0, shown - 1);
}

} // namespace tavolin
