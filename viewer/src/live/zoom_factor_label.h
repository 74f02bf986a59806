// A line shown for a moment over the picture: the digital zoom's factor
// ("2.4x") at the top middle after each change, or a note on the stream
// near the bottom.
#pragma once

#include <QLabel>
#include <QTimer>

namespace tavolin::ui {

class ZoomFactorLabel final : public QLabel {
    Q_OBJECT

public:
    static constexpr int kShownMs = 1500;
    static constexpr int kNoteMs = 6000;

    explicit ZoomFactorLabel(QWidget* parent);
    void showFactor(double factor);
    void showNote(const QString& line);

private:
    void showAt(const QString& text, int top, int shownMs);
    QTimer hideTimer_;
};

} // namespace tavolin::ui
