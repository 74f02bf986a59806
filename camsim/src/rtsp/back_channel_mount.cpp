#include "back_channel_mount.h"

#include <gst/app/gstappsink.h>
#include <gst/rtsp-server/rtsp-onvif-media-factory.h>
#include <gst/rtsp-server/rtsp-onvif-media.h>
#include <gst/rtsp-server/rtsp-onvif-server.h>

#include <cstring>
#include <iterator>
#include <vector>

namespace camsim::rtsp {

namespace {

constexpr const char* kTalkSinkName = "talk";
// A client that asks for the back channel gets a media without the picture:
// it sets up the back channel alone, and the server would fail the media on
// the payloaders nobody set up.
constexpr const char* kNoPicture = "( identity )";
// The speaker plays what arrives; a deep receive buffer would only delay it.
constexpr guint kReceiveLatencyMs = 20;

using Talk = std::shared_ptr<TalkReceiver>;

void deleteTalk(gpointer data) { delete static_cast<Talk*>(data); }
void deleteTalkClosure(gpointer data, GClosure*) { deleteTalk(data); }

GstFlowReturn onTalkSample(GstAppSink* sink, gpointer data) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (sample == nullptr) return GST_FLOW_EOS;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        (*static_cast<Talk*>(data))->receive(reinterpret_cast<const int16_t*>(map.data), map.size / sizeof(int16_t));
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

bool requiresBackChannel(GstRTSPContext* context) {
    for (gint i = 0;; ++i) {
        gchar* value = nullptr;
        if (gst_rtsp_message_get_header(context->request, GST_RTSP_HDR_REQUIRE, &value, i) != GST_RTSP_OK) return false;
        if (value != nullptr && std::strstr(value, "www.onvif.org/ver20/backchannel") != nullptr) return true;
    }
}

// A camera that never answers: nothing more leaves on this connection.
gboolean dropMessages(GstRTSPClient*, GstRTSPMessage*, guint, gboolean, gpointer) { return TRUE; }

// Where a redirected back channel is sent: the same port on another
// loopback address, where nothing listens.
void onSendMessage(GstRTSPClient*, GstRTSPContext* context, GstRTSPMessage* response, gpointer) {
    GstRTSPStatusCode code;
    if (gst_rtsp_message_parse_response(response, &code, nullptr, nullptr) != GST_RTSP_OK ||
        code != GST_RTSP_STS_MOVE_TEMPORARILY || context == nullptr || context->uri == nullptr) {
        return;
    }
    const std::string location = "rtsp://127.0.0.2:" + std::to_string(context->uri->port) + context->uri->abspath;
    gst_rtsp_message_add_header(response, GST_RTSP_HDR_LOCATION, location.c_str());
}

GstRTSPStatusCode onDescribe(GstRTSPClient* client, GstRTSPContext* context, gpointer data) {
    if (context->request == nullptr || !requiresBackChannel(context)) return GST_RTSP_STS_OK;
    switch ((*static_cast<Talk*>(data))->refusal()) {
    case TalkRefusal::None: return GST_RTSP_STS_OK;
    case TalkRefusal::OptionNotSupported: return GST_RTSP_STS_OPTION_NOT_SUPPORTED;
    case TalkRefusal::Silent:
        gst_rtsp_client_set_send_messages_func(client, dropMessages, nullptr, nullptr);
        return GST_RTSP_STS_SERVICE_UNAVAILABLE; // never sent
    case TalkRefusal::Redirect: return GST_RTSP_STS_MOVE_TEMPORARILY;
    }
    return GST_RTSP_STS_OK;
}

} // namespace

} // namespace camsim::rtsp

// An ONVIF media factory whose back-channel media carries no picture.
extern "C" {
struct CamsimTalkFactory {
    GstRTSPOnvifMediaFactory parent;
};
struct CamsimTalkFactoryClass {
    GstRTSPOnvifMediaFactoryClass parent;
};
}
G_DEFINE_TYPE(CamsimTalkFactory, camsim_talk_factory, GST_TYPE_RTSP_ONVIF_MEDIA_FACTORY)

namespace {

// Runs on the server's main-loop thread, which alone makes media: the launch
// line is swapped and put back with nobody else reading it.
GstElement* createTalkElement(GstRTSPMediaFactory* factory, const GstRTSPUrl* url) {
    auto* parent = GST_RTSP_MEDIA_FACTORY_CLASS(camsim_talk_factory_parent_class);
    if (!gst_rtsp_onvif_media_factory_requires_backchannel(factory, gst_rtsp_context_get_current())) {
        return parent->create_element(factory, url);
    }
    gchar* launch = gst_rtsp_media_factory_get_launch(factory);
    gst_rtsp_media_factory_set_launch(factory, camsim::rtsp::kNoPicture);
    GstElement* element = parent->create_element(factory, url);
    gst_rtsp_media_factory_set_launch(factory, launch);
    g_free(launch);
    return element;
}

} // namespace

static void camsim_talk_factory_class_init(CamsimTalkFactoryClass* klass) {
    GST_RTSP_MEDIA_FACTORY_CLASS(klass)->create_element = createTalkElement;
}

static void camsim_talk_factory_init(CamsimTalkFactory*) {}

namespace camsim::rtsp {

std::string backChannelLaunch(TalkCodec codec) {
    std::string rtp;
    std::string decode;
    switch (codec) {
    case TalkCodec::Pcmu:
        rtp = "media=audio,payload=0,clock-rate=8000,encoding-name=PCMU";
        decode = "rtppcmudepay ! mulawdec";
        break;
    case TalkCodec::Pcma:
        rtp = "media=audio,payload=8,clock-rate=8000,encoding-name=PCMA";
        decode = "rtppcmadepay ! alawdec";
        break;
    case TalkCodec::Aac:
        // AAC-LC, 16 kHz, mono (AudioSpecificConfig 0x1408).
        rtp = "media=audio,payload=96,clock-rate=16000,encoding-name=MPEG4-GENERIC,mode=(string)AAC-hbr,"
              "config=(string)1408,sizelength=(string)13,indexlength=(string)3,indexdeltalength=(string)3,"
              "streamtype=(string)5";
        decode = "rtpmp4gdepay ! aacparse ! faad";
        break;
    }
    return "( capsfilter name=depay_backchannel caps=\"application/x-rtp," + rtp + "\" ! " + decode +
           " ! audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=8000,channels=1 ! appsink name=" +
           kTalkSinkName + " sync=false async=false )";
}

GstRTSPServer* makeServer(bool backChannel) {
    return backChannel ? gst_rtsp_onvif_server_new() : gst_rtsp_server_new();
}

GstRTSPMediaFactory* makeMediaFactory(const std::shared_ptr<TalkReceiver>& talk) {
    if (!talk) return gst_rtsp_media_factory_new();
    auto* factory = GST_RTSP_MEDIA_FACTORY(g_object_new(camsim_talk_factory_get_type(), nullptr));
    gst_rtsp_onvif_media_factory_set_backchannel_launch(GST_RTSP_ONVIF_MEDIA_FACTORY(factory),
                                                        backChannelLaunch(talk->codec()).c_str());
    gst_rtsp_media_factory_set_media_gtype(factory, GST_TYPE_RTSP_ONVIF_MEDIA);
    gst_rtsp_media_factory_set_latency(factory, kReceiveLatencyMs);
    return factory;
}

bool attachBackChannel(GstRTSPMedia* media, const std::shared_ptr<TalkReceiver>& talk) {
    if (!talk) return false;
    GstElement* element = gst_rtsp_media_get_element(media);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(element), kTalkSinkName);
    gst_object_unref(element);
    if (sink == nullptr) return false;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onTalkSample;
    // The sink owns its copy of the receiver, so a pipeline that outlives
    // the camera never calls into a freed one.
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new Talk(talk), deleteTalk);
    gst_object_unref(sink);
    talk->sessionOpened();
    return true;
}

void watchBackChannelRequests(GstRTSPClient* client, const std::shared_ptr<TalkReceiver>& talk) {
    if (!talk) return;
    g_signal_connect_data(client, "pre-describe-request", G_CALLBACK(onDescribe), new Talk(talk), deleteTalkClosure,
                          GConnectFlags(0));
    g_signal_connect(client, "send-message", G_CALLBACK(onSendMessage), nullptr);
}

std::string missingBackChannelElement(TalkCodec codec) {
    struct Needed {
        const char* element;
        const char* package;
    };
    static constexpr Needed kCommon[] = {{"capsfilter", "libgstreamer1.0-0"},
                                         {"audioconvert", "gstreamer1.0-plugins-base"},
                                         {"audioresample", "gstreamer1.0-plugins-base"},
                                         {"appsink", "gstreamer1.0-plugins-base"}};
    static constexpr Needed kPcmu[] = {{"rtppcmudepay", "gstreamer1.0-plugins-good"},
                                       {"mulawdec", "gstreamer1.0-plugins-good"}};
    static constexpr Needed kPcma[] = {{"rtppcmadepay", "gstreamer1.0-plugins-good"},
                                       {"alawdec", "gstreamer1.0-plugins-good"}};
    static constexpr Needed kAac[] = {{"rtpmp4gdepay", "gstreamer1.0-plugins-good"},
                                      {"aacparse", "gstreamer1.0-plugins-good"},
                                      {"faad", "gstreamer1.0-plugins-bad"}};
    std::vector<Needed> needed(std::begin(kCommon), std::end(kCommon));
    switch (codec) {
    case TalkCodec::Pcmu: needed.insert(needed.end(), std::begin(kPcmu), std::end(kPcmu)); break;
    case TalkCodec::Pcma: needed.insert(needed.end(), std::begin(kPcma), std::end(kPcma)); break;
    case TalkCodec::Aac: needed.insert(needed.end(), std::begin(kAac), std::end(kAac)); break;
    }
    for (const Needed& n : needed) {
        GstElementFactory* factory = gst_element_factory_find(n.element);
        if (factory == nullptr)
            return std::string("GStreamer element ") + n.element + " is missing (install " + n.package + ")";
        gst_object_unref(factory);
    }
    return {};
}

} // namespace camsim::rtsp
