// The transport plug-in bound by name into a table of 23 entries.
#pragma once

#include <transport/contract.h>

#include <array>
#include <cstddef>
#include <string>

#include "platform/module.h"

namespace ostrel {

// Entries in lookup order. A name the plug-in lacks leaves its entry null.
struct TransportTable {
    M_XInit_t init = nullptr;
    M_XSetMediaConfig_t setMediaConfig = nullptr;
    M_XConnect_t connect = nullptr;
    M_XSetVideoConfig_t setVideoConfig = nullptr;
    M_XGetVideoConfig_t getVideoConfig = nullptr;
    M_XStartStreaming_t startStreaming = nullptr;
    M_XStopStreaming_t stopStreaming = nullptr;
    M_XGetNextFrame_t getNextFrame = nullptr;
    M_XGetNextIFrame_t getNextIFrame = nullptr;
    M_XGetPrevFrame_t getPrevFrame = nullptr;
    M_XGetPrevIFrame_t getPrevIFrame = nullptr;
    M_XDisconnect_t disconnect = nullptr;
    M_XSendCommand_t sendCommand = nullptr;
    M_XExit_t exit = nullptr;
    M_XSetControlDataCallBack_t setControlDataCallBack = nullptr;
    M_XSetMotionInfo_t setMotionInfo = nullptr;
    M_XGetMotionInfo_t getMotionInfo = nullptr;
    M_XGetBeginTime_t getBeginTime = nullptr;
    M_XGetEndTime_t getEndTime = nullptr;
    M_XSetDebugMessageLevel_t setDebugMessageLevel = nullptr;
    M_XGetVersion_t getVersion = nullptr;
    M_XSetEngineConfig_t setEngineConfig = nullptr;
    M_XStartTransferStreamingEngineData_t startTransferStreamingEngineData = nullptr;
};

struct TransportSlot {
    const char* name;
    void (*assign)(TransportTable& table, void* address);
    bool engineOnly;  // looked up only for streaming type 2
    bool required;    // called without a check, so a plug-in must offer it
};

inline constexpr std::size_t kTransportSlotCount = 23;
extern const std::array<TransportSlot, kTransportSlotCount> kTransportSlots;

// Looks every entry up in table order. Returns the name of the first required
// entry the module lacks, or an empty text when the table is usable.
std::string bindTransportTable(const platform::Module& module, int streamingType, TransportTable& table);

} // namespace ostrel
