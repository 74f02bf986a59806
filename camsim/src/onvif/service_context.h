// What each ONVIF service of the simulated camera answers from: the
// camera's settings, head and streams, the addresses it hands out and its
// clock. Services answer into a SoapReply or throw a SoapError.
#pragma once

#include "camsim/camera_head.h"
#include "camsim/onvif_camera.h"
#include "camsim/sd_card.h"
#include "soap.h"

#include <cstdint>
#include <string>

namespace camsim::onvif {

inline constexpr char kDevicePath[] = "/onvif/device_service";
inline constexpr char kMediaPath[] = "/onvif/media_service";
inline constexpr char kPtzPath[] = "/onvif/ptz_service";
inline constexpr char kEventsPath[] = "/onvif/event_service";
inline constexpr char kDeviceIoPath[] = "/onvif/deviceio_service";
inline constexpr char kSubscriptionPath[] = "/onvif/subscription/";
inline constexpr char kSearchPath[] = "/onvif/search_service";
inline constexpr char kReplayPath[] = "/onvif/replay_service";
// A profile's JPEG snapshot: kSnapshotPath, its token, ".jpg".
inline constexpr char kSnapshotPath[] = "/onvif/snapshot/";
inline std::string snapshotPath(const std::string& token) { return kSnapshotPath + token + ".jpg"; }

inline constexpr char kVideoSourceToken[] = "video_src_1";
inline constexpr char kRelayToken[] = "relay_1";
inline constexpr int kInputCount = 2;

// A refusal the client reads as a SOAP Fault.
struct SoapError {
    const char* code;    // "SOAP-ENV:Sender" or "SOAP-ENV:Receiver"
    const char* subcode; // "ter:InvalidArgVal", ...
    std::string reason;
};

[[noreturn]] inline void invalidArgument(const char* subcode, const std::string& reason) {
    throw SoapError{"SOAP-ENV:Sender", subcode, reason};
}

struct ServiceContext {
    const OnvifOptions& options;
    CameraHead& head;
    OnvifStreamSource& streams;
    std::string host; // what addresses name: 127.0.0.1, or a foreign host
    uint16_t port = 0;
    int64_t nowSeconds = 0;   // the camera's clock, UTC
    bool audioOutput = false; // a speaker that takes the audio back channel
    SdCard* card = nullptr;   // the recordings the search service lists; null: none
    bool replay = false;      // the replay service is offered

    std::string url(const std::string& path) const { return "http://" + host + ":" + std::to_string(port) + path; }
    // Index of the profile with this token; a SOAP Fault when there is none.
    std::size_t profileIndex(const std::string& token) const;
};

void answerDevice(const SoapRequest& request, const ServiceContext& context, SoapReply& reply);
void answerMedia(const SoapRequest& request, const ServiceContext& context, SoapReply& reply);
void answerReplay(const SoapRequest& request, const ServiceContext& context, SoapReply& reply);
// The services' capabilities as GetServices and GetServiceCapabilities give them.
void replayCapabilities(pugi::xml_node parent);
void searchCapabilities(pugi::xml_node parent);
// A SOAP Fault unless the stream setup asks for unicast RTP over RTSP,
// UDP or TCP (or says nothing).
void checkStreamSetup(const pugi::xml_node& setup);
// The same stream address with the host a camera behind NAT names.
std::string withContextHost(const std::string& rtspUri, const ServiceContext& context);
// Relay outputs and digital inputs, asked through the device service's or
// the device I/O service's namespace (`prefix` "tds" or "tmd").
void answerDeviceIo(const SoapRequest& request, const ServiceContext& context, SoapReply& reply, const char* prefix);

} // namespace camsim::onvif
