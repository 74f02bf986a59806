// A simulated ONVIF camera: the device, media, PTZ, event and device I/O
// services (and with an SD card, search and replay) as SOAP 1.2 over
// camsim's web server on 127.0.0.1, with the device service at
//
//   http://127.0.0.1:PORT/onvif/device_service
//
// Requests need a WS-UsernameToken password digest (its creation time within
// a window of the camera's own clock) or HTTP digest authentication with the
// camera's user and password; GetSystemDateAndTime answers everybody.
// ContinuousMove, Stop and the presets drive the camera head (the picture of
// its streams pans with it), the relay output drives the head's lamp, and the
// pull-point events report the head's motion and digital inputs. Stream
// addresses come from the camera's stream source (its RTSP server).
//
// Use:
//   camsim::OnvifOptions o;             // port 0: an ephemeral port
//   camsim::OnvifCamera camera(o);
//   camera.start();
//   camera.deviceServiceUrl();          // what a client is given
//   camera.setFault(camsim::OnvifFault::SkewedClock);
//   camera.requestLog();                // what it was asked, and when
#pragma once

#include "camsim/camera_head.h"
#include "camsim/onvif_faults.h"
#include "camsim/onvif_stream_source.h"
#include "camsim/sd_card.h"
#include "platform/clock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace camsim {

// One media profile: a stream of the camera at one size and codec.
struct OnvifProfile {
    std::string token;
    std::string name;
    std::string encoding = "H264"; // "H264", "H265" or "JPEG"
    int width = 640;
    int height = 480;
    int frameRate = 25;
    int bitRateKbps = 2000;
    int govLength = 25; // pictures between key pictures
    // The profile carries the speaker (its AudioOutputConfiguration) and its
    // stream the audio back channel; a camera may offer it on one profile
    // only.
    bool audioOutput = true;
};

// How a client may prove who it is.
enum class OnvifAuth {
    Any,           // a username token or HTTP digest
    UsernameToken, // the token only (HTTP digest is refused)
    HttpDigest,    // HTTP digest only (tokens are ignored)
};

// What the PTZ node offers for pointing: the field-of-view translation
// spaces (and the generic ones), only the generic relative and absolute
// spaces, or only continuous moves (RelativeMove and AbsoluteMove refused).
enum class OnvifPtzSpaces { FieldOfView, Generic, ContinuousOnly };

struct OnvifOptions {
    std::string user = "admin";
    std::string password = "admin";
    uint16_t port = 0; // 0: ephemeral; port() tells which
    OnvifAuth auth = OnvifAuth::Any;
    // A username token is accepted when created within this many seconds of
    // the camera's clock (either way).
    int tokenWindowSeconds = 60;
    std::string manufacturer = "Tavolin";
    std::string model = "Simulated PTZ Dome";
    std::string firmwareVersion = "1.0.0";
    std::string serialNumber = "CS-0001";
    std::string hardwareId = "camsim-ptz";
    std::string name = "CAMERA"; // the device's name (discovery scope)
    // Main stream first; the second, smaller one is what handhelds take.
    std::vector<OnvifProfile> profiles = {
        {"profile_main", "MainStream", "H264", 640, 480, 25, 2000, 25},
        {"profile_sub", "SubStream", "H264", 320, 240, 25, 500, 25},
    };
    // PullMessages waits at most this long for an event, whatever the client
    // asks (real cameras hold the request up to a minute).
    int maxPullWaitMs = 10000;
    OnvifPtzSpaces ptzSpaces = OnvifPtzSpaces::FieldOfView;
    // Drives the head's movements and the motion object; null is the system
    // clock. Must outlive the camera.
    const platform::Clock* clock = nullptr;
    // The SD card: the search and replay services list and play its
    // recordings (the streams' replay server plays them). Null: no card,
    // and neither service.
    std::shared_ptr<SdCard> sdCard;
};

// One SOAP request as the camera saw it. Times are milliseconds on the
// system's steady clock.
struct OnvifRequestRecord {
    std::string service;   // "device", "media", "ptz", "events", "deviceio", "search", "replay"; "" unknown
    std::string operation; // the body element's name ("ContinuousMove"); "" when unreadable
    int64_t arrivalMs = 0;
    int64_t answerMs = 0; // when the answer was handed to the connection
    int httpStatus = 0;
    bool authenticated = false;
};

class OnvifCamera {
public:
    // `head` is shared with the camera's streams so their picture follows the
    // PTZ commands; null gives the camera its own head. `streams` hands out
    // the stream addresses and takes the key-picture requests
    // (RtspProfileStreams: real RTSP streams drawn from `head`); null serves
    // placeholder addresses on port 554 with nothing behind them, for tests
    // of the SOAP side alone.
    explicit OnvifCamera(OnvifOptions options = {}, std::shared_ptr<CameraHead> head = nullptr,
                         std::shared_ptr<OnvifStreamSource> streams = nullptr);
    ~OnvifCamera(); // stops and joins every thread
    OnvifCamera(const OnvifCamera&) = delete;
    OnvifCamera& operator=(const OnvifCamera&) = delete;

    // Listens on 127.0.0.1. False when the port is taken.
    bool start();
    void stop();

    // Answers WS-Discovery probes sent to 127.0.0.1:port (0: an ephemeral
    // port; discoveryPort() tells which) until stop(), for this camera and
    // its `neighbours` (cameras of one machine share the discovery port),
    // which must stay until then; answers go only to the loopback address
    // that asked. `hearGroup` also hears probes to the multicast group that
    // arrive on the loopback interface (where a probe to the group goes in
    // a network namespace whose only interface is loopback). False when the
    // port is taken.
    bool startDiscovery(uint16_t port = 0, std::vector<const OnvifCamera*> neighbours = {}, bool hearGroup = false);
    uint16_t discoveryPort() const; // 0 when not answering

    uint16_t port() const;
    // "http://127.0.0.1:PORT/onvif/device_service"
    std::string deviceServiceUrl() const;
    const OnvifOptions& options() const;

    CameraHead& head();
    std::shared_ptr<CameraHead> sharedHead() const;

    // Misbehaviour of every later request; None for a well-behaved camera.
    void setFault(OnvifFault fault, const OnvifFaultSettings& settings = {});
    OnvifFault fault() const;
    // Waits this long before answering any request (a slow camera); 0 = none.
    void setAnswerDelayMs(int ms);

    // Seconds the camera's clock is ahead of the system's (the skewed clock
    // fault sets it).
    int clockOffsetSeconds() const;

    // The preset names the camera holds, by slot (empty: no preset there).
    std::vector<std::string> presetNames() const;

    // Restarts now, as the reboot fault does every rebootEverySeconds: every
    // subscription is forgotten and connections are refused for the fault
    // settings' rebootDownMs (those given with the last setFault).
    void reboot();
    // Restarts completed so far (the camera answers again after each).
    int reboots() const;

    // Searches of the search service under way.
    std::size_t liveSearches() const;

    // Pull points not yet ended, and PullMessages requests so far.
    int livePullPoints() const;
    int64_t pullCount() const;
    // TCP connections the web server accepted since it last (re)started;
    // clients that keep their connection open make one for many requests.
    int connectionCount() const;

    // Every request so far, in arrival order.
    std::vector<OnvifRequestRecord> requestLog() const;
    void clearRequestLog();
    // Waits until at least `count` requests have been answered (or refused).
    bool waitForAnswers(std::size_t count, int timeoutMs) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace camsim
