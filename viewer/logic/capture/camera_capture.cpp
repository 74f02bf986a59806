#include "capture/camera_capture.h"

#include <QMetaObject>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "live/stream_records.h"
#include "recorder/capture_names.h"
#include "recorder/snapshot.h"
#include "stream/shared_streams.h"
#include "stream/stream_catalogues.h"
#include "transport/streaming_types.h"

namespace tavolin::ui {
namespace {

QString text(const std::string& line) { return QString::fromStdString(line); }

FrameFanOut::Consumer consumerOf(recorder::CameraRecorder& r) { return {&recorder::CameraRecorder::tap, &r}; }
FrameFanOut::Consumer consumerOf(recorder::PictureCatcher& c) { return {&recorder::PictureCatcher::tap, &c}; }

} // namespace

recorder::OnvifSnapshot fetchCameraJpeg(const CameraRecord& record, const recorder::SnapshotProfile& profile) {
    const onvif::DeviceSettings camera{std::string(textOf(record.host)),
                                       record.httpPort == 0 ? 80 : static_cast<int>(record.httpPort),
                                       std::string(textOf(record.userName)), std::string(textOf(record.password))};
    return recorder::fetchOnvifSnapshot(camera, profile);
}

StreamSettings captureStreamSettings(const CameraRecord& record, bool events) {
    StreamSettings s;
    s.streamingType = record.streamingType;
    prepareMediaConfig(s.connection, record);
    s.events = events;
    s.recordOnly = true;
    s.subStreamAddress = std::string(textOf(record.subStreamUrl));
    return s;
}

CameraCapture::CameraCapture(const CameraRecord& record, const recorder::CaptureSettings& settings,
                             int recordOnMotionSeconds, CaptureServices services)
    : record_(record), settings_(settings), motionSeconds_(std::max(0, recordOnMotionSeconds)),
      services_(std::move(services)), closing_(*this, [this] { reconcile(); }), calls_(*this) {
    retryTimer_ = services_.timers(kRetryMs, true, [this] { reconcile(); });
    snapshotTimer_ = services_.timers(kSnapshotWaitMs, true, [this] {
        endSnapshot(catcher_ ? text(catcher_->whyNone()) + QStringLiteral(" in time") : QString());
    });

    recorder::RecorderSettings r = settings_.recorderSettings();
    r.motionHoldMs = int64_t{motionSeconds_} * 1000;
    const std::filesystem::path folder(settings_.folder);
    const std::string name(textOf(record_.name));
    r.cameraName = name;
    r.naming = [folder, name](std::chrono::system_clock::time_point time, int) {
        return (folder / recorder::captureFileName(name, time, "mkv")).string();
    };
    // From the stream's or the writer's thread; the recorder (and with it
    // that thread) ends before this object does.
    r.notice = [this](const std::string& line) {
        QMetaObject::invokeMethod(
            this, [this, line = text(line)] { recorderNotice(line); }, Qt::QueuedConnection);
    };
    r.clipChanged = [this](bool recording) {
        QMetaObject::invokeMethod(
            this,
            [this, recording] {
                clipOpen_ = recording;
                reconcile();
            },
            Qt::QueuedConnection);
    };
    recorder_ = std::make_unique<recorder::CameraRecorder>(std::move(r));

    StreamCatalogues* catalogues = services_.catalogues;
    // After the views that waited for the same answer have taken their
    // streams: the capture copies theirs rather than opening one first.
    connect(
        catalogues, &StreamCatalogues::ready, this,
        [this] {
            reconcile();
            if (std::exchange(snapshotWanted_, false)) snapshot();
        },
        Qt::QueuedConnection);
    connect(&catalogues->shared(), &SharedStreams::changed, this, [this] { reconcile(); });
    connect(&catalogues->shared(), &SharedStreams::letGo, this, [this](LiveStream* stream) {
        // A view needs the stream this capture holds: it copies the view's.
        if (stream == own_.get()) retireOwn(false);
    });
    reconcile();
}

CameraCapture::~CameraCapture() {
    // What the streams tell from here on is not answered (the catalogues may
    // have gone already). Nothing is copied from here on; the streams close (and their threads
    // end) before the recorder goes.
    ending_ = true;
    feed(nullptr, {});
    catcher_.reset();
    own_.reset();
}

bool CameraCapture::onvif() const { return record_.streamingType == transport::kOnvifStreamingType; }

bool CameraCapture::recorderWanted() const {
    return (armed_ && settings_.preRollSeconds > 0) || pressed_ || motionSeconds_ > 0 || clipOpen_;
}

void CameraCapture::setArmed(bool armed) {
    armed_ = armed;
    reconcile();
}

bool CameraCapture::folderReady() {
    std::string message;
    if (recorder::prepareCaptureFolder(settings_.folder, message)) return true;
    emit told(text(message));
    return false;
}

void CameraCapture::toggleRecord() {
    if (!pressed_ && !folderReady()) return;
    pressed_ = !pressed_;
    if (pressed_) {
        recorder_->startRecording();
    } else {
        recorder_->stopRecording();
    }
    emit recordingChanged(pressed_);
    reconcile();
}

std::optional<StreamSettings> CameraCapture::bigStream(recorder::SnapshotProfile* profile) const {
    StreamSettings big = captureStreamSettings(record_, motionSeconds_ > 0);
    const std::optional<StreamOptions> options = services_.catalogues->streams(big);
    if (!options || options->empty()) return std::nullopt;
    // The streams go from the smallest to the largest.
    const StreamOption& largest = options->back();
    applyOption(big.connection, largest);
    if (profile != nullptr)
        *profile = {largest.profileToken, largest.sizeExact ? largest.size.width() : 0,
                    largest.sizeExact ? largest.size.height() : 0, largest.channel};
    return big;
}

void CameraCapture::reconcile() {
    if (ending_) return;
    if (!framesWanted()) {
        retryTimer_->stop();
        feed(nullptr, {});
        if (own_) retireOwn(false);
        return;
    }
    const std::optional<StreamSettings> big = bigStream();
    if (!big) return; // ready() follows
    const std::string key = SharedStreams::keyOf(*big);
    if (own_ && ownKey_ != key) retireOwn(false); // the camera's streams changed
    SharedStreams& shared = services_.catalogues->shared();
    if (!shared.frames(key) && !own_ && mayOpenOwn(*big)) openOwn(*big);
    feed(shared.frames(key), key);
}

bool CameraCapture::mayOpenOwn(const StreamSettings& big) const {
    // One connection of its own at a time, and a pause after a lost one.
    if (!closing_.empty() || retryTimer_->isActive()) return false;
    // Cameras of protocols 1 and 2 serve one stream to one client: a view
    // that shows the camera has it.
    const SharedStreams& shared = services_.catalogues->shared();
    if (!streamsOverRtsp(big.streamingType) && shared.viewHoldsCamera(SharedStreams::cameraOf(big))) return false;
    return true;
}

void CameraCapture::openOwn(const StreamSettings& big) {
    StreamSettings s = big;
    s.frames = std::make_shared<FrameFanOut>();
    own_ = services_.streams(s);
    ownKey_ = SharedStreams::keyOf(s);
    LiveStream* stream = own_.get();
    connect(stream, &LiveStream::failed, this, [this](const QString& reason) { ownLost(reason); });
    connect(stream, &LiveStream::networkLost, this, [this](const QString& reason) { ownLost(reason); });
    connect(stream, &LiveStream::motion, this, [this](int r1, int r2, int r3, int r4) {
        if ((r1 | r2 | r3 | r4) & 0xFF) recorder_->motion();
    });
    services_.catalogues->shared().hold(*stream, s, SharedStreams::Holder::Capture, [stream] { stream->open(); });
}

void CameraCapture::ownLost(const QString& reason) {
    // A snapshot that opened it alone is over; anything else tries again.
    const bool forSnapshotAlone = catcher_ != nullptr && !recorderWanted();
    retireOwn(!forSnapshotAlone);
    if (forSnapshotAlone) endSnapshot(reason.isEmpty() ? QStringLiteral("the camera could not be reached") : reason);
}

void CameraCapture::retireOwn(bool retry) {
    if (!own_) return;
    // The recorder finishes its file when the stream ends; the next one
    // starts a new one.
    closing_.retire(std::move(own_));
    if (retry && framesWanted()) retryTimer_->start();
    reconcile();
}

void CameraCapture::feed(const std::shared_ptr<FrameFanOut>& frames, const std::string& key) {
    const std::shared_ptr<FrameFanOut> old = fedBy_;
    const FrameFanOut::Consumer recorderTap = consumerOf(*recorder_);
    if (old && old != frames) {
        old->remove(recorderTap);
        if (catcher_) old->remove(consumerOf(*catcher_));
    }
    fedBy_ = frames;
    if (!frames) {
        QObject::disconnect(motionOfHolder_);
        return;
    }
    if (recorderWanted()) {
        frames->add(recorderTap);
    } else {
        frames->remove(recorderTap);
    }
    if (catcher_) frames->add(consumerOf(*catcher_));
    if (old != frames) {
        // Motion the view's stream reports reaches the recorder too.
        QObject::disconnect(motionOfHolder_);
        LiveStream* holder = services_.catalogues->shared().holderOf(key);
        if (holder != nullptr && holder != own_.get() && motionSeconds_ > 0) {
            motionOfHolder_ = connect(holder, &LiveStream::motion, this, [this](int r1, int r2, int r3, int r4) {
                if ((r1 | r2 | r3 | r4) & 0xFF) recorder_->motion();
            });
        }
    }
}

void CameraCapture::snapshot() {
    if (snapshotPending() || !folderReady()) return;
    recorder::SnapshotProfile profile;
    if (!bigStream(&profile)) {
        // Taken once the camera's streams are known.
        snapshotWanted_ = true;
        return;
    }
    if (onvif()) {
        askCamera(profile);
    } else {
        catchFromStream();
    }
}

void CameraCapture::askCamera(const recorder::SnapshotProfile& profile) {
    askingCamera_ = true;
    calls_.run<recorder::OnvifSnapshot>(
        [fetch = services_.cameraJpeg, record = record_, profile](std::stop_token) { return fetch(record, profile); },
        [this](recorder::OnvifSnapshot answer) {
            askingCamera_ = false;
            if (answer.jpeg) {
                save(*answer.jpeg, std::chrono::system_clock::now());
                return;
            }
            // The stream's picture instead, as from a camera without one.
            cameraJpegFailure_ = text(answer.error);
            catchFromStream();
        });
}

void CameraCapture::catchFromStream() {
    const int snapshot = ++snapshotCount_;
    catcher_ = std::make_unique<recorder::PictureCatcher>([this, snapshot] {
        QMetaObject::invokeMethod(
            this, [this, snapshot] { finishSnapshot(snapshot); }, Qt::QueuedConnection);
    });
    // The pre-roll's newest key picture gives the picture at once.
    for (recorder::Frame& frame : recorder_->newestGroup()) catcher_->take(std::move(frame));
    snapshotTimer_->start();
    reconcile();
}

void CameraCapture::finishSnapshot(int snapshot) {
    if (!catcher_ || snapshot != snapshotCount_) return;
    const std::optional<recorder::PictureCatcher::Picture> picture = catcher_->picture();
    if (!picture) return;
    endSnapshot({});
    save(picture->jpeg, picture->taken);
}

void CameraCapture::endSnapshot(const QString& failure) {
    snapshotTimer_->stop();
    if (catcher_) {
        if (fedBy_) fedBy_->remove(consumerOf(*catcher_));
        catcher_.reset();
    }
    if (!failure.isEmpty()) {
        QString line = QStringLiteral("No snapshot: ") + failure;
        if (!cameraJpegFailure_.isEmpty()) line += QStringLiteral(" (and ") + cameraJpegFailure_ + QStringLiteral(")");
        emit told(line);
    }
    cameraJpegFailure_.clear();
    reconcile();
}

void CameraCapture::save(std::span<const uint8_t> jpeg, std::chrono::system_clock::time_point taken) {
    std::string error;
    const std::optional<std::string> path =
        recorder::saveSnapshot(jpeg, settings_.folder, std::string(textOf(record_.name)), taken, error);
    if (!path) {
        emit told(QStringLiteral("No snapshot: ") + text(error));
        return;
    }
    emit snapshotSaved(text(*path));
}

void CameraCapture::recorderNotice(const QString& line) {
    emit told(line);
    // The writer stopped (no space, a failed write): the press is over.
    if (pressed_ && !recorder_->status().writer.stopReason.empty()) {
        pressed_ = false;
        recorder_->stopRecording();
        emit recordingChanged(false);
        reconcile();
    }
}

} // namespace tavolin::ui
