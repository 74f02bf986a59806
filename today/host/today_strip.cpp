#include "today_strip.h"

#include <QMouseEvent>
#include <QPainter>

#include "qt_drawing_context.h"

namespace today {

namespace {
constexpr int kPollMs = 2000;
}

TodayStrip::TodayStrip(std::unique_ptr<TodayHost> host, QWidget* parent) : QWidget(parent), host_(std::move(host)) {
    setWindowTitle(QStringLiteral("Tavolin Today"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    pollItem();
    connect(&poll_, &QTimer::timeout, this, &TodayStrip::pollItem);
    poll_.start(kPollMs);
}

void TodayStrip::pollItem() {
    if (host_->refresh()) {
        setFixedHeight(std::max(1, host_->itemHeight()));
        update();
    }
}

void TodayStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QtDrawingContext context(painter);
    host_->paint(context);
}

void TodayStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        host_->press({event->position().toPoint().x(), event->position().toPoint().y()});
}

void TodayStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        host_->release({event->position().toPoint().x(), event->position().toPoint().y()});
}

void TodayStrip::resizeEvent(QResizeEvent*) { host_->setScreenWidth(width()); }

} // namespace today
