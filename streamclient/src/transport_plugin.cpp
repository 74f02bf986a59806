#include "transport_plugin.h"

#include "platform/diagnostics.h"

namespace ostrel {

bool TransportPlugin::bind(int streamingType, const std::array<std::string, kStreamingTypeCount>& names) {
    if (streamingType < 1 || streamingType > kStreamingTypeCount) {
        platform::diagnose("Ostrel-M: streaming type " + std::to_string(streamingType) + " is not 1 to 5");
        return false;
    }
    unbind();
    const std::string& name = names[static_cast<std::size_t>(streamingType - 1)];
    if (!module_.load(name)) {
        platform::diagnose("Ostrel-M: transport plug-in " + name + " for streaming type " +
                           std::to_string(streamingType) + " could not be loaded: " + module_.error());
        return false;
    }
    // A plug-in without one of the functions called unchecked is refused here
    // rather than crashing later.
    const std::string missing = bindTransportTable(module_, streamingType, table_);
    if (!missing.empty()) {
        platform::diagnose("Ostrel-M: transport plug-in " + module_.path() + " lacks " + missing + " and is not used");
        table_ = {};
        module_.unload();
        return false;
    }
    streamingType_ = streamingType;
    return true;
}

bool TransportPlugin::attach(const MediaConfig& config) {
    if (!isBound()) return false;
    void* instance = table_.init();
    if (instance == nullptr) return false;
    {
        std::lock_guard lock(stopLock_);
        instance_ = instance;
    }
    table_.setMediaConfig(instance, &config);
    return true;
}

void TransportPlugin::stop() {
    std::lock_guard lock(stopLock_);
    if (instance_ == nullptr) return;
    table_.disconnect(instance_);
    table_.stopStreaming(instance_);
}

void TransportPlugin::unbind() {
    {
        std::lock_guard lock(stopLock_);
        if (instance_ != nullptr) {
            table_.stopStreaming(instance_);
            table_.disconnect(instance_);
            table_.exit(instance_);
            instance_ = nullptr;
        }
    }
    module_.unload();
    table_ = {};
}

void TransportPlugin::setEventsWanted(bool wanted) const {
    if (instance_ != nullptr && table_.setEventsWanted != nullptr) table_.setEventsWanted(instance_, wanted ? 1 : 0);
}

int32_t TransportPlugin::sendCommand(int32_t type, const uint8_t* data, int32_t length, void* reply,
                                     int32_t replyCapacity) const {
    if (instance_ == nullptr || table_.sendCommand == nullptr) return 0;
    TransportCommand record{};
    record.type = type;
    record.data = data;
    record.length = length;
    record.replyBuffer = reply;
    record.replyCapacity = replyCapacity;
    return table_.sendCommand(instance_, &record, nullptr);
}

} // namespace ostrel
