#include "widgets/b_dialog.h"

#include <QPainter>

namespace tavolin::ui {

CBDialog::CBDialog(QWidget* parent) : QDialog(parent) {}

bool CBDialog::setBackground(const QString& resource) {
    const bool loaded = background_.load(resource);
    if (!loaded) background_ = QPixmap();
    update();
    return loaded;
}

void CBDialog::setDrawMode(DrawMode mode) {
    mode_ = mode;
    update();
}

void CBDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBackground(painter, rect());
}

void CBDialog::paintBackground(QPainter& painter, const QRect& area) const {
    if (background_.isNull()) return;
    switch (mode_) {
    case DrawMode::Tile: painter.drawTiledPixmap(area, background_); break;
    case DrawMode::Center: {
        // A picture larger than the area starts at its corner rather than
        // moving off to the left or top.
        const int left = background_.width() < area.width() ? (area.width() - background_.width()) / 2 : 0;
        const int top = background_.height() < area.height() ? (area.height() - background_.height()) / 2 : 0;
        painter.drawPixmap(area.left() + left, area.top() + top, background_);
        break;
    }
    case DrawMode::Stretch: painter.drawPixmap(area, background_); break;
    }
}

} // namespace tavolin::ui
