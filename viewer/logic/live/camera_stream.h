// The live view's stream over the stream client: the one owner of an
// interface handle. A worker thread of its own opens, configures and
// connects the interface, runs the commands in the order given and finally
// disconnects and closes it, so the GUI thread never waits for a camera.
// The stream client's callbacks only queue a call to the GUI thread, where
// the signals are emitted. A QTimer counts the progress of a connection
// attempt. Destroying the object closes the stream if close() was not
// called, and waits for the worker (bounded by the stream client's own
// connect and disconnect bounds). Why a connection failed or was lost is the
// stream client's last reason for this handle, never another stream's.
#pragma once

#include <ostrel/stream_client.h>

#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "aim/pointing.h"
#include "aim/stream_aim_camera.h"
#include "live/live_stream.h"

namespace tavolin::ui {

class CameraStream final : public LiveStream {
    Q_OBJECT

public:
    explicit CameraStream(const StreamSettings& settings, QObject* parent = nullptr);
    ~CameraStream() override;
    CameraStream(const CameraStream&) = delete;
    CameraStream& operator=(const CameraStream&) = delete;

    static constexpr int kProgressStepMs = 100;

    void open() override;
    void close() override;

    void startMove(PtzSector sector, int speed) override;
    void stopMove(PtzSector sector) override;
    void setPreset(int preset) override;
    void goToPreset(int preset) override;
    void osd(OsdCommand command) override;
    void setQuadDisplay(int mode) override;
    void setOutput(bool on) override;
    void setAudioIn(bool play) override;
    void startTalking() override;
    void stopTalking() override;
    void fitPicturesInto(QSize box) override;
    void aim(const AimRequest& request) override;

private:
    enum class State { Idle, Connecting, Connected, Failed, Closing, Closed };
    using Job = std::function<void(OstrelInterface*&)>;

    // Queues `job` for the worker; it gets the handle (null when none).
    void run(Job job);
    // Queues a command: only for a connected stream.
    void command(std::function<void(OstrelInterface*)> call);
    void workerMain();
    void connectOnWorker(OstrelInterface*& handle);
    void closeOnWorker(OstrelInterface*& handle);
    // Points the camera on the worker: measures its moves first when it
    // needs a calibration and has none.
    AimOutcome aimOnWorker(OstrelInterface* handle, const AimRequest& request);
    // Queues `work` to run on the GUI thread.
    void toGui(std::function<void()> work);

    // Events may overtake the news that the connection stands.
    bool reporting() const { return state_ == State::Connecting || state_ == State::Connected; }

    static void onMotion(void* user, int32_t r1, int32_t r2, int32_t r3, int32_t r4);
    static void onInput(void* user, int32_t di1, int32_t di2);
    static void onNetworkLoss(void* user);
    static void onPictureShown(void* user);

    const StreamSettings settings_;
    State state_ = State::Idle; // GUI thread
    QTimer progressTimer_;
    int progressStep_ = 0;
    bool lostWhileConnecting_ = false;
    QString lostReason_;
    // "Picture shown" tells that this connection's pictures arrive, once:
    // a wall of 16 cameras would otherwise wake the GUI 480 times a second
    // for nothing. One report is queued at a time until one was delivered.
    std::atomic<bool> picturePending_{false};
    std::atomic<bool> pictureReported_{false};
    // The worker's handle, for the callbacks, which run only while it is open.
    std::atomic<OstrelInterface*> handle_{nullptr};

    std::mutex jobsLock_;
    std::condition_variable jobsWake_;
    std::deque<Job> jobs_;
    bool workerDone_ = false; // no job comes after the close
    // Pointing, on the worker only; the flag ends a long pointing at close.
    std::atomic<bool> aimCancelled_{false};
    std::unique_ptr<aim::StreamAimCamera> aimCamera_;
    std::unique_ptr<aim::Pointer> pointer_;
    std::thread worker_;
};

} // namespace tavolin::ui
