#include "camsim/rtsp_camera.h"

#include "back_channel_mount.h"
#include "rtsp_auth.h"
#include "rtsp_fault_relay.h"
#include "rtsp_pipelines.h"
#include "rtsp_server_loop.h"
#include "scene_feed.h"

#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <cmath>
#include <mutex>

namespace camsim {

namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr const char* kFeedKey = "camsim-feed";
constexpr RtspCodec kCodecs[] = {RtspCodec::H264, RtspCodec::H265, RtspCodec::Mjpeg};
// How long stop() waits for the server's media threads to free pipelines.
constexpr int kPipelineEndTimeoutMs = 5000;

template <typename T>
struct GUnref {
    void operator()(T* p) const { g_object_unref(p); }
};
template <typename T>
using GPtr = std::unique_ptr<T, GUnref<T>>;

// What a factory's "media-configure" handler needs.
struct MountContext {
    std::shared_ptr<rtsp::SceneFeed> scene;
    RtspCodec codec;
    std::shared_ptr<TalkReceiver> talk;
};

void onMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data) {
    const auto* mount = static_cast<const MountContext*>(data);
    if (rtsp::attachBackChannel(media, mount->talk)) return;
    auto* feed = new rtsp::MediaFeed(mount->scene, mount->codec);
    // The media owns the feed; it goes with the media's pipeline.
    g_object_set_data_full(G_OBJECT(media), kFeedKey, feed,
                           [](gpointer p) { delete static_cast<rtsp::MediaFeed*>(p); });
    GstElement* element = gst_rtsp_media_get_element(media);
    if (!feed->attach(element)) g_warning("camsim: the media has no source to feed");
    gst_object_unref(element);
    // A camera clock of its own rate: the pipeline runs by it, so its time
    // stamps (and RTP's) advance that much faster or slower than real time.
    const double rate = mount->scene->options().clockRate;
    if (rate != 1.0) {
        auto* clock =
            GST_CLOCK(gst_object_ref_sink(g_object_new(GST_TYPE_SYSTEM_CLOCK, "name", "camera-clock", nullptr)));
        const GstClockTime now = gst_clock_get_internal_time(clock);
        gst_clock_set_calibration(clock, now, now, static_cast<GstClockTime>(std::llround(rate * 1000000)), 1000000);
        gst_rtsp_media_set_clock(media, clock);
        gst_object_unref(clock);
    }
}

// Before the PLAY is answered: a client may ask for a key picture (over
// ONVIF) as soon as it has the answer, and the feed must be playing by then.
GstRTSPStatusCode onPlay(GstRTSPClient*, GstRTSPContext* context, gpointer) {
    if (context->media == nullptr) return GST_RTSP_STS_OK;
    auto* feed = static_cast<rtsp::MediaFeed*>(g_object_get_data(G_OBJECT(context->media), kFeedKey));
    if (feed != nullptr) feed->startPlaying();
    return GST_RTSP_STS_OK;
}

void onClientConnected(GstRTSPServer*, GstRTSPClient* client, gpointer data) {
    g_signal_connect(client, "pre-play-request", G_CALLBACK(onPlay), nullptr);
    rtsp::watchBackChannelRequests(client, static_cast<const RtspOptions*>(data)->talk);
}

} // namespace

const char* rtspMountName(RtspCodec codec) {
    switch (codec) {
    case RtspCodec::H264: return "h264";
    case RtspCodec::H265: return "h265";
    case RtspCodec::Mjpeg: return "mjpeg";
    }
    return "";
}

bool parseRtspCodec(const std::string& text, RtspCodec& codec) {
    if (text == "h264" || text == "h.264") {
        codec = RtspCodec::H264;
    } else if (text == "h265" || text == "h.265" || text == "hevc") {
        codec = RtspCodec::H265;
    } else if (text == "mjpeg" || text == "jpeg") {
        codec = RtspCodec::Mjpeg;
    } else {
        return false;
    }
    return true;
}

struct RtspCamera::Impl {
    RtspOptions options;
    std::shared_ptr<CameraHead> head;
    std::shared_ptr<rtsp::SceneFeed> scene;

    GPtr<GstRTSPServer> server;
    rtsp::RtspServerLoop loop;
    std::unique_ptr<rtsp::FaultRelay> relay;

    mutable std::mutex mutex; // port, error
    uint16_t serverPort = 0;
    std::string error;

    bool startServer();
    void stopServer();
    void addMount(GstRTSPMountPoints* points, RtspCodec codec);
};

RtspCamera::RtspCamera(RtspOptions options, std::shared_ptr<CameraHead> head) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    impl_->head = head ? std::move(head) : std::make_shared<CameraHead>();
}

RtspCamera::~RtspCamera() { stop(); }

bool RtspCamera::start() {
    stop();
    std::string error;
    GError* gstError = nullptr;
    if (!rtsp::checkOptions(impl_->options, error)) {
        // error says why
    } else if (!gst_init_check(nullptr, nullptr, &gstError)) {
        error = std::string("GStreamer: ") + (gstError != nullptr ? gstError->message : "no initialisation");
    } else if (error = rtsp::missingElement(); !error.empty()) {
        // error names the package
    } else if (impl_->options.talk &&
               !(error = rtsp::missingBackChannelElement(impl_->options.talk->codec())).empty()) {
        // error names the package
    } else if (!impl_->startServer()) {
        error = "cannot listen on 127.0.0.1 (port in use?)";
    } else if (impl_->options.fault != RtspFault::None) {
        impl_->relay = std::make_unique<rtsp::FaultRelay>(impl_->options.fault, impl_->options.faultSettings);
        if (!impl_->relay->start(impl_->options.port, impl_->serverPort)) {
            error = "cannot listen on 127.0.0.1 (port in use?)";
        }
    }
    if (gstError != nullptr) g_error_free(gstError);
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->error = error;
    }
    if (error.empty()) return true;
    stop();
    return false;
}

void RtspCamera::Impl::addMount(GstRTSPMountPoints* points, RtspCodec codec) {
    if (codec == RtspCodec::Mjpeg && !rtsp::mjpegServes(options)) return;
    GstRTSPMediaFactory* factory = rtsp::makeMediaFactory(options.talk);
    const std::string launch = rtsp::mediaDescription(options, codec, options.preEncodedSeconds > 0);
    gst_rtsp_media_factory_set_launch(factory, launch.c_str());
    gst_rtsp_media_factory_set_shared(factory, FALSE); // each client its own encoder
    gst_rtsp_media_factory_set_suspend_mode(factory, GST_RTSP_SUSPEND_MODE_NONE);
    if (!options.user.empty()) rtsp::admitCameraUser(factory);
    // The factory owns its handler's context: a client thread of the server
    // may still build a medium for a late connection after the camera has
    // stopped, and the factory lives as long as that.
    g_signal_connect_data(
        factory, "media-configure", G_CALLBACK(onMediaConfigure), new MountContext{scene, codec, options.talk},
        [](gpointer context, GClosure*) { delete static_cast<MountContext*>(context); }, GConnectFlags(0));
    const std::string path = std::string("/") + rtspMountName(codec);
    gst_rtsp_mount_points_add_factory(points, path.c_str(), factory); // takes the factory
}

bool RtspCamera::Impl::startServer() {
    scene = std::make_shared<rtsp::SceneFeed>(options, head);
    server.reset(rtsp::makeServer(options.talk != nullptr));
    gst_rtsp_server_set_address(server.get(), kHost);
    // Behind a fault relay the real server takes any free port.
    const uint16_t port = options.fault == RtspFault::None ? options.port : 0;
    gst_rtsp_server_set_service(server.get(), std::to_string(port).c_str());
    if (!options.user.empty()) {
        rtsp::requireLogin(server.get(), options.user, options.password, options.fault == RtspFault::BasicOnly);
    }
    GPtr<GstRTSPMountPoints> points(gst_rtsp_server_get_mount_points(server.get()));
    for (RtspCodec codec : kCodecs) addMount(points.get(), codec);

    g_signal_connect(server.get(), "client-connected", G_CALLBACK(onClientConnected), &options);
    const uint16_t bound = loop.start(server.get());
    std::lock_guard<std::mutex> lock(mutex);
    serverPort = bound;
    return bound != 0;
}

void RtspCamera::Impl::stopServer() {
    loop.stop();
    server.reset();
    if (scene && !scene->waitUntilNoPipelines(kPipelineEndTimeoutMs)) {
        g_warning("camsim: RTSP pipelines still running after stop");
    }
    std::lock_guard<std::mutex> lock(mutex);
    serverPort = 0;
}

void RtspCamera::stop() { impl_->stopServer(); }

bool RtspCamera::isRunning() const { return impl_->loop.running(); }

uint16_t RtspCamera::port() const {
    if (impl_->relay) return impl_->relay->port();
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->serverPort;
}

std::string RtspCamera::url(RtspCodec codec) const {
    return std::string("rtsp://") + kHost + ":" + std::to_string(port()) + "/" + rtspMountName(codec);
}

std::string RtspCamera::error() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->error;
}

const RtspOptions& RtspCamera::options() const { return impl_->options; }
CameraHead& RtspCamera::head() { return *impl_->head; }
std::shared_ptr<CameraHead> RtspCamera::sharedHead() const { return impl_->head; }
int RtspCamera::sessionsStarted() const { return impl_->scene ? impl_->scene->pipelinesStarted() : 0; }

int RtspCamera::basicAuthorizationsSeen() const { return impl_->relay ? impl_->relay->basicAuthorizationsSeen() : 0; }

int RtspCamera::connectionsSeen() const { return impl_->relay ? impl_->relay->connectionsSeen() : 0; }

int RtspCamera::mostConnectionsAtOnce() const { return impl_->relay ? impl_->relay->mostAtOnce() : 0; }

int RtspCamera::requestKeyFrame() { return impl_->scene ? impl_->scene->requestKeyPictures() : 0; }

} // namespace camsim
