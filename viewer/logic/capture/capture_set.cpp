#include "capture/capture_set.h"

#include <utility>

namespace tavolin::ui {

CaptureSet::CaptureSet(std::span<const CameraRecord, kCameraCount> records, CaptureConfig config,
                       CaptureServices services, QObject* parent)
    : QObject(parent), config_(std::move(config)), services_(std::move(services)) {
    std::copy(records.begin(), records.end(), records_.begin());
    for (int i = 0; i < kCameraCount; ++i) {
        if (config_.recordOnMotionSeconds[static_cast<std::size_t>(i)] > 0) at(i);
    }
}

CaptureSet::~CaptureSet() = default;

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

} // namespace tavolin::ui
