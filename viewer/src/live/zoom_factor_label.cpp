#include "live/zoom_factor_label.h"

namespace tavolin::ui {

ZoomFactorLabel::ZoomFactorLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 160); padding: 2px 6px; }"));
    hide();
    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(kShownMs);
    connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

void ZoomFactorLabel::showFactor(double factor) {
    setText(QStringLiteral("%1x").arg(factor, 0, 'f', 1));
    adjustSize();
    const QWidget* picture = parentWidget();
    move((picture->width() - width()) / 2, picture->height() / 8);
    show();
    raise();
    hideTimer_.start();
}

} // namespace tavolin::ui
