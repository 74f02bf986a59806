#include "live/zoom_factor_label.h"

namespace tavolin::ui {

ZoomFactorLabel::ZoomFactorLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 160); padding: 2px 6px; }"));
    hide();
    setWordWrap(true);
    hideTimer_.setSingleShot(true);
    connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

void ZoomFactorLabel::showFactor(double factor) {
    showAt(QStringLiteral("%1x").arg(factor, 0, 'f', 1), parentWidget()->height() / 8, kShownMs);
}

void ZoomFactorLabel::showNote(const QString& line) {
    setMaximumWidth(parentWidget()->width() * 9 / 10);
    showAt(line, 0, kNoteMs);
    move(x(), parentWidget()->height() * 7 / 8 - height());
}

void ZoomFactorLabel::showAt(const QString& text, int top, int shownMs) {
    setText(text);
    adjustSize();
    const QWidget* picture = parentWidget();
    move((picture->width() - width()) / 2, top);
    show();
    raise();
    hideTimer_.start(shownMs);
}

} // namespace tavolin::ui
