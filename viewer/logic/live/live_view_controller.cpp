#include "live/live_view_controller.h"

#include <Qt>
#include <algorithm>
#include <utility>

#include "capture/capture_set.h"
#include "live/stream_records.h"

namespace tavolin::ui {
namespace {

const QString kTalkCaption = QStringLiteral("2-Way Audio");
// A drawn box smaller than this either way (pixels of the view) is a slip.
constexpr int kSmallestBox = 8;

// The rectangle with these two corners, whichever way it was drawn.
QRect spanning(QPoint a, QPoint b) {
    return {QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
            QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y()))};
}

// The settings a stream of `record` opens with.
StreamSettings settingsFor(const CameraRecord& record, QSize screen, uint32_t surface) {
    StreamSettings s;
    s.streamingType = record.streamingType;
    // A record that cannot be reached leaves an empty connection record
    // rather than the previous camera's, so the attempt fails.
    prepareMediaConfig(s.connection, record);
    s.render = makeRenderInfo(surface, screen);
    s.events = record.showEvents != 0;
    if (record.ptzEnabled != 0) {
        s.ptz = makePtzEnableInfo(record);
        s.serialControl = static_cast<uint8_t>(record.serialControl & 0xFF);
        s.serialBaudRate = static_cast<uint8_t>(record.serialBaudRate & 0xFF);
    }
    s.playAudio = record.playAudio != 0;
    s.subStreamAddress = std::string(textOf(record.subStreamUrl));
    return s;
}

// Cameras on their own streaming protocols always keep their pictures' shape;
// the older protocols stretch them unless the record asks otherwise.
PictureFit pictureFitFor(const CameraRecord& record) {
    return streamsOverRtsp(record.streamingType) || record.keepAspect != 0 ? PictureFit::KeepAspect
                                                                           : PictureFit::Stretch;
}

// A camera that cannot be talked to: "Audio Out" greyed, saying why.
LiveMenuState withoutAudioOut(LiveMenuState menu, const QString& reason) {
    menu.talking = false;
    menu.audioOut = false;
    menu.audioOutReason = reason.isEmpty() ? QStringLiteral("the camera has no audio back channel") : reason;
    return menu;
}

} // namespace

LiveViewController::LiveViewController(const Records& records, LiveViewDisplay& display, StreamFactory streams,
                                       const ViewTimerFactory& timers, const platform::Clock& clock)
    : records_(records), display_(display), makeStream_(std::move(streams)), clock_(clock), schedule_(clock),
      closing_(*this) {
    eventTimer_ = timers(kEventPeriodMs, false, [this] { showEventsOfPeriod(); });
    holdTimer_ = timers(kHoldMs, true, [this] { actionKey(); });
    retryTimer_ = timers(ReconnectSchedule::kFirstDelayMs, true, [this] { retryIfDue(); });
}

LiveViewController::~LiveViewController() = default;

void LiveViewController::enter(State next) {
    const State previous = std::exchange(state_, next);
    if (previous == State::Reconnecting && next != State::Reconnecting) {
        retryTimer_->stop();
        display_.showReconnecting(false);
    }
    switch (next) {
    case State::Idle: break;
    case State::Connecting:
        progressCount_ = 0;
        display_.setProgress(0, kProgressMaximum);
        display_.setBackground(Background::Connecting);
        display_.setProgressVisible(true);
        break;
    case State::Stepping: display_.setBackground(Background::Connecting); break;
    case State::Playing:
        if (previous == State::Connecting) showConnected();
        break;
    case State::Lost: break;
    case State::Failed:
        display_.setBackground(Background::Failed);
        display_.setProgressVisible(false);
        break;
    case State::Reconnecting:
        if (previous != State::Reconnecting) display_.showReconnecting(true);
        break;
    case State::Closing:
        eventTimer_->stop();
        holdTimer_->stop();
        display_.setBackground(Background::Plain);
        break;
    case State::Closed:
        display_.setOrientation(kPortraitDegrees);
        display_.finish();
        break;
    }
}

void LiveViewController::start(int position, QSize screen, uint32_t surface) {
    screen_ = screen;
    surface_ = surface;
    eventTimer_->start();
    streamOpen(position, OpenMode::FirstPlay);
}

void LiveViewController::streamOpen(int position, OpenMode mode) {
    if (position < 0 || position >= kCameraCount || state_ == State::Closing || state_ == State::Closed) return;
    // Two streams never reach cameras for the user at once.
    if (stream_) retireStream();
    if (position != position_) zoom_.reset();
    position_ = position;
    ++opened_;
    schedule_ = ReconnectSchedule(clock_);
    const CameraRecord& record = currentRecord();
    eventFlags_.fill(false);

    const bool ptz = record.ptzEnabled != 0;
    LiveMenuState menu;
    menu.ptzEnabled = ptz;
    menu.ptzSpeed = ptz ? record.ptzSpeed : menu_.ptzSpeed;
    menu.quadServer = record.quadServer != 0;
    menu.playAudio = record.playAudio != 0;
    menu.recording = captures_ != nullptr && captures_->recording(position);
    setMenu(menu);
    if (captures_ != nullptr) display_.showRecording(menu.recording);
    outputOn_ = false;
    osdMode_ = false;
    pressPicture_.reset();
    aimPress_ = false;
    boxFrom_.reset();
    aiming_ = false;

    nameText_ = cameraNameText(position, record);
    display_.setNameText(nameText_);
    display_.setNameVisible(false);
    display_.clearVideo();
    display_.setPictureFit(pictureFitFor(record));
    enter(State::Connecting);

    stream_ = makeStream_(settingsFor(record, screen_, surface_));
    if (zoom_.isZoomed()) stream_->setDigitalZoom(zoom_.factor());
    connectStream(*stream_, mode);
    stream_->open();
    // Armed once the view holds its stream: the capture copies it rather
    // than opening one of its own first.
    if (captures_ != nullptr) captures_->show(position);
}

void LiveViewController::connectStream(LiveStream& stream, OpenMode mode) {
    connect(&stream, &LiveStream::progress, this, &LiveViewController::onProgress);
    connect(&stream, &LiveStream::connected, this, &LiveViewController::onConnected);
    connect(&stream, &LiveStream::failed, this, [this, mode](const QString& reason) { onFailed(mode, reason); });
    connect(&stream, &LiveStream::networkLost, this, &LiveViewController::onNetworkLost);
    connect(&stream, &LiveStream::pictureShown, this, &LiveViewController::onPictureShown);
    connect(&stream, &LiveStream::motion, this, [this](int r1, int r2, int r3, int r4) {
        eventFlags_[MD1] = static_cast<uint8_t>(r1) != 0;
        eventFlags_[MD2] = static_cast<uint8_t>(r2) != 0;
        eventFlags_[MD3] = static_cast<uint8_t>(r3) != 0;
        eventFlags_[MD4] = static_cast<uint8_t>(r4) != 0;
    });
    connect(&stream, &LiveStream::input, this, [this](int di1, int di2) {
        eventFlags_[DI1] = static_cast<uint8_t>(di1) != 0;
        eventFlags_[DI2] = static_cast<uint8_t>(di2) != 0;
    });
    connect(&stream, &LiveStream::talkResult, this, [this](TalkResult result, const QString& text) {
        LiveMenuState menu = menu_;
        if (result == TalkResult::Refused) {
            display_.ask({QStringLiteral("Get Audio Out Token Fail!\n %1 Take It!").arg(text), kTalkCaption});
        } else if (result == TalkResult::Failed) {
            display_.ask({QStringLiteral("Audio Out Fail!"), kTalkCaption});
            menu.talking = false;
        } else if (result == TalkResult::Unavailable) {
            display_.ask({QStringLiteral("Audio Out Fail!"), kTalkCaption, PromptButtons::Ok, text});
            menu = withoutAudioOut(menu, text);
        } else {
            menu.talking = true;
        }
        setMenu(menu);
    });
    connect(&stream, &LiveStream::audioOutUnavailable, this,
            [this](const QString& reason) { setMenu(withoutAudioOut(menu_, reason)); });
    connect(&stream, &LiveStream::note, this, [this](const QString& line) { display_.showNote(line); });
    connect(&stream, &LiveStream::aimed, this, &LiveViewController::onAimed);
}

void LiveViewController::onProgress(int step) {
    if (state_ != State::Connecting) return;
    progressCount_ = step;
    display_.setProgress(std::min(step, kProgressMaximum), kProgressMaximum);
}

void LiveViewController::showConnected() {
    display_.setProgress(kProgressMaximum, kProgressMaximum);
    display_.setProgressVisible(false);
    display_.setNameVisible(currentRecord().showName != 0);
}

void LiveViewController::onConnected() {
    if (state_ == State::Connecting) {
        enter(State::Playing);
    } else if (state_ == State::Reconnecting) {
        // Reached again; "Reconnecting..." stays until its first picture.
        showConnected();
    }
}

void LiveViewController::onFailed(OpenMode mode, const QString& reason) {
    if (state_ == State::Reconnecting) {
        reconnectLater();
        return;
    }
    if (state_ != State::Connecting) return;
    enter(State::Failed);
    // From the first play the view ends once the user has read why.
    if (mode == OpenMode::FirstPlay) ask(Question::ConnectFail, reason);
}

void LiveViewController::onNetworkLost() {
    if (state_ == State::Reconnecting) {
        // Lost again before its first picture: the same run of attempts.
        reconnectLater();
        return;
    }
    if (state_ != State::Playing && state_ != State::Lost) return;
    if (currentRecord().autoReconnect == 0) {
        enter(State::Lost);
    } else {
        enter(State::Reconnecting);
        reconnectLater();
    }
    if (asking_ == Question::None) ask(Question::NetworkLoss);
}

void LiveViewController::ask(Question question, const QString& detail) {
    asking_ = question;
    Prompt prompt;
    if (question == Question::ConnectFail) {
        prompt = {QStringLiteral("Connect Fail!"), QStringLiteral("Connect"), PromptButtons::Ok, detail};
    } else {
        prompt = {QStringLiteral("Network Loss!\nReturn to main menu?"), QStringLiteral("Connection"),
                  PromptButtons::YesNo};
    }
    display_.ask(prompt,
                 [this, question, opened = opened_](PromptAnswer answer) { answered(question, opened, answer); });
}

void LiveViewController::answered(Question question, int opened, PromptAnswer answer) {
    if (asking_ == question) asking_ = Question::None;
    // The view moved on meanwhile: closed, or the user stepped to another camera.
    if (state_ == State::Closing || state_ == State::Closed || opened != opened_) return;
    if (question == Question::ConnectFail && state_ == State::Failed) {
        display_.setBackground(Background::Plain);
        close();
    } else if (question == Question::NetworkLoss && answer == PromptAnswer::Yes) {
        close();
    }
}

void LiveViewController::reconnectLater() {
    schedule_.failed();
    if (menu_.talking) {
        // Talking ended with the stream.
        LiveMenuState menu = menu_;
        menu.talking = false;
        setMenu(menu);
    }
    retireStream();
    retryTimer_->restart(static_cast<int>(std::max<int64_t>(1, schedule_.msUntilAttempt())));
}

void LiveViewController::retryIfDue() {
    if (state_ != State::Reconnecting || stream_) return;
    if (!schedule_.due()) {
        retryTimer_->restart(static_cast<int>(std::max<int64_t>(1, schedule_.msUntilAttempt())));
        return;
    }
    // The lost stream has gone before the next one reaches the camera.
    afterStreamsClosed([this] {
        if (state_ != State::Reconnecting || stream_) return;
        stream_ = makeStream_(settingsFor(currentRecord(), screen_, surface_));
        connectStream(*stream_, OpenMode::Switch);
        stream_->open();
    });
}

void LiveViewController::onPictureShown() {
    schedule_.pictureShown();
    if (state_ == State::Reconnecting) enter(State::Playing);
}

void LiveViewController::showEventsOfPeriod() {
    if (currentRecord().showEvents != 0) display_.showIndicators(eventFlags_);
    eventFlags_.fill(false);
}

void LiveViewController::streamClose() {
    if (state_ == State::Closing || state_ == State::Closed) return;
    closeStream();
    enter(State::Idle);
}

void LiveViewController::closeStream() {
    display_.showIndicators({});
    display_.setNameVisible(false);
    display_.setProgressVisible(false);
    stopPen();
    if (stream_ && outputOn_) {
        stream_->setOutput(false);
        outputOn_ = false;
    }
    retireStream();
    display_.clearVideo();
}

void LiveViewController::stopPen() {
    if (!penDown_) return;
    stopPtzAction();
    penDown_ = false;
}

void LiveViewController::retireStream() {
    // A move still running under the pen would go on after its stream closed.
    stopPen();
    if (stream_) closing_.retire(std::move(stream_));
}

void LiveViewController::afterStreamsClosed(std::function<void()> next) { closing_.whenAllClosed(std::move(next)); }

void LiveViewController::close() {
    if (state_ == State::Closing || state_ == State::Closed) return;
    enter(State::Closing);
    if (captures_ != nullptr) captures_->show(std::nullopt);
    closeStream();
    afterStreamsClosed([this] { enter(State::Closed); });
}

void LiveViewController::patrol(PatrolDirection direction) {
    if (isConnecting() || state_ == State::Closing || state_ == State::Closed) return;
    std::array<CameraRecord*, kCameraCount> records{};
    for (std::size_t i = 0; i < records.size(); ++i) records[i] = &records_[i];
    const std::optional<int> target = patrolStep(records, position_, direction);
    if (!target) {
        display_.ask({QStringLiteral("No camara to do patorl!"), QStringLiteral("Patrol")});
        return;
    }
    closeStream();
    // The next stream opens once the last one has gone, so the two never
    // reach a camera at once; the view stays responsive meanwhile.
    enter(State::Stepping);
    afterStreamsClosed([this, position = *target] {
        if (state_ == State::Stepping) streamOpen(position, OpenMode::Switch);
    });
}

void LiveViewController::startSector(QPoint point) {
    if (ptzEnabled()) {
        const PtzSector sector = ptzSectorAt(screen_, point);
        sector_ = sector;
        if (stream_) {
            ptzAction_ = sector;
            display_.showArrow(sector, ptzArrowTopLeft(sector, point));
            stream_->startMove(sector, ptzSpeedArgument(currentRecord().ptzSpeed));
        }
    }
    penDown_ = true;
}

void LiveViewController::stopPtzAction() {
    if (!ptzEnabled() || !stream_ || !ptzAction_) return;
    display_.hideArrow(*ptzAction_);
    stream_->stopMove(*ptzAction_);
}

void LiveViewController::penDown(QPoint point, bool fromTouch) {
    startSector(point);
    // The picture the user pressed on, should this press begin a double-click.
    if (canAim()) pressPicture_ = display_.pictureSample();
    // A finger that steers nothing may be held to open the menu.
    const bool steering = ptzEnabled() && stream_;
    if (!steering && fromTouch) {
        holdOrigin_ = point;
        holdTimer_->start();
    }
    // Once zoomed, the pen of a camera it cannot steer moves the picture.
    if (zoom_.isZoomed() && !ptzEnabled()) panFrom_ = point;
}

void LiveViewController::penMove(QPoint point) {
    if (boxFrom_) {
        boxTo_ = point;
        display_.showAimBox(spanning(*boxFrom_, point));
        return;
    }
    if (!penDown_) return;
    if (holdTimer_->isActive() && (point - holdOrigin_).manhattanLength() > kHoldSlop) holdTimer_->stop();
    if (panFrom_) moveZoomed(point - std::exchange(*panFrom_, point));
    if (ptzSectorAt(screen_, point) != sector_) {
        stopPtzAction();
        startSector(point);
    }
}

void LiveViewController::penUp() {
    holdTimer_->stop();
    panFrom_.reset();
    if (boxFrom_) {
        finishBox(boxTo_);
        return;
    }
    // The second press of a double-click started nothing to stop.
    if (std::exchange(aimPress_, false)) return;
    stopPtzAction();
    penDown_ = false;
}

bool LiveViewController::canAim() const { return ptzEnabled() && stream_ && isConnected(); }

aim::Rect LiveViewController::viewPicture() const {
    const QRect a = zoomArea();
    return {static_cast<double>(a.x()), static_cast<double>(a.y()), static_cast<double>(a.width()),
            static_cast<double>(a.height())};
}

aim::Rect LiveViewController::zoomPart() const {
    const QRectF p = zoom_.part();
    return {p.x(), p.y(), p.width(), p.height()};
}

void LiveViewController::doubleClick(QPoint point, bool fromTouch) {
    const auto share = canAim() ? aim::pictureShareAt({static_cast<double>(point.x()), static_cast<double>(point.y())},
                                                      viewPicture(), zoomPart())
                                : std::nullopt;
    if (!share) {
        // Nothing to point: the second press is a press, as it always was.
        penDown(point, fromTouch);
        return;
    }
    holdTimer_->stop();
    aimPress_ = true;
    aimAt({aim::fovOf(*share), 1.0}, QRect(point.x(), point.y(), 0, 0));
}

void LiveViewController::boxStart(QPoint point) {
    if (!canAim()) {
        penDown(point, false);
        return;
    }
    pressPicture_ = display_.pictureSample();
    boxFrom_ = point;
    boxTo_ = point;
    display_.showAimBox(QRect(point, point));
}

void LiveViewController::finishBox(QPoint end) {
    const QPoint from = *std::exchange(boxFrom_, std::nullopt);
    display_.showAimBox(std::nullopt);
    const QRect drawn = spanning(from, end);
    const auto box =
        aim::pictureBoxBetween({static_cast<double>(from.x()), static_cast<double>(from.y())},
                               {static_cast<double>(end.x()), static_cast<double>(end.y())}, viewPicture(), zoomPart());
    if (!box || drawn.width() < kSmallestBox || drawn.height() < kSmallestBox || !canAim()) return;
    aimAt({aim::fovOf(box->centre()), aim::fillMagnification(*box)}, drawn);
}

void LiveViewController::aimAt(const aim::Target& target, QRect shown) {
    aiming_ = true;
    display_.showAimTarget(shown);
    AimRequest request;
    request.target = target;
    request.reference = pressPicture_;
    request.calibration = aim::Calibration::fromText(textOf(currentRecord().ptzCalibration));
    stream_->aim(request);
}

void LiveViewController::onAimed(const AimOutcome& outcome) {
    aiming_ = false;
    if (outcome.measured) {
        const std::string text = outcome.measured->toText();
        const auto at = static_cast<std::size_t>(position_);
        setText(records_[at].ptzCalibration, text);
        changes_[at].ptzCalibration = text;
    }
    if (!outcome.moved) display_.showNote(outcome.why);
}

QRect LiveViewController::zoomArea() const { return pictureArea_.isEmpty() ? QRect(QPoint(), screen_) : pictureArea_; }

QPointF LiveViewController::shareOf(QPoint point) const { return pictureShare(point, zoomArea()); }

void LiveViewController::zoomSteps(double steps, QPoint at) { zoomChanged(zoom_.zoomSteps(steps, shareOf(at))); }

void LiveViewController::zoomBy(double ratio, QPoint at) { zoomChanged(zoom_.zoomBy(ratio, shareOf(at))); }

void LiveViewController::moveZoomed(QPoint delta) {
    const QRect area = zoomArea();
    if (area.isEmpty()) return;
    zoomChanged(zoom_.pan(
        QPointF(static_cast<double>(delta.x()) / area.width(), static_cast<double>(delta.y()) / area.height())));
}

void LiveViewController::resetZoom() { zoomChanged(zoom_.reset()); }

void LiveViewController::zoomChanged(bool changed) {
    if (!changed) return;
    if (stream_) stream_->setDigitalZoom(zoom_.factor());
    display_.showZoom(zoom_.factor());
}

bool LiveViewController::handlesKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right ||
           key == Qt::Key_Return || key == Qt::Key_Enter || key == kSnapshotKey || key == kRecordKey;
}

void LiveViewController::keyDown(int key, bool autoRepeat) {
    // A held key is one press: its repeats start nothing again.
    if (autoRepeat) return;
    if (key == kSnapshotKey || key == kRecordKey) {
        key == kSnapshotKey ? snapshot() : toggleRecord();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        actionKey();
        return;
    }
    if (!osdMode_) {
        if (key == Qt::Key_Up) patrol(PatrolDirection::Previous);
        if (key == Qt::Key_Down) patrol(PatrolDirection::Next);
        return;
    }
    if (!ptzEnabled() || !stream_) return;
    switch (key) {
    case Qt::Key_Up: stream_->osd(OsdCommand::Up); break;
    case Qt::Key_Down: stream_->osd(OsdCommand::Down); break;
    case Qt::Key_Left: stream_->osd(OsdCommand::Leave); break;
    case Qt::Key_Right: stream_->osd(OsdCommand::Enter); break;
    default: break;
    }
}

void LiveViewController::keyUp(int key, bool autoRepeat) {
    if (autoRepeat || !osdMode_ || !ptzEnabled() || !stream_) return;
    if (key == Qt::Key_Up) stream_->osd(OsdCommand::StopUp);
    if (key == Qt::Key_Down) stream_->osd(OsdCommand::StopDown);
}

void LiveViewController::actionKey() {
    holdTimer_->stop();
    if (isConnecting() || state_ == State::Closing || state_ == State::Closed) return;
    // The menu takes the pointer, so the view would never see this press end:
    // a move running under it stops now.
    stopPen();
    display_.openMenu();
}

void LiveViewController::setCaptures(CaptureSet* captures) {
    captures_ = captures;
    connect(captures, &CaptureSet::recordingChanged, this, [this](int position, bool on) {
        if (position != position_) return;
        LiveMenuState menu = menu_;
        menu.recording = on;
        setMenu(menu);
        display_.showRecording(on);
    });
    connect(captures, &CaptureSet::told, this, [this](int, const QString& line) {
        display_.ask({line, QStringLiteral("Capture")});
    });
}

void LiveViewController::snapshot() {
    if (captures_ != nullptr && state_ != State::Closing && state_ != State::Closed) captures_->snapshot(position_);
}

void LiveViewController::toggleRecord() {
    if (captures_ != nullptr && state_ != State::Closing && state_ != State::Closed) captures_->toggleRecord(position_);
}

void LiveViewController::setMenu(const LiveMenuState& state) {
    menu_ = state;
    display_.showMenuState(menu_);
}

void LiveViewController::setPreset(int preset) {
    if (stream_) stream_->setPreset(preset);
}

void LiveViewController::goToPreset(int preset) {
    if (stream_) stream_->goToPreset(preset);
}

void LiveViewController::setOsdMode(bool on) {
    if (on) osdMode_ = true;
    if (stream_ && ptzEnabled()) stream_->osd(on ? OsdCommand::On : OsdCommand::Off);
    if (!on) osdMode_ = false;
}

void LiveViewController::chooseSpeed(int speed) {
    records_[static_cast<std::size_t>(position_)].ptzSpeed = speed;
    changes_[static_cast<std::size_t>(position_)].ptzSpeed = speed;
    LiveMenuState menu = menu_;
    menu.ptzSpeed = speed;
    setMenu(menu);
}

void LiveViewController::setQuadDisplay(int mode) {
    if (stream_ && currentRecord().quadServer != 0) stream_->setQuadDisplay(mode);
}

void LiveViewController::setAudioIn(bool on) {
    records_[static_cast<std::size_t>(position_)].playAudio = on ? 1 : 0;
    changes_[static_cast<std::size_t>(position_)].playAudio = on ? 1 : 0;
    if (stream_) stream_->setAudioIn(on);
    LiveMenuState menu = menu_;
    menu.playAudio = on;
    setMenu(menu);
}

void LiveViewController::startTalking() {
    // What the items show follows the outcome; until then they stay.
    setMenu(menu_);
    if (talkRouteFor(currentRecord().streamingType) == TalkRoute::None || !menu_.audioOut || !stream_) return;
    stream_->startTalking();
}

void LiveViewController::stopTalking() {
    if (stream_) stream_->stopTalking();
    LiveMenuState menu = menu_;
    menu.talking = false;
    setMenu(menu);
}

void LiveViewController::toggleOutput() {
    outputOn_ = !outputOn_;
    if (stream_) stream_->setOutput(outputOn_);
    LiveMenuState menu = menu_;
    menu.output = outputOn_;
    setMenu(menu);
}

} // namespace tavolin::ui
