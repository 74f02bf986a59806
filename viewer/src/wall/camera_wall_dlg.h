// The camera wall: a full-screen grid of cells, each over its own camera's
// stream. Keys 1, 4, 9 and 6 choose 1, 2x2, 3x3 and 4x4; PageUp/PageDown and
// a swipe turn the page; arrows move the selection; a click or Return opens
// the single live view of that camera over the wall, modal to it, and the
// wall comes back with its other streams still running. The right button, a
// held touch and the Menu key open its popup menu; Escape leaves once every
// stream has closed. Ctrl+1..9 show the named layouts (Ctrl+1 "All
// cameras"); a drag from one cell onto another swaps them, C shows the list
// of cameras to drag into a cell, Delete empties the selected cell. The
// wall goes on the screen it was moved to, and the single view then on
// another. What happens is the WallController's; the window lays out the
// cells and passes input on.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "capture/capture_config.h"
#include "live/live_stream.h"
#include "live/record_changes.h"
#include "live/view_handover.h"
#include "playback/playback_runner.h"
#include "platform/clock.h"
#include "tavolin/camera_record.h"
#include "tavolin/wall_controller.h"
#include "tavolin/wall_pointer.h"

class QMenu;
class QScreen;

namespace tavolin::ui {

class CaptureSet;
class DigitalZoom;
class Shell;
class StreamCatalogues;
class VideoSurface;
class WallCameraList;
class WallCell;
class WallStreamSet;

class CameraWallDlg final : public QDialog {
    Q_OBJECT

public:
    using Records = std::array<CameraRecord*, kCameraCount>;
    using StreamFactory = std::function<std::unique_ptr<LiveStream>(const StreamSettings& settings)>;
    using SingleViewClosed = std::function<void(const LiveViewChanges& changed)>;
    // Opens the single live view of `position` over `parent`, modal to it,
    // taking the camera over from its cell by `handover`, and calls `closed`
    // with what it changed once it has closed.
    using SingleViewRunner =
        std::function<void(int position, QWidget* parent, ViewHandover handover, SingleViewClosed closed)>;

    static constexpr int kTickMs = 200;

    // Works on copies of the records; what the single view changed is
    // collected in changes().
    // With `capture` the menu offers Snapshot and Record for the selected
    // cell's camera, and a cell shows a red mark while its camera records.
    // `catalogues` tells each camera's streams (the wall keeps its own when
    // none is given).
    CameraWallDlg(const Records& records, WallSettings settings, StreamFactory streams, SingleViewRunner singleView,
                  Shell& shell, const platform::Clock& clock, QWidget* parent = nullptr,
                  std::optional<CaptureConfig> capture = std::nullopt, StreamCatalogues* catalogues = nullptr);
    ~CameraWallDlg() override;

    WallSettings settings() const { return controller_->settings(); }
    const LiveViewChanges& changes() const { return changes_; }
    const WallController& controller() const { return *controller_; }
    WallCell* cell(int index) const { return cells_[static_cast<std::size_t>(index)]; }
    QMenu* menu() const { return menu_; }
    CaptureSet* captures() const { return captures_; }
    // Streams open or still closing.
    int streamCount() const;

    // What a key does, as if pressed.
    void press(WallKey key);
    // Shows layout `number` (0: "All cameras").
    void showLayout(int number);
    // Puts the wall on screen `index` of the application's screens.
    void moveToScreen(int index);
    WallCameraList* cameraList() const { return cameraList_; }
    void toggleCameraList();

    void setVisible(bool visible) override;
    // Offers Playback of the selected cell's camera in the menu, opened over
    // the wall, whose streams go on.
    void offerPlayback(PlaybackOpener open);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;
    void reject() override;

private:
    void buildMenu();
    void fillLayoutsMenu();
    void fillScreensMenu();
    // Goes full screen on the screen chosen for it, and follows screens
    // that come, go or change size.
    void placeOnScreen();
    void watchScreen(QScreen* screen);
    // The single view opens on a screen of its own: the wall keeps painting.
    bool singleViewCoversWall() const { return controller_->singleView() && singleScreen_ == nullptr; }
    // The part of the window the cells fill (the camera list takes the rest).
    QRect wallArea() const;
    void start();
    void act(WallAction action);
    void openSingleView();
    void singleViewClosed(int position, const LiveViewChanges& changed);
    // Input goes to the wall only while it runs and is in front.
    bool takesInput() const { return controller_->isRunning() && !controller_->singleView(); }
    void finish();
    void repaintNewPictures();
    void layoutCells();
    void refreshCells();
    int cellAt(QPoint point) const;
    // Changes the digital zoom of the cell at `index` with `change`, given
    // where `at` (a point of the wall) lies on its picture; a change is shown
    // and may switch the cell's stream.
    void zoomCell(int index, QPoint at, const std::function<bool(DigitalZoom&, QPointF share)>& change);
    // Moves the zoomed part of the cell being dragged with the pointer.
    void panTo(QPoint at);

    Shell& shell_;
    std::array<CameraRecord, kCameraCount> records_{};
    SingleViewRunner singleView_;
    LiveViewChanges changes_{};
    WallStreamSet* streams_ = nullptr; // a child
    std::unique_ptr<WallController> controller_;
    std::array<WallCell*, kCameraCount> cells_{};
    WallPointer pointer_;
    // A drag in a zoomed cell (the left or the middle button) moves its part
    // shown instead of turning the page.
    int panCell_ = -1;
    QPoint panFrom_;
    bool panned_ = false;
    QMenu* menu_ = nullptr;
    QMenu* layoutsMenu_ = nullptr;
    QMenu* screensMenu_ = nullptr;
    WallCameraList* cameraList_ = nullptr; // a child
    // The cell a left-button drag began on, or -1.
    int dragFrom_ = -1;
    QScreen* singleScreen_ = nullptr; // while the single view is on another screen
    QAction* playbackItem_ = nullptr; // hidden until offered
    PlaybackOpener openPlayback_;
    QTimer tick_;
    QTimer frames_; // repaints the cells with new pictures, once per screen refresh
    bool started_ = false;
    CaptureSet* captures_ = nullptr; // a child
    // The cameras' streams when none were given. It goes before the
    // children, which only let go of it then.
    std::unique_ptr<StreamCatalogues> ownCatalogues_;
    bool layingOut_ = false;
    // The single view's last picture, for its camera's cell until the
    // cell's own stream shows one.
    std::shared_ptr<VideoSurface> singleViewPicture_;
};

} // namespace tavolin::ui
