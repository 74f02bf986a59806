#include "talk/back_channel_session.h"

#include "rtsp_password/camera_pin.h"
#include "rtsp_password/guarded_rtsp_source.h"

#include <gst/gst.h>
#include <gst/rtsp/rtsp.h>

#include <chrono>
#include <cstring>

namespace talk {

namespace {

constexpr guint kRtspOverTcp = GST_RTSP_LOWER_TRANS_TCP;
constexpr int kOnvifBackChannel = 1; // rtspsrc's GstRTSPBackchannel "onvif"
constexpr const char* kUserAgent = "Tavolin";

std::string seconds(int ms) {
    const int tenths = (ms + 50) / 100;
    return std::to_string(tenths / 10) + (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "") + " s";
}

} // namespace

struct BackChannelSession::Offer {
    // Set once the offer is filled in, before the source starts: the source's
    // threads start by way of GLib, whose ordering a race checker cannot see,
    // so they read it first.
    std::atomic<bool> published{false};
    rtsp_password::CameraPin camera;
    std::mutex mutex;
    bool sawBackChannel = false;
    std::string unsupported; // the encoding of a back channel we cannot send
    std::optional<Encoding> encoding;
    guint stream = 0;
    std::string redirect; // where the camera tried to send us
    std::shared_ptr<rtsp_password::SourceGuard> password;
    std::string cameraUrl; // the stream address, for the one line
};

namespace {

using Offer = BackChannelSession::Offer;

// Takes the first back-channel stream whose encoding we can send, and
// nothing else: the picture comes over the other session.
gboolean onSelectStream(GstElement*, guint stream, GstCaps* caps, gpointer data) {
    auto* offer = static_cast<Offer*>(data);
    if (!offer->published.load(std::memory_order_acquire)) return FALSE;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    if (s == nullptr || !gst_structure_has_field(s, "a-sendonly")) return FALSE;
    const char* name = gst_structure_get_string(s, "encoding-name");
    gint payload = -1;
    gint rate = 0;
    gst_structure_get_int(s, "payload", &payload);
    gst_structure_get_int(s, "clock-rate", &rate);
    std::lock_guard lock(offer->mutex);
    offer->sawBackChannel = true;
    if (offer->encoding) return FALSE;
    offer->encoding = encodingOffered(name != nullptr ? name : "", payload, rate);
    if (!offer->encoding) {
        offer->unsupported = std::string(name != nullptr ? name : "an unnamed encoding") + "/" + std::to_string(rate);
        return FALSE;
    }
    offer->stream = stream;
    return TRUE;
}

// A redirect starts over with OPTIONS or DESCRIBE for another address: it is
// not followed.
gboolean onBeforeSend(GstElement* source, GstRTSPMessage* message, gpointer data) {
    auto* offer = static_cast<Offer*>(data);
    if (!offer->published.load(std::memory_order_acquire)) return TRUE;
    std::string elsewhere;
    if (rtsp_password::staysWithCamera(offer->camera, message, elsewhere)) return TRUE;
    {
        std::lock_guard lock(offer->mutex);
        if (offer->redirect.empty()) offer->redirect = elsewhere;
    }
    // Wakes the opener, which would otherwise wait out its deadline for an
    // answer to a request never sent.
    gst_element_post_message(source,
                             gst_message_new_application(GST_OBJECT(source), gst_structure_new_empty("redirect")));
    return FALSE;
}

} // namespace

BackChannelSession::BackChannelSession() = default;
BackChannelSession::~BackChannelSession() { close(); }

std::string BackChannelSession::reason() const {
    std::lock_guard lock(reasonLock_);
    return reason_;
}

void BackChannelSession::setReason(const std::string& why) {
    std::lock_guard lock(reasonLock_);
    reason_ = why;
}

std::optional<Encoding> BackChannelSession::open(const SessionTarget& target, int deadlineMs) {
    close();
    setReason({});
    GError* initError = nullptr;
    if (!gst_init_check(nullptr, nullptr, &initError)) {
        setReason(std::string("GStreamer does not start: ") + (initError != nullptr ? initError->message : "?"));
        if (initError != nullptr) g_error_free(initError);
        return std::nullopt;
    }
    const std::optional<rtsp_password::CameraPin> camera = rtsp_password::cameraPinOf(target.url);
    if (!camera) {
        setReason("the stream address " + target.url + " is no RTSP URL");
        return std::nullopt;
    }
    // The login is given to the source only under the password rule.
    rtsp_password::GuardedSource guarded = rtsp_password::makeGuardedRtspSource(target.authentication);
    if (guarded.element == nullptr) {
        setReason(guarded.error);
        return std::nullopt;
    }
    GstElement* source = guarded.element;
    offer_ = std::make_unique<Offer>();
    offer_->camera = *camera;
    offer_->password = std::move(guarded.guard);
    offer_->cameraUrl = target.url;
    offer_->published.store(true, std::memory_order_release);
    g_object_set(source, "location", target.url.c_str(), "backchannel", kOnvifBackChannel, "protocols", kRtspOverTcp,
                 "tcp-timeout", static_cast<guint64>(deadlineMs) * 1000, "user-agent", kUserAgent, nullptr);
    if (!target.user.empty()) {
        g_object_set(source, "user-id", target.user.c_str(), "user-pw", target.password.c_str(), nullptr);
    }
    // The source connects to this host and port whatever a request names.
    rtsp_password::pinSource(source, *camera);
    g_signal_connect(source, "select-stream", G_CALLBACK(onSelectStream), offer_.get());
    g_signal_connect(source, "before-send", G_CALLBACK(onBeforeSend), offer_.get());
    GstElement* pipeline = gst_pipeline_new("back-channel");
    gst_bin_add(GST_BIN(pipeline), source); // takes the source
    {
        std::lock_guard lock(mutex_);
        running_ = RunningPipeline(pipeline, GST_ELEMENT(gst_object_ref(source)));
    }
    std::optional<Encoding> encoding = awaitPlaying(deadlineMs);
    if (!encoding) {
        close();
        return std::nullopt;
    }
    open_.store(true);
    return encoding;
}

std::optional<Encoding> BackChannelSession::awaitPlaying(int deadlineMs) {
    GstElement* pipeline = running_.pipeline(); // only this thread changes it while opening
    GstBus* bus = gst_element_get_bus(pipeline);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    std::string why;
    bool playing = false;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        why = "the RTSP source does not start";
    while (why.empty() && !playing) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            why = "the camera did not set up the back channel within " + seconds(deadlineMs);
            break;
        }
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, static_cast<GstClockTime>(left.count()) * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_PROGRESS | GST_MESSAGE_APPLICATION));
        if (m == nullptr) continue;
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_APPLICATION) {
            why = "redirected"; // the offer holds where to
        } else if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_PROGRESS) {
            GstProgressType type;
            gchar* code = nullptr;
            gchar* text = nullptr;
            gst_message_parse_progress(m, &type, &code, &text);
            // The source reports its PLAY answered as a completed request.
            playing = type == GST_PROGRESS_TYPE_COMPLETE && code != nullptr && std::strcmp(code, "request") == 0;
            g_free(code);
            g_free(text);
        } else {
            GError* error = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(m, &error, &debug);
            why = errorReason(error, debug != nullptr ? debug : "", deadlineMs);
            if (error != nullptr) g_error_free(error);
            g_free(debug);
        }
        gst_message_unref(m);
    }
    // Later messages (a lost connection shows in the pushes) are not kept.
    gst_bus_set_flushing(bus, TRUE);
    gst_object_unref(bus);
    std::lock_guard lock(offer_->mutex);
    if (!offer_->redirect.empty())
        why = "the camera redirected the back channel to " + offer_->redirect + ", which is not followed";
    if (playing && !offer_->encoding) why = "the camera set up no back channel";
    if (!why.empty()) {
        setReason(why);
        return std::nullopt;
    }
    return offer_->encoding;
}

std::string BackChannelSession::errorReason(const GError* error, const std::string& debug, int deadlineMs) const {
    {
        std::lock_guard lock(offer_->mutex);
        if (!offer_->redirect.empty()) return {};
        if (!offer_->encoding && !offer_->unsupported.empty())
            return "the camera's back channel takes " + offer_->unsupported + ", which cannot be sent";
    }
    if (offer_->password->basicRefused()) return rtsp_password::basicRefusal(offer_->cameraUrl);
    if (error != nullptr && error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED)
        return "the camera refused the user name or password for the back channel";
    // The source keeps the status of a refused DESCRIBE (551 Option not
    // supported, as a rule) to itself.
    if (debug.find("can not provide an SDP") != std::string::npos)
        return "the camera refused the request for its audio back channel";
    const std::string marker = "error response: ";
    const std::size_t at = debug.find(marker);
    if (at != std::string::npos) {
        std::string answer = debug.substr(at + marker.size());
        while (!answer.empty() && (answer.back() == '.' || answer.back() == '\n')) answer.pop_back();
        return "the camera refused the back channel: " + answer;
    }
    if (debug.find("Timeout") != std::string::npos || debug.find("timeout") != std::string::npos)
        return "the camera did not answer the back-channel request within " + seconds(deadlineMs);
    {
        std::lock_guard lock(offer_->mutex);
        if (!offer_->sawBackChannel) return "the camera offers no audio back channel in its stream description";
    }
    return std::string("the back channel failed: ") + (error != nullptr ? error->message : "unknown error");
}

bool BackChannelSession::push(GstSample* packet) {
    std::lock_guard lock(mutex_);
    if (!running_ || !open_.load()) {
        gst_sample_unref(packet);
        return false;
    }
    GstFlowReturn result = GST_FLOW_OK;
    g_signal_emit_by_name(running_.element(), "push-backchannel-sample", offer_->stream, packet,
                          &result); // takes the packet
    return result == GST_FLOW_OK;
}

void BackChannelSession::close() {
    open_.store(false);
    RunningPipeline ending;
    {
        std::lock_guard lock(mutex_);
        ending = std::move(running_);
    }
    // TEARDOWN, briefly bounded by the source; its threads are joined, so
    // the offer its handlers fill goes after.
    ending.reset();
    offer_.reset();
}

} // namespace talk
