// The wall's logic without widgets: the grid and its pages, the keys, which
// cameras' streams run (those of the shown page, except the one the single
// live view has taken over), each camera reconnecting on its own schedule,
// audio from the selected cell alone, and the motion and input indicators
// each cell shows for a second. The widget layer feeds it input, stream news
// and a tick, and draws the cells from cellStatus().
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "tavolin/camera_record.h"
#include "tavolin/reconnect_schedule.h"
#include "tavolin/wall_grid.h"
#include "tavolin/wall_settings.h"
#include "tavolin/wall_streams.h"
#include "tavolin/wall_tour.h"

namespace tavolin {

enum class WallKey { One, Four, Nine, Sixteen, PageUp, PageDown, Left, Right, Up, Down, Return, Menu, Escape };

// What the widget layer does after an input.
enum class WallAction {
    None,       // nothing changed
    Redraw,     // the grid, page or selection changed
    OpenSingle, // show the selected camera in the single live view
    OpenMenu,   // the wall's popup menu
    Close,      // leave the wall
};

enum class CellState {
    Empty,        // no camera in this cell
    Connecting,   // an attempt is under way (or about to start)
    NoPicture,    // connected, no picture yet
    Showing,      // pictures come
    Reconnecting, // waiting secondsLeft before the next attempt
};

// MD1, MD2, MD3, MD4, DI1, DI2.
inline constexpr int kWallIndicatorCount = 6;
using WallIndicators = std::array<bool, kWallIndicatorCount>;

struct CellStatus {
    std::optional<int> position;
    CellState state = CellState::Empty;
    int secondsLeft = 0;
    bool selected = false;
    // What the last event period saw, for a camera that shows its events.
    WallIndicators indicators{};
    // Why the camera's last attempt failed or its connection was lost, until
    // its pictures come again; empty when nobody said.
    std::string reason;
    bool operator==(const CellStatus&) const = default;
};

class WallController {
public:
    // An event that lasts less than this still shows for one period.
    static constexpr int kEventPeriodMs = 1000;

    WallController(std::span<const CameraRecord, kCameraCount> records, WallStreams& streams,
                   const platform::Clock& clock, WallSettings settings);
    ~WallController();
    WallController(const WallController&) = delete;
    WallController& operator=(const WallController&) = delete;

    // Opens the streams of the shown page and starts the event period;
    // stop() closes every stream.
    void start();
    void stop();
    bool isRunning() const { return running_; }

    WallAction key(WallKey key);
    // The shown layout's grid: "All cameras" pages by it; an arrangement
    // keeps the cameras of the cells both grids have.
    void setLayout(WallLayout layout);

    // Layouts by number: 0 is "All cameras", n the arrangement n - 1.
    int layoutCount() const { return 1 + static_cast<int>(arrangements_.size()); }
    int shownLayout() const { return shownLayout_; }
    std::string layoutName(int number) const;
    const std::vector<WallArrangement>& arrangements() const { return arrangements_; }
    // Shows layout `number`. Cameras shown before and after keep their
    // streams, wherever their cells are now. False for no such layout.
    bool showLayout(int number);
    // A new arrangement of `grid` holding the cameras shown now, in cell
    // order, shown at once; returns its number.
    int addArrangement(WallLayout grid);

    // Arranging the cells. On "All cameras" the change goes to a new
    // arrangement of the shown page, so the list's order stays as it is.
    // Each is false when it changed nothing.
    bool swapCells(int cellA, int cellB);
    // Puts camera `position` in `cell`; when it showed elsewhere the two
    // cells swap.
    bool putCamera(int position, int cell);
    bool emptyCell(int cell);

    // Cycles through the tour's layouts (every layout when it names none);
    // false when there are fewer than two.
    bool startTour();
    bool isTouring() const { return tour_.isRunning(); }
    // Any key or click: stops a running tour and is used up by that (true).
    bool interruptTour();
    // A shown camera saw motion in this event period or the last one.
    bool motionShown() const;
    // The screen the user put the wall on, kept in the settings.
    void setScreen(int screen) { screen_ = screen; }
    void turnPage(int step);
    // A click on a cell: selects it; OpenSingle when it holds a camera.
    WallAction click(int cell);

    // The single live view takes the selected camera: the wall's audio stops
    // and, once the single view shows its own picture (singleViewTookOver),
    // the cell's stream closes (one shown connection per camera); until then
    // the single view shows the cell's picture. The other streams keep
    // running. singleViewClosed() gives the camera back. Returns the camera
    // taken, none when the selected cell is empty.
    std::optional<int> openSingleView();
    void singleViewTookOver();
    void singleViewClosed();
    // The camera the single live view shows, none while the wall is in front.
    std::optional<int> singleView() const { return single_; }

    // News from the stream of camera `position`.
    void streamConnected(int position);
    void streamFailed(int position, std::string reason = {});
    void streamLost(int position, std::string reason = {});
    // True when this picture changed what the cell shows (the first one).
    bool pictureShown(int position);
    void streamClosed(int position);
    // Motion in regions 1 to 4 and the two inputs, as the stream reports them.
    void motion(int position, int region1, int region2, int region3, int region4);
    void input(int position, int input1, int input2);

    // Starts the reconnects that became due, ends an event period that is
    // over and moves the tour on; call it every few hundred ms. Redraw when
    // the tour showed another layout.
    WallAction tick();

    CellStatus cellStatus(int cell) const;
    const WallGrid& grid() const { return grid_; }
    WallSettings settings() const;
    // True while camera `position` has a stream that is not closed yet.
    bool hasStream(int position) const;

private:
    enum class Phase { Idle, Connecting, Connected, Showing, Waiting };
    enum class Life { None, Live, Closing };
    struct Slot {
        explicit Slot(const platform::Clock& clock) : schedule(clock) {}
        Phase phase = Phase::Idle;
        Life life = Life::None;
        bool audio = false;
        ReconnectSchedule schedule;
        std::string reason;
    };

    WallAction moveSelection(WallDirection direction);
    // Null for a position outside the list.
    Slot* slotOf(int position);
    bool wanted(int position) const;
    bool audible(int position) const;
    void giveUp(int position, std::string reason);
    // Opens and closes streams until the running ones are the wanted ones,
    // and gives audio to the one that should have it.
    void reconcile();

    void endEventPeriodIfDue();
    // Makes the shown layout an arrangement (a new one for "All cameras").
    WallArrangement& arrangementToEdit();
    void showEdited();

    std::span<const CameraRecord, kCameraCount> records_;
    WallStreams& streams_;
    const platform::Clock& clock_;
    WallGrid grid_;
    std::vector<Slot> slots_;
    bool running_ = false;
    std::optional<int> single_;
    bool singleTookOver_ = false;
    // Events seen in this period, and those of the last one, per camera.
    std::array<WallIndicators, kCameraCount> seen_{};
    std::array<WallIndicators, kCameraCount> shown_{};
    int64_t periodStartMs_ = 0;
    std::vector<WallArrangement> arrangements_;
    int shownLayout_ = 0;
    WallTourSettings tourSettings_;
    WallTour tour_;
    int screen_ = -1;
};

} // namespace tavolin
