#include "single_view_rounds.h"

#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <utility>

#include "live/video_surface.h"
#include "live/wide_video_dlg.h"
#include "wall/camera_wall_dlg.h"

namespace tavolin::demo {
namespace {

// Often enough to see a single paint without a picture.
constexpr int kPollMs = 10;
// The single view runs this long on its own pictures before it is left.
constexpr int kShownMs = 1000;
// Back on the wall, the cell takes its own stream again before the next round.
constexpr int kBetweenRoundsMs = 1500;

void savePicture(QWidget* window, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    std::fprintf(stderr, window->grab().save(path) ? "demo: wrote %s\n" : "demo: could not write %s\n",
                 qPrintable(path));
}

} // namespace

SingleViewRounds::SingleViewRounds(int rounds, QString screenshotFolder)
    : rounds_(rounds), folder_(std::move(screenshotFolder)) {
    poll_.setInterval(kPollMs);
    poll_.setTimerType(Qt::PreciseTimer);
    connect(&poll_, &QTimer::timeout, this, &SingleViewRounds::poll);
}

void SingleViewRounds::viewOpened(ui::CWideVideoDlg& view) {
    view_ = &view;
    connect(&view, &QDialog::finished, this, &SingleViewRounds::viewFinished);
}

void SingleViewRounds::run(ui::CameraWallDlg& wall, std::function<void()> done) {
    wall_ = &wall;
    done_ = std::move(done);
    startRound();
}

void SingleViewRounds::startRound() {
    if (!wall_ || round_ >= rounds_) {
        if (done_) std::exchange(done_, nullptr)();
        return;
    }
    ++round_;
    polls_ = empty_ = 0;
    firstMs_ = leftMs_ = -1;
    pictureSize_ = {};
    view_.clear();
    clock_.start();
    wall_->press(WallKey::Return);
    poll_.start();
}

void SingleViewRounds::poll() {
    if (!view_ || leftMs_ >= 0) return;
    const ui::ShownPicture& shown = view_->videoSurface();
    const ui::LiveViewController& controller = view_->controller();
    // What the view paints: a picture while it shows video or the cell's
    // handed-over one; the background otherwise.
    const std::shared_ptr<ui::VideoSurface> newest = shown.newest();
    const bool painted = (controller.showsVideo() || (controller.isConnecting() && shown.hasStandIn())) && newest &&
                         newest->pictureSize().isValid();
    ++polls_;
    if (!painted) ++empty_;
    if (firstMs_ < 0 && shown.hasOwnPicture()) {
        firstMs_ = clock_.elapsed();
        pictureSize_ = shown.current()->pictureSize();
        if (round_ == 1 && !folder_.isEmpty()) {
            QTimer::singleShot(kShownMs / 2, this, &SingleViewRounds::pictureZoomed);
            QTimer::singleShot(kShownMs * 2, this, &SingleViewRounds::leaveView);
        } else {
            QTimer::singleShot(kShownMs, this, &SingleViewRounds::leaveView);
        }
    } else if (firstMs_ < 0 && clock_.elapsed() > kFirstPictureMs) {
        leaveView();
    }
}

void SingleViewRounds::pictureZoomed() {
    if (!view_) return;
    savePicture(view_, folder_, "single-view.png");
    view_->controller().zoomSteps(6, view_->rect().center());
    QTimer::singleShot(kShownMs / 2, this, [this] {
        if (!view_) return;
        savePicture(view_, folder_, "single-view-zoomed.png");
        view_->controller().resetZoom();
    });
}

void SingleViewRounds::leaveView() {
    if (!view_ || leftMs_ >= 0) return;
    leftMs_ = clock_.elapsed();
    view_->close();
}

void SingleViewRounds::viewFinished() {
    poll_.stop();
    const qint64 closedMs = leftMs_ >= 0 ? clock_.elapsed() - leftMs_ : -1;
    if (firstMs_ < 0) {
        std::fprintf(stderr, "demo: single view round %d: no picture of its own in %d ms\n", round_, kFirstPictureMs);
    } else {
        std::fprintf(stderr,
                     "demo: single view round %d: first large picture after %lld ms (%dx%d), %d polls without a "
                     "picture (of %d), large stream closed within %lld ms\n",
                     round_, static_cast<long long>(firstMs_), pictureSize_.width(), pictureSize_.height(), empty_,
                     polls_, static_cast<long long>(closedMs));
    }
    QTimer::singleShot(kBetweenRoundsMs, this, &SingleViewRounds::startRound);
}

} // namespace tavolin::demo
