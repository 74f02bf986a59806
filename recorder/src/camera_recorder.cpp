#include "recorder/camera_recorder.h"

#include <cstdio>
#include <utility>

namespace recorder {

namespace {

ClipWriterSettings writerSettings(const RecorderSettings& s) {
    ClipWriterSettings w;
    w.limits = s.clip;
    w.naming = s.naming;
    w.cameraName = s.cameraName;
    w.notice = s.notice;
    w.freeSpace = s.freeSpace;
    w.clock = s.clock;
    return w;
}

constexpr const char* kSlowDisk =
    "recording: the disk is slower than the camera; pictures were left out up to the next key picture";

} // namespace

CameraRecorder::CameraRecorder(RecorderSettings settings)
    : settings_(std::move(settings)),
      clock_(settings_.clock != nullptr ? *settings_.clock : platform::SystemClock::instance()),
      timeline_(settings_.repair), preRoll_(settings_.preRoll), motionRule_(settings_.motionHoldMs),
      writer_(writerSettings(settings_)) {}

template <class Change>
void CameraRecorder::underLock(Change&& change) {
    std::string notice;
    bool clipChanged = false;
    bool recording = false;
    {
        std::lock_guard lock(mutex_);
        change();
        notice.swap(pendingNotice_);
        clipChanged = std::exchange(clipChangedPending_, false);
        recording = inClip_;
    }
    // Told outside the lock: the listener may ask for the status.
    if (!notice.empty() && settings_.notice) settings_.notice(notice);
    if (clipChanged && settings_.clipChanged) settings_.clipChanged(recording);
}

void CameraRecorder::take(int32_t frameKind, const uint8_t* record, int32_t length) {
    if (record == nullptr || length <= 0) return;
    const int64_t now = clock_.nowMs();
    std::optional<Frame> frame = frameFromRecord(frameKind, {record, static_cast<std::size_t>(length)}, now);
    if (!frame) return;
    underLock([&] {
        timeline_.place(*frame);
        if (isVideo(frame->kind)) {
            newestMs_ = frame->timeMs;
            if (frame->motion)
                motionRule_.motion(now);
            else
                motionRule_.tick(now);
        } else {
            cameraHasAudio_ = true;
        }
        updateClip();
        keep(std::move(*frame));
    });
}

void CameraRecorder::tap(void* recorder, int32_t frameKind, const uint8_t* record, int32_t length) {
    auto* self = static_cast<CameraRecorder*>(recorder);
    if (record == nullptr)
        self->streamEnded();
    else
        self->take(frameKind, record, length);
}

void CameraRecorder::streamEnded() {
    underLock([this] {
        if (inClip_) {
            if (endAtKeyPicture_) pendingNotice_ = "recording: the stream ended before a key picture came; no clip";
            endClip();
        }
        // The next stream has a clock of its own.
        timeline_ = CameraTimeline(settings_.repair);
        preRoll_.clear();
        skipToKey_ = false;
    });
}

void CameraRecorder::startRecording() {
    underLock([this] {
        pressed_ = true;
        halted_ = false;
        updateClip();
    });
}

void CameraRecorder::stopRecording() {
    underLock([this] {
        pressed_ = false;
        updateClip();
    });
}

void CameraRecorder::motion() {
    underLock([this] {
        motionRule_.motion(clock_.nowMs());
        updateClip();
    });
}

void CameraRecorder::updateClip() {
    if (writer_.stopped() && inClip_) {
        // The writer said why; recording waits for the next press.
        inClip_ = false;
        pressed_ = false;
        halted_ = true;
        endAtKeyPicture_ = false;
        clipChangedPending_ = true;
    }
    const bool wanted = !halted_ && (pressed_ || motionRule_.active());
    if (wanted && !inClip_) {
        beginClip();
    } else if (wanted) {
        endAtKeyPicture_ = false;
    } else if (inClip_ && !endAtKeyPicture_) {
        if (clipHasPicture_) {
            endClip();
        } else {
            // A clip with no picture would be no file: it gets the next one.
            endAtKeyPicture_ = true;
            pendingNotice_ = "recording: no key picture came yet; the clip ends after the camera's next one";
        }
    }
}

void CameraRecorder::beginClip() {
    inClip_ = true;
    clipChangedPending_ = true;
    skipToKey_ = false;
    toldSlowDisk_ = false;
    clipHasPicture_ = false;
    endAtKeyPicture_ = false;
    preRollAtStartMs_ = preRoll_.empty() ? 0 : newestMs_ - preRoll_.firstTimeMs();
    pendingNotice_ = shortenedPreRoll();
    writer_.beginClip(cameraHasAudio_);
    for (Frame& frame : preRoll_.take()) keep(std::move(frame));
}

void CameraRecorder::endClip() {
    inClip_ = false;
    endAtKeyPicture_ = false;
    clipChangedPending_ = true;
    writer_.endClip();
}

std::string CameraRecorder::shortenedPreRoll() const {
    const PreRollLimits& limits = settings_.preRoll;
    const std::string bound = limits.maxBytes >= (std::size_t{1} << 20) ? std::to_string(limits.maxBytes >> 20) + " MB"
                                                                        : std::to_string(limits.maxBytes) + " bytes";
    if (limits.durationMs <= 0) return {};
    switch (preRoll_.shortened()) {
    case PreRollBuffer::Shortened::GroupTooLarge:
        return "recording: no pre-roll, as one key-picture interval of this camera is larger than its " + bound +
               "; the clip starts at the next key picture";
    case PreRollBuffer::Shortened::ByBytes: {
        // Said only when it is plainly short of what was asked.
        if (preRollAtStartMs_ * 10 >= limits.durationMs * 9) return {};
        char seconds[64];
        std::snprintf(seconds, sizeof seconds, "%.1f s of the %lld s asked",
                      static_cast<double>(preRollAtStartMs_) / 1000, static_cast<long long>(limits.durationMs / 1000));
        return std::string("recording: the pre-roll holds ") + seconds + ", all its " + bound + " hold of this camera";
    }
    case PreRollBuffer::Shortened::No: break;
    }
    return {};
}

void CameraRecorder::keep(Frame frame) {
    if (!inClip_) {
        preRoll_.push(std::move(frame));
        return;
    }
    const bool video = isVideo(frame.kind);
    if (skipToKey_ && video && !frame.key) {
        ++framesLeftOut_;
        return;
    }
    const bool key = video && frame.key;
    if (writer_.push(std::move(frame))) {
        if (video) skipToKey_ = false;
        if (key) {
            clipHasPicture_ = true;
            // A clip no longer wanted waited only for its first picture.
            if (endAtKeyPicture_) endClip();
        }
        return;
    }
    ++framesLeftOut_;
    if (!video || writer_.stopped()) return;
    // A picture left out makes the ones after it undecodable up to the next
    // key picture: those are left out too, and the clip plays on after it.
    skipToKey_ = true;
    if (toldSlowDisk_) return;
    toldSlowDisk_ = true;
    pendingNotice_ = kSlowDisk;
}

std::vector<Frame> CameraRecorder::newestGroup() const {
    std::lock_guard lock(mutex_);
    return preRoll_.newestGroup();
}

CameraRecorder::Status CameraRecorder::status() const {
    Status s;
    {
        std::lock_guard lock(mutex_);
        s.recording = inClip_;
        s.motionClip = inClip_ && !pressed_;
        s.preRollBytes = preRoll_.bytes();
        s.preRollMs = preRoll_.empty() ? 0 : newestMs_ - preRoll_.firstTimeMs();
        s.preRollAtStartMs = preRollAtStartMs_;
        s.framesLeftOut = framesLeftOut_;
    }
    s.writer = writer_.status();
    return s;
}

} // namespace recorder
