// The transport plug-in of one interface object: its module, its table and
// the instance made from it.
#pragma once

#include <transport/contract.h>

#include <array>
#include <mutex>
#include <string>

#include "platform/module.h"
#include "stream_limits.h"
#include "transport_binding.h"

namespace ostrel {

class TransportPlugin {
public:
    TransportPlugin() = default;
    ~TransportPlugin() { unbind(); }
    TransportPlugin(const TransportPlugin&) = delete;
    TransportPlugin& operator=(const TransportPlugin&) = delete;

    // Drops any earlier binding, then loads the plug-in named for the
    // streaming type (1 to 5). False, with the reason told, when the type is
    // out of range, the module does not load or lacks a required function.
    bool bind(int streamingType, const std::array<std::string, kStreamingTypeCount>& names);
    // Makes the instance and hands it the settings; false when the plug-in
    // made none. The settings must outlive the instance.
    bool attach(const MediaConfig& config);
    // Disconnects and stops the instance, in that order. Safe from the
    // caller's thread and the render thread at once.
    void stop();
    // Ends the instance and unloads the module.
    void unbind();

    bool isBound() const { return module_.isLoaded(); }
    // The streaming type of the bound plug-in; 0 while none is bound.
    int streamingType() const { return isBound() ? streamingType_ : 0; }
    // Valid while bound; entries the plug-in lacks are null.
    const TransportTable& table() const { return table_; }
    // Null before attach.
    void* instance() const { return instance_; }

    // Tells the instance whether anybody shows the camera's events, for a
    // plug-in that subscribes to them only then; others are not asked.
    void setEventsWanted(bool wanted) const;
    // Hands one command record to the instance; 0 without one.
    int32_t sendCommand(int32_t type, const uint8_t* data, int32_t length, void* reply = nullptr,
                        int32_t replyCapacity = 0) const;

private:
    platform::Module module_;
    TransportTable table_;
    void* instance_ = nullptr;
    int streamingType_ = 0;
    // The contract does not allow disconnect and stop concurrently; they may
    // come from the caller and from the render thread's time-out.
    std::mutex stopLock_;
};

} // namespace ostrel
