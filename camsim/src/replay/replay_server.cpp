#include "replay_server.h"

#include "../rtsp/rtsp_auth.h"
#include "../rtsp/rtsp_server_loop.h"
#include "recorded_scene.h"
#include "replay_source.h"

#include <gst/rtsp-server/rtsp-onvif-media-factory.h>
#include <gst/rtsp-server/rtsp-onvif-media.h>
#include <gst/rtsp-server/rtsp-onvif-server.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace camsim::replay {

namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr const char* kMountPath = "/replay";
constexpr const char* kRecordingParameter = "recording=";
constexpr const char* kReplayRequirement = "onvif-replay";
constexpr const char* kSourceName = "replay";
constexpr const char* kTimestampName = "onviftimestamp";
constexpr int kPipelineEndTimeoutMs = 5000;

struct Needed {
    const char* element;
    const char* package;
};
constexpr Needed kNeeded[] = {{"x264enc", "gstreamer1.0-plugins-ugly"},
                              {"rtph264pay", "gstreamer1.0-plugins-good"},
                              {"rtponviftimestamp", "gstreamer1.0-plugins-bad"}};

// The recording a request's URL names; empty when none.
std::string recordingOf(const GstRTSPUrl* url) {
    if (url == nullptr || url->query == nullptr) return {};
    const std::string query = url->query;
    for (std::size_t at = 0; at < query.size();) {
        const std::size_t end = std::min(query.find('&', at), query.size());
        const std::string item = query.substr(at, end - at);
        if (item.rfind(kRecordingParameter, 0) == 0) return item.substr(std::strlen(kRecordingParameter));
        at = end + 1;
    }
    return {};
}

bool requiresReplay(GstRTSPMessage* request) {
    for (gint i = 0;; ++i) {
        gchar* value = nullptr;
        if (gst_rtsp_message_get_header(request, GST_RTSP_HDR_REQUIRE, &value, i) != GST_RTSP_OK) return false;
        if (value != nullptr && std::strstr(value, kReplayRequirement) != nullptr) return true;
    }
}

GstElement* make(const char* factory, const char* name = nullptr) { return gst_element_factory_make(factory, name); }

// Pipelines alive: each source holds one count until it goes, which may be
// after the server (a pipeline the server's threads free late).
struct Liveness {
    std::mutex lock;
    std::condition_variable changed;
    int alive = 0;
};

} // namespace

// What the factory and the clients' handlers share; set before the server
// starts, read by its threads.
struct ReplayServer::Impl {
    std::shared_ptr<SdCard> card;
    std::shared_ptr<RecordedScene> scene;
    std::string user;
    std::string password;
    GstRTSPServer* server = nullptr;
    rtsp::RtspServerLoop loop;
    uint16_t port = 0;
    std::string error;
    std::atomic<int> started{0};
    std::atomic<bool> refused{false};
    std::shared_ptr<Liveness> liveness = std::make_shared<Liveness>();

    GstElement* pipelineFor(const std::string& token);
};

} // namespace camsim::replay

// An ONVIF media factory whose media play a recording of the card.
extern "C" {
struct CamsimReplayFactory {
    GstRTSPOnvifMediaFactory parent;
    camsim::replay::ReplayServer::Impl* server;
};
struct CamsimReplayFactoryClass {
    GstRTSPOnvifMediaFactoryClass parent;
};
}
G_DEFINE_TYPE(CamsimReplayFactory, camsim_replay_factory, GST_TYPE_RTSP_ONVIF_MEDIA_FACTORY)

namespace {

using camsim::replay::ReplayServer;

GstElement* createReplayElement(GstRTSPMediaFactory* factory, const GstRTSPUrl* url) {
    ReplayServer::Impl* server = reinterpret_cast<CamsimReplayFactory*>(factory)->server;
    const std::string token = camsim::replay::recordingOf(url);
    if (token.empty()) return nullptr;
    return server->pipelineFor(token);
}

// Before DESCRIBE: a recording the card does not hold is not found.
GstRTSPStatusCode onDescribe(GstRTSPClient*, GstRTSPContext* ctx, gpointer data) {
    const auto& card = static_cast<ReplayServer::Impl*>(data)->card;
    const std::string token = camsim::replay::recordingOf(ctx->uri);
    if (token.empty() || !card->recording(token, card->nowMs())) return GST_RTSP_STS_NOT_FOUND;
    return GST_RTSP_STS_OK;
}

GstRTSPStatusCode onSetup(GstRTSPClient*, GstRTSPContext* ctx, gpointer) {
    return camsim::replay::requiresReplay(ctx->request) ? GST_RTSP_STS_OK : GST_RTSP_STS_OPTION_NOT_SUPPORTED;
}

// Before PLAY makes its seek: the scale for the pictures' times, the CSeq
// for the header extension; no reverse playback.
GstRTSPStatusCode onPlay(GstRTSPClient*, GstRTSPContext* ctx, gpointer) {
    if (!camsim::replay::requiresReplay(ctx->request)) return GST_RTSP_STS_OPTION_NOT_SUPPORTED;
    double scale = 1.0;
    gchar* value = nullptr;
    // GStreamer takes "nan" and "inf" for rates: refused here first.
    if (gst_rtsp_message_get_header(ctx->request, GST_RTSP_HDR_SPEED, &value, 0) == GST_RTSP_OK &&
        !std::isfinite(g_ascii_strtod(value, nullptr))) {
        return GST_RTSP_STS_BAD_REQUEST;
    }
    if (gst_rtsp_message_get_header(ctx->request, GST_RTSP_HDR_SCALE, &value, 0) == GST_RTSP_OK) {
        scale = g_ascii_strtod(value, nullptr);
        if (!std::isfinite(scale) || scale == 0) return GST_RTSP_STS_BAD_REQUEST;
        if (scale < 0) return GST_RTSP_STS_NOT_IMPLEMENTED;
    }
    if (ctx->media == nullptr) return GST_RTSP_STS_OK;
    GstElement* element = gst_rtsp_media_get_element(ctx->media);
    if (GstElement* source = gst_bin_get_by_name(GST_BIN(element), camsim::replay::kSourceName)) {
        camsim::replay::setReplayScale(source, scale);
        gst_object_unref(source);
    }
    if (gst_rtsp_message_get_header(ctx->request, GST_RTSP_HDR_CSEQ, &value, 0) == GST_RTSP_OK) {
        if (GstElement* stamp = gst_bin_get_by_name(GST_BIN(element), camsim::replay::kTimestampName)) {
            g_object_set(stamp, "cseq", static_cast<guint>(std::strtoul(value, nullptr, 10)), nullptr);
            gst_object_unref(stamp);
        }
    }
    gst_object_unref(element);
    return GST_RTSP_STS_OK;
}

// Every requirement but onvif-replay is unsupported, and that one too while
// replay is refused. GStreamer's ONVIF client checks it only for URLs that
// name the mount itself (DESCRIBE), not a stream's control URL (SETUP and
// PLAY): this handler runs after its own and has the last word.
gchar* onCheckRequirements(GstRTSPClient*, GstRTSPContext*, gchar** requirements, gpointer data) {
    const bool refused = static_cast<ReplayServer::Impl*>(data)->refused.load();
    std::string unsupported;
    for (; requirements != nullptr && *requirements != nullptr; ++requirements) {
        if (std::strcmp(*requirements, camsim::replay::kReplayRequirement) == 0 && !refused) continue;
        unsupported += (unsupported.empty() ? "" : ", ") + std::string(*requirements);
    }
    return g_strdup(unsupported.c_str());
}

void onClientConnected(GstRTSPServer*, GstRTSPClient* client, gpointer data) {
    g_signal_connect_after(client, "check-requirements", G_CALLBACK(onCheckRequirements), data);
    g_signal_connect(client, "pre-describe-request", G_CALLBACK(onDescribe), data);
    g_signal_connect(client, "pre-setup-request", G_CALLBACK(onSetup), nullptr);
    g_signal_connect(client, "pre-play-request", G_CALLBACK(onPlay), nullptr);
}

} // namespace

static void camsim_replay_factory_class_init(CamsimReplayFactoryClass* klass) {
    GST_RTSP_MEDIA_FACTORY_CLASS(klass)->create_element = createReplayElement;
}

static void camsim_replay_factory_init(CamsimReplayFactory* self) { self->server = nullptr; }

namespace camsim::replay {

// The pipeline of one session: pictures, encoder, and the payloader with
// the time-stamp element behind it in a bin the server takes as stream 0.
GstElement* ReplayServer::Impl::pipelineFor(const std::string& token) {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* source = makeReplaySource(card, scene, token);
    gst_object_set_name(GST_OBJECT(source), kSourceName);
    GstElement* encoder = make("x264enc");
    GstElement* caps = make("capsfilter");
    GstElement* payloader = make("rtph264pay", "pay");
    // The time-stamp element flags the first packet of a packet list, where
    // E and T belong on the last: a transform between them hands it the
    // payloader's lists packet by packet.
    GstElement* unlist = make("identity");
    GstElement* stamp = make("rtponviftimestamp", kTimestampName);
    GstElement* pay0 = gst_bin_new("pay0");
    if (encoder == nullptr || caps == nullptr || payloader == nullptr || unlist == nullptr || stamp == nullptr) {
        for (GstElement* e : {bin, source, encoder, caps, payloader, unlist, stamp, pay0}) {
            if (e != nullptr) gst_object_unref(gst_object_ref_sink(e));
        }
        return nullptr;
    }
    const SdCardOptions o = card->options();
    // Key pictures come where the source forces them; the encoder's own
    // limit stays out of the way.
    gst_util_set_object_arg(G_OBJECT(encoder), "tune", "zerolatency");
    gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", "ultrafast");
    g_object_set(encoder, "bframes", 0, "sliced-threads", FALSE, "threads", 1, "bitrate",
                 static_cast<guint>(std::max(16, o.bitRateKbps)), "key-int-max", card->keyInterval() * 10, nullptr);
    GstCaps* h264 = gst_caps_from_string("video/x-h264,stream-format=byte-stream,alignment=au");
    g_object_set(caps, "caps", h264, nullptr);
    gst_caps_unref(h264);
    g_object_set(payloader, "pt", 96, "config-interval", -1, nullptr);
    // Picture times are stream times since 1900 already: no offset. The E
    // and T flags cost one picture of delay.
    g_object_set(stamp, "ntp-offset", static_cast<guint64>(0), "set-e-bit", TRUE, "set-t-bit", TRUE, nullptr);

    gst_bin_add_many(GST_BIN(pay0), payloader, unlist, stamp, nullptr);
    gst_element_link_many(payloader, unlist, stamp, nullptr);
    GstPad* sink = gst_element_get_static_pad(payloader, "sink");
    GstPad* src = gst_element_get_static_pad(stamp, "src");
    gst_element_add_pad(pay0, gst_ghost_pad_new("sink", sink));
    gst_element_add_pad(pay0, gst_ghost_pad_new("src", src));
    gst_object_unref(sink);
    gst_object_unref(src);
    gst_bin_add_many(GST_BIN(bin), source, encoder, caps, pay0, nullptr);
    gst_element_link_many(source, encoder, caps, pay0, nullptr);

    started.fetch_add(1);
    {
        std::lock_guard lock(liveness->lock);
        ++liveness->alive;
    }
    // The count goes with the source, whenever its pipeline is freed.
    g_object_set_data_full(G_OBJECT(source), "camsim-alive", new std::shared_ptr<Liveness>(liveness), [](gpointer p) {
        auto* held = static_cast<std::shared_ptr<Liveness>*>(p);
        {
            std::lock_guard lock((*held)->lock);
            --(*held)->alive;
        }
        (*held)->changed.notify_all();
        delete held;
    });
    return bin;
}

ReplayServer::ReplayServer(std::shared_ptr<SdCard> card, std::string user, std::string password)
    : impl_(std::make_unique<Impl>()) {
    impl_->scene = std::make_shared<RecordedScene>(card);
    impl_->card = std::move(card);
    impl_->user = std::move(user);
    impl_->password = std::move(password);
}

ReplayServer::~ReplayServer() { stop(); }

bool ReplayServer::start() {
    stop();
    GError* gstError = nullptr;
    if (!gst_init_check(nullptr, nullptr, &gstError)) {
        impl_->error = std::string("GStreamer: ") + (gstError != nullptr ? gstError->message : "no initialisation");
        if (gstError != nullptr) g_error_free(gstError);
        return false;
    }
    for (const Needed& n : kNeeded) {
        GstElementFactory* f = gst_element_factory_find(n.element);
        if (f == nullptr) {
            impl_->error = std::string("GStreamer element ") + n.element + " is missing (install " + n.package + ")";
            return false;
        }
        gst_object_unref(f);
    }
    impl_->server = gst_rtsp_onvif_server_new();
    gst_rtsp_server_set_address(impl_->server, kHost);
    gst_rtsp_server_set_service(impl_->server, "0");
    if (!impl_->user.empty()) rtsp::requireLogin(impl_->server, impl_->user, impl_->password);

    auto* factory = static_cast<CamsimReplayFactory*>(g_object_new(camsim_replay_factory_get_type(), nullptr));
    factory->server = impl_.get();
    GstRTSPMediaFactory* media = GST_RTSP_MEDIA_FACTORY(factory);
    gst_rtsp_media_factory_set_media_gtype(media, GST_TYPE_RTSP_ONVIF_MEDIA);
    gst_rtsp_media_factory_set_shared(media, FALSE);
    gst_rtsp_media_factory_set_suspend_mode(media, GST_RTSP_SUSPEND_MODE_NONE);
    gst_rtsp_onvif_media_factory_set_replay_support(GST_RTSP_ONVIF_MEDIA_FACTORY(factory), TRUE);
    if (!impl_->user.empty()) rtsp::admitCameraUser(media);
    GstRTSPMountPoints* points = gst_rtsp_server_get_mount_points(impl_->server);
    gst_rtsp_mount_points_add_factory(points, kMountPath, media); // takes the factory
    g_object_unref(points);
    g_signal_connect(impl_->server, "client-connected", G_CALLBACK(onClientConnected), impl_.get());

    impl_->port = impl_->loop.start(impl_->server);
    if (impl_->port == 0) {
        impl_->error = "cannot listen on 127.0.0.1";
        stop();
        return false;
    }
    return true;
}

void ReplayServer::stop() {
    impl_->loop.stop();
    if (impl_->server != nullptr) g_object_unref(impl_->server);
    impl_->server = nullptr;
    impl_->port = 0;
    Liveness& l = *impl_->liveness;
    std::unique_lock lock(l.lock);
    if (!l.changed.wait_for(lock, std::chrono::milliseconds(kPipelineEndTimeoutMs), [&l] { return l.alive == 0; })) {
        g_warning("camsim: replay pipelines still running after stop");
    }
}

uint16_t ReplayServer::port() const { return impl_->port; }
std::string ReplayServer::error() const { return impl_->error; }
int ReplayServer::sessionsStarted() const { return impl_->started.load(); }

std::string ReplayServer::uri(const std::string& recordingToken) const {
    return std::string("rtsp://") + kHost + ":" + std::to_string(impl_->port) + kMountPath + "?" + kRecordingParameter +
           recordingToken;
}

void ReplayServer::refuseReplay(bool refuse) { impl_->refused.store(refuse); }

} // namespace camsim::replay
