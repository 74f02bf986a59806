// The streaming types a camera record names: each is carried by its own
// transport plug-in, loaded by name. One table for the settings model, the
// settings form, the stream client and the simulator.
#pragma once

#include <cstdint>

namespace transport {

// How "Audio Out" reaches a camera: protocol 2's audio-out token, an ONVIF
// camera's audio back channel, or not at all.
enum class AudioOut { None, Token, BackChannel };

struct StreamingType {
    int32_t type;
    const char* plugin;   // the transport plug-in's bare name
    const char* formText; // the settings form's "Streaming Type" item; null: not offered
    // H.264, H.265 or Motion JPEG over RTSP; the address may be a host name
    // or, for plain RTSP, the stream's whole URL.
    bool overRtsp;
    // The password goes out by digest only, on every RTSP request (an ONVIF
    // camera's is its administrator's, and any device a discovery answer
    // leads to could ask for it).
    bool digestOnly;
    AudioOut audioOut;
    // The binding looks up the streaming engine's entries (EngineOnly in
    // contract.h) in its plug-in.
    bool engineEntries;
};

inline constexpr StreamingType kStreamingTypes[] = {
    {1, "Fenwa10-M", "1.0", false, false, AudioOut::None, false},
    {2, "Fenwa20-M", "2.0", false, false, AudioOut::Token, true},
    // The streaming engine's plug-in, outside this system: passed through.
    {3, "Sorrel-M", nullptr, false, false, AudioOut::None, false},
    {4, "Corvel-M", "RTSP", true, false, AudioOut::None, false},
    {5, "Corvel-O", "ONVIF", true, true, AudioOut::BackChannel, false},
};
inline constexpr int kStreamingTypeCount = static_cast<int>(sizeof kStreamingTypes / sizeof kStreamingTypes[0]);

inline constexpr int32_t kRtspStreamingType = 4;
inline constexpr int32_t kOnvifStreamingType = 5;

// The entry of `type`, null for a type no plug-in carries.
constexpr const StreamingType* findStreamingType(int32_t type) {
    for (const StreamingType& entry : kStreamingTypes) {
        if (entry.type == type) return &entry;
    }
    return nullptr;
}

constexpr bool streamsOverRtsp(int32_t type) {
    const StreamingType* entry = findStreamingType(type);
    return entry != nullptr && entry->overRtsp;
}

constexpr AudioOut audioOutOf(int32_t type) {
    const StreamingType* entry = findStreamingType(type);
    return entry != nullptr ? entry->audioOut : AudioOut::None;
}

constexpr bool looksUpEngineEntries(int32_t type) {
    const StreamingType* entry = findStreamingType(type);
    return entry != nullptr && entry->engineEntries;
}

// Types are numbered 1 to kStreamingTypeCount, in the table's order.
static_assert(findStreamingType(kRtspStreamingType)->overRtsp && findStreamingType(kOnvifStreamingType)->overRtsp);
static_assert(kStreamingTypes[kStreamingTypeCount - 1].type == kStreamingTypeCount);

} // namespace transport
