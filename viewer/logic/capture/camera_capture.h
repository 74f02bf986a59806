// One camera's snapshots and clips in the viewer, whatever stream a view
// shows of it: both come from the camera's big stream (an ONVIF camera's
// largest profile), opened beside the shown one.
//
// Record: while the camera is armed (a view shows it, or it records on
// motion) its big stream runs undecoded into the recorder's pre-roll buffer,
// so a clip starts with the seconds before the press. A press toggles the
// clip; a lost stream finishes the file and is opened again after a pause
// (the recorder starts a new file then). One big stream at a time: the next
// opens once the last has closed, so two never feed the recorder at once.
//
// Snapshot: an ONVIF camera is asked for its own JPEG first; otherwise, or
// when it offers none, the big stream is opened decoded into an off-screen
// surface and its first picture is written, then that stream closes.
//
// Lines for the user (a folder that cannot be written, a failed snapshot,
// recording stopped) come as told().
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "capture/capture_config.h"
#include "live/live_stream.h"
#include "live/view_timer.h"
#include "recorder/camera_recorder.h"
#include "recorder/onvif_snapshot.h"
#include "tavolin/camera_record.h"

namespace tavolin::ui {

class PictureGrab;

// Asks an ONVIF camera for its largest profile (and its own JPEG of it when
// `picture`) away from the GUI thread; `done` is called on the GUI thread.
using OnvifLookup = std::function<void(const CameraRecord& record, bool picture,
                                       std::function<void(const recorder::OnvifSnapshot& answer)> done)>;

struct CaptureServices {
    std::function<std::unique_ptr<LiveStream>(const StreamSettings& settings)> streams;
    OnvifLookup lookup;
    ViewTimerFactory timers;
};

// The settings of a camera's big stream: undecoded for the recorder's tap,
// or decoded into `surface` at the stream's own size.
StreamSettings captureStreamSettings(const CameraRecord& record, int channel, bool recordOnly, uint32_t surface,
                                     bool events);

class CameraCapture final : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryMs = 3000;
    static constexpr int kSnapshotWaitMs = 10000;

    CameraCapture(const CameraRecord& record, const recorder::CaptureSettings& settings, int recordOnMotionSeconds,
                  CaptureServices services);
    // Closes the streams (waiting for them) and finishes the clip.
    ~CameraCapture() override;
    CameraCapture(const CameraCapture&) = delete;
    CameraCapture& operator=(const CameraCapture&) = delete;

    void setArmed(bool armed);
    void toggleRecord();
    void snapshot();

    // Record is on (the red mark shows).
    bool recording() const { return pressed_; }
    bool snapshotPending() const { return snapshotStream_ != nullptr || lookingUpPicture_; }
    const recorder::CameraRecorder& recorder() const { return *recorder_; }

signals:
    void recordingChanged(bool on);
    void told(const QString& line);
    void snapshotSaved(const QString& path);

private:
    bool onvif() const;
    bool wanted() const { return armed_ || pressed_ || motionSeconds_ > 0; }
    // Opens or closes the big stream until it is as wanted.
    void reconcile();
    void openTap();
    void retire(std::unique_ptr<LiveStream> stream);
    void tapLost();
    void openSnapshotStream(int channel);
    void finishSnapshot();
    void endSnapshot(const QString& failure);
    void save(std::span<const uint8_t> jpeg, std::chrono::system_clock::time_point taken);
    void recorderNotice(const QString& line);
    bool folderReady();

    const CameraRecord record_;
    const recorder::CaptureSettings settings_;
    const int motionSeconds_;
    CaptureServices services_;

    bool armed_ = false;
    bool pressed_ = false;
    int channel_ = -1; // the big stream's; -1 until an ONVIF camera told it
    bool lookingUpChannel_ = false;
    bool lookingUpPicture_ = false;
    std::unique_ptr<ViewTimer> retryTimer_;
    std::unique_ptr<ViewTimer> snapshotTimer_;

    // The recorder outlives every stream that feeds it.
    std::unique_ptr<recorder::CameraRecorder> recorder_;
    std::unique_ptr<LiveStream> tap_;
    std::vector<std::unique_ptr<LiveStream>> closing_;
    std::shared_ptr<PictureGrab> grab_;
    uint32_t grabHandle_ = 0;
    std::unique_ptr<LiveStream> snapshotStream_;
};

} // namespace tavolin::ui
