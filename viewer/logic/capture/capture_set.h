// The snapshots and clips of the cameras a view shows: one CameraCapture per
// camera, made when first needed. The view arms the camera it shows (its big
// stream fills the pre-roll buffer); cameras that record on motion are armed
// for as long as the set lives. Destroying the set finishes every clip.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <span>

#include "capture/camera_capture.h"
#include "capture/capture_config.h"

namespace tavolin::ui {

class CaptureSet final : public QObject {
    Q_OBJECT

public:
    CaptureSet(std::span<const CameraRecord, kCameraCount> records, CaptureConfig config, CaptureServices services,
               QObject* parent = nullptr);
    ~CaptureSet() override;

    // Arms the camera at `position` alone among those armed for being shown;
    // none: no camera is shown.
    void show(std::optional<int> position);
    void snapshot(int position);
    void toggleRecord(int position);
    bool recording(int position) const;
    // Null until the camera was needed.
    CameraCapture* capture(int position) const;

signals:
    void recordingChanged(int position, bool on);
    void told(int position, const QString& line);
    void snapshotSaved(int position, const QString& path);

private:
    CameraCapture& at(int position);

    std::array<CameraRecord, kCameraCount> records_;
    const CaptureConfig config_;
    CaptureServices services_;
    std::optional<int> shown_;
    std::array<std::unique_ptr<CameraCapture>, kCameraCount> captures_;
};

} // namespace tavolin::ui
