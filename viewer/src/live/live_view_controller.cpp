#include "live/live_view_controller.h"

#include <QMetaObject>
#include <Qt>
#include <algorithm>
#include <utility>

#include "live/stream_records.h"

namespace tavolin::ui {
namespace {

constexpr int kTalkingStreamingType = 2;
const QString kTalkCaption = QStringLiteral("2-Way Audio");

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
    return s;
}

// Cameras on their own streaming protocols always keep their pictures' shape;
// the older protocols stretch them unless the record asks otherwise.
PictureFit pictureFitFor(const CameraRecord& record) {
    return streamsOverRtsp(record.streamingType) || record.keepAspect != 0 ? PictureFit::KeepAspect
                                                                           : PictureFit::Stretch;
}

const QString kLossQuestion = QStringLiteral("Network Loss!\nReturn to main menu?");
const QString kLossCaption = QStringLiteral("Connection");

} // namespace

LiveViewController::LiveViewController(const Records& records, LiveViewDisplay& display, StreamFactory streams,
                                       const ViewTimerFactory& timers, const platform::Clock& clock)
    : records_(records), display_(display), makeStream_(std::move(streams)), clock_(clock), schedule_(clock) {
    eventTimer_ = timers(kEventPeriodMs, false, [this] { showEventsOfPeriod(); });
    holdTimer_ = timers(kHoldMs, true, [this] { actionKey(); });
    retryTimer_ = timers(ReconnectSchedule::kFirstDelayMs, true, [this] { retryIfDue(); });
}

LiveViewController::~LiveViewController() = default;

void LiveViewController::start(int position, QSize screen, uint32_t surface) {
    screen_ = screen;
    surface_ = surface;
    eventTimer_->start();
    streamOpen(position, OpenMode::FirstPlay);
}

void LiveViewController::streamOpen(int position, OpenMode mode) {
    if (position < 0 || position >= kCameraCount || closed_) return;
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
    setMenu(menu);
    outputOn_ = false;
    osdMode_ = false;

    nameText_ = cameraNameText(position, record);
    display_.setNameText(nameText_);
    display_.setNameVisible(false);

    display_.setProgress(0, kProgressMaximum);
    connecting_ = true;
    connected_ = false;
    progressCount_ = 0;
    display_.clearVideo();
    display_.setPictureFit(pictureFitFor(record));
    display_.setBackground(Background::Connecting);

    stream_ = makeStream_(settingsFor(record, screen_, surface_));
    connectStream(*stream_, mode);
    display_.setProgressVisible(true);
    stream_->open();
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
    connect(&stream, &LiveStream::talkResult, this, [this](TalkResult result, const QString& holder) {
        LiveMenuState menu = menu_;
        if (result == TalkResult::Refused) {
            display_.ask(QStringLiteral("Get Audio Out Token Fail!\n %1 Take It!").arg(holder), kTalkCaption,
                         PromptButtons::Ok);
        } else if (result == TalkResult::Failed) {
            display_.ask(QStringLiteral("Audio Out Fail!"), kTalkCaption, PromptButtons::Ok);
            menu.talking = false;
        } else {
            menu.talking = true;
        }
        setMenu(menu);
    });
}

void LiveViewController::onProgress(int step) {
    if (!connecting_) return;
    progressCount_ = step;
    display_.setProgress(std::min(step, kProgressMaximum), kProgressMaximum);
}

void LiveViewController::onConnected() {
    display_.setProgress(kProgressMaximum, kProgressMaximum);
    display_.setProgressVisible(false);
    connected_ = true;
    connecting_ = false;
    display_.setNameVisible(currentRecord().showName != 0);
}

void LiveViewController::onFailed(OpenMode mode, const QString& reason) {
    if (reconnecting_) {
        reconnectLater();
        return;
    }
    LiveStream* failedStream = stream_.get();
    display_.setBackground(Background::Failed);
    connecting_ = false;
    connected_ = false;
    display_.setProgressVisible(false);
    if (mode == OpenMode::Switch) return;
    display_.ask(QStringLiteral("Connect Fail!"), QStringLiteral("Connect"), PromptButtons::Ok, reason);
    // The view may have been closed while the message was up.
    if (stream_.get() != failedStream || closingView_) return;
    display_.setBackground(Background::Plain);
    close();
}

void LiveViewController::onNetworkLost() {
    if (currentRecord().autoReconnect == 0) {
        LiveStream* lost = stream_.get();
        const PromptAnswer answer = display_.ask(kLossQuestion, kLossCaption, PromptButtons::YesNo);
        if (answer == PromptAnswer::Yes && stream_.get() == lost) close();
        return;
    }
    // A stream lost again before its first picture asks nothing new.
    const bool alreadyReconnecting = reconnecting_;
    reconnectLater();
    if (alreadyReconnecting || lossQuestion_) return;
    lossQuestion_ = true;
    // Asked once the lost stream's signal is over: the stream goes while the
    // question is up, and the attempts run meanwhile.
    QMetaObject::invokeMethod(
        this, [this, opened = opened_] { askAboutLoss(opened); }, Qt::QueuedConnection);
}

void LiveViewController::askAboutLoss(int opened) {
    if (!closingView_ && opened == opened_ &&
        display_.ask(kLossQuestion, kLossCaption, PromptButtons::YesNo) == PromptAnswer::Yes && opened == opened_) {
        close();
    }
    lossQuestion_ = false;
}

void LiveViewController::reconnectLater() {
    schedule_.failed();
    if (!reconnecting_) {
        reconnecting_ = true;
        display_.showReconnecting(true);
    }
    connecting_ = false;
    connected_ = false;
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
    if (!reconnecting_ || closingView_ || stream_) return;
    if (!schedule_.due()) {
        retryTimer_->restart(static_cast<int>(std::max<int64_t>(1, schedule_.msUntilAttempt())));
        return;
    }
    // The lost stream has gone before the next one reaches the camera.
    afterStreamsClosed([this] {
        if (!reconnecting_ || closingView_ || stream_) return;
        stream_ = makeStream_(settingsFor(currentRecord(), screen_, surface_));
        connectStream(*stream_, OpenMode::Switch);
        stream_->open();
    });
}

bool LiveViewController::stopReconnecting() {
    if (!reconnecting_) return false;
    reconnecting_ = false;
    retryTimer_->stop();
    display_.showReconnecting(false);
    return true;
}

void LiveViewController::onPictureShown() {
    schedule_.pictureShown();
    stopReconnecting();
}

void LiveViewController::showEventsOfPeriod() {
    if (currentRecord().showEvents != 0) display_.showIndicators(eventFlags_);
    eventFlags_.fill(false);
}

void LiveViewController::streamClose() {
    const bool keptPicture = stopReconnecting();
    display_.showIndicators({});
    display_.setNameVisible(false);
    display_.setProgressVisible(false);
    if (penDown_) {
        // A move still running under the pen would go on after its stream closed.
        stopPtzAction();
        penDown_ = false;
    }
    connecting_ = false;
    connected_ = false;
    if (!stream_) {
        if (keptPicture) display_.clearVideo();
        return;
    }
    if (outputOn_) {
        stream_->setOutput(false);
        outputOn_ = false;
    }
    retireStream();
    display_.clearVideo();
}

void LiveViewController::retireStream() {
    if (penDown_) {
        stopPtzAction();
        penDown_ = false;
    }
    if (!stream_) return;
    std::unique_ptr<LiveStream> stream = std::move(stream_);
    // Only the end of the stream matters from now on.
    stream->disconnect(this);
    LiveStream* closingStream = stream.get();
    connect(closingStream, &LiveStream::closed, this, [this, closingStream] { onStreamClosed(closingStream); });
    closing_.push_back(std::move(stream));
    closingStream->close();
}

void LiveViewController::onStreamClosed(LiveStream* stream) {
    const auto it =
        std::find_if(closing_.begin(), closing_.end(), [stream](const auto& s) { return s.get() == stream; });
    if (it == closing_.end()) return;
    // Its signal is still being emitted: the object goes once that is over.
    it->release()->deleteLater();
    closing_.erase(it);
    if (!closing_.empty()) return;
    std::vector<std::function<void()>> next;
    next.swap(whenClosed_);
    for (auto& work : next) work();
}

void LiveViewController::afterStreamsClosed(std::function<void()> next) {
    if (closing_.empty()) {
        next();
    } else {
        whenClosed_.push_back(std::move(next));
    }
}

void LiveViewController::close() {
    if (closingView_) return;
    closingView_ = true;
    eventTimer_->stop();
    holdTimer_->stop();
    display_.setBackground(Background::Plain);
    streamClose();
    afterStreamsClosed([this] {
        display_.setOrientation(kPortraitDegrees);
        closed_ = true;
        display_.finish();
    });
}

void LiveViewController::patrol(PatrolDirection direction) {
    if (isConnecting() || closingView_) return;
    std::array<CameraRecord*, kCameraCount> records{};
    for (std::size_t i = 0; i < records.size(); ++i) records[i] = &records_[i];
    const std::optional<int> target = patrolStep(records, position_, direction);
    if (!target) {
        display_.ask(QStringLiteral("No camara to do patorl!"), QStringLiteral("Patrol"), PromptButtons::Ok);
        return;
    }
    streamClose();
    // The next stream opens once the last one has gone, so the two never
    // reach a camera at once; the view stays responsive meanwhile.
    openPending_ = true;
    display_.setBackground(Background::Connecting);
    afterStreamsClosed([this, position = *target] {
        openPending_ = false;
        if (!closingView_) streamOpen(position, OpenMode::Switch);
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
    // A finger that steers nothing may be held to open the menu.
    const bool steering = ptzEnabled() && stream_;
    if (!steering && fromTouch) {
        holdOrigin_ = point;
        holdTimer_->start();
    }
}

void LiveViewController::penMove(QPoint point) {
    if (!penDown_) return;
    if (holdTimer_->isActive() && (point - holdOrigin_).manhattanLength() > kHoldSlop) holdTimer_->stop();
    if (ptzSectorAt(screen_, point) != sector_) {
        stopPtzAction();
        startSector(point);
    }
}

void LiveViewController::penUp() {
    holdTimer_->stop();
    stopPtzAction();
    penDown_ = false;
}

bool LiveViewController::handlesKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right ||
           key == Qt::Key_Return || key == Qt::Key_Enter;
}

void LiveViewController::keyDown(int key, bool autoRepeat) {
    // A held key is one press: its repeats start nothing again.
    if (autoRepeat) return;
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
    if (isConnecting() || closingView_) return;
    // The menu takes the pointer, so the view would never see this press end:
    // a move running under it stops now.
    if (penDown_) {
        stopPtzAction();
        penDown_ = false;
    }
    display_.openMenu();
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
    if (currentRecord().streamingType != kTalkingStreamingType || !stream_) return;
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
