// One simulated camera of any streaming type (1, 2, 4 = RTSP, 5 = ONVIF),
// started on its own ports, and where a client finds it: the settings-file
// section, or the connection record the stream client takes. The simulator
// program, the demos, the tests and the benchmarks all start their cameras
// through it.
//
//   camsim::SimulatedCamera camera(2, camsim::quietCameraOptions());
//   camera.start();
//   MediaConfig config = camera.mediaConfig();
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camsim/camera_options.h"
#include "camsim/onvif_camera.h"
#include "camsim/onvif_faults.h"
#include "camsim/rtsp_camera.h"
#include "camsim/sd_card.h"
#include "camsim/settings_file.h"
#include "camsim/talk_receiver.h"
#include "transport/contract.h"
#include "transport/streaming_types.h"

namespace camsim {

class CameraHead;
class OnvifCamera;
class Recording;
class RtspProfileStreams;
class V1Camera;
class V2Camera;

using transport::kOnvifStreamingType;
using transport::kRtspStreamingType;

// A small picture at a low rate: cheap enough for many cameras in one test.
CameraOptions quietCameraOptions();
// 352 x 240 at 30 pictures a second: a stream that moves.
CameraOptions smallCameraOptions();

struct SimulatedCameraSettings {
    int streamingType = 2;
    CameraOptions options; // host, login, ports, scene (name and variant) of every kind
    // RTSP cameras; the login, name and variant come from `options`.
    RtspOptions rtsp;
    RtspCodec rtspCodec = RtspCodec::H264;
    // ONVIF cameras: their profiles (empty: OnvifOptions' own); the rate,
    // key-picture interval, audio and pre-encoded loops of `rtsp` apply.
    std::vector<OnvifProfile> onvifProfiles;
    OnvifFault onvifFault = OnvifFault::None;
    OnvifPtzSpaces onvifPtzSpaces = OnvifPtzSpaces::FieldOfView;
    int answerDelayMs = 0;
    // How the head misbehaves (every kind of camera).
    HeadFaults headFaults;
    // What their audio back channel offers.
    TalkCodec talkCodec = TalkCodec::Pcmu;
    // ONVIF cameras with an SD card: its layout (the picture's size, rate
    // and key-picture interval, and the name, follow the main profile and
    // the camera). Nothing: no card.
    std::optional<SdCardOptions> sdCard;
};

// The stream client's connection record for a camera of protocol 1 or 2
// started by itself (control and video, the camera's login).
MediaConfig loopbackMediaConfig(const V1Camera& camera, int connectTimeoutSeconds = 5);
MediaConfig loopbackMediaConfig(const V2Camera& camera, int connectTimeoutSeconds = 5);

class SimulatedCamera {
public:
    explicit SimulatedCamera(SimulatedCameraSettings settings);
    SimulatedCamera(int streamingType, CameraOptions options);
    ~SimulatedCamera();
    SimulatedCamera(const SimulatedCamera&) = delete;
    SimulatedCamera& operator=(const SimulatedCamera&) = delete;

    // False when it could not listen (or this build has no RTSP); error() says why.
    bool start();
    void stop();
    const std::string& error() const { return error_; }

    int streamingType() const { return settings_.streamingType; }
    const SimulatedCameraSettings& settings() const { return settings_; }

    // The section of the viewer's settings file that reaches this camera.
    SettingsCamera section(const std::string& ptzFile = {}) const;
    // The stream client's connection record for it (control and video).
    MediaConfig mediaConfig(int connectTimeoutSeconds = 5) const;

    // What a camera of protocol 1 or 2 received; null for RTSP and ONVIF.
    Recording* recording();
    CameraHead& head();

    V1Camera* v1() const { return v1_.get(); }
    V2Camera* v2() const { return v2_.get(); }
    RtspCamera* rtsp() const { return rtsp_.get(); }
    OnvifCamera* onvif() const { return onvif_.get(); }
    RtspProfileStreams* onvifStreams() const { return onvifStreams_.get(); }
    // What an ONVIF camera's speaker heard; null for the other kinds.
    TalkReceiver* talk() const { return talk_.get(); }
    // An ONVIF camera's SD card; null without one.
    SdCard* sdCard() const { return sdCard_.get(); }

private:
    bool startOnvif();

    SimulatedCameraSettings settings_;
    std::string error_;
    std::unique_ptr<V1Camera> v1_;
    std::unique_ptr<V2Camera> v2_;
    std::shared_ptr<RtspCamera> rtsp_; // shared: a build without RTSP never names its destructor
    std::shared_ptr<RtspProfileStreams> onvifStreams_;
    std::shared_ptr<TalkReceiver> talk_;
    std::shared_ptr<SdCard> sdCard_;
    std::unique_ptr<OnvifCamera> onvif_;
};

} // namespace camsim
