// One connection to an ONVIF camera as the transport plug-in needs it: finds
// the stream of the configured profile, asks for a key frame, carries PTZ,
// preset and relay commands on the worker thread, keeps the event
// subscription and stamps the camera's motion and input state into frame
// headers. The stream itself is received by the RTSP core.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "onvif/device.h"
#include "onvif/device_ptz.h"
#include "onvif/event_pump.h"
#include "onvif/event_state.h"
#include "onvif/ptz_worker.h"
#include "onvif/soap_transport.h"

namespace onvif {

struct SessionSettings {
    DeviceSettings device;
    int channel = 0; // profile: 0 the smallest H.264/H.265 stream, N the N-th
};

class CameraSession {
public:
    CameraSession(std::unique_ptr<SoapTransport> transport, SessionSettings settings, EventPumpTiming timing = {});
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    // Reads the camera's clock and services, picks the profile and returns
    // its RTSP address (with the configured host). Starts the PTZ worker.
    std::optional<std::string> open();
    // Asks for a key frame now, so the first picture does not wait for the
    // next one the encoder would make.
    bool synchronize();
    // Subscribes to motion and input events (on a thread of its own).
    void startEvents();

    // A transport command: PTZ records (type 11) and the digital output
    // (type 13) go to the worker; 1 when taken. Serial settings (17) have
    // nothing to set on this camera and are taken as done.
    int32_t sendCommand(int32_t type, const uint8_t* data, int32_t length);

    // Pointing, in turn with the PTZ commands on the worker; each waits for
    // the camera's answer (at most the call time-out). The node's spaces are
    // asked once per connection.
    std::optional<PtzSpaces> ptzSpaces();
    bool relativeMove(bool fov, double pan, double tilt, double zoom);
    bool absoluteMove(double pan, double tilt, double zoom);
    std::optional<PtzStatus> ptzStatus();

    // Writes the motion and digital-input bytes of a 44-byte frame header.
    void stampHeader(uint8_t* header) const;

    // Ends every SOAP call in flight (from any thread); close() follows.
    void abort();
    // Gives the event subscription back (within a second), then ends every
    // call in flight, the worker and the event thread; open() may follow.
    void close();

    std::string lastError() const;
    std::optional<Profile> profile() const;
    // The stream to talk over (talkProfile()): the shown one's unless
    // another profile carries the speaker. Set by open().
    std::optional<std::string> talkStreamUri() const;
    Device& device() { return device_; }
    // Waits until the event subscription exists; false after timeoutMs or
    // when events were not started. Not while the session closes.
    bool waitSubscribed(int timeoutMs) const;
    // The worker, for tests and benchmarks that wait on it.
    PtzWorker* ptzWorker() {
        std::lock_guard lock(mutex_);
        return lane_ ? &lane_->worker : nullptr;
    }

private:
    std::unique_ptr<SoapTransport> transport_;
    const SessionSettings settings_;
    const EventPumpTiming timing_;
    Device device_;
    EventState events_;
    mutable std::mutex mutex_;
    std::optional<Profile> profile_;
    std::optional<std::string> talkUri_;
    std::string error_;
    // The PTZ calls and their worker, which a pointing call waiting on it
    // keeps alive past a close (the worker is joined before its camera goes).
    struct PtzLane {
        PtzLane(Device& device, const std::string& profileToken) : ptz(device, profileToken), worker(ptz) {}
        DevicePtz ptz;
        PtzWorker worker;
    };
    std::shared_ptr<PtzLane> lane();
    std::shared_ptr<PtzLane> lane_;
    std::unique_ptr<EventPump> pump_;
    std::optional<PtzSpaces> spaces_;
};

} // namespace onvif
