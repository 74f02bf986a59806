// The media service: the camera's profiles (one video source, one encoder
// per profile, the PTZ configuration, the speaker when there is one), their
// stream addresses, the audio outputs and the synchronisation point that asks
// an encoder for a key picture.
#include "service_context.h"

#include "camsim/onvif_stream_source.h"

namespace camsim::onvif {

namespace {

constexpr char kVideoSourceConfigToken[] = "vsc_1";
constexpr char kAudioSourceToken[] = "audio_src_1";
constexpr char kAudioOutputToken[] = "audio_out_1";
constexpr char kPtzConfigToken[] = "ptz_config_1";
constexpr char kPanTiltVelocitySpace[] = "http://www.onvif.org/ver10/tptz/PanTiltSpaces/VelocityGenericSpace";
constexpr char kZoomVelocitySpace[] = "http://www.onvif.org/ver10/tptz/ZoomSpaces/VelocityGenericSpace";

void range(pugi::xml_node parent, const char* name, const char* min, const char* max) {
    pugi::xml_node r = add(parent, name);
    add(r, "tt:Min", min);
    add(r, "tt:Max", max);
}

// An encoder that streams unicast only: an empty multicast setting.
void unicastOnly(pugi::xml_node encoder) {
    pugi::xml_node m = add(encoder, "tt:Multicast");
    pugi::xml_node a = add(m, "tt:Address");
    add(a, "tt:Type", "IPv4");
    add(a, "tt:IPv4Address", "0.0.0.0");
    add(m, "tt:Port", "0");
    add(m, "tt:TTL", "0");
    add(m, "tt:AutoStart", "false");
    add(encoder, "tt:SessionTimeout", "PT60S");
}

// The sensor's size: that of the largest profile.
std::pair<int, int> sourceSize(const OnvifOptions& o) {
    int w = 0, h = 0;
    for (const OnvifProfile& p : o.profiles) {
        if (p.width * p.height > w * h) {
            w = p.width;
            h = p.height;
        }
    }
    return {w, h};
}

void videoSourceConfiguration(pugi::xml_node parent, const OnvifOptions& o) {
    pugi::xml_node v = add(parent, "tt:VideoSourceConfiguration");
    v.append_attribute("token") = kVideoSourceConfigToken;
    add(v, "tt:Name", "VideoSourceConfig");
    add(v, "tt:UseCount", std::to_string(o.profiles.size()));
    add(v, "tt:SourceToken", kVideoSourceToken);
    const auto [w, h] = sourceSize(o);
    pugi::xml_node b = add(v, "tt:Bounds");
    b.append_attribute("x") = 0;
    b.append_attribute("y") = 0;
    b.append_attribute("width") = w;
    b.append_attribute("height") = h;
}

void videoEncoderConfiguration(pugi::xml_node parent, const OnvifProfile& p) {
    pugi::xml_node v = add(parent, "tt:VideoEncoderConfiguration");
    v.append_attribute("token") = ("vec_" + p.token).c_str();
    add(v, "tt:Name", p.name + "Encoder");
    add(v, "tt:UseCount", "1");
    add(v, "tt:Encoding", p.encoding);
    pugi::xml_node res = add(v, "tt:Resolution");
    add(res, "tt:Width", std::to_string(p.width));
    add(res, "tt:Height", std::to_string(p.height));
    add(v, "tt:Quality", "5");
    pugi::xml_node rate = add(v, "tt:RateControl");
    add(rate, "tt:FrameRateLimit", std::to_string(p.frameRate));
    add(rate, "tt:EncodingInterval", "1");
    add(rate, "tt:BitrateLimit", std::to_string(p.bitRateKbps));
    if (p.encoding == "H264") {
        pugi::xml_node h = add(v, "tt:H264");
        add(h, "tt:GovLength", std::to_string(p.govLength));
        add(h, "tt:H264Profile", "Main");
    }
    unicastOnly(v);
}

void audio(pugi::xml_node parent, const OnvifProfile& p) {
    pugi::xml_node s = add(parent, "tt:AudioSourceConfiguration");
    s.append_attribute("token") = "asc_1";
    add(s, "tt:Name", "AudioSourceConfig");
    add(s, "tt:UseCount", "1");
    add(s, "tt:SourceToken", kAudioSourceToken);
    pugi::xml_node e = add(parent, "tt:AudioEncoderConfiguration");
    e.append_attribute("token") = ("aec_" + p.token).c_str();
    add(e, "tt:Name", "G711");
    add(e, "tt:UseCount", "1");
    add(e, "tt:Encoding", "G711");
    add(e, "tt:Bitrate", "64");
    add(e, "tt:SampleRate", "8");
    unicastOnly(e);
}

// The speaker, which takes the audio back channel of every profile's stream.
void audioOutput(pugi::xml_node parent, const OnvifOptions& o) {
    pugi::xml_node x = add(parent, "tt:Extension");
    pugi::xml_node out = add(x, "tt:AudioOutputConfiguration");
    out.append_attribute("token") = "aoc_1";
    add(out, "tt:Name", "AudioOutputConfig");
    add(out, "tt:UseCount", std::to_string(o.profiles.size()));
    add(out, "tt:OutputToken", kAudioOutputToken);
    add(out, "tt:SendPrimacy", "www.onvif.org/ver20/HalfDuplex/Auto");
    add(out, "tt:OutputLevel", "100");
    pugi::xml_node dec = add(x, "tt:AudioDecoderConfiguration");
    dec.append_attribute("token") = "adc_1";
    add(dec, "tt:Name", "AudioDecoderConfig");
    add(dec, "tt:UseCount", std::to_string(o.profiles.size()));
}

void ptzConfiguration(pugi::xml_node parent, const OnvifOptions& o) {
    pugi::xml_node c = add(parent, "tt:PTZConfiguration");
    c.append_attribute("token") = kPtzConfigToken;
    add(c, "tt:Name", "PTZ");
    add(c, "tt:UseCount", std::to_string(o.profiles.size()));
    add(c, "tt:NodeToken", "ptz_node_1");
    add(c, "tt:DefaultContinuousPanTiltVelocitySpace", kPanTiltVelocitySpace);
    add(c, "tt:DefaultContinuousZoomVelocitySpace", kZoomVelocitySpace);
    add(c, "tt:DefaultPTZTimeout", "PT5S");
    pugi::xml_node pt = add(add(c, "tt:PanTiltLimits"), "tt:Range");
    add(pt, "tt:URI", "http://www.onvif.org/ver10/tptz/PanTiltSpaces/PositionGenericSpace");
    range(pt, "tt:XRange", "-1", "1");
    range(pt, "tt:YRange", "-1", "1");
    pugi::xml_node z = add(add(c, "tt:ZoomLimits"), "tt:Range");
    add(z, "tt:URI", "http://www.onvif.org/ver10/tptz/ZoomSpaces/PositionGenericSpace");
    range(z, "tt:XRange", "0", "1");
}

void profile(pugi::xml_node parent, const char* name, const ServiceContext& c, const OnvifProfile& p) {
    const OnvifOptions& o = c.options;
    pugi::xml_node n = add(parent, name);
    n.append_attribute("token") = p.token.c_str();
    n.append_attribute("fixed") = "true";
    add(n, "tt:Name", p.name);
    videoSourceConfiguration(n, o);
    audio(n, p);
    videoEncoderConfiguration(n, p);
    ptzConfiguration(n, o);
    if (c.audioOutput && p.audioOutput) audioOutput(n, o);
}

void streamUri(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const std::size_t index = c.profileIndex(childText(request.operation, "ProfileToken"));
    checkStreamSetup(child(request.operation, "StreamSetup"));
    const std::string uri = withContextHost(c.streams.streamUri(index, c.options.profiles[index]), c);
    pugi::xml_node m = add(add(reply.body(), "trt:GetStreamUriResponse"), "trt:MediaUri");
    add(m, "tt:Uri", uri);
    add(m, "tt:InvalidAfterConnect", "false");
    add(m, "tt:InvalidAfterReboot", "false");
    add(m, "tt:Timeout", "PT60S");
}

} // namespace

void checkStreamSetup(const pugi::xml_node& setup) {
    const std::string stream = childText(setup, "Stream");
    const std::string protocol = childText(child(setup, "Transport"), "Protocol");
    if (!stream.empty() && stream != "RTP-Unicast") invalidArgument("ter:InvalidStreamSetup", "only RTP-Unicast");
    if (!protocol.empty() && protocol != "RTSP" && protocol != "UDP" && protocol != "TCP") {
        invalidArgument("ter:InvalidStreamSetup", "no " + protocol + " transport");
    }
}

std::string withContextHost(const std::string& rtspUri, const ServiceContext& c) {
    // A camera behind NAT names its own (inner) address.
    const std::string loopback = "rtsp://127.0.0.1:";
    return rtspUri.rfind(loopback, 0) == 0 ? "rtsp://" + c.host + ":" + rtspUri.substr(loopback.size()) : rtspUri;
}

std::size_t ServiceContext::profileIndex(const std::string& token) const {
    for (std::size_t i = 0; i < options.profiles.size(); ++i) {
        if (options.profiles[i].token == token) return i;
    }
    invalidArgument("ter:NoProfile", "no profile \"" + token + "\"");
}

void answerMedia(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const std::string& op = request.operationName;
    if (op == "GetProfiles") {
        pugi::xml_node r = add(reply.body(), "trt:GetProfilesResponse");
        for (const OnvifProfile& p : c.options.profiles) profile(r, "trt:Profiles", c, p);
    } else if (op == "GetProfile") {
        const std::size_t i = c.profileIndex(childText(request.operation, "ProfileToken"));
        profile(add(reply.body(), "trt:GetProfileResponse"), "trt:Profile", c, c.options.profiles[i]);
    } else if (op == "GetVideoSources") {
        pugi::xml_node s = add(add(reply.body(), "trt:GetVideoSourcesResponse"), "trt:VideoSources");
        s.append_attribute("token") = kVideoSourceToken;
        const auto [w, h] = sourceSize(c.options);
        add(s, "tt:Framerate", std::to_string(c.options.profiles.empty() ? 25 : c.options.profiles[0].frameRate));
        pugi::xml_node res = add(s, "tt:Resolution");
        add(res, "tt:Width", std::to_string(w));
        add(res, "tt:Height", std::to_string(h));
    } else if (op == "GetAudioOutputs") {
        pugi::xml_node r = add(reply.body(), "trt:GetAudioOutputsResponse");
        if (c.audioOutput) add(r, "trt:AudioOutputs").append_attribute("token") = kAudioOutputToken;
    } else if (op == "GetStreamUri") {
        streamUri(request, c, reply);
    } else if (op == "GetSnapshotUri" && c.streams.drawsSnapshots()) {
        const std::size_t i = c.profileIndex(childText(request.operation, "ProfileToken"));
        pugi::xml_node m = add(add(reply.body(), "trt:GetSnapshotUriResponse"), "trt:MediaUri");
        add(m, "tt:Uri", c.url(snapshotPath(c.options.profiles[i].token)));
        add(m, "tt:InvalidAfterConnect", "false");
        add(m, "tt:InvalidAfterReboot", "false");
        add(m, "tt:Timeout", "PT0S");
    } else if (op == "SetSynchronizationPoint") {
        c.streams.requestKeyFrame(c.profileIndex(childText(request.operation, "ProfileToken")));
        add(reply.body(), "trt:SetSynchronizationPointResponse");
    } else {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", op + " is not supported"};
    }
}

} // namespace camsim::onvif
