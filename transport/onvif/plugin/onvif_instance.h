// Corvel-O's instance: an RTSP instance whose stream is found over ONVIF
// (device service at cameraAddress:httpPort, the profile named by the
// channel), with PTZ, presets, the relay output and events carried by the
// camera's SOAP services.
#pragma once

#include "corvel/instance.h"

#include "onvif/camera_session.h"
#include "onvif_talk_back.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace corvel {

class OnvifInstance final : public Instance {
public:
    // `synchronize` false leaves out the request for a key frame at once
    // (the benchmark's baseline); `events` paces the event subscription.
    explicit OnvifInstance(bool synchronize = true, onvif::EventPumpTiming events = {});
    ~OnvifInstance() override;

    int32_t startStreaming() override;
    int32_t getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) override;
    void stopStreaming() override;
    void disconnect() override;
    int32_t sendCommand(const TransportCommand& command) override;
    // Only when events are wanted is the camera asked for a subscription
    // (from the next startStreaming on). Wanted until told otherwise.
    void setEventsWanted(bool wanted) override { eventsWanted_.store(wanted); }

    // The session of the current connection (null when none); shared, so a
    // disconnect from another thread cannot free it under a frame read.
    std::shared_ptr<onvif::CameraSession> session();

    // Talk-back over the camera's audio back channel, on the stream of the
    // last connection; it lives apart from the picture's session.
    int32_t checkBackChannel(std::string& reason) override;
    int32_t openBackChannel(std::string& reason) override;
    int32_t sendBackChannelAudio(const int16_t* samples, std::size_t count) override {
        return talkBack_.send(samples, count) ? 1 : 0;
    }
    void closeBackChannel() override { talkBack_.close(); }

private:
    CameraUrl locate(const MediaConfig& config, int deadlineMs);
    void endSession();
    // A pointing request (transport::kCommandPtzAim): its reply is written
    // into the command's reply buffer.
    int32_t aim(onvif::CameraSession& session, const TransportCommand& command);

    const bool synchronize_;
    const onvif::EventPumpTiming eventTiming_;
    std::atomic<bool> eventsWanted_{true};
    std::mutex mutex_;
    std::shared_ptr<onvif::CameraSession> session_;
    OnvifTalkBack talkBack_;
};

} // namespace corvel
