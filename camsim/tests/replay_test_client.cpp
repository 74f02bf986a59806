#include "replay_test_client.h"

#include "camsim/time_strip.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtp/gstrtpbuffer.h>
#include <gst/rtsp/gstrtspconnection.h>

#include "platform/libav_owners.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace camsim::test {

namespace {

constexpr guint16 kReplayExtension = 0xABAC;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A quoted parameter of a challenge: realm="camsim" -> camsim.
std::string challengeParameter(const std::string& challenge, const std::string& name) {
    const std::size_t at = challenge.find(name + "=\"");
    if (at == std::string::npos) return {};
    const std::size_t start = at + name.size() + 2;
    const std::size_t end = challenge.find('"', start);
    return end == std::string::npos ? std::string() : challenge.substr(start, end - start);
}

std::optional<ReplayStamp> stampOf(GstBuffer* buffer) {
    GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
    if (!gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp)) return std::nullopt;
    guint16 profile = 0;
    gpointer data = nullptr;
    guint words = 0;
    std::optional<ReplayStamp> stamp;
    if (gst_rtp_buffer_get_extension_data(&rtp, &profile, &data, &words) && profile == kReplayExtension && words >= 3) {
        const auto* p = static_cast<const uint8_t*>(data);
        ReplayStamp s;
        for (int i = 0; i < 8; ++i) s.ntp = s.ntp << 8 | p[i];
        s.clean = (p[8] & 0x80) != 0;
        s.end = (p[8] & 0x40) != 0;
        s.discontinuity = (p[8] & 0x20) != 0;
        s.terminal = (p[8] & 0x10) != 0;
        s.cseq = p[9];
        stamp = s;
    }
    gst_rtp_buffer_unmap(&rtp);
    return stamp;
}

} // namespace

std::string RtspAnswer::header(const std::string& lowerName) const {
    const auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

int64_t ReplayStamp::unixMs() const {
    const auto seconds = static_cast<int64_t>(ntp >> 32) - 2208988800LL;
    const auto fraction = static_cast<int64_t>(((ntp & 0xFFFFFFFFULL) * 1000 + 0x80000000ULL) >> 32);
    return seconds * 1000 + fraction;
}

struct ReplayTestClient::Impl {
    std::string url;
    std::string user;
    std::string password;
    GstRTSPConnection* connection = nullptr;
    int cseq = 0;
    bool digestSet = false;
    // Depayloading (GStreamer) and decoding (libavcodec) of pictures.
    GstElement* depay = nullptr;
    GstElement* in = nullptr;
    GstElement* out = nullptr;
    platform::av::CodecContextPtr decoder;
    platform::av::FramePtr frame;
    platform::av::PacketPtr packet;

    bool open();
    bool startDecoding();
    RtspAnswer answerOf(GstRTSPMessage* message);
};

bool ReplayTestClient::Impl::open() {
    if (connection != nullptr) return true;
    gst_init(nullptr, nullptr);
    GstRTSPUrl* parsed = nullptr;
    if (gst_rtsp_url_parse(url.c_str(), &parsed) != GST_RTSP_OK) return false;
    const bool made = gst_rtsp_connection_create(parsed, &connection) == GST_RTSP_OK;
    gst_rtsp_url_free(parsed);
    if (!made) return false;
    if (gst_rtsp_connection_connect_usec(connection, 5 * G_USEC_PER_SEC) != GST_RTSP_OK) {
        gst_rtsp_connection_free(connection);
        connection = nullptr;
        return false;
    }
    return true;
}

RtspAnswer ReplayTestClient::Impl::answerOf(GstRTSPMessage* message) {
    RtspAnswer a;
    GstRTSPStatusCode code;
    if (gst_rtsp_message_parse_response(message, &code, nullptr, nullptr) != GST_RTSP_OK) return a;
    a.status = static_cast<int>(code);
    GstRTSPHeaderField fields[] = {GST_RTSP_HDR_SESSION,   GST_RTSP_HDR_RANGE,        GST_RTSP_HDR_SCALE,
                                   GST_RTSP_HDR_SPEED,     GST_RTSP_HDR_UNSUPPORTED,  GST_RTSP_HDR_WWW_AUTHENTICATE,
                                   GST_RTSP_HDR_TRANSPORT, GST_RTSP_HDR_RATE_CONTROL, GST_RTSP_HDR_CONTENT_BASE,
                                   GST_RTSP_HDR_RTP_INFO,  GST_RTSP_HDR_CSEQ};
    for (GstRTSPHeaderField f : fields) {
        gchar* value = nullptr;
        if (gst_rtsp_message_get_header(message, f, &value, 0) == GST_RTSP_OK) {
            a.headers[lower(gst_rtsp_header_as_text(f))] = value;
        }
    }
    guint8* body = nullptr;
    guint size = 0;
    if (gst_rtsp_message_get_body(message, &body, &size) == GST_RTSP_OK && body != nullptr) {
        a.body.assign(reinterpret_cast<const char*>(body), size);
    }
    return a;
}

ReplayTestClient::ReplayTestClient(std::string url, std::string user, std::string password)
    : impl_(std::make_unique<Impl>()) {
    impl_->url = std::move(url);
    impl_->user = std::move(user);
    impl_->password = std::move(password);
}

ReplayTestClient::~ReplayTestClient() {
    if (impl_->connection != nullptr) gst_rtsp_connection_free(impl_->connection);
    if (impl_->depay != nullptr) {
        gst_element_set_state(impl_->depay, GST_STATE_NULL);
        if (impl_->in != nullptr) gst_object_unref(impl_->in);
        if (impl_->out != nullptr) gst_object_unref(impl_->out);
        gst_object_unref(impl_->depay);
    }
}

RtspAnswer ReplayTestClient::request(const std::string& method, const std::string& url,
                                     const std::vector<std::string>& extra, int timeoutMs) {
    if (!impl_->open()) return {};
    for (int attempt = 0; attempt < 2; ++attempt) {
        GstRTSPMessage* message = nullptr;
        gst_rtsp_message_new_request(&message, gst_rtsp_find_method(method.c_str()), url.c_str());
        gst_rtsp_message_add_header(message, GST_RTSP_HDR_CSEQ, std::to_string(++impl_->cseq).c_str());
        if (!session_.empty()) gst_rtsp_message_add_header(message, GST_RTSP_HDR_SESSION, session_.c_str());
        for (const std::string& h : extra) {
            const std::size_t colon = h.find(':');
            const std::string value = h.substr(colon + 1 + (h[colon + 1] == ' ' ? 1 : 0));
            gst_rtsp_message_add_header_by_name(message, h.substr(0, colon).c_str(), value.c_str());
        }
        const gint64 timeoutUs = static_cast<gint64>(timeoutMs) * 1000;
        const GstRTSPResult sent = gst_rtsp_connection_send_usec(impl_->connection, message, timeoutUs);
        gst_rtsp_message_free(message);
        if (sent != GST_RTSP_OK) return {};
        // The answer; interleaved packets before it are dropped.
        RtspAnswer answer;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (answer.status == 0 && std::chrono::steady_clock::now() < deadline) {
            GstRTSPMessage* reply = nullptr;
            gst_rtsp_message_new(&reply);
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
            const GstRTSPResult got =
                gst_rtsp_connection_receive_usec(impl_->connection, reply, std::max<gint64>(1, left.count()));
            if (got == GST_RTSP_OK && gst_rtsp_message_get_type(reply) == GST_RTSP_MESSAGE_RESPONSE) {
                answer = impl_->answerOf(reply);
            }
            gst_rtsp_message_free(reply);
            if (got != GST_RTSP_OK) break;
        }
        if (answer.status != 401 || impl_->digestSet || impl_->user.empty()) return answer;
        const std::string challenge = answer.header("www-authenticate");
        gst_rtsp_connection_set_auth(impl_->connection, GST_RTSP_AUTH_DIGEST, impl_->user.c_str(),
                                     impl_->password.c_str());
        gst_rtsp_connection_set_auth_param(impl_->connection, "realm", challengeParameter(challenge, "realm").c_str());
        gst_rtsp_connection_set_auth_param(impl_->connection, "nonce", challengeParameter(challenge, "nonce").c_str());
        impl_->digestSet = true;
    }
    return {};
}

bool ReplayTestClient::describeAndSetup(const std::vector<std::string>& setupExtra) {
    const RtspAnswer describe = request("DESCRIBE", impl_->url, {"Accept: application/sdp"});
    if (describe.status != 200) return false;
    std::string base = describe.header("content-base");
    if (base.empty()) base = impl_->url;
    if (base.back() != '/') base += '/';
    base_ = base;
    // The first stream's control (the simulator has one stream).
    std::string control = "stream=0";
    const std::size_t at = describe.body.find("a=control:stream=");
    if (at != std::string::npos)
        control = describe.body.substr(at + 10, describe.body.find_first_of("\r\n", at) - at - 10);
    std::vector<std::string> extra = setupExtra;
    extra.push_back("Transport: RTP/AVP/TCP;unicast;interleaved=0-1");
    setup_ = request("SETUP", base + control, extra);
    if (setup_.status != 200) return false;
    session_ = setup_.header("session").substr(0, setup_.header("session").find(';'));
    return true;
}

RtspAnswer ReplayTestClient::play(const std::vector<std::string>& extra) { return request("PLAY", base_, extra); }

std::optional<ReplayPacket> ReplayTestClient::nextPacket(int timeoutMs) {
    if (impl_->connection == nullptr) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        GstRTSPMessage* message = nullptr;
        gst_rtsp_message_new(&message);
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        const GstRTSPResult got =
            gst_rtsp_connection_receive_usec(impl_->connection, message, std::max<gint64>(1, left.count()));
        std::optional<ReplayPacket> packet;
        guint8 channel = 0;
        guint8* data = nullptr;
        guint size = 0;
        if (got == GST_RTSP_OK && gst_rtsp_message_get_type(message) == GST_RTSP_MESSAGE_DATA &&
            gst_rtsp_message_parse_data(message, &channel) == GST_RTSP_OK && channel == 0 &&
            gst_rtsp_message_get_body(message, &data, &size) == GST_RTSP_OK && size > 0) {
            // The connection ends every body with a NUL of its own.
            --size;
            GstBuffer* buffer = gst_buffer_new_memdup(data, size);
            GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
            if (gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp)) {
                ReplayPacket p;
                p.sequence = gst_rtp_buffer_get_seq(&rtp);
                p.timestamp = gst_rtp_buffer_get_timestamp(&rtp);
                p.marker = gst_rtp_buffer_get_marker(&rtp) != 0;
                gst_rtp_buffer_unmap(&rtp);
                p.stamp = stampOf(buffer);
                p.bytes.assign(data, data + size);
                packet = std::move(p);
            }
            gst_buffer_unref(buffer);
        }
        gst_rtsp_message_free(message);
        if (packet) return packet;
        if (got != GST_RTSP_OK) return std::nullopt;
    }
    return std::nullopt;
}

std::vector<ReplayPacket> ReplayTestClient::nextPicture(int timeoutMs) {
    std::vector<ReplayPacket> picture;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        std::optional<ReplayPacket> p = nextPacket(static_cast<int>(std::max<int64_t>(1, left.count())));
        if (!p) break;
        const bool last = p->marker;
        picture.push_back(std::move(*p));
        if (last) return picture;
    }
    return {};
}

bool ReplayTestClient::Impl::startDecoding() {
    if (depay != nullptr) return decoder != nullptr;
    GError* error = nullptr;
    depay = gst_parse_launch("appsrc name=in format=time caps=\"application/x-rtp,media=video,clock-rate=90000,"
                             "encoding-name=H264,payload=96\" ! rtph264depay ! "
                             "video/x-h264,stream-format=byte-stream,alignment=au ! appsink name=out sync=false",
                             &error);
    if (error != nullptr) g_error_free(error);
    if (depay == nullptr) return false;
    in = gst_bin_get_by_name(GST_BIN(depay), "in");
    out = gst_bin_get_by_name(GST_BIN(depay), "out");
    gst_element_set_state(depay, GST_STATE_PLAYING);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (codec == nullptr) return false;
    decoder.reset(avcodec_alloc_context3(codec));
    frame.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    return avcodec_open2(decoder.get(), codec, nullptr) >= 0;
}

std::optional<int64_t> ReplayTestClient::decodedTime(const std::vector<ReplayPacket>& picture) {
    if (picture.empty() || !impl_->startDecoding()) return std::nullopt;
    for (const ReplayPacket& p : picture) {
        gst_app_src_push_buffer(GST_APP_SRC(impl_->in), gst_buffer_new_memdup(p.bytes.data(), p.bytes.size()));
    }
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(impl_->out), 2 * GST_SECOND);
    if (sample == nullptr) return std::nullopt;
    std::optional<int64_t> time;
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        av_new_packet(impl_->packet.get(), static_cast<int>(map.size));
        std::copy(map.data, map.data + map.size, impl_->packet->data);
        gst_buffer_unmap(buffer, &map);
        if (avcodec_send_packet(impl_->decoder.get(), impl_->packet.get()) >= 0 &&
            avcodec_receive_frame(impl_->decoder.get(), impl_->frame.get()) >= 0) {
            time = readTimeStrip(impl_->frame->data[0], impl_->frame->linesize[0], impl_->frame->width,
                                 impl_->frame->height);
        }
        av_packet_unref(impl_->packet.get());
    }
    gst_sample_unref(sample);
    return time;
}

} // namespace camsim::test
