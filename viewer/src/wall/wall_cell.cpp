#include "wall/wall_cell.h"

#include <QPainter>
#include <QPixmap>
#include <utility>

#include "live/live_pictures.h"
#include "live/video_surface.h"

namespace tavolin::ui {
namespace {

const QColor kNameText(255, 255, 0);
const QColor kNameBackground(0, 0, 128);
const QColor kSelection(255, 255, 0);
const QColor kGrid(40, 40, 40);
constexpr int kSelectionWidth = 3;
constexpr int kMargin = 4;

} // namespace

WallCell::WallCell(QWidget* parent) : QWidget(parent) {
    // Clicks, holds and swipes are the wall's.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    pictures::load();
}

WallCell::~WallCell() = default;

void WallCell::setCamera(int position, const QString& name, bool showEvents) {
    if (position == position_ && name == name_ && showEvents == showEvents_) return;
    if (position != position_) {
        surface_.reset();
        indicators_.fill(false);
    }
    position_ = position;
    name_ = name;
    showEvents_ = showEvents;
    update();
}

void WallCell::setSurface(std::shared_ptr<VideoSurface> surface) {
    surface_ = std::move(surface);
    if (surface_) surface_->setClientSize(size());
    update();
}

void WallCell::repaintIfNewPicture() {
    if (surface_) surface_->repaintIfNew();
}

long WallCell::presentedPictures() const { return surface_ ? surface_->presentedCount() : 0; }

void WallCell::setStatus(const CellStatus& status) {
    if (status.state == status_.state && status.secondsLeft == status_.secondsLeft &&
        status.selected == status_.selected && status.position == status_.position) {
        return;
    }
    status_ = status;
    update();
}

void WallCell::showIndicators(const Indicators& shown) {
    if (!showEvents_ || shown == indicators_) return;
    indicators_ = shown;
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
    if (surface_) surface_->setClientSize(size());
    QWidget::resizeEvent(event);
}

void WallCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    // The last picture stays while the camera reconnects.
    if (position_ < 0 || !surface_ || !surface_->paint(painter, area)) painter.fillRect(area, Qt::black);
    painter.setPen(kGrid);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    if (position_ < 0) return;

    const QFontMetrics metrics(font());
    if (!name_.isEmpty()) {
        QRect box = metrics.boundingRect(name_).adjusted(-kMargin, -2, kMargin, 2);
        box.moveTopLeft(QPoint(0, 0));
        painter.fillRect(box, kNameBackground);
        painter.setPen(kNameText);
        painter.drawText(box, Qt::AlignCenter, name_);
    }
    if (showEvents_) {
        int y = kMargin;
        for (int i = 0; i < kIndicatorCount; ++i) {
            if (!indicators_[static_cast<std::size_t>(i)]) continue;
            const QPixmap picture(pictures::indicator(i));
            painter.drawPixmap(area.right() - kMargin - picture.width(), y, picture);
            y += picture.height() + 2;
        }
    }
    const QString state = stateText(status_);
    if (!state.isEmpty()) {
        QRect box = metrics.boundingRect(state).adjusted(-2 * kMargin, -kMargin, 2 * kMargin, kMargin);
        box.moveCenter(area.center());
        painter.fillRect(box, QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, state);
    }
    if (status_.selected) {
        painter.setPen(QPen(kSelection, kSelectionWidth));
        painter.setBrush(Qt::NoBrush);
        const int inset = kSelectionWidth / 2;
        painter.drawRect(area.adjusted(inset, inset, -inset - 1, -inset - 1));
    }
}

} // namespace tavolin::ui
