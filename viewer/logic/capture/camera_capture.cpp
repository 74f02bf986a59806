#include "capture/camera_capture.h"

#include <QMetaObject>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "capture/picture_grab.h"
#include "live/stream_records.h"
#include "platform/surface.h"
#include "recorder/capture_names.h"
#include "recorder/snapshot.h"
#include "transport/streaming_types.h"

namespace tavolin::ui {
namespace {

// Where the decoded picture is drawn does not matter: without the fitting
// flag it comes at the stream's own size.
const QSize kAnyPlace(320, 240);

QString text(const std::string& line) { return QString::fromStdString(line); }

} // namespace

StreamSettings captureStreamSettings(const CameraRecord& record, int channel, bool recordOnly, uint32_t surface,
                                     bool events) {
    StreamSettings s;
    s.streamingType = record.streamingType;
    prepareMediaConfig(s.connection, record);
    if (channel >= 0) s.connection.channel = channel;
    s.render = makeRenderInfo(surface, kAnyPlace);
    s.events = events;
    s.recordOnly = recordOnly;
    return s;
}

CameraCapture::CameraCapture(const CameraRecord& record, const recorder::CaptureSettings& settings,
                             int recordOnMotionSeconds, CaptureServices services)
    : record_(record), settings_(settings), motionSeconds_(std::max(0, recordOnMotionSeconds)),
      services_(std::move(services)) {
    retryTimer_ = services_.timers(kRetryMs, true, [this] { reconcile(); });
    snapshotTimer_ = services_.timers(kSnapshotWaitMs, true, [this] { endSnapshot("no picture came in time"); });
    if (!onvif()) channel_ = static_cast<int>(record_.channel);

    recorder::RecorderSettings r = settings_.recorderSettings();
    r.motionHoldMs = int64_t{motionSeconds_} * 1000;
    const std::filesystem::path folder(settings_.folder);
    const std::string name(textOf(record_.name));
    r.naming = [folder, name](std::chrono::system_clock::time_point time, int) {
        return (folder / recorder::captureFileName(name, time, "mkv")).string();
    };
    // From the stream's or the writer's thread; the recorder (and with it
    // that thread) ends before this object does.
    r.notice = [this](const std::string& line) {
        QMetaObject::invokeMethod(
            this, [this, line = text(line)] { recorderNotice(line); }, Qt::QueuedConnection);
    };
    recorder_ = std::make_unique<recorder::CameraRecorder>(std::move(r));
    reconcile();
}

CameraCapture::~CameraCapture() {
    // The streams close (and their threads end) before the recorder goes.
    snapshotStream_.reset();
    tap_.reset();
    closing_.clear();
    if (grabHandle_ != 0) platform::SurfaceRegistry::remove(grabHandle_);
}

bool CameraCapture::onvif() const { return record_.streamingType == transport::kOnvifStreamingType; }

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

void CameraCapture::reconcile() {
    if (!wanted()) {
        retryTimer_->stop();
        if (tap_) retire(std::move(tap_));
        return;
    }
    if (tap_ || !closing_.empty() || retryTimer_->isActive() || lookingUpChannel_) return;
    if (channel_ >= 0) {
        openTap();
        return;
    }
    lookingUpChannel_ = true;
    services_.lookup(record_, false, [this](const recorder::OnvifSnapshot& answer) {
        lookingUpChannel_ = false;
        if (answer.channel > 0) {
            channel_ = answer.channel;
            reconcile();
        } else if (wanted()) {
            retryTimer_->start();
        }
    });
}

void CameraCapture::openTap() {
    StreamSettings s = captureStreamSettings(record_, channel_, true, 0, motionSeconds_ > 0);
    s.tapUser = recorder_.get();
    s.tap = &recorder::CameraRecorder::tap;
    tap_ = services_.streams(s);
    LiveStream* stream = tap_.get();
    connect(stream, &LiveStream::failed, this, [this] { tapLost(); });
    connect(stream, &LiveStream::networkLost, this, [this] { tapLost(); });
    connect(stream, &LiveStream::motion, this, [this](int r1, int r2, int r3, int r4) {
        if ((r1 | r2 | r3 | r4) & 0xFF) recorder_->motion();
    });
    stream->open();
}

void CameraCapture::tapLost() {
    // The recorder finished its file when the stream ended; the next stream
    // starts a new one.
    if (tap_) retire(std::move(tap_));
    if (wanted()) retryTimer_->start();
}

void CameraCapture::retire(std::unique_ptr<LiveStream> stream) {
    stream->disconnect(this);
    LiveStream* closingStream = stream.get();
    connect(closingStream, &LiveStream::closed, this, [this, closingStream] {
        const auto it = std::find_if(closing_.begin(), closing_.end(),
                                     [closingStream](const auto& s) { return s.get() == closingStream; });
        if (it == closing_.end()) return;
        // Its signal is still being emitted: the object goes once that is over.
        it->release()->deleteLater();
        closing_.erase(it);
        reconcile();
    });
    closing_.push_back(std::move(stream));
    closingStream->close();
}

void CameraCapture::snapshot() {
    if (snapshotPending() || !folderReady()) return;
    if (!onvif()) {
        openSnapshotStream(channel_);
        return;
    }
    lookingUpPicture_ = true;
    services_.lookup(record_, true, [this](const recorder::OnvifSnapshot& answer) {
        lookingUpPicture_ = false;
        if (answer.channel > 0) channel_ = answer.channel;
        if (answer.jpeg) {
            save(*answer.jpeg, std::chrono::system_clock::now());
        } else if (answer.channel > 0) {
            openSnapshotStream(answer.channel);
        } else {
            emit told(QStringLiteral("No snapshot: ") + text(answer.error));
        }
    });
}

void CameraCapture::openSnapshotStream(int channel) {
    grab_ = std::make_shared<PictureGrab>();
    grabHandle_ = platform::SurfaceRegistry::add(grab_);
    snapshotStream_ = services_.streams(captureStreamSettings(record_, channel, false, grabHandle_, false));
    LiveStream* stream = snapshotStream_.get();
    connect(stream, &LiveStream::pictureShown, this, [this] { finishSnapshot(); });
    connect(stream, &LiveStream::failed, this, [this](const QString& reason) {
        endSnapshot(reason.isEmpty() ? QStringLiteral("the camera could not be reached") : reason);
    });
    connect(stream, &LiveStream::networkLost, this, [this] { endSnapshot(QStringLiteral("the connection was lost")); });
    snapshotTimer_->start();
    stream->open();
}

void CameraCapture::finishSnapshot() {
    std::string error;
    std::chrono::system_clock::time_point drawnAt;
    const std::optional<std::vector<uint8_t>> jpeg = grab_ ? grab_->jpeg(drawnAt, error) : std::nullopt;
    if (!jpeg) {
        endSnapshot(text(error));
        return;
    }
    endSnapshot({});
    save(*jpeg, drawnAt);
}

void CameraCapture::endSnapshot(const QString& failure) {
    snapshotTimer_->stop();
    if (snapshotStream_) retire(std::move(snapshotStream_));
    if (grabHandle_ != 0) platform::SurfaceRegistry::remove(std::exchange(grabHandle_, 0));
    grab_.reset();
    if (!failure.isEmpty()) emit told(QStringLiteral("No snapshot: ") + failure);
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
