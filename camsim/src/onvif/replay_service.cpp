// The replay service: where a recording plays (the streams' replay
// server), and what replay offers.
#include "service_context.h"

#include "camsim/onvif_stream_source.h"

namespace camsim::onvif {

namespace {

constexpr char kSessionTimeout[] = "PT60S";

} // namespace

void replayCapabilities(pugi::xml_node parent) {
    pugi::xml_node caps = add(parent, "trp:Capabilities");
    caps.append_attribute("ReversePlayback") = "false";
    caps.append_attribute("SessionTimeoutRange") = "0 60";
    caps.append_attribute("RTP_RTSP_TCP") = "true";
}

void answerReplay(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const std::string& op = request.operationName;
    if (!c.replay || c.card == nullptr) {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", "the camera replays nothing"};
    }
    if (op == "GetServiceCapabilities") {
        replayCapabilities(add(reply.body(), "trp:GetServiceCapabilitiesResponse"));
    } else if (op == "GetReplayUri") {
        const std::string token = childText(request.operation, "RecordingToken");
        checkStreamSetup(child(request.operation, "StreamSetup"));
        if (!c.card->recording(token, c.card->nowMs()))
            invalidArgument("ter:NoRecording", "no recording \"" + token + "\"");
        const std::string uri = c.streams.replayUri(token);
        if (uri.empty()) throw SoapError{"SOAP-ENV:Receiver", "ter:Action", "the replay server is not running"};
        add(add(reply.body(), "trp:GetReplayUriResponse"), "trp:Uri", withContextHost(uri, c));
    } else if (op == "GetReplayConfiguration") {
        add(add(add(reply.body(), "trp:GetReplayConfigurationResponse"), "trp:Configuration"), "tt:SessionTimeout",
            kSessionTimeout);
    } else if (op == "SetReplayConfiguration") {
        add(reply.body(), "trp:SetReplayConfigurationResponse");
    } else {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", op + " is not supported"};
    }
}

} // namespace camsim::onvif
