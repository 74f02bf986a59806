#include "transport_binding.h"

#include <type_traits>

namespace ostrel {

namespace {

template <auto Member>
void assignSlot(TransportTable& table, void* address) {
    using Fn = std::remove_reference_t<decltype(table.*Member)>;
    table.*Member = reinterpret_cast<Fn>(address);
}

} // namespace

// One list binds the whole table; its order is the lookup order.
const std::array<TransportSlot, kTransportSlotCount> kTransportSlots = {{
    {"M_XInit", &assignSlot<&TransportTable::init>, false, true},
    {"M_XSetMediaConfig", &assignSlot<&TransportTable::setMediaConfig>, false, true},
    {"M_XConnect", &assignSlot<&TransportTable::connect>, false, true},
    {"M_XSetVideoConfig", &assignSlot<&TransportTable::setVideoConfig>, false, false},
    {"M_XGetVideoConfig", &assignSlot<&TransportTable::getVideoConfig>, false, false},
    {"M_XStartStreaming", &assignSlot<&TransportTable::startStreaming>, false, true},
    {"M_XStopStreaming", &assignSlot<&TransportTable::stopStreaming>, false, true},
    {"M_XGetNextFrame", &assignSlot<&TransportTable::getNextFrame>, false, true},
    {"M_XGetNextIFrame", &assignSlot<&TransportTable::getNextIFrame>, false, false},
    {"M_XGetPrevFrame", &assignSlot<&TransportTable::getPrevFrame>, false, false},
    {"M_XGetPrevIFrame", &assignSlot<&TransportTable::getPrevIFrame>, false, false},
    {"M_XDisconnect", &assignSlot<&TransportTable::disconnect>, false, true},
    {"M_XSendCommand", &assignSlot<&TransportTable::sendCommand>, false, true},
    {"M_XExit", &assignSlot<&TransportTable::exit>, false, true},
    {"M_XSetControlDataCallBack", &assignSlot<&TransportTable::setControlDataCallBack>, false, false},
    {"M_XSetMotionInfo", &assignSlot<&TransportTable::setMotionInfo>, false, false},
    {"M_XGetMotionInfo", &assignSlot<&TransportTable::getMotionInfo>, false, false},
    {"M_XGetBeginTime", &assignSlot<&TransportTable::getBeginTime>, false, false},
    {"M_XGetEndTime", &assignSlot<&TransportTable::getEndTime>, false, false},
    {"M_XSetDebugMessageLevel", &assignSlot<&TransportTable::setDebugMessageLevel>, false, false},
    {"M_XGetVersion", &assignSlot<&TransportTable::getVersion>, false, false},
    {"M_XSetEngineConfig", &assignSlot<&TransportTable::setEngineConfig>, true, false},
    {"M_XStartTransferStreamingEngineData", &assignSlot<&TransportTable::startTransferStreamingEngineData>, true,
     false},
}};

std::string bindTransportTable(const platform::Module& module, int streamingType, TransportTable& table) {
    table = {};
    std::string missing;
    for (const TransportSlot& slot : kTransportSlots) {
        if (slot.engineOnly && streamingType != 2) continue;
        void* address = module.symbol(slot.name);
        slot.assign(table, address);
        if (address == nullptr && slot.required && missing.empty()) missing = slot.name;
    }
    return missing;
}

} // namespace ostrel
