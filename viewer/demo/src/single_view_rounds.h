// The demo's timing of the single view opened from the wall, for the
// benchmark: the wall's selected camera is opened in the single view again
// and again, and each round tells on standard error how long its own first
// picture took after the press, how many polls found nothing to show, the
// size of its pictures, and how long its stream took to close once the view
// was left. The first round pictures the view, and zoomed.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>
#include <functional>

namespace tavolin::ui {
class CameraWallDlg;
class CWideVideoDlg;
} // namespace tavolin::ui

namespace tavolin::demo {

class SingleViewRounds final : public QObject {
    Q_OBJECT

public:
    // A round without a picture of its own gives up after this.
    static constexpr int kFirstPictureMs = 8000;
    // What one round may take at most, for the demo's watchdog.
    static constexpr int kRoundMs = kFirstPictureMs + 6000;

    SingleViewRounds(int rounds, QString screenshotFolder);

    // The single view opened over the wall (its runner's hook).
    void viewOpened(ui::CWideVideoDlg& view);
    // Runs the rounds on `wall`, then `done`.
    void run(ui::CameraWallDlg& wall, std::function<void()> done);

private:
    void startRound();
    void poll();
    void leaveView();
    void viewFinished();
    void pictureZoomed();

    const int rounds_;
    const QString folder_;
    QPointer<ui::CameraWallDlg> wall_;
    QPointer<ui::CWideVideoDlg> view_;
    std::function<void()> done_;
    QTimer poll_;
    QElapsedTimer clock_;
    int round_ = 0;
    int polls_ = 0;
    int empty_ = 0;
    qint64 firstMs_ = -1;
    qint64 leftMs_ = -1;
    QSize pictureSize_;
};

} // namespace tavolin::demo
