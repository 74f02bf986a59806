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
    const int n = cells();
    return std::max(1, (static_cast<int>(cameras_.size()) + n - 1) / n);
}

std::optional<int> WallGrid::cameraAt(int cell) const {
    if (cell < 0 || cell >= cells()) return std::nullopt;
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

void WallGrid::setLayout(WallLayout layout) {
    const auto selected = selectedCamera();
    const auto it = selected ? std::find(cameras_.begin(), cameras_.end(), *selected) : cameras_.end();
    const int index = it == cameras_.end() ? 0 : static_cast<int>(it - cameras_.begin());
    layout_ = layout;
    page_ = index / cells();
    selected_ = index % cells();
}

bool WallGrid::turnPage(int step) {
    const int pages = pageCount();
    if (pages == 1) return false;
    page_ = ((page_ + step) % pages + pages) % pages;
    keepSelectionOnCamera();
    return true;
}

bool WallGrid::moveSelection(WallDirection direction) {
    const int n = columns();
    int row = selected_ / n;
    int column = selected_ % n;
    switch (direction) {
    case WallDirection::Left: --column; break;
    case WallDirection::Right: ++column; break;
    case WallDirection::Up: --row; break;
    case WallDirection::Down: ++row; break;
    }
    if (row < 0 || row >= n || column < 0 || column >= n) return false;
    return select(row * n + column);
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
