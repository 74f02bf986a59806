// The streams behind a simulated ONVIF camera's media profiles: one
// simulated RTSP camera per profile (its size, rate, bit rate, key-picture
// interval and codec), all drawing the same camera head, so a PTZ command
// pans every stream. A synchronisation point asks the profile's encoders
// for a key picture at once. A camera with an SD card also gets the server
// its recordings replay from, on a port of its own.
//
// Use:
//   auto head = std::make_shared<camsim::CameraHead>();
//   auto streams = std::make_shared<camsim::RtspProfileStreams>(onvifOptions, head);
//   if (!streams->start()) ... streams->error();
//   camsim::OnvifCamera camera(onvifOptions, head, streams);
#pragma once

#include "camsim/camera_head.h"
#include "camsim/onvif_camera.h"
#include "camsim/onvif_stream_source.h"
#include "camsim/rtsp_camera.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

namespace replay {
class ReplayServer;
}

struct RtspProfileSettings {
    std::string name = "CAMERA"; // drawn in the picture
    int variant = 0;             // the panorama
    bool audio = true;
    // Like a real camera's encoders, which run whether anyone watches: a
    // client joins in the middle of a key-picture interval unless it asks
    // for a key picture.
    bool keyPictureOnPlay = false;
    // How every profile's RTSP camera misbehaves.
    RtspFault fault = RtspFault::None;
    // The camera's speaker: every profile's stream offers the audio back
    // channel to it. Null offers none.
    std::shared_ptr<TalkReceiver> talk;
    // Serve each profile from a loop of this many seconds, encoded once
    // (see RtspOptions); 0 encodes live.
    int preEncodedSeconds = 0;
    std::shared_ptr<SharedLoops> sharedLoops;
    // Every profile's capture-time strip and clock rate (see RtspOptions).
    bool timeStrip = false;
    double clockRate = 1.0;
};

// The RTSP codec of an ONVIF encoding ("H264", "H265", "JPEG"); false for
// anything else.
bool rtspCodecOfEncoding(const std::string& encoding, RtspCodec& codec);

class RtspProfileStreams final : public OnvifStreamSource {
public:
    // The RTSP cameras ask for the ONVIF camera's user and password.
    RtspProfileStreams(const OnvifOptions& options, std::shared_ptr<CameraHead> head,
                       const RtspProfileSettings& settings = {});
    ~RtspProfileStreams() override;

    // Starts every profile's RTSP camera on an ephemeral port of 127.0.0.1.
    // False (error() says why) when one cannot start; none runs then.
    bool start();
    void stop();
    std::string error() const { return error_; }

    std::string streamUri(std::size_t index, const OnvifProfile& profile) const override;
    void requestKeyFrame(std::size_t index) override;
    bool drawsSnapshots() const override { return true; }
    // The scene at the profile's size, drawn for the request.
    std::string snapshot(std::size_t index, const OnvifProfile& profile) override;
    std::shared_ptr<TalkReceiver> talkReceiver() const override { return talk_; }
    std::string replayUri(const std::string& recordingToken) const override;
    void refuseReplay(bool refuse) override;
    // Replay sessions started so far (0 without an SD card).
    int replaySessionsStarted() const;

    std::size_t size() const { return cameras_.size(); }
    RtspCamera& camera(std::size_t index) { return *cameras_.at(index).camera; }
    // Synchronisation points asked for so far (whether anyone was playing).
    int keyFramesRequested() const { return keyFramesRequested_.load(); }

private:
    struct Stream {
        std::unique_ptr<RtspCamera> camera;
        RtspCodec codec = RtspCodec::H264;
    };
    std::vector<Stream> cameras_;
    std::unique_ptr<replay::ReplayServer> replay_; // with an SD card
    std::shared_ptr<CameraHead> head_;
    RtspProfileSettings settings_;
    std::mutex snapshotLock_; // one picture drawn at a time
    std::shared_ptr<TalkReceiver> talk_;
    std::string error_;
    std::atomic<int> keyFramesRequested_{0};
};

} // namespace camsim
