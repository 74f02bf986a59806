// One camera's snapshots and clips in the viewer, whatever stream a view
// shows of it: both come from the camera's big stream (an ONVIF camera's
// largest profile), and from the connection a view already holds to it when
// there is one: the capture copies that connection's records (SharedStreams,
// FrameFanOut). A connection of its own opens only for a stream no view
// holds (the big one while a small one is shown), only while something needs
// it: the pre-roll of a shown camera when PreRollSeconds is above 0, a clip,
// recording on motion, or a snapshot for the moment it takes; never to a
// protocol 1 or 2 camera a view shows, and it gives way when a view needs
// the same stream.
//
// Record: while the camera is armed (a view shows it, or it records on
// motion) the big stream's records fill the recorder's pre-roll buffer, so a
// clip starts with the seconds before the press. A press toggles the clip. A
// stream that ends finishes the file, and the clip goes on in a new one from
// the stream that takes over. One connection of its own at a time: the next
// opens once the last has closed.
//
// Snapshot: an ONVIF camera is asked for its own JPEG first; otherwise, or
// when it is no whole picture of the stream's size, the big stream's records
// are decoded (from the pre-roll's newest key picture when it has one) to
// the first picture decoded without errors.
//
// Lines for the user (a folder that cannot be written, a failed snapshot,
// recording stopped) come as told().
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "capture/capture_config.h"
#include "live/closing_streams.h"
#include "live/live_stream.h"
#include "live/view_timer.h"
#include "recorder/camera_recorder.h"
#include "recorder/onvif_snapshot.h"
#include "recorder/picture_catcher.h"
#include "stream/background_calls.h"
#include "stream/frame_fan_out.h"
#include "tavolin/camera_record.h"

namespace tavolin::ui {

class StreamCatalogues;

// Asks an ONVIF camera for its own JPEG of a profile; runs away from the GUI
// thread.
using CameraJpegFetch =
    std::function<recorder::OnvifSnapshot(const CameraRecord& record, const recorder::SnapshotProfile& profile)>;

// The fetch over ONVIF.
recorder::OnvifSnapshot fetchCameraJpeg(const CameraRecord& record, const recorder::SnapshotProfile& profile);

struct CaptureServices {
    std::function<std::unique_ptr<LiveStream>(const StreamSettings& settings)> streams;
    // The cameras' streams, and which of them are open; outlives the capture.
    StreamCatalogues* catalogues = nullptr;
    CameraJpegFetch cameraJpeg = fetchCameraJpeg;
    ViewTimerFactory timers;
};

// The settings of a camera's stream for a capture (the record's channel),
// opened undecoded; events when it records on motion.
StreamSettings captureStreamSettings(const CameraRecord& record, bool events);

class CameraCapture final : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryMs = 3000;
    static constexpr int kSnapshotWaitMs = 10000;

    CameraCapture(const CameraRecord& record, const recorder::CaptureSettings& settings, int recordOnMotionSeconds,
                  CaptureServices services);
    // Leaves the streams it copies, closes its own (waiting for it) and
    // finishes the clip.
    ~CameraCapture() override;
    CameraCapture(const CameraCapture&) = delete;
    CameraCapture& operator=(const CameraCapture&) = delete;

    void setArmed(bool armed);
    void toggleRecord();
    void snapshot();

    // Record is on (the red mark shows).
    bool recording() const { return pressed_; }
    bool snapshotPending() const { return catcher_ != nullptr || askingCamera_; }
    const recorder::CameraRecorder& recorder() const { return *recorder_; }
    // A connection of its own is open (or closing).
    bool holdsConnection() const { return own_ != nullptr || !closing_.empty(); }

signals:
    void recordingChanged(bool on);
    void told(const QString& line);
    void snapshotSaved(const QString& path);

private:
    bool onvif() const;
    bool recorderWanted() const;
    bool framesWanted() const { return recorderWanted() || catcher_ != nullptr; }
    // The big stream's settings once the camera's streams are known.
    std::optional<StreamSettings> bigStream(recorder::SnapshotProfile* profile = nullptr) const;
    // Copies the big stream's records as wanted: from the stream that holds
    // it, or from a connection of its own when it may open one.
    void reconcile();
    bool mayOpenOwn(const StreamSettings& big) const;
    void openOwn(const StreamSettings& big);
    void ownLost(const QString& reason);
    void retireOwn(bool retry);
    // Moves the recorder and the snapshot to `frames` (null: to nothing).
    void feed(const std::shared_ptr<FrameFanOut>& frames, const std::string& key);
    void askCamera(const recorder::SnapshotProfile& profile);
    void catchFromStream();
    void finishSnapshot(int snapshot);
    void endSnapshot(const QString& failure);
    void save(std::span<const uint8_t> jpeg, std::chrono::system_clock::time_point taken);
    void recorderNotice(const QString& line);
    bool folderReady();

    const CameraRecord record_;
    const recorder::CaptureSettings settings_;
    const int motionSeconds_;
    CaptureServices services_;

    bool ending_ = false; // being destroyed
    bool armed_ = false;
    bool pressed_ = false;
    bool clipOpen_ = false;       // the recorder records (until its clip ended)
    bool askingCamera_ = false;   // for its own JPEG
    bool snapshotWanted_ = false; // waiting for the camera's streams to be known
    QString cameraJpegFailure_;   // why the camera's own JPEG was not taken
    std::unique_ptr<ViewTimer> retryTimer_;
    std::unique_ptr<ViewTimer> snapshotTimer_;

    // The recorder outlives every stream that feeds it.
    std::unique_ptr<recorder::CameraRecorder> recorder_;
    std::unique_ptr<recorder::PictureCatcher> catcher_;
    int snapshotCount_ = 0;
    std::shared_ptr<FrameFanOut> fedBy_; // what the recorder and the catcher copy now
    QMetaObject::Connection motionOfHolder_;
    std::unique_ptr<LiveStream> own_;
    std::string ownKey_;
    ClosingStreams closing_;
    BackgroundCalls calls_; // last: joined before the rest goes
};

} // namespace tavolin::ui
