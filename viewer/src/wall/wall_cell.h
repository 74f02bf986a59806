// One cell of the camera wall: it paints the picture surface of its camera's
// stream (aspect kept), the camera's name, the event indicators and the
// cell's state over it. Input goes to the wall, not to the cell.
#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

#include "live/digital_zoom.h"
#include "live/shown_picture.h"
#include "live/zoom_factor_label.h"
#include "tavolin/wall_controller.h"

namespace tavolin::ui {

class VideoSurface;

class WallCell final : public QWidget {
    Q_OBJECT

public:
    explicit WallCell(QWidget* parent);
    ~WallCell() override;

    // The camera the cell shows (-1: none); another camera forgets the
    // previous one's picture.
    void setCamera(int position, const QString& name);
    int camera() const { return position_; }
    // The surface the camera's stream draws into now; the last picture of an
    // earlier surface stays until a new one comes.
    void setSurface(std::shared_ptr<VideoSurface> surface);
    // Painted until the camera's own stream has a picture (the single view's
    // last one, as the camera comes back to the wall).
    void setStandIn(std::shared_ptr<VideoSurface> surface);
    // The picture the cell shows now, for a view that takes the camera over.
    std::shared_ptr<VideoSurface> newestPicture() const { return shown_.newest(); }
    void setStatus(const CellStatus& status);
    // The red mark of a camera that records.
    void setRecording(bool recording);
    bool recording() const { return recording_; }
    const CellStatus& status() const { return status_; }
    // Pictures the place's surfaces were handed, and painted at least once.
    long presentedPictures() const;
    long paintedPictures() const;
    // Repaints the picture area when a newer picture came.
    void repaintIfNewPicture();

    // The cell's digital zoom; another camera starts unzoomed.
    DigitalZoom& zoom() { return zoom_; }
    const DigitalZoom& zoom() const { return zoom_; }
    // Where a point of the cell lies on its picture, and what a pointer's move
    // is of the picture's size, as the zoom takes them.
    QPointF pictureShareAt(QPoint point) const;
    QPointF pictureShareOfMove(QPoint delta) const;
    // Repaints the part zoomed and shows the factor for a moment.
    void showZoom();

    // What the state line says; empty while pictures come.
    static QString stateText(const CellStatus& status);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The name label, laid out and drawn once: a wall repaints every cell up
    // to 30 times a second.
    const QPixmap& nameLabel();

    // Where the picture goes in the cell.
    QRect pictureArea() const;

    ShownPicture shown_;
    DigitalZoom zoom_;
    ZoomFactorLabel* zoomLabel_ = nullptr;
    int position_ = -1;
    QString name_;
    QPixmap nameLabel_; // null: to be drawn
    // Loaded once: loading a picture by name looks up its file's time on
    // every call, which at 400 cell paints a second cost the wall a fair
    // share of its drawing.
    std::array<QPixmap, kWallIndicatorCount> indicators_;
    CellStatus status_;
    bool recording_ = false;
};

} // namespace tavolin::ui
