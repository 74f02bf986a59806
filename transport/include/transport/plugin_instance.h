// One connection of a transport plug-in, as the contract's exports see it.
// Every plug-in compiles the same exports (transport/src/plugin_exports.cpp),
// which check their arguments, keep exceptions inside and call an instance of
// this interface; a plug-in adds only its instance and the factory below.
#pragma once

#include "transport/contract.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace transport {

class PluginInstance {
public:
    PluginInstance() = default;
    virtual ~PluginInstance() = default;
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    // Results are those of the M_X function of the same name.
    virtual void setMediaConfig(const MediaConfig& config) = 0;
    virtual int32_t connect() = 0;
    virtual int32_t startStreaming() = 0;
    virtual void stopStreaming() = 0;
    virtual void disconnect() = 0;
    virtual int32_t getNextFrame(int32_t* frameKind, uint8_t* buffer, int32_t bufferSize) = 0;
    virtual int32_t getNextIFrame() = 0;
    virtual int32_t sendCommand(const TransportCommand& command) = 0;
    // A plug-in without a control channel takes the callback and never calls it.
    virtual void setControlDataCallback(void* /*context*/, ControlDataCallback /*callback*/) {}
    // Motion and encoder settings: 0 from a camera that offers none to set or read.
    virtual int32_t setMotionInfo(const MotionInfo& /*info*/) { return 0; }
    virtual int32_t getMotionInfo(MotionInfo& /*info*/) { return 0; }
    virtual int32_t setVideoConfig(const VideoConfig& /*config*/) { return 0; }
    virtual int32_t getVideoConfig(VideoConfig& /*config*/) { return 0; }
    // Whether the stream's user shows the camera's motion and input events.
    // Only a plug-in that subscribes to them acts on it, and only such a
    // plug-in compiles M_XSetEventsWanted in (transport/src/events_export.cpp).
    virtual void setEventsWanted(bool /*wanted*/) {}
    // Talk-back on a back channel of the camera's own stream protocol; a
    // protocol without one answers no and says so in `reason` (one line).
    virtual int32_t checkBackChannel(std::string& reason) { return noBackChannel(reason); }
    virtual int32_t openBackChannel(std::string& reason) { return noBackChannel(reason); }
    virtual int32_t sendBackChannelAudio(const int16_t* /*samples*/, std::size_t /*count*/) { return 0; }
    virtual void closeBackChannel() {}

    // Kept, as the contract asks; nothing reads it.
    void setDebugMessageLevel(int32_t level) { debugLevel_.store(level); }

private:
    static int32_t noBackChannel(std::string& reason) {
        reason = "the camera's protocol has no audio back channel";
        return 0;
    }

    std::atomic<int32_t> debugLevel_{0};
};

// Defined once by each plug-in: the instance M_XInit hands out, null when
// there is no memory for one.
std::unique_ptr<PluginInstance> makePluginInstance();

// The handle the exports hand out for an instance, and back.
inline void* handleOf(PluginInstance* instance) { return instance; }
inline PluginInstance* instanceOf(void* handle) { return static_cast<PluginInstance*>(handle); }

} // namespace transport
