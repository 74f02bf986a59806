// What the simulated RTSP camera's pipelines are fed: the scene drawn from
// the head for every picture (or a pre-encoded loop of it) and the tone.
// One SceneFeed per camera outlives every pipeline (each holds a reference);
// one MediaFeed per pipeline keeps that pipeline's counters.
#pragma once

#include "camsim/audio_source.h"
#include "camsim/rtsp_camera.h"
#include "camsim/scene_renderer.h"

#include <gst/gst.h>

#include <array>
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace camsim::rtsp {

// A new I420 buffer of this size with `draw` drawn into it; null when the
// buffer could not be mapped.
GstBuffer* drawnPicture(int width, int height, const std::function<void(const YuvPicture&)>& draw);

// Access units of a pre-encoded loop; the first is a key picture, so the
// loop can start over at any time.
struct EncodedLoop {
    std::vector<std::vector<uint8_t>> units;
};

class MediaFeed;

class SceneFeed {
public:
    SceneFeed(const RtspOptions& options, std::shared_ptr<CameraHead> head);
    // Takes the drawing lock once more: the last picture a pipeline's
    // streaming thread drew is handed over before the renderer's buffers go.
    // That thread stopped under GStreamer's own locks, which a thread
    // checker does not see.
    ~SceneFeed();

    const RtspOptions& options() const { return options_; }
    CameraHead& head() { return *head_; }
    std::shared_ptr<CameraHead> sharedHead() const { return head_; }

    // Draws the scene as the head sees it now, with the running clock.
    void draw(const YuvPicture& picture);

    // Which key-picture interval of the camera's own schedule (counted from
    // its start) it is now: the encoders of a camera that does not start
    // clients with a key picture make one when this changes, so a client
    // joins at any point of an interval, as with a camera's one encoder.
    int64_t keyPictureSlot() const;

    // The mount's loop, encoded on first use (empty when that failed).
    std::shared_ptr<const EncodedLoop> loop(RtspCodec codec);

    // Pipelines alive and built so far; waitUntilNoPipelines() bounds the
    // wait for the server's media threads to let go of theirs.
    void pipelineStarted();
    void pipelineEnded();
    int pipelinesStarted() const { return started_.load(); }
    bool waitUntilNoPipelines(int timeoutMs);

    // Feeds whose clients play; requestKeyPictures() asks each for a key
    // picture and returns how many were asked.
    void playing(MediaFeed* feed);
    void ended(MediaFeed* feed);
    int requestKeyPictures();

private:
    const RtspOptions options_;
    const std::shared_ptr<CameraHead> head_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex drawMutex_;
    SceneRenderer renderer_;
    std::mutex loopMutex_;
    std::array<std::shared_ptr<const EncodedLoop>, 3> loops_;
    std::atomic<int> started_{0};
    std::mutex aliveMutex_;
    std::condition_variable aliveChanged_;
    int alive_ = 0;
    std::mutex playingMutex_;
    std::vector<MediaFeed*> playing_;
};

// Keeps a live source to its rate: each turn waits until its moment.
class Pacer {
public:
    explicit Pacer(std::chrono::nanoseconds period) : period_(period) {}
    void waitForTurn();

private:
    std::chrono::nanoseconds period_;
    std::chrono::steady_clock::time_point start_;
    int64_t turns_ = 0;
};

// Feeds one media's pipeline. Owned by the media (freed when it goes).
class MediaFeed {
public:
    MediaFeed(std::shared_ptr<SceneFeed> scene, RtspCodec codec);
    ~MediaFeed();
    MediaFeed(const MediaFeed&) = delete;
    MediaFeed& operator=(const MediaFeed&) = delete;

    // Hooks the feed to the pipeline's sources; false when one is missing.
    bool attach(GstElement* pipeline);
    // A client starts playing: its first picture must be a key picture (as
    // the ones made while the session was described went nowhere), unless
    // the camera's encoder is meant to run on regardless.
    void startPlaying();
    // The next picture is a key picture (or the loop starts its interval over).
    void requestKeyPicture();

private:
    static GstPadProbeReturn holdBackPictures(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn noteEncodingDelay(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static void needVideo(GstElement* source, guint length, gpointer self);
    static void needAudio(GstElement* source, guint length, gpointer self);
    void pushVideo(GstElement* source);
    void pushAudio(GstElement* source);

    std::shared_ptr<SceneFeed> scene_;
    const RtspCodec codec_;
    std::shared_ptr<const EncodedLoop> loop_; // null: live encoding
    std::atomic<bool> playing_{false};
    bool parameterSetsSent_ = false; // touched by the encoder's thread only
    GstElement* encoder_ = nullptr;  // set by attach(); null for the loop
    int64_t keySlot_ = -1;           // touched by the video source's thread only
    // Marks the capture time a raw picture carries through the encoder, when
    // the camera measures its encoding delay; null otherwise.
    GstCaps* captureTimeCaps_ = nullptr;
    // Touched by the video source's thread only.
    int64_t pictures_ = 0;
    std::atomic<bool> restartLoop_{false};
    Pacer videoPacer_;
    // Touched by the audio source's thread only.
    ToneAudioSource tone_;
    Pacer audioPacer_;
};

} // namespace camsim::rtsp
