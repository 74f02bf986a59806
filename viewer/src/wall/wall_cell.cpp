#include "wall/wall_cell.h"

#include <algorithm>

#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <utility>

#include "live/live_pictures.h"
#include "live/picture_fit.h"
#include "live/video_surface.h"

namespace tavolin::ui {
namespace {

const QColor kNameText(255, 255, 0);
const QColor kNameBackground(0, 0, 128);
const QColor kSelection(255, 255, 0);
const QColor kGrid(40, 40, 40);
constexpr int kSelectionWidth = 3;
constexpr int kMargin = 4;

// A frame of `width` inside `area`, as four filled strips: cheaper than
// stroking a rectangle with a pen.
void drawFrame(QPainter& painter, const QRect& area, int width, const QColor& color) {
    painter.fillRect(QRect(area.left(), area.top(), area.width(), width), color);
    painter.fillRect(QRect(area.left(), area.bottom() - width + 1, area.width(), width), color);
    painter.fillRect(QRect(area.left(), area.top() + width, width, area.height() - 2 * width), color);
    painter.fillRect(QRect(area.right() - width + 1, area.top() + width, width, area.height() - 2 * width), color);
}

} // namespace

WallCell::WallCell(QWidget* parent) : QWidget(parent) {
    // Clicks, holds and swipes are the wall's.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    pictures::load();
    zoomLabel_ = new ZoomFactorLabel(this);
}

WallCell::~WallCell() = default;

void WallCell::setCamera(int position, const QString& name) {
    if (position == position_ && name == name_) return;
    if (position != position_) {
        shown_.reset();
        zoom_.reset();
    }
    position_ = position;
    if (name != name_) nameLabel_ = {};
    name_ = name;
    update();
}

void WallCell::setSurface(std::shared_ptr<VideoSurface> surface) {
    if (surface) surface->setClientSize(size());
    shown_.show(std::move(surface));
    update();
}

void WallCell::setStandIn(std::shared_ptr<VideoSurface> surface) {
    shown_.setStandIn(std::move(surface));
    update();
}

void WallCell::repaintIfNewPicture() {
    // The surface repaints only what its picture covers.
    if (shown_.current() && shown_.current()->repaintIfNew()) return;
    if (shown_.hasNewPicture()) update();
}

QRect WallCell::pictureArea() const {
    const std::shared_ptr<VideoSurface> picture = shown_.newest();
    const QSize size = picture ? picture->pictureSize() : QSize();
    return size.isEmpty() ? rect() : fitKeepingAspect(size, rect());
}

QPointF WallCell::pictureShareAt(QPoint point) const { return pictureShare(point, pictureArea()); }

QPointF WallCell::pictureShareOfMove(QPoint delta) const {
    const QRect area = pictureArea();
    if (area.isEmpty()) return {};
    return {static_cast<double>(delta.x()) / area.width(), static_cast<double>(delta.y()) / area.height()};
}

void WallCell::showZoom() {
    zoomLabel_->showFactor(zoom_.factor());
    update();
}

long WallCell::presentedPictures() const { return shown_.presentedCount(); }

long WallCell::paintedPictures() const { return shown_.paintedCount(); }

void WallCell::setStatus(const CellStatus& status) {
    if (status == status_) return;
    status_ = status;
    update();
}

QString WallCell::stateText(const CellStatus& status) {
    switch (status.state) {
    case CellState::Empty:
    case CellState::Showing: return {};
    case CellState::Connecting: return QStringLiteral("Connecting...");
    case CellState::NoPicture: return QStringLiteral("No picture");
    case CellState::Reconnecting: return QStringLiteral("Reconnecting in %1 s").arg(status.secondsLeft);
    }
    return {};
}

void WallCell::resizeEvent(QResizeEvent* event) {
    if (shown_.current()) shown_.current()->setClientSize(size());
    QWidget::resizeEvent(event);
}

void WallCell::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) nameLabel_ = {};
    QWidget::changeEvent(event);
}

const QPixmap& WallCell::nameLabel() {
    if (nameLabel_.isNull() && !name_.isEmpty()) {
        const QRect text = QFontMetrics(font()).boundingRect(name_);
        const qreal ratio = devicePixelRatioF();
        QPixmap label(QSize(text.width() + 2 * kMargin, text.height() + 4) * ratio);
        label.setDevicePixelRatio(ratio);
        label.fill(kNameBackground);
        QPainter painter(&label);
        painter.setFont(font());
        painter.setPen(kNameText);
        painter.drawText(QRect(QPoint(0, 0), label.deviceIndependentSize().toSize()), Qt::AlignCenter, name_);
        nameLabel_ = label;
    }
    return nameLabel_;
}

void WallCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    // The last picture stays while the camera reconnects.
    if (position_ < 0 || !shown_.paint(painter, area, zoom_.part())) painter.fillRect(area, Qt::black);
    drawFrame(painter, area, 1, kGrid);
    if (position_ < 0) return;

    if (!name_.isEmpty()) painter.drawPixmap(0, 0, nameLabel());
    int y = kMargin;
    for (int i = 0; i < kWallIndicatorCount; ++i) {
        if (!status_.indicators[static_cast<std::size_t>(i)]) continue;
        QPixmap& picture = indicators_[static_cast<std::size_t>(i)];
        if (picture.isNull()) picture.load(pictures::indicator(i));
        painter.drawPixmap(area.right() - kMargin - picture.width(), y, picture);
        y += picture.height() + 2;
    }
    const QString state = stateText(status_);
    if (!state.isEmpty()) {
        const QFontMetrics metrics(font());
        QRect box = metrics.boundingRect(state).adjusted(-2 * kMargin, -kMargin, 2 * kMargin, kMargin);
        box.moveCenter(area.center());
        painter.fillRect(box, QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, state);
        // Why, on one line under it, cut to the cell.
        const QString reason =
            metrics.elidedText(QString::fromStdString(status_.reason), Qt::ElideRight, area.width() - 4 * kMargin);
        if (!reason.isEmpty()) {
            QRect line = metrics.boundingRect(reason).adjusted(-kMargin, 0, kMargin, 0);
            line.moveCenter(QPoint(area.center().x(), box.bottom() + kMargin + line.height() / 2));
            painter.fillRect(line, QColor(0, 0, 0, 160));
            painter.drawText(line, Qt::AlignCenter, reason);
        }
    }
    if (recording_) {
        const int d = std::max(8, area.height() / 24);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 0, 0));
        painter.drawEllipse(area.right() - kMargin - d, area.bottom() - kMargin - d, d, d);
    }
    if (status_.selected) drawFrame(painter, area, kSelectionWidth, kSelection);
}

void WallCell::setRecording(bool recording) {
    if (recording_ == recording) return;
    recording_ = recording;
    update();
}

} // namespace tavolin::ui
