#include "capture/capture_set.h"

#include <QMetaObject>
#include <utility>

namespace tavolin::ui {

CaptureSet::CaptureSet(std::span<const CameraRecord, kCameraCount> records, CaptureConfig config,
                       CaptureServices services, QObject* parent)
    : QObject(parent), config_(std::move(config)), services_(std::move(services)) {
    std::copy(records.begin(), records.end(), records_.begin());
    if (!services_.lookup) {
        lookups_ = std::make_unique<OnvifLookupThreads>(*this);
        services_.lookup = lookups_->lookup();
    }
    for (int i = 0; i < kCameraCount; ++i) {
        if (config_.recordOnMotionSeconds[static_cast<std::size_t>(i)] > 0) at(i);
    }
}

CaptureSet::~CaptureSet() {
    // Answers still on their way are not waited for by the captures.
    lookups_.reset();
}

CameraCapture& CaptureSet::at(int position) {
    std::unique_ptr<CameraCapture>& slot = captures_[static_cast<std::size_t>(position)];
    if (!slot) {
        slot = std::make_unique<CameraCapture>(records_[static_cast<std::size_t>(position)], config_.settings,
                                               config_.recordOnMotionSeconds[static_cast<std::size_t>(position)],
                                               services_);
        CameraCapture* c = slot.get();
        connect(c, &CameraCapture::recordingChanged, this,
                [this, position](bool on) { emit recordingChanged(position, on); });
        connect(c, &CameraCapture::told, this, [this, position](const QString& line) { emit told(position, line); });
        connect(c, &CameraCapture::snapshotSaved, this,
                [this, position](const QString& path) { emit snapshotSaved(position, path); });
    }
    return *slot;
}

CameraCapture* CaptureSet::capture(int position) const {
    if (position < 0 || position >= kCameraCount) return nullptr;
    return captures_[static_cast<std::size_t>(position)].get();
}

void CaptureSet::show(std::optional<int> position) {
    if (position && (*position < 0 || *position >= kCameraCount)) position.reset();
    if (shown_ == position) return;
    if (shown_) at(*shown_).setArmed(false);
    shown_ = position;
    if (shown_) at(*shown_).setArmed(true);
}

void CaptureSet::snapshot(int position) {
    if (position >= 0 && position < kCameraCount) at(position).snapshot();
}

void CaptureSet::toggleRecord(int position) {
    if (position >= 0 && position < kCameraCount) at(position).toggleRecord();
}

bool CaptureSet::recording(int position) const {
    const CameraCapture* c = capture(position);
    return c != nullptr && c->recording();
}

OnvifLookupThreads::~OnvifLookupThreads() {
    for (std::thread& t : threads_) t.join();
}

OnvifLookup OnvifLookupThreads::lookup() {
    return [this](const CameraRecord& record, bool picture,
                  std::function<void(const recorder::OnvifSnapshot& answer)> done) {
        onvif::DeviceSettings camera{std::string(textOf(record.host)),
                                     record.httpPort == 0 ? 80 : static_cast<int>(record.httpPort),
                                     std::string(textOf(record.userName)), std::string(textOf(record.password))};
        threads_.emplace_back([this, camera, picture, done = std::move(done)] {
            recorder::OnvifSnapshot answer = recorder::fetchOnvifSnapshot(camera, picture);
            QMetaObject::invokeMethod(
                &context_, [done, answer = std::move(answer)] { done(answer); }, Qt::QueuedConnection);
        });
    };
}

} // namespace tavolin::ui
