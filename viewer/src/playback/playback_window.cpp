#include "playback/playback_window.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMetaObject>
#include <QVBoxLayout>
#include <cmath>

#include "playback/playback_picture.h"
#include "live/zoom_input.h"
#include "playback/timeline_strip.h"

namespace tavolin::ui {

namespace {

constexpr int64_t kStartBeforeNowMs = 5 * 60 * 1000;

struct Day {
    int64_t start;
    int64_t length;
};

// The local day holding timeMs (23 or 25 hours on a clock change).
Day localDayOf(int64_t timeMs) {
    const QDate date = QDateTime::fromMSecsSinceEpoch(timeMs).date();
    const int64_t start = QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch();
    const int64_t end = QDateTime(date.addDays(1), QTime(0, 0)).toMSecsSinceEpoch();
    return {start, end - start};
}

QString speedText(double speed) {
    const QString magnitude = std::abs(speed) == 0.5 ? QStringLiteral("1/2") : QString::number(std::abs(speed));
    return (speed < 0 ? QStringLiteral("-") : QString()) + magnitude + QStringLiteral("x");
}

QString timeText(int64_t timeMs) {
    return QDateTime::fromMSecsSinceEpoch(timeMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

} // namespace

PlaybackWindow::PlaybackWindow(const CameraRecord& record, std::unique_ptr<PlaybackSource> source, QWidget* parent,
                               int64_t startMs)
    : QDialog(parent) {
    if (startMs == playback::kNoTime) startMs = QDateTime::currentMSecsSinceEpoch() - kStartBeforeNowMs;
    setWindowTitle(QStringLiteral("Playback - %1").arg(QString::fromLocal8Bit(textOf(record.name))));
    picture_ = new PlaybackPicture(this);
    playback::PlayerOutput output;
    output.surface = picture_->surfaceHandle();
    // The player's reports and the search's answers come on their threads:
    // they are handled on this window's, and go with it.
    auto post = [this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    };
    const Day day = localDayOf(startMs);
    controller_ = std::make_unique<PlaybackController>(std::move(source), post, output, day.start, day.length, startMs);
    controller_->changed = [this] { refresh(); };
    controller_->goLive = [this] { close(); };
    timeline_ = new TimelineStrip(*controller_, this);
    buildControls();
    resize(960, 640);
    refresh();
    controller_->start();
}

PlaybackWindow::~PlaybackWindow() {
    // The player and the search end here, before the picture they draw into.
    controller_.reset();
}

QPushButton* PlaybackWindow::button(const QString& text, const QString& tip) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus); // the keys stay the window's
    commands_ << b;
    return b;
}

void PlaybackWindow::buildControls() {
    PlaybackController& c = *controller_;
    QPushButton* previousEvent = button(QStringLiteral("|< Event"), QStringLiteral("Previous event (Page Up)"));
    QPushButton* back = button(QStringLiteral("<< 10 s"), QStringLiteral("Ten seconds back (Shift+Left)"));
    play_ = button(QStringLiteral("Play"), QStringLiteral("Play or pause (Space)"));
    QPushButton* step = button(QStringLiteral("Step >"), QStringLiteral("Next picture (Right)"));
    QPushButton* forward = button(QStringLiteral("10 s >>"), QStringLiteral("Ten seconds on (Shift+Right)"));
    QPushButton* nextEvent = button(QStringLiteral("Event >|"), QStringLiteral("Next event (Page Down)"));
    export_ = button(QStringLiteral("Save minute"),
                     QStringLiteral("Save the minute from the picture shown into the capture folder (S)"));
    speed_ = new QComboBox(this);
    speed_->setFocusPolicy(Qt::NoFocus);
    commands_ << speed_;
    QPushButton* zoomOut = button(QStringLiteral("-"), QStringLiteral("Show more of the day (-)"));
    QPushButton* zoomIn = button(QStringLiteral("+"), QStringLiteral("Show less of the day (+)"));
    auto* live = new QPushButton(QStringLiteral("Live"), this);
    live->setToolTip(QStringLiteral("Back to live (End)"));
    live->setAutoDefault(false);
    live->setFocusPolicy(Qt::NoFocus);
    QPushButton* previousDay = button(QStringLiteral("< Day"), QStringLiteral("The day before"));
    QPushButton* nextDay = button(QStringLiteral("Day >"), QStringLiteral("The day after"));
    day_ = new QLabel(this);
    status_ = new QLabel(this);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(previousEvent, &QPushButton::clicked, this, [&c] { c.previousEvent(); });
    connect(back, &QPushButton::clicked, this, [&c] { c.jump(-PlaybackController::kJumpMs); });
    connect(play_, &QPushButton::clicked, this, [&c] { c.togglePlay(); });
    connect(step, &QPushButton::clicked, this, [&c] { c.stepForward(); });
    connect(forward, &QPushButton::clicked, this, [&c] { c.jump(PlaybackController::kJumpMs); });
    connect(nextEvent, &QPushButton::clicked, this, [&c] { c.nextEvent(); });
    connect(export_, &QPushButton::clicked, this, [&c] { c.exportMinute(); });
    connect(speed_, &QComboBox::activated, this, [this, &c](int index) {
        c.setSpeed(speed_->itemData(index).toDouble());
        refresh();
    });
    connect(zoomOut, &QPushButton::clicked, this, [this, &c] {
        c.timeline().zoom(0.5, c.playheadMs());
        timeline_->update();
    });
    connect(zoomIn, &QPushButton::clicked, this, [this, &c] {
        c.timeline().zoom(2, c.playheadMs());
        timeline_->update();
    });
    connect(previousDay, &QPushButton::clicked, this, [this, &c] { showDayOf(c.timeline().dayStart() - 1); });
    connect(nextDay, &QPushButton::clicked, this, [this, &c] { showDayOf(c.timeline().dayEnd()); });
    connect(live, &QPushButton::clicked, this, [&c] { c.backToLive(); });

    auto* buttons = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{previousEvent, back, play_, step, forward, nextEvent, speed_,
                                                      zoomOut, zoomIn, export_}) {
        buttons->addWidget(w);
    }
    buttons->addSpacing(12);
    buttons->addWidget(previousDay);
    buttons->addWidget(day_);
    buttons->addWidget(nextDay);
    buttons->addStretch(1);
    buttons->addWidget(live);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(4);
    layout->addWidget(picture_, 1);
    layout->addWidget(timeline_);
    layout->addLayout(buttons);
    layout->addWidget(status_);
}

void PlaybackWindow::refresh() {
    const PlaybackController& c = *controller_;
    const bool enabled = c.commandsEnabled();
    for (QWidget* w : commands_) w->setEnabled(enabled);
    export_->setEnabled(enabled && !c.exporting());
    play_->setText(c.playing() ? QStringLiteral("Pause") : QStringLiteral("Play"));

    // The speeds offered; reverse only where the camera plays backwards.
    QList<double> speeds;
    for (const double s : playback::kSpeeds) {
        if (c.speedOffered(-s)) speeds.prepend(-s);
    }
    for (const double s : playback::kSpeeds) speeds << s;
    if (speed_->count() != speeds.size()) {
        speed_->clear();
        for (const double s : speeds) speed_->addItem(speedText(s), s);
    }
    speed_->setCurrentIndex(speed_->findData(c.speed()));

    const TimelineModel& model = c.timeline();
    day_->setText(QDateTime::fromMSecsSinceEpoch(model.dayStart()).toString(QStringLiteral("ddd yyyy-MM-dd")));

    QString overlay;
    if (c.status().shownMs != playback::kNoTime || c.pictureSourceTimeMs() != playback::kNoTime) {
        overlay = timeText(c.playheadMs());
        const int64_t own = c.pictureSourceTimeMs();
        // A camera whose clock is off: its own stamp beside ours.
        if (own != playback::kNoTime && std::llabs(own - c.playheadMs()) >= 1000) {
            overlay += QStringLiteral("  (camera %1)").arg(timeText(own));
        }
    }
    picture_->setOverlay(overlay);

    QString status;
    switch (c.availability()) {
    case PlaybackAvailability::Checking: status = QStringLiteral("Asking the camera for its recordings..."); break;
    case PlaybackAvailability::Searching: status = QStringLiteral("Searching the day's recordings..."); break;
    case PlaybackAvailability::Unavailable:
        status = QStringLiteral("No playback: %1").arg(QString::fromStdString(c.reason()));
        break;
    case PlaybackAvailability::Ready:
        status = QStringLiteral("%1, %2  |  %3 recordings, %4 events")
                     .arg(QString::fromLatin1(playback::modeName(c.status().mode)), speedText(c.speed()))
                     .arg(model.spans().size())
                     .arg(model.events().size());
        if (!c.status().reason.empty()) status += QStringLiteral("  |  ") + QString::fromStdString(c.status().reason);
        if (!c.reason().empty()) status += QStringLiteral("  |  ") + QString::fromStdString(c.reason());
        if (!c.exportMessage().empty()) status += QStringLiteral("  |  ") + QString::fromStdString(c.exportMessage());
        break;
    }
    status_->setText(status);
    picture_->setNotice(c.availability() == PlaybackAvailability::Unavailable ? status : QString());
    timeline_->update();
}

void PlaybackWindow::showDayOf(int64_t timeMs) {
    const Day day = localDayOf(timeMs);
    controller_->showDay(day.start, day.length);
}

void PlaybackWindow::keyPressEvent(QKeyEvent* event) {
    PlaybackController& c = *controller_;
    // The live view's zoom keys zoom the timeline.
    if (const auto zoomKey = zoomKeyOf(event->key())) {
        TimelineModel& model = c.timeline();
        switch (*zoomKey) {
        case ZoomKey::In: model.zoom(2, c.playheadMs()); break;
        case ZoomKey::Out: model.zoom(0.5, c.playheadMs()); break;
        case ZoomKey::Reset: model.setViewLength(model.dayEnd() - model.dayStart(), c.playheadMs()); break;
        }
        timeline_->update();
        event->accept();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Space: c.togglePlay(); break;
    case Qt::Key_Right: shift ? c.jump(PlaybackController::kJumpMs) : c.stepForward(); break;
    case Qt::Key_Left: shift ? c.jump(-PlaybackController::kJumpMs) : c.stepBack(); break;
    case Qt::Key_PageUp: c.previousEvent(); break;
    case Qt::Key_PageDown: c.nextEvent(); break;
    case Qt::Key_Home:
        if (!c.timeline().spans().empty())
            c.seek(std::max(c.timeline().spans().front().fromMs, c.timeline().dayStart()));
        break;
    case Qt::Key_S: c.exportMinute(); break;
    case Qt::Key_End: c.backToLive(); break;
    default: QDialog::keyPressEvent(event); return;
    }
    timeline_->update();
    event->accept();
}

} // namespace tavolin::ui
