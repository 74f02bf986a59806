// Everything one camera's recording needs, fed by the stream client's tap:
// the time-stamp repair, the pre-roll buffer, the motion rule and the clip
// writer. While no clip is being recorded the camera's frames go into the
// pre-roll buffer; a clip (a press of Record, or motion when recording on
// motion) starts with what that buffer holds and goes on with every frame
// after, until Record is pressed again or the motion rule ends it; a clip
// that has no picture yet then ends after the next key picture, so a press
// always gives a file. A stream that ends (a lost camera, a closed view)
// finishes the file; when the camera's stream comes back, a clip still
// wanted starts a new file. A pre-roll shorter than asked, for its byte
// bound, is said in one line when the clip starts.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "recorder/clip_writer.h"
#include "recorder/motion_rule.h"
#include "recorder/preroll_buffer.h"
#include "recorder/camera_timeline.h"

namespace recorder {

struct RecorderSettings {
    PreRollLimits preRoll;
    ClipLimits clip;
    transport::RepairLimits repair;
    int64_t motionHoldMs = 0; // RecordOnMotion in milliseconds; 0: off
    ClipNaming naming;
    std::string cameraName; // kept in each clip beside its start time
    Notice notice;          // from the stream's or the writer's thread
    // A clip began or ended (true: one is being recorded); from the thread
    // that changed it, outside the recorder's lock.
    std::function<void(bool recording)> clipChanged;
    FreeSpace freeSpace = freeSpaceOf;
    const platform::Clock* clock = nullptr; // arrival clock; null: the system's
};

class CameraRecorder {
public:
    struct Status {
        bool recording = false; // a clip is being recorded (Record pressed, motion, or waiting for its picture)
        bool motionClip = false;
        std::size_t preRollBytes = 0;
        int64_t preRollMs = 0; // from its first key picture to its newest picture
        // The pre-roll the current clip started with (from its first key
        // picture to the press), in milliseconds.
        int64_t preRollAtStartMs = 0;
        uint64_t framesLeftOut = 0; // dropped because the disk did not keep up
        ClipWriter::Status writer;
    };

    explicit CameraRecorder(RecorderSettings settings);
    // Finishes the clip: every frame taken so far is written.
    ~CameraRecorder() = default;
    CameraRecorder(const CameraRecorder&) = delete;
    CameraRecorder& operator=(const CameraRecorder&) = delete;

    // A frame record from the stream client's tap, on its receive thread:
    // copied, and the call returns without waiting for the disk.
    void take(int32_t frameKind, const uint8_t* record, int32_t length);
    // The camera's stream ended.
    void streamEnded();
    // The stream client's frame tap (M_KSetFrameTapCallback) with the
    // recorder as its user value.
    static void tap(void* recorder, int32_t frameKind, const uint8_t* record, int32_t length);

    // Record pressed: on, then off.
    void startRecording();
    void stopRecording();
    // The camera reported motion (besides the motion byte of its pictures).
    void motion();

    Status status() const;
    // Copies of the pre-roll's frames from its newest key picture on (for a
    // snapshot); empty while a clip records or before a key picture.
    std::vector<Frame> newestGroup() const;
    // Waits until the writer wrote everything queued so far.
    bool waitUntilWritten(int timeoutMs) const { return writer_.waitUntilIdle(timeoutMs); }

private:
    // Runs `change` under the lock, then tells the notice it left.
    template <class Change>
    void underLock(Change&& change);
    void updateClip();
    void beginClip();
    void endClip();
    void keep(Frame frame);
    std::string shortenedPreRoll() const;

    const RecorderSettings settings_;
    const platform::Clock& clock_;

    mutable std::mutex mutex_;
    CameraTimeline timeline_;
    PreRollBuffer preRoll_;
    MotionRule motionRule_;
    bool pressed_ = false;
    bool inClip_ = false;          // frames go to the writer
    bool halted_ = false;          // the writer stopped; waits for a press
    bool skipToKey_ = false;       // the queue refused a picture
    bool toldSlowDisk_ = false;    // once per clip
    bool cameraHasAudio_ = false;  // kept across reconnects
    bool clipHasPicture_ = false;  // a key picture went to the writer
    bool endAtKeyPicture_ = false; // no longer wanted, but has no picture yet
    bool clipChangedPending_ = false;
    int64_t newestMs_ = 0;
    int64_t preRollAtStartMs_ = 0;
    uint64_t framesLeftOut_ = 0;
    std::string pendingNotice_;

    ClipWriter writer_; // last: its thread ends first
};

} // namespace recorder
