#include "live/camera_stream.h"

#include <QMetaObject>
#include <utility>

#include "platform/thread_name.h"
#include "shell/reason_log.h"
#include "stream/frame_fan_out.h"

#include <array>

namespace tavolin::ui {
namespace {

// Stop direction codes of M_KPTZ_STOP.
constexpr int32_t kStopAll = 0;
constexpr int32_t kStopUp = 1;
constexpr int32_t kStopDown = 2;
constexpr int32_t kStopLeft = 3;
constexpr int32_t kStopRight = 4;

void startSector(OstrelInterface* handle, PtzSector sector, int speed) {
    switch (sector) {
    case PtzSector::UpLeft: M_KPTZ_UP_LEFT(handle, speed); return;
    case PtzSector::Left: M_KPTZ_LEFT(handle, speed); return;
    case PtzSector::DownLeft: M_KPTZ_DOWN_LEFT(handle, speed); return;
    case PtzSector::Up: M_KPTZ_UP(handle, speed); return;
    case PtzSector::ZoomIn: M_KPTZ_ZOOM_IN(handle); return;
    case PtzSector::ZoomOut: M_KPTZ_ZOOM_OUT(handle); return;
    case PtzSector::Down: M_KPTZ_DOWN(handle, speed); return;
    case PtzSector::UpRight: M_KPTZ_UP_RIGHT(handle, speed); return;
    case PtzSector::Right: M_KPTZ_RIGHT(handle, speed); return;
    case PtzSector::DownRight: M_KPTZ_DOWN_RIGHT(handle, speed); return;
    }
}

void stopSector(OstrelInterface* handle, PtzSector sector) {
    switch (sector) {
    case PtzSector::ZoomIn:
    case PtzSector::ZoomOut: M_KPTZ_ZOOM_STOP(handle); return;
    case PtzSector::Left: M_KPTZ_STOP(handle, kStopLeft); return;
    case PtzSector::Right: M_KPTZ_STOP(handle, kStopRight); return;
    case PtzSector::Up: M_KPTZ_STOP(handle, kStopUp); return;
    case PtzSector::Down: M_KPTZ_STOP(handle, kStopDown); return;
    case PtzSector::UpLeft:
    case PtzSector::DownLeft:
    case PtzSector::UpRight:
    case PtzSector::DownRight: M_KPTZ_STOP(handle, kStopAll); return;
    }
}

// What the stream client last told on `handle`'s behalf, as the user reads it.
QString lastReasonOf(OstrelInterface* handle) {
    std::array<char, 1025> text{};
    if (M_KGetLastReason(handle, text.data(), static_cast<int32_t>(text.size())) <= 0) return {};
    return reasonForUser(text.data());
}

void sendOsd(OstrelInterface* handle, OsdCommand command) {
    switch (command) {
    case OsdCommand::On: M_KPTZ_OSD_ON(handle); return;
    case OsdCommand::Off: M_KPTZ_OSD_OFF(handle); return;
    case OsdCommand::Up: M_KPTZ_OSD_UP(handle); return;
    case OsdCommand::Down: M_KPTZ_OSD_DOWN(handle); return;
    case OsdCommand::Leave: M_KPTZ_OSD_LEAVE(handle); return;
    case OsdCommand::Enter: M_KPTZ_OSD_ENTER(handle); return;
    case OsdCommand::StopUp: M_KPTZ_STOP(handle, kStopUp); return;
    case OsdCommand::StopDown: M_KPTZ_STOP(handle, kStopDown); return;
    }
}

} // namespace

CameraStream::CameraStream(const StreamSettings& settings, QObject* parent) : LiveStream(parent), settings_(settings) {
    progressTimer_.setInterval(kProgressStepMs);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { emit progress(++progressStep_); });
    worker_ = std::thread([this] {
        platform::nameThisThread("camera-stream");
        workerMain();
    });
}

CameraStream::~CameraStream() {
    if (state_ != State::Closing && state_ != State::Closed) {
        state_ = State::Closing;
        run([this](OstrelInterface*& handle) { closeOnWorker(handle); });
    }
    {
        std::lock_guard lock(jobsLock_);
        workerDone_ = true;
    }
    jobsWake_.notify_all();
    worker_.join();
}

void CameraStream::run(Job job) {
    {
        std::lock_guard lock(jobsLock_);
        jobs_.push_back(std::move(job));
    }
    jobsWake_.notify_all();
}

void CameraStream::workerMain() {
    OstrelInterface* handle = nullptr;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(jobsLock_);
            jobsWake_.wait(lock, [this] { return !jobs_.empty() || workerDone_; });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job(handle);
    }
}

void CameraStream::toGui(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void CameraStream::open() {
    if (state_ != State::Idle) return;
    state_ = State::Connecting;
    progressStep_ = 1;
    emit progress(progressStep_);
    progressTimer_.start();
    run([this](OstrelInterface*& handle) { connectOnWorker(handle); });
}

void CameraStream::connectOnWorker(OstrelInterface*& handle) {
    handle = M_KOpenInterface();
    handle_ = handle;
    if (settings_.events) {
        // 0: three motion regions; the fourth is always reported as 0.
        M_KSetMotionDetectionCallback(handle, this, onMotion, 0);
        M_KSetDICallback(handle, this, onInput);
    }
    M_KSetNetworkLossCallback(handle, this, onNetworkLoss);
    M_KSetAfterRenderCallback(handle, this, onPictureShown);
    M_KSetStreamingType(handle, settings_.streamingType);
    M_KSetMediaConfig(handle, &settings_.connection);
    M_KSetRenderInfo(handle, &settings_.render);
    if (settings_.ptz) M_KEnablePTZProtocol(handle, 1, &*settings_.ptz);
    if (handle != nullptr) M_KSetMute(handle, settings_.playAudio ? 1 : 0);
    if (settings_.recordOnly) M_KSetRecordOnly(handle, 1);
    if (settings_.frames) M_KSetFrameTapCallback(handle, settings_.frames.get(), &FrameFanOut::tap);

    const bool ok = handle != nullptr && M_KConnect(handle) == 1;
    if (ok && settings_.ptz) M_KSendRS232Setting(handle, settings_.serialControl, settings_.serialBaudRate);
    QString reason;
    if (handle == nullptr) {
        reason = QStringLiteral("the stream client could not be opened");
    } else if (!ok) {
        reason = lastReasonOf(handle);
    }
    toGui([this, ok, reason] {
        if (state_ != State::Connecting) return;
        progressTimer_.stop();
        state_ = ok ? State::Connected : State::Failed;
        if (ok) {
            emit connected();
            if (std::exchange(lostWhileConnecting_, false)) emit networkLost(lostReason_);
        } else {
            emit failed(reason);
        }
    });
    // Asked once the picture is on its way: the camera may take a while.
    if (ok && talkRouteFor(settings_.streamingType) == TalkRoute::BackChannel) {
        char why[256] = {};
        if (M_KCheckAudioOut(handle, why, sizeof why) == 0) {
            const QString text = QString::fromUtf8(why);
            toGui([this, text] {
                if (reporting()) emit audioOutUnavailable(text);
            });
        }
    }
}

void CameraStream::aim(const AimRequest& request) {
    if (state_ != State::Connected) {
        emit aimed(AimOutcome{false, QStringLiteral("the camera is not connected"), std::nullopt});
        return;
    }
    run([this, request](OstrelInterface*& handle) {
        const AimOutcome outcome = aimOnWorker(handle, request);
        toGui([this, outcome] { emit aimed(outcome); });
    });
}

AimOutcome CameraStream::aimOnWorker(OstrelInterface* handle, const AimRequest& request) {
    AimOutcome outcome;
    if (handle == nullptr) {
        outcome.why = QStringLiteral("the camera is not connected");
        return outcome;
    }
    if (!pointer_) {
        aimCamera_ = std::make_unique<aim::StreamAimCamera>(handle, &aimCancelled_);
        pointer_ = std::make_unique<aim::Pointer>(*aimCamera_);
    }
    const aim::Capabilities& caps = pointer_->capabilities();
    std::optional<aim::Calibration> calibration = request.calibration;
    const bool zooming = request.target.magnification != 1.0;
    const bool fovDoesIt = caps.fovPanTilt && (!zooming || caps.fovZoom);
    if (!fovDoesIt && !calibration) {
        const aim::CalibrationResult measured = pointer_->calibrate();
        if (!measured.calibration) {
            outcome.why = QStringLiteral("the camera's moves could not be measured: %1")
                              .arg(QString::fromStdString(measured.why));
            return outcome;
        }
        calibration = measured.calibration;
        outcome.measured = calibration;
    }
    const aim::PointingResult result = pointer_->centre(request.target, calibration ? &*calibration : nullptr,
                                                        request.reference ? &*request.reference : nullptr);
    outcome.moved = result.moved;
    outcome.why = QString::fromStdString(result.why);
    return outcome;
}

void CameraStream::close() {
    if (state_ == State::Closing || state_ == State::Closed) return;
    aimCancelled_.store(true);
    progressTimer_.stop();
    state_ = State::Closing;
    run([this](OstrelInterface*& handle) { closeOnWorker(handle); });
}

void CameraStream::closeOnWorker(OstrelInterface*& handle) {
    // Disconnecting waits for the stream client's threads: no callback runs
    // after this.
    pointer_.reset();
    aimCamera_.reset();
    M_KDisconnect(handle);
    handle_ = nullptr;
    M_KCloseInterface(handle);
    handle = nullptr;
    toGui([this] {
        state_ = State::Closed;
        emit closed();
    });
}

void CameraStream::command(std::function<void(OstrelInterface*)> call) {
    // A failed stream keeps its interface; the stream client refuses what it
    // cannot do.
    if (state_ != State::Connected && state_ != State::Failed) return;
    run([call = std::move(call)](OstrelInterface*& handle) { call(handle); });
}

void CameraStream::fitPicturesInto(QSize box) {
    if (state_ == State::Closing || state_ == State::Closed) return;
    RenderInfo render = settings_.render;
    render.width = box.width();
    render.height = box.height();
    // Queued behind the connect, so it also reaches a stream still connecting.
    run([render](OstrelInterface*& handle) {
        if (handle != nullptr) M_KSetRenderInfo(handle, &render);
    });
}

void CameraStream::startMove(PtzSector sector, int speed) {
    command([sector, speed](OstrelInterface* h) { startSector(h, sector, speed); });
}

void CameraStream::stopMove(PtzSector sector) {
    command([sector](OstrelInterface* h) { stopSector(h, sector); });
}

void CameraStream::setPreset(int preset) {
    command([preset](OstrelInterface* h) { M_KPTZ_SET_PRESET(h, preset); });
}

void CameraStream::goToPreset(int preset) {
    command([preset](OstrelInterface* h) { M_KPTZ_GOTO_PRESET(h, preset); });
}

void CameraStream::osd(OsdCommand osdCommand) {
    command([osdCommand](OstrelInterface* h) { sendOsd(h, osdCommand); });
}

void CameraStream::setQuadDisplay(int mode) {
    command([mode](OstrelInterface* h) { M_KQuadSetDisplayMode(h, mode); });
}

void CameraStream::setOutput(bool on) {
    command([on](OstrelInterface* h) { M_KSendDO(h, on ? 1 : 0); });
}

void CameraStream::setAudioIn(bool play) {
    command([play](OstrelInterface* h) { M_KSetMute(h, play ? 1 : 0); });
}

void CameraStream::startTalking() {
    const bool backChannel = talkRouteFor(settings_.streamingType) == TalkRoute::BackChannel;
    command([this, backChannel](OstrelInterface* h) {
        TalkResult result = TalkResult::Started;
        // A request that never reached the camera leaves the buffer as it was.
        char holder[32] = {};
        char why[256] = {};
        if (M_KGetAudioToken(h, holder) == 0) {
            // A back channel has no holder: the stream client kept why it was refused.
            if (backChannel) M_KGetAudioOutReason(h, why, sizeof why);
            M_KFreeAudioToken(h);
            result = backChannel ? TalkResult::Unavailable : TalkResult::Refused;
        } else if (M_KStartAudioTransfer(h) == 0) {
            M_KStopAudioTransfer(h);
            M_KFreeAudioToken(h);
            result = TalkResult::Failed;
        }
        holder[sizeof holder - 1] = '\0';
        QString text;
        if (result == TalkResult::Refused) text = QString::fromUtf8(holder);
        if (result == TalkResult::Unavailable) text = QString::fromUtf8(why);
        toGui([this, result, text] {
            if (state_ != State::Closing && state_ != State::Closed) emit talkResult(result, text);
        });
    });
}

void CameraStream::stopTalking() {
    command([](OstrelInterface* h) {
        M_KStopAudioTransfer(h);
        M_KFreeAudioToken(h);
    });
}

void CameraStream::onMotion(void* user, int32_t r1, int32_t r2, int32_t r3, int32_t r4) {
    auto* self = static_cast<CameraStream*>(user);
    self->toGui([self, r1, r2, r3, r4] {
        if (self->reporting()) emit self->motion(r1, r2, r3, r4);
    });
}

void CameraStream::onInput(void* user, int32_t di1, int32_t di2) {
    auto* self = static_cast<CameraStream*>(user);
    self->toGui([self, di1, di2] {
        if (self->reporting()) emit self->input(di1, di2);
    });
}

void CameraStream::onNetworkLoss(void* user) {
    auto* self = static_cast<CameraStream*>(user);
    const QString reason = lastReasonOf(self->handle_.load());
    self->toGui([self, reason] {
        // The loss may overtake the news of the connection it ends.
        if (self->state_ == State::Connecting) {
            self->lostWhileConnecting_ = true;
            self->lostReason_ = reason;
        }
        if (self->state_ == State::Connected) emit self->networkLost(reason);
    });
}

void CameraStream::onPictureShown(void* user) {
    auto* self = static_cast<CameraStream*>(user);
    if (self->pictureReported_.load() || self->picturePending_.exchange(true)) return;
    self->toGui([self] {
        self->picturePending_ = false;
        // A picture drawn before the connect was told is reported by a later one.
        if (self->state_ != State::Connected || self->pictureReported_.exchange(true)) return;
        emit self->pictureShown();
    });
}

} // namespace tavolin::ui
