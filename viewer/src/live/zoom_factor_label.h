// The digital zoom's factor ("2.4x"), shown for a moment at the top middle
// of the picture it magnifies after each change.
#pragma once

#include <QLabel>
#include <QTimer>

namespace tavolin::ui {

class ZoomFactorLabel final : public QLabel {
    Q_OBJECT

public:
    static constexpr int kShownMs = 1500;

    explicit ZoomFactorLabel(QWidget* parent);
    void showFactor(double factor);

private:
    QTimer hideTimer_;
};

} // namespace tavolin::ui
