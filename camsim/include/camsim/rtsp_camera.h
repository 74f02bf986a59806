// A simulated RTSP camera: GStreamer's RTSP server on 127.0.0.1 serving the
// camera's scene (the picture drawn from the PTZ head, with its overlays)
// and a 1000 Hz tone as G.711 mu-law audio, one mount per codec:
//
//   rtsp://127.0.0.1:PORT/h264   H.264 (x264, low-latency settings)
//   rtsp://127.0.0.1:PORT/h265   H.265 (x265, low-latency settings)
//   rtsp://127.0.0.1:PORT/mjpeg  Motion JPEG
//
// Every mount asks for digest authentication with the options' user and
// password (an empty user serves without authentication). Each client gets
// its own pipeline, so clients never share an encoder's state.
//
// Use:
//   camsim::RtspOptions o;            // port 0: an ephemeral port
//   camsim::RtspCamera camera(o);     // or (o, head) to share a PTZ head
//   camera.start();
//   std::string url = camera.url(camsim::RtspCodec::H264);
//   camera.head().apply(...);         // pans the picture clients see
//   camera.stop();                    // or the destructor
//
// With a fault chosen (rtsp_faults.h), port() is a small relay in front of
// the real server that misbehaves on the wire the way the fault says; the
// real server then listens on a second ephemeral port.
//
// The GLib main loop of the server runs on a thread the camera owns; stop()
// closes every client session, waits for their pipelines to go and joins
// that thread.
#pragma once

#include "camsim/camera_head.h"
#include "camsim/rtsp_faults.h"
#include "camsim/talk_receiver.h"

#include <cstdint>
#include <memory>
#include <string>

namespace camsim {

class EncodingDelays; // encoding_delays.h

enum class RtspCodec { H264, H265, Mjpeg };

// Pre-encoded loops shared between cameras: cameras given one encode each
// loop (size, rate, bit rate, key-picture interval, codec) once among them
// and all serve it, so many cameras cost one encoding. They then all show
// the picture of the first camera that asked.
class SharedLoops;
std::shared_ptr<SharedLoops> makeSharedLoops();

// The mount's path without its slash ("h264", "h265", "mjpeg").
const char* rtspMountName(RtspCodec codec);
// "h264", "h265", "mjpeg" (also "h.264", "hevc", "jpeg"); false otherwise.
bool parseRtspCodec(const std::string& text, RtspCodec& codec);

struct RtspOptions {
    // Digest credentials; an empty user serves without authentication.
    std::string user = "admin";
    std::string password = "admin";
    uint16_t port = 0; // 0: ephemeral; port() tells which
    int width = 640;   // even, 16 .. 3840
    int height = 480;  // even, 16 .. 2160
    int frameRate = 25;
    int bitRateKbps = 2000;   // H.264 and H.265; JPEG uses jpegQuality
    int keyFrameInterval = 0; // pictures between key pictures; 0 = one a second
    // A client's first picture is a key picture. False behaves like a camera
    // whose encoder runs whether anyone watches: a client joins in the middle
    // of a key-picture interval and waits for the next one (or asks for it
    // with requestKeyFrame()).
    bool keyPictureOnPlay = true;
    int jpegQuality = 75;
    bool audio = true; // the tone as a second (mu-law) stream
    // Encodes this many seconds of the scene once, when the first client of a
    // mount arrives, and serves them in a loop (the clock in the picture then
    // repeats too): for picture sizes and rates too heavy to encode live on
    // the machine. 0 encodes live.
    int preEncodedSeconds = 0;
    // Where the loop comes from when more cameras serve the same one; null:
    // the camera encodes its own.
    std::shared_ptr<SharedLoops> sharedLoops;
    // Drawn in the picture; `variant` picks the panorama.
    std::string name = "CAMERA";
    int variant = 0;
    // Draws each live picture's capture time (the wall clock, before
    // encoding) into its bottom rows as time_strip.h spells it, so a client
    // can tell how old the picture it shows is. Needs live encoding.
    bool timeStrip = false;
    // How fast the camera's clock runs against the real one (1.001: 0.1 %
    // fast). Pictures leave at the rate the camera's clock says and carry
    // its time stamps, so a client sees them arrive a little faster than
    // their time stamps advance. Live encoding only; 0.9 to 1.1.
    double clockRate = 1.0;
    // Told how long each live picture took from capture to encoded (see
    // encoding_delays.h), when set; shared by all the camera's clients.
    std::shared_ptr<EncodingDelays> encodingDelays;
    // The misbehaviour of port(); None serves the real server there.
    RtspFault fault = RtspFault::None;
    RtspFaultSettings faultSettings;
    // Every mount also offers an ONVIF audio back channel that this
    // receiver hears; null offers none.
    std::shared_ptr<TalkReceiver> talk;
};

class RtspCamera {
public:
    // `head` drives the picture (it may be shared with another camera, an
    // ONVIF service for instance); null gives the camera its own head.
    explicit RtspCamera(RtspOptions options = {}, std::shared_ptr<CameraHead> head = nullptr);
    ~RtspCamera();
    RtspCamera(const RtspCamera&) = delete;
    RtspCamera& operator=(const RtspCamera&) = delete;

    // Listens on 127.0.0.1 and starts serving. False when the port is taken,
    // the options are unusable or an encoder is missing (error() says which).
    bool start();
    void stop();
    bool isRunning() const;

    // The port clients connect to (0 before start).
    uint16_t port() const;
    // "rtsp://127.0.0.1:PORT/h264" and so on (without credentials).
    std::string url(RtspCodec codec) const;
    // Why start() failed.
    std::string error() const;

    const RtspOptions& options() const;
    CameraHead& head();
    std::shared_ptr<CameraHead> sharedHead() const;
    // Pipelines built so far (one per client session and mount).
    int sessionsStarted() const;
    // Requests that carried Basic credentials (a password in clear text), as
    // the relay in front of a camera with a fault counts them; 0 without one.
    int basicAuthorizationsSeen() const;
    // Client connections so far and the most at once; counted by the relay
    // in front of a camera with a fault, 0 without one.
    int connectionsSeen() const;
    int mostConnectionsAtOnce() const;
    // Makes the encoder of every client playing now send a key picture next
    // (a pre-encoded loop starts its key-picture interval over instead).
    // Returns the number of clients asked.
    int requestKeyFrame();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace camsim
