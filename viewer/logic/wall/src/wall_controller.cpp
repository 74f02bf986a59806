#include "tavolin/wall_controller.h"

#include <algorithm>
#include <utility>

namespace tavolin {

WallController::WallController(std::span<const CameraRecord, kCameraCount> records, WallStreams& streams,
                               const platform::Clock& clock, WallSettings settings)
    : records_(records), streams_(streams), clock_(clock), grid_(wallCameras(records), settings.layout, settings.page),
      arrangements_(std::move(settings.arrangements)), tourSettings_(std::move(settings.tour)), tour_(clock),
      screen_(settings.screen) {
    slots_.reserve(kCameraCount);
    for (int i = 0; i < kCameraCount; ++i) slots_.emplace_back(clock);
    if (settings.shown > 0 && settings.shown < layoutCount()) {
        shownLayout_ = settings.shown;
        grid_.arrange(arrangements_[static_cast<std::size_t>(shownLayout_ - 1)]);
    }
}

WallSettings WallController::settings() const {
    return {grid_.pagedLayout(), grid_.pagedPage(), arrangements_, shownLayout_, tourSettings_, screen_};
}

std::string WallController::layoutName(int number) const {
    if (number == 0) return "All cameras";
    if (number < 0 || number >= layoutCount()) return {};
    return arrangements_[static_cast<std::size_t>(number - 1)].name;
}

bool WallController::showLayout(int number) {
    if (number < 0 || number >= layoutCount()) return false;
    shownLayout_ = number;
    if (number == 0) {
        grid_.arrange(std::nullopt);
    } else {
        grid_.arrange(arrangements_[static_cast<std::size_t>(number - 1)]);
    }
    reconcile();
    return true;
}

int WallController::addArrangement(WallLayout grid) {
    std::vector<int> shown;
    for (int cell = 0; cell < grid_.cells(); ++cell) {
        if (auto position = grid_.cameraAt(cell)) shown.push_back(*position);
    }
    arrangements_.push_back(WallArrangement::of("Layout " + std::to_string(arrangements_.size() + 1), grid, shown));
    showLayout(layoutCount() - 1);
    return shownLayout_;
}

WallArrangement& WallController::arrangementToEdit() {
    if (shownLayout_ == 0) {
        // The page as it shows, empty cells where they are.
        WallArrangement page{"Layout " + std::to_string(arrangements_.size() + 1), grid_.layout(), {}};
        for (int cell = 0; cell < grid_.cells(); ++cell) page.cells.push_back(grid_.cameraAt(cell));
        arrangements_.push_back(std::move(page));
        shownLayout_ = layoutCount() - 1;
    }
    return arrangements_[static_cast<std::size_t>(shownLayout_ - 1)];
}

void WallController::showEdited() {
    grid_.arrange(arrangements_[static_cast<std::size_t>(shownLayout_ - 1)]);
    reconcile();
}

bool WallController::swapCells(int cellA, int cellB) {
    if (cellA == cellB || cellA < 0 || cellB < 0 || cellA >= grid_.cells() || cellB >= grid_.cells()) return false;
    arrangementToEdit().swap(cellA, cellB);
    showEdited();
    return true;
}

bool WallController::putCamera(int position, int cell) {
    const bool known = std::find(grid_.cameras().begin(), grid_.cameras().end(), position) != grid_.cameras().end();
    if (!known || cell < 0 || cell >= grid_.cells() || grid_.cameraAt(cell) == position) return false;
    arrangementToEdit().put(position, cell);
    showEdited();
    return true;
}

bool WallController::emptyCell(int cell) {
    if (!grid_.cameraAt(cell)) return false;
    arrangementToEdit().empty(cell);
    showEdited();
    return true;
}

bool WallController::startTour() {
    std::vector<int> layouts;
    for (const int number : tourSettings_.layouts) {
        if (number >= 0 && number < layoutCount()) layouts.push_back(number);
    }
    if (tourSettings_.layouts.empty()) {
        for (int number = 0; number < layoutCount(); ++number) layouts.push_back(number);
    }
    if (layouts.size() < 2) return false;
    const auto first = tour_.start(std::move(layouts), tourSettings_.seconds * 1000, tourSettings_.holdOnMotion);
    return first && showLayout(*first);
}

bool WallController::interruptTour() {
    if (!tour_.isRunning()) return false;
    tour_.stop();
    return true;
}

bool WallController::motionShown() const {
    for (const int position : grid_.shownCameras()) {
        const auto& now = seen_[static_cast<std::size_t>(position)];
        const auto& last = shown_[static_cast<std::size_t>(position)];
        for (std::size_t region = 0; region < 4; ++region) {
            if (now[region] || last[region]) return true;
        }
    }
    return false;
}

WallController::~WallController() = default;

void WallController::start() {
    running_ = true;
    periodStartMs_ = clock_.nowMs();
    reconcile();
}

void WallController::stop() {
    running_ = false;
    reconcile();
}

WallAction WallController::key(WallKey key) {
    switch (key) {
    case WallKey::One: setLayout(WallLayout::Single); return WallAction::Redraw;
    case WallKey::Four: setLayout(WallLayout::Grid2x2); return WallAction::Redraw;
    case WallKey::Nine: setLayout(WallLayout::Grid3x3); return WallAction::Redraw;
    case WallKey::Sixteen: setLayout(WallLayout::Grid4x4); return WallAction::Redraw;
    case WallKey::PageUp: turnPage(-1); return WallAction::Redraw;
    case WallKey::PageDown: turnPage(1); return WallAction::Redraw;
    case WallKey::Left: return moveSelection(WallDirection::Left);
    case WallKey::Right: return moveSelection(WallDirection::Right);
    case WallKey::Up: return moveSelection(WallDirection::Up);
    case WallKey::Down: return moveSelection(WallDirection::Down);
    // Return is the handheld's action key: on a camera it opens it, on an
    // empty wall it offers the menu, which is the only way on from there.
    case WallKey::Return: return grid_.selectedCamera() ? WallAction::OpenSingle : WallAction::OpenMenu;
    case WallKey::Menu: return WallAction::OpenMenu;
    case WallKey::Escape: return WallAction::Close;
    }
    return WallAction::None;
}

WallAction WallController::moveSelection(WallDirection direction) {
    if (!grid_.moveSelection(direction)) return WallAction::None;
    reconcile(); // the audio follows the selection
    return WallAction::Redraw;
}

void WallController::setLayout(WallLayout layout) {
    if (shownLayout_ > 0) {
        arrangements_[static_cast<std::size_t>(shownLayout_ - 1)].setGrid(layout);
        showEdited();
        return;
    }
    grid_.setLayout(layout);
    reconcile();
}

void WallController::turnPage(int step) {
    if (grid_.turnPage(step)) reconcile();
}

WallAction WallController::click(int cell) {
    if (!grid_.select(cell)) return WallAction::None;
    reconcile();
    return WallAction::OpenSingle;
}

std::optional<int> WallController::openSingleView() {
    single_ = grid_.selectedCamera();
    singleTookOver_ = false;
    reconcile();
    return single_;
}

void WallController::singleViewTookOver() {
    if (!single_ || singleTookOver_) return;
    singleTookOver_ = true;
    reconcile();
}

void WallController::singleViewClosed() {
    single_.reset();
    singleTookOver_ = false;
    reconcile();
}

WallController::Slot* WallController::slotOf(int position) {
    return position >= 0 && position < kCameraCount ? &slots_[position] : nullptr;
}

void WallController::streamConnected(int position) {
    Slot* slot = slotOf(position);
    if (slot && slot->life == Life::Live && slot->phase == Phase::Connecting) slot->phase = Phase::Connected;
}

void WallController::streamFailed(int position, std::string reason) { giveUp(position, std::move(reason)); }

void WallController::streamLost(int position, std::string reason) { giveUp(position, std::move(reason)); }

void WallController::giveUp(int position, std::string reason) {
    Slot* slot = slotOf(position);
    if (!slot || slot->life != Life::Live) return;
    slot->reason = std::move(reason);
    slot->schedule.failed();
    slot->phase = Phase::Waiting;
    slot->life = Life::Closing;
    streams_.close(position);
}

bool WallController::pictureShown(int position) {
    Slot* slot = slotOf(position);
    if (!slot || slot->life != Life::Live || slot->phase == Phase::Showing) return false;
    slot->phase = Phase::Showing;
    slot->schedule.pictureShown();
    slot->reason.clear();
    return true;
}

void WallController::streamClosed(int position) {
    Slot* slot = slotOf(position);
    if (!slot || slot->life == Life::None) return;
    slot->life = Life::None;
    reconcile();
}

void WallController::motion(int position, int region1, int region2, int region3, int region4) {
    if (position < 0 || position >= kCameraCount) return;
    WallIndicators& seen = seen_[static_cast<std::size_t>(position)];
    const int regions[] = {region1, region2, region3, region4};
    for (std::size_t i = 0; i < 4; ++i) seen[i] = seen[i] || regions[i] != 0;
}

void WallController::input(int position, int input1, int input2) {
    if (position < 0 || position >= kCameraCount) return;
    WallIndicators& seen = seen_[static_cast<std::size_t>(position)];
    seen[4] = seen[4] || input1 != 0;
    seen[5] = seen[5] || input2 != 0;
}

WallAction WallController::tick() {
    reconcile();
    endEventPeriodIfDue();
    const auto next = tour_.due(motionShown());
    return next && showLayout(*next) ? WallAction::Redraw : WallAction::None;
}

void WallController::endEventPeriodIfDue() {
    const int64_t now = clock_.nowMs();
    if (!running_ || now - periodStartMs_ < kEventPeriodMs) return;
    periodStartMs_ = now;
    shown_ = seen_;
    for (WallIndicators& seen : seen_) seen.fill(false);
}

bool WallController::wanted(int position) const {
    return running_ && (position != single_ || !singleTookOver_) && grid_.cellOf(position).has_value();
}

bool WallController::audible(int position) const {
    return running_ && !single_ && grid_.selectedCamera() == position && records_[position].playAudio != 0;
}

void WallController::reconcile() {
    for (int position = 0; position < kCameraCount; ++position) {
        Slot& slot = slots_[position];
        if (!wanted(position)) {
            if (slot.life == Life::Live) {
                slot.life = Life::Closing;
                streams_.close(position);
            }
            // A camera waiting to reconnect keeps its schedule when it leaves the
            // page, so paging back and forth never brings an attempt forward.
            if (slot.phase != Phase::Waiting) slot.phase = Phase::Idle;
            continue;
        }
        const bool mayOpen = slot.phase == Phase::Idle || (slot.phase == Phase::Waiting && slot.schedule.due());
        if (slot.life == Life::None && mayOpen) {
            slot.life = Life::Live;
            slot.phase = Phase::Connecting;
            slot.audio = audible(position);
            streams_.open(position, slot.audio);
        } else if (slot.life == Life::Live && slot.audio != audible(position)) {
            slot.audio = !slot.audio;
            streams_.setAudio(position, slot.audio);
        }
    }
}

CellStatus WallController::cellStatus(int cell) const {
    CellStatus status;
    status.position = grid_.cameraAt(cell);
    status.selected = cell == grid_.selectedCell() && status.position.has_value();
    if (!status.position) return status;
    const auto position = static_cast<std::size_t>(*status.position);
    if (records_[position].showEvents != 0) status.indicators = shown_[position];
    const Slot& slot = slots_[position];
    if (slot.phase != Phase::Showing) status.reason = slot.reason;
    switch (slot.phase) {
    case Phase::Idle:
    case Phase::Connecting: status.state = CellState::Connecting; break;
    case Phase::Connected: status.state = CellState::NoPicture; break;
    case Phase::Showing: status.state = CellState::Showing; break;
    case Phase::Waiting:
        status.secondsLeft = slot.schedule.secondsUntilAttempt();
        status.state = status.secondsLeft > 0 ? CellState::Reconnecting : CellState::Connecting;
        break;
    }
    return status;
}

bool WallController::hasStream(int position) const {
    return position >= 0 && position < kCameraCount && slots_[position].life != Life::None;
}

} // namespace tavolin
