#include "replay_session.h"

#include "play_answer_filter.h"
#include "replay_failure.h"
#include "replay_stamp.h"

#include <rtsp_password/camera_pin.h>
#include <rtsp_password/guarded_rtsp_source.h>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/rtp/gstrtpbuffer.h>
#include <gst/rtsp/rtsp.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

namespace playback {

namespace {

constexpr guint kRtspOverTcp = GST_RTSP_LOWER_TRANS_TCP;
constexpr const char* kUserAgent = "Tavolin";
constexpr guint64 kNtpToUnixNs = 2208988800ULL * GST_SECOND;
// Access units held between the source and next(): the camera sends as fast
// as we read, so this bounds what waits (and a pause stops the camera).
constexpr guint kQueuedUnits = 8;
// Units without a picture time before the session gives up on the camera.
constexpr int kUntimedUnitsAllowed = 25;

constexpr uint8_t kClean = 0x80, kEnd = 0x40, kDiscontinuity = 0x20, kTerminal = 0x10;

struct Depayloader {
    const char* encoding;
    const char* element;
    const char* caps; // what it is asked to hand out
    DecoderCodec codec;
};
constexpr Depayloader kDepayloaders[] = {
    {"H264", "rtph264depay", "video/x-h264,stream-format=byte-stream,alignment=au", kDecoderCodecH264},
    {"H265", "rtph265depay", "video/x-h265,stream-format=byte-stream,alignment=au", kDecoderCodecH265},
    {"JPEG", "rtpjpegdepay", "image/jpeg", kDecoderCodecJpeg},
};

const Depayloader* depayloaderFor(const char* encoding) {
    if (encoding == nullptr) return nullptr;
    for (const Depayloader& d : kDepayloaders) {
        if (g_ascii_strcasecmp(d.encoding, encoding) == 0) return &d;
    }
    return nullptr;
}

} // namespace

struct ReplaySession::Shared {
    // Set before the source starts; read by its threads afterwards.
    rtsp_password::CameraPin pin;
    std::shared_ptr<rtsp_password::SourceGuard> password;
    std::string url;
    int deadlineMs = 0;
    GstElement* pipeline = nullptr;
    GstElement* source = nullptr; // held by the pipeline
    GstElement* sink = nullptr;   // held by the pipeline

    std::mutex mutex;
    std::condition_variable changed;
    ReplayRequest request; // what the next SETUP and PLAY carry
    PlayAnswerFilter answers;
    bool opened = false;   // the source described and set up the stream
    bool answered = false; // the latest PLAY was answered
    bool linked = false;   // a depayloader is in place
    DecoderCodec codec = kDecoderCodecH264;
    std::string unsupported;               // the encoding of a stream we cannot depayload
    std::map<GstClockTime, uint8_t> flags; // replay flags of the units on their way, by time
    bool endBefore = false;                // the unit before ended a section (E)
    int untimed = 0;
    bool failed = false;
    bool eos = false;
    bool interrupted = false;
    uint64_t samples = 0; // samples the sink announced so far
    std::string reason;
    std::string redirect;

    void fail(const std::string& why) {
        std::lock_guard lock(mutex);
        if (!failed) reason = why;
        failed = true;
        changed.notify_all();
    }
};

namespace {

using Shared = ReplaySession::Shared;

gboolean onBeforeSend(GstElement* source, GstRTSPMessage* message, gpointer data) {
    auto* shared = static_cast<Shared*>(data);
    std::string elsewhere;
    if (!rtsp_password::staysWithCamera(shared->pin, message, elsewhere)) {
        shared->fail("the camera redirected replay to " + elsewhere + ", which is not followed");
        gst_element_post_message(source,
                                 gst_message_new_application(GST_OBJECT(source), gst_structure_new_empty("redirect")));
        return FALSE;
    }
    GstRTSPMethod method;
    const gchar* uri = nullptr;
    GstRTSPVersion version;
    if (gst_rtsp_message_parse_request(message, &method, &uri, &version) != GST_RTSP_OK) return TRUE;
    const RtspStep step = method == GST_RTSP_SETUP  ? RtspStep::Setup
                          : method == GST_RTSP_PLAY ? RtspStep::Play
                                                    : RtspStep::Other;
    if (step == RtspStep::Other) return TRUE;
    ReplayRequest request;
    {
        std::lock_guard lock(shared->mutex);
        request = shared->request;
        if (step == RtspStep::Play) shared->answers.newPlay();
    }
    // Ours replace whatever the source wrote from its seek.
    for (const std::string& name : replayHeaderNames())
        gst_rtsp_message_remove_header_by_name(message, name.c_str(), -1);
    for (const HeaderLine& line : replayHeaders(step, request))
        gst_rtsp_message_add_header_by_name(message, line.name.c_str(), line.value.c_str());
    return TRUE;
}

// Only the first video stream is set up: no audio or metadata comes.
gboolean onSelectStream(GstElement*, guint, GstCaps* caps, gpointer data) {
    auto* shared = static_cast<Shared*>(data);
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const char* media = s != nullptr ? gst_structure_get_string(s, "media") : nullptr;
    if (media == nullptr || std::strcmp(media, "video") != 0) return FALSE;
    std::lock_guard lock(shared->mutex);
    if (shared->linked || !shared->unsupported.empty()) return FALSE;
    const char* encoding = gst_structure_get_string(s, "encoding-name");
    if (depayloaderFor(encoding) == nullptr) {
        shared->unsupported = encoding != nullptr ? encoding : "an unnamed encoding";
        return FALSE;
    }
    return TRUE;
}

GstPadProbeReturn onPacket(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* shared = static_cast<Shared*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstRTPBuffer rtp = GST_RTP_BUFFER_INIT;
    if (buffer == nullptr || !gst_rtp_buffer_map(buffer, GST_MAP_READ, &rtp)) return GST_PAD_PROBE_DROP;
    guint16 profile = 0;
    gpointer bytes = nullptr;
    guint words = 0;
    std::optional<ReplayStamp> stamp;
    if (gst_rtp_buffer_get_extension_data(&rtp, &profile, &bytes, &words) && bytes != nullptr)
        stamp = readReplayStamp(profile, {static_cast<const uint8_t*>(bytes), std::size_t{words} * 4});
    gst_rtp_buffer_unmap(&rtp);
    // The buffer is the source's to pass on; its time is made ours.
    buffer = gst_buffer_make_writable(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    if (!stamp || !stamp->timeKnown || stamp->unixUs < 0) {
        GST_BUFFER_PTS(buffer) = GST_CLOCK_TIME_NONE;
        return GST_PAD_PROBE_OK;
    }
    std::lock_guard lock(shared->mutex);
    if (!shared->answers.keep(stamp->cseq, stamp->discontinuity)) return GST_PAD_PROBE_DROP;
    const GstClockTime pts = static_cast<GstClockTime>(stamp->unixUs) * GST_USECOND;
    GST_BUFFER_PTS(buffer) = pts;
    const uint8_t bits = (stamp->clean ? kClean : 0) | (stamp->end ? kEnd : 0) |
                         (stamp->discontinuity ? kDiscontinuity : 0) | (stamp->terminal ? kTerminal : 0);
    shared->flags[pts] |= bits;
    shared->answered = true; // pictures flow: the PLAY was answered
    return GST_PAD_PROBE_OK;
}

void onPadAdded(GstElement*, GstPad* pad, gpointer data) {
    auto* shared = static_cast<Shared*>(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    const GstStructure* s = caps != nullptr ? gst_caps_get_structure(caps, 0) : nullptr;
    const Depayloader* d = depayloaderFor(s != nullptr ? gst_structure_get_string(s, "encoding-name") : nullptr);
    if (caps != nullptr) gst_caps_unref(caps);
    if (d == nullptr) return;
    GstElement* depay = gst_element_factory_make(d->element, nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    if (depay == nullptr || filter == nullptr) {
        if (depay != nullptr) gst_object_unref(gst_object_ref_sink(depay));
        if (filter != nullptr) gst_object_unref(gst_object_ref_sink(filter));
        shared->fail(std::string("GStreamer's ") + d->element + " is missing (install gstreamer1.0-plugins-good)");
        return;
    }
    GstCaps* wanted = gst_caps_from_string(d->caps);
    g_object_set(filter, "caps", wanted, nullptr);
    gst_caps_unref(wanted);
    gst_bin_add_many(GST_BIN(shared->pipeline), depay, filter, nullptr);
    gst_element_link_many(depay, filter, shared->sink, nullptr);
    gst_element_sync_state_with_parent(filter);
    gst_element_sync_state_with_parent(depay);
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, onPacket, shared, nullptr);
    GstPad* sinkPad = gst_element_get_static_pad(depay, "sink");
    const bool linked = gst_pad_link(pad, sinkPad) == GST_PAD_LINK_OK;
    gst_object_unref(sinkPad);
    if (!linked) {
        shared->fail("the camera's replay stream could not be linked to its depayloader");
        return;
    }
    std::lock_guard lock(shared->mutex);
    shared->linked = true;
    shared->codec = d->codec;
}

GstFlowReturn onNewSample(GstAppSink*, gpointer data) {
    auto* shared = static_cast<Shared*>(data);
    std::lock_guard lock(shared->mutex);
    ++shared->samples;
    shared->changed.notify_all();
    return GST_FLOW_OK;
}

void onEos(GstAppSink*, gpointer data) {
    auto* shared = static_cast<Shared*>(data);
    std::lock_guard lock(shared->mutex);
    shared->eos = true;
    shared->changed.notify_all();
}

SourceError::Kind errorKind(const GError* error) {
    if (error == nullptr || error->domain != GST_RESOURCE_ERROR) return SourceError::Kind::Other;
    switch (error->code) {
    case GST_RESOURCE_ERROR_NOT_AUTHORIZED: return SourceError::Kind::NotAuthorized;
    case GST_RESOURCE_ERROR_NOT_FOUND: return SourceError::Kind::NotFound;
    default: return SourceError::Kind::Other;
    }
}

GstBusSyncReply onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    auto* shared = static_cast<Shared*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        std::string why;
        {
            std::lock_guard lock(shared->mutex);
            if (!shared->unsupported.empty())
                why = "the camera replays " + shared->unsupported + ", which cannot be decoded";
        }
        if (why.empty() && shared->password->basicRefused()) why = rtsp_password::basicRefusal(shared->url);
        if (why.empty()) {
            why =
                replayFailure({errorKind(error), error != nullptr ? error->message : "", debug != nullptr ? debug : ""},
                              shared->deadlineMs);
        }
        if (error != nullptr) g_error_free(error);
        g_free(debug);
        shared->fail(why);
        break;
    }
    case GST_MESSAGE_PROGRESS: {
        GstProgressType type;
        gchar* code = nullptr;
        gst_message_parse_progress(message, &type, &code, nullptr);
        if (type == GST_PROGRESS_TYPE_COMPLETE && code != nullptr) {
            std::lock_guard lock(shared->mutex);
            // The source reports its PLAY answered as a completed request,
            // once the stream is open.
            if (std::strcmp(code, "open") == 0) shared->opened = true;
            if (std::strcmp(code, "request") == 0 && shared->opened) shared->answered = true;
            shared->changed.notify_all();
        }
        g_free(code);
        break;
    }
    case GST_MESSAGE_EOS: {
        std::lock_guard lock(shared->mutex);
        shared->eos = true;
        shared->changed.notify_all();
        break;
    }
    default: break;
    }
    return GST_BUS_DROP;
}

GstEvent* seekTo(int64_t cameraMs) {
    const GstClockTime start = kNtpToUnixNs + static_cast<GstClockTime>(std::max<int64_t>(cameraMs, 0)) * GST_MSECOND;
    return gst_event_new_seek(1.0, GST_FORMAT_TIME,
                              static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                              GST_SEEK_TYPE_SET, start, GST_SEEK_TYPE_NONE, 0);
}

} // namespace

ReplaySession::ReplaySession(ReplaySessionTarget target)
    : target_(std::move(target)), shared_(std::make_shared<Shared>()) {}

ReplaySession::~ReplaySession() {
    if (shared_->pipeline == nullptr) return;
    // TEARDOWN, bounded by the source; its threads are joined before the
    // state their handlers use goes.
    gst_element_set_state(shared_->pipeline, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(shared_->pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(shared_->pipeline);
}

bool ReplaySession::build() {
    built_ = true;
    GError* initError = nullptr;
    if (!gst_init_check(nullptr, nullptr, &initError)) {
        shared_->fail(std::string("GStreamer does not start: ") + (initError != nullptr ? initError->message : "?"));
        if (initError != nullptr) g_error_free(initError);
        return false;
    }
    const std::optional<rtsp_password::CameraPin> pin = rtsp_password::cameraPinOf(target_.url);
    if (!pin) {
        shared_->fail("the replay address " + target_.url + " is no RTSP URL");
        return false;
    }
    // The login is given to the source only under the password rule.
    rtsp_password::GuardedSource guarded = rtsp_password::makeGuardedRtspSource(target_.authentication);
    if (guarded.element == nullptr) {
        shared_->fail(guarded.error);
        return false;
    }
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (sink == nullptr) {
        gst_object_unref(gst_object_ref_sink(guarded.element));
        shared_->fail("GStreamer's appsink is missing (install gstreamer1.0-plugins-base)");
        return false;
    }
    Shared& s = *shared_;
    s.pin = *pin;
    s.password = std::move(guarded.guard);
    s.url = target_.url;
    s.deadlineMs = target_.deadlineMs;
    s.source = guarded.element;
    s.sink = sink;
    s.pipeline = gst_pipeline_new("replay");
    GstElement* source = s.source;
    g_object_set(source, "location", target_.url.c_str(), "onvif-mode", TRUE, "onvif-rate-control", FALSE, "protocols",
                 kRtspOverTcp, "tcp-timeout", static_cast<guint64>(target_.deadlineMs) * 1000, "user-agent", kUserAgent,
                 nullptr);
    gst_util_set_object_arg(G_OBJECT(source), "buffer-mode", "none");
    if (!target_.user.empty())
        g_object_set(source, "user-id", target_.user.c_str(), "user-pw", target_.password.c_str(), nullptr);
    rtsp_password::pinSource(source, *pin);
    g_signal_connect(source, "before-send", G_CALLBACK(onBeforeSend), &s);
    g_signal_connect(source, "select-stream", G_CALLBACK(onSelectStream), &s);
    g_signal_connect(source, "pad-added", G_CALLBACK(onPadAdded), &s);
    // Not synchronised to a clock: next() hands units out as they come,
    // the player paces them.
    g_object_set(sink, "sync", FALSE, "max-buffers", kQueuedUnits, "drop", FALSE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.eos = onEos;
    callbacks.new_sample = onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &s, nullptr);
    gst_bin_add_many(GST_BIN(s.pipeline), source, sink, nullptr);
    GstBus* bus = gst_element_get_bus(s.pipeline);
    gst_bus_set_sync_handler(bus, onBusMessage, &s, nullptr);
    gst_object_unref(bus);
    return true;
}

Started ReplaySession::play(const ReplayRequest& request) {
    Shared& s = *shared_;
    if (!built_) {
        if (!build()) return Started::Failed;
        {
            std::lock_guard lock(s.mutex);
            s.request = request;
        }
        // Stored by the source until its first PLAY, which carries it.
        gst_element_send_event(s.source, seekTo(request.fromMs));
        if (gst_element_set_state(s.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
            s.fail("GStreamer's RTSP source does not start");
            return Started::Failed;
        }
        return awaitAnswer();
    }
    {
        std::lock_guard lock(s.mutex);
        if (s.failed) return Started::Failed;
        if (!s.answered) {
            // Still waiting for the answer to the first PLAY.
            const bool same = s.request.fromMs == request.fromMs && s.request.speed == request.speed &&
                              s.request.intraOnly == request.intraOnly;
            if (same) return awaitAnswer();
        }
    }
    if (Started first = awaitAnswer(); first != Started::Yes) return first;
    {
        std::lock_guard lock(s.mutex);
        s.request = request;
        s.flags.clear();
        s.endBefore = false;
        s.eos = false;
    }
    // PAUSE and PLAY with the new request, flushing what was on its way;
    // the source waits for the answers itself.
    if (!gst_element_send_event(s.source, seekTo(request.fromMs))) {
        std::lock_guard lock(s.mutex);
        if (!s.failed) s.reason = "the camera did not replay from the new time";
        s.failed = true;
        return Started::Failed;
    }
    std::lock_guard lock(s.mutex);
    return s.failed ? Started::Failed : Started::Yes;
}

Started ReplaySession::awaitAnswer() {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    const bool done = s.changed.wait_for(lock, std::chrono::milliseconds(target_.deadlineMs),
                                         [&] { return s.answered || s.failed || s.interrupted; });
    if (s.failed) return Started::Failed;
    if (s.answered) return Started::Yes;
    if (s.interrupted) {
        s.interrupted = false;
        return Started::Interrupted;
    }
    if (!done) {
        s.reason = replayFailure({SourceError::Kind::Timeout, {}, {}}, target_.deadlineMs);
        s.failed = true;
    }
    return Started::Failed;
}

Fetched ReplaySession::next(AccessUnit& unit, int timeoutMs) {
    Shared& s = *shared_;
    if (!built_) return Fetched::Nothing;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        uint64_t announced = 0;
        {
            std::lock_guard lock(s.mutex);
            announced = s.samples;
        }
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(s.sink), 0);
        if (sample != nullptr) {
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            const GstClockTime pts = buffer != nullptr ? GST_BUFFER_PTS(buffer) : GST_CLOCK_TIME_NONE;
            bool use = buffer != nullptr && GST_CLOCK_TIME_IS_VALID(pts);
            uint8_t bits = 0;
            {
                std::lock_guard lock(s.mutex);
                // The flags of this unit's packets, and of none before it.
                for (auto it = s.flags.begin(); it != s.flags.end() && it->first <= pts;) {
                    if (it->first == pts) bits |= it->second;
                    it = s.flags.erase(it);
                }
                if (!use && ++s.untimed > kUntimedUnitsAllowed && !s.failed) {
                    s.failed = true;
                    s.reason = "the camera's replay gives no picture times (no replay header extension)";
                }
                if (use) {
                    unit = {};
                    unit.codec = s.codec;
                    unit.discontinuity = (bits & kDiscontinuity) != 0 || s.endBefore;
                    s.endBefore = (bits & kEnd) != 0;
                }
            }
            if (use) {
                unit.timeMs = static_cast<int64_t>((pts + GST_MSECOND / 2) / GST_MSECOND);
                unit.sourceTimeMs = unit.timeMs;
                unit.key = !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT) || (bits & kClean) != 0;
                unit.last = (bits & kTerminal) != 0;
                unit.data.resize(gst_buffer_get_size(buffer));
                gst_buffer_extract(buffer, 0, unit.data.data(), unit.data.size());
            }
            gst_sample_unref(sample);
            if (use) return Fetched::Unit;
            continue;
        }
        std::unique_lock lock(s.mutex);
        if (s.failed) return Fetched::Failed;
        if (s.eos || gst_app_sink_is_eos(GST_APP_SINK(s.sink))) {
            if (s.reason.empty()) s.reason = "the recording ends here";
            return Fetched::End;
        }
        if (s.interrupted) {
            s.interrupted = false;
            return Fetched::Nothing;
        }
        if (std::chrono::steady_clock::now() >= deadline) return Fetched::Nothing;
        // Until a sample comes (also one that came since the look), the end,
        // a failure or interrupt().
        s.changed.wait_until(lock, deadline,
                             [&] { return s.samples != announced || s.failed || s.eos || s.interrupted; });
    }
}

void ReplaySession::interrupt() {
    std::lock_guard lock(shared_->mutex);
    shared_->interrupted = true;
    shared_->changed.notify_all();
}

bool ReplaySession::failed() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->failed;
}

std::string ReplaySession::reason() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->reason;
}

} // namespace playback
