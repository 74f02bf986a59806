// The live view: one camera's video over the whole screen. The window only
// draws and passes input on: what happens is LiveViewController's, and the
// stream is a CameraStream the controller opens for each camera. The stream
// client's render thread draws into the view's window surface. The view is
// opened modal to the window under it; it finishes once its stream is closed.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "capture/capture_config.h"
#include "live/aim_overlay.h"
#include "live/live_menu.h"
#include "live/live_view_controller.h"
#include "live/live_view_display.h"
#include "live/shown_picture.h"
#include "live/view_handover.h"
#include "playback/playback_runner.h"
#include "live/zoom_factor_label.h"
#include "tavolin/camera_record.h"
#include "widgets/b_dialog.h"
#include "widgets/color_static.h"

namespace tavolin::ui {

class CaptureSet;
class Shell;
class StreamCatalogues;
class SurfacePool;

class CWideVideoDlg : public CBDialog, private LiveViewDisplay {
    Q_OBJECT

public:
    static constexpr int kArrowCount = kPtzSectorCount;

    // `records` are the 16 records of the camera list (the view works on
    // copies; changes() says what it changed), `position` the camera to show
    // first. With `capture` it offers Snapshot and Record (keys S and R, and
    // the menu). Each camera's streams are told by `catalogues` (the view
    // keeps its own when none is given). The view initialises itself and
    // opens the stream when it is shown.
    CWideVideoDlg(const std::array<CameraRecord*, kCameraCount>& records, int position, Shell& shell,
                  QWidget* parent = nullptr, std::optional<CaptureConfig> capture = std::nullopt,
                  StreamCatalogues* catalogues = nullptr);
    ~CWideVideoDlg() override;

    // What happens in the view; the demo and tests drive it here.
    LiveViewController& controller() { return *controller_; }
    QSize measuredScreen() const { return screen_; }

    LiveMenu& menu() { return *menu_; }
    QLabel* indicator(LiveViewController::Indicator which) const { return indicators_[which]; }
    QLabel* arrow(int sector) const { return arrows_[static_cast<std::size_t>(sector - 1)]; }
    const AimOverlay& aimOverlay() const { return *aimOverlay_; }
    CColorStatic* nameLabel() const { return nameLabel_; }
    CColorStatic* reconnectingLabel() const { return reconnectingLabel_; }
    // The red mark while the camera records; null without capture.
    QLabel* recordingMark() const { return recordingMark_; }
    CaptureSet* captures() const { return captures_; }
    QProgressBar* progressBar() const { return progressBar_; }
    // The pictures the view shows (of every stream it showed).
    const ShownPicture& videoSurface() const { return shown_; }
    // The start camera as another view showed it, until this one's own
    // first picture; before the view is shown.
    void takeOver(ViewHandover handover);

    void setVisible(bool visible) override;
    // Offers Playback of the shown camera in the menu, opened over the view;
    // the view's stream goes on whatever playback does.
    void offerPlayback(PlaybackOpener open);

public slots:
    void reject() override;
    // The dialog's OK command is the action key; it never closes the view.
    void accept() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    void initialiseView();
    void createChildren();
    void connectMenu();
    // The handed-over picture is no longer needed; `tell` tells the view
    // left behind (once).
    void releaseHandover(bool tell);

    // LiveViewDisplay
    void setBackground(Background background) override;
    void clearVideo() override;
    void setPictureFit(PictureFit fit) override;
    void showReconnecting(bool shown) override;
    void setProgressVisible(bool visible) override;
    void setProgress(int value, int maximum) override;
    void setNameText(const QString& text) override;
    void setNameVisible(bool visible) override;
    void showIndicators(const IndicatorStates& shown) override;
    void showArrow(PtzSector sector, QPoint at) override;
    void hideArrow(PtzSector sector) override;
    void showMenuState(const LiveMenuState& state) override;
    void openMenu() override;
    void ask(const Prompt& prompt, PromptAnswered answered) override;
    void setOrientation(int degrees) override;
    void showRecording(bool shown) override;
    void finish() override;
    void showZoom(double factor) override;
    void showNote(const QString& line) override;
    std::optional<aim::GrayPicture> pictureSample() override;
    void showAimTarget(QRect target) override;
    void showAimBox(std::optional<QRect> box) override;

    // Where the zoom keys zoom around: the pointer when it is over the view.
    QPoint zoomCentre() const;

    Shell& shell_;
    int startPosition_;
    QSize screen_;
    std::unique_ptr<LiveViewController> controller_;

    std::array<QLabel*, kIndicatorCount> indicators_{};
    std::array<QLabel*, kArrowCount> arrows_{};
    CColorStatic* nameLabel_ = nullptr;
    CColorStatic* reconnectingLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    std::unique_ptr<LiveMenu> menu_;
    ZoomFactorLabel* zoomLabel_ = nullptr;
    ZoomFactorLabel* noteLabel_ = nullptr;
    std::unique_ptr<AimOverlay> aimOverlay_;
    std::optional<QPoint> middleFrom_; // the middle button moves the zoomed part
    std::unique_ptr<StreamCatalogues> ownCatalogues_;
    StreamCatalogues* catalogues_ = nullptr;
    ShownPicture shown_;
    // Declared after what it shows into: its surfaces go first.
    std::unique_ptr<SurfacePool> surfaces_;
    bool keepAspect_ = false; // as the surfaces draw: bars beside the picture
    ViewHandover handover_;
    QTimer handoverFrames_; // repaints the handed-over picture as it changes
    bool initialised_ = false;
    CaptureSet* captures_ = nullptr; // a child
    QLabel* recordingMark_ = nullptr;
};

} // namespace tavolin::ui
