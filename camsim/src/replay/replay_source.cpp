#include "replay_source.h"

#include "../rtsp/scene_feed.h"

#include <gst/base/gstbasesrc.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace camsim::replay {

// Everything the element knows; created with it, freed with it.
struct SourceState {
    std::shared_ptr<const SdCard> card;
    std::shared_ptr<RecordedScene> scene;
    std::string token;
    GstCaps* caps = nullptr;

    // What the PLAY request asks (the server's thread) and the trick-mode
    // interval of the seek it makes (its thread too).
    std::mutex requestLock;
    double scale = 1.0;
    GstClockTime trickInterval = 0;

    // The stream: set by a seek, read and moved on by the streaming thread.
    // GStreamer's stream lock already keeps the two apart; this one says so
    // where a checker can see it (GStreamer's own locks are hidden from it).
    std::mutex streamLock;
    int64_t next = -1; // picture index; -1: nothing to play
    bool firstAfterSeek = true;
    bool gapPassed = false;
    bool intraOnly = false;
    int64_t step = 1; // pictures from one sent picture to the next
    double contentScale = 1.0;
    GstClockTime segmentStart = 0; // of the pictures' times (since 1900)
    GstClockTime contentStop = GST_CLOCK_TIME_NONE;
    std::optional<CardRecording> recording;

    // Waking a wait at the live edge.
    std::mutex waitLock;
    std::condition_variable wake;
    bool flushing = false;
};

} // namespace camsim::replay

extern "C" {
struct CamsimReplaySource {
    GstBaseSrc parent;
    camsim::replay::SourceState* state;
};
struct CamsimReplaySourceClass {
    GstBaseSrcClass parent;
};
}

G_DEFINE_TYPE(CamsimReplaySource, camsim_replay_source, GST_TYPE_BASE_SRC)

namespace {

constexpr int64_t kMsNs = 1000000;
// A wait for the newest picture of a recording still being recorded looks
// again this often, and at once when the source is told to stop.
constexpr auto kLiveEdgePoll = std::chrono::milliseconds(20);

using camsim::CardRecording;
using camsim::replay::kNtpToUnixNs;
using camsim::replay::SourceState;

SourceState& stateOf(GstBaseSrc* src) { return *reinterpret_cast<CamsimReplaySource*>(src)->state; }

GstCaps* getCaps(GstBaseSrc* src, GstCaps* filter) {
    GstCaps* caps = stateOf(src).caps;
    return filter != nullptr ? gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST) : gst_caps_ref(caps);
}

gboolean isSeekable(GstBaseSrc*) { return TRUE; }

// The trick-mode interval rides on the seek event only: note it before the
// base class turns the event into a segment.
gboolean onEvent(GstBaseSrc* src, GstEvent* event) {
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEEK) {
        SourceState& s = stateOf(src);
        std::lock_guard lock(s.requestLock);
        gst_event_parse_seek_trickmode_interval(event, &s.trickInterval);
    }
    return GST_BASE_SRC_CLASS(camsim_replay_source_parent_class)->event(src, event);
}

const camsim::CardSpan* gapAt(const CardRecording& r, int64_t ms) {
    for (const camsim::CardSpan& g : r.gaps) {
        if (ms >= g.fromMs && ms < g.toMs) return &g;
    }
    return nullptr;
}

// Lands a seek on the key picture at or before its start, in the recording.
gboolean doSeek(GstBaseSrc* src, GstSegment* segment) {
    SourceState& s = stateOf(src);
    if (segment->rate <= 0) return FALSE; // no reverse playback
    double scale = 1.0;
    GstClockTime interval = 0;
    {
        std::lock_guard lock(s.requestLock);
        scale = s.scale;
        interval = s.trickInterval;
    }
    const camsim::SdCard& card = *s.card;
    std::lock_guard stream(s.streamLock);
    s.recording = card.recording(s.token, card.nowMs());
    s.next = -1;
    s.firstAfterSeek = true;
    s.gapPassed = false;
    if (!s.recording) return TRUE; // gone: the stream ends at once
    const CardRecording& r = *s.recording;
    int64_t target = segment->start > kNtpToUnixNs ? static_cast<int64_t>(segment->start - kNtpToUnixNs) : 0;
    target = std::max(target, r.span.fromMs * kMsNs);
    if (const camsim::CardSpan* gap = gapAt(r, target / kMsNs)) target = gap->toMs * kMsNs;
    int64_t key = card.keyPictureAtOrBefore(target);
    if (card.pictureNs(key) < r.span.fromMs * kMsNs) key = card.keyPictureAtOrAfter(r.span.fromMs * kMsNs);
    s.next = key;

    const GstClockTime start = static_cast<GstClockTime>(card.pictureNs(key)) + kNtpToUnixNs;
    // The seek's rate is the PLAY's scale times its speed: the scale goes to
    // the pictures' times, the rest stays the delivery's pace.
    s.contentScale = scale > 0 ? scale : 1.0;
    s.contentStop = segment->stop;
    segment->applied_rate = s.contentScale;
    segment->rate = segment->rate / s.contentScale;
    segment->start = segment->time = segment->position = start;
    if (GST_CLOCK_TIME_IS_VALID(segment->stop)) {
        segment->stop =
            segment->stop > start
                ? start + static_cast<GstClockTime>(static_cast<double>(segment->stop - start) / s.contentScale)
                : start;
    }
    segment->duration = GST_CLOCK_TIME_NONE;
    s.segmentStart = start;
    s.intraOnly = (segment->flags & GST_SEGMENT_FLAG_TRICKMODE_KEY_UNITS) != 0;
    s.step = 1;
    if (s.intraOnly) {
        const int64_t keyNs = card.pictureNs(card.keyInterval());
        const int64_t keys = interval > 0 ? (static_cast<int64_t>(interval) + keyNs - 1) / keyNs : 1;
        s.step = std::max<int64_t>(1, keys) * card.keyInterval();
    }
    return TRUE;
}

// Waits until the camera's clock passes a picture's time; false when told
// to stop first.
bool waitForPicture(SourceState& s, int64_t pictureNs) {
    std::unique_lock lock(s.waitLock);
    while (!s.flushing && s.card->nowMs() * kMsNs < pictureNs) s.wake.wait_for(lock, kLiveEdgePoll);
    return !s.flushing;
}

// What the next picture is, and the state moved past it.
struct NextPicture {
    int64_t ns = 0;
    bool key = false;
    bool intraOnly = false;
    bool announce = false; // not the first after a seek: the events may go out
    bool gapPassed = false;
    GstClockTime pts = 0;
    GstClockTime duration = 0;
};

GstFlowReturn nextPicture(SourceState& s, NextPicture& p) {
    const camsim::SdCard& card = *s.card;
    std::unique_lock stream(s.streamLock);
    for (;;) {
        if (s.next < 0 || !s.recording) return GST_FLOW_EOS;
        const int64_t ns = card.pictureNs(s.next);
        if (GST_CLOCK_TIME_IS_VALID(s.contentStop) && static_cast<GstClockTime>(ns) + kNtpToUnixNs >= s.contentStop) {
            return GST_FLOW_EOS;
        }
        if (ns >= s.recording->span.toMs * kMsNs) {
            // Beyond what the card held at the last look: it may have grown.
            s.recording = card.recording(s.token, card.nowMs());
            if (!s.recording) return GST_FLOW_EOS;
            if (ns < s.recording->span.toMs * kMsNs) continue;
            if (!s.recording->recording) return GST_FLOW_EOS;
            stream.unlock();
            if (!waitForPicture(s, ns)) return GST_FLOW_FLUSHING;
            stream.lock();
            continue;
        }
        if (const camsim::CardSpan* gap = gapAt(*s.recording, ns / kMsNs)) {
            s.next = card.keyPictureAtOrAfter(gap->toMs * kMsNs);
            s.gapPassed = true;
            continue;
        }
        break;
    }
    const auto toSegment = [&](GstClockTime c) {
        return s.segmentStart + static_cast<GstClockTime>(static_cast<double>(c - s.segmentStart) / s.contentScale);
    };
    p.ns = card.pictureNs(s.next);
    p.key = card.isKeyPicture(s.next);
    p.intraOnly = s.intraOnly;
    p.announce = !s.firstAfterSeek;
    p.gapPassed = s.gapPassed;
    p.pts = toSegment(static_cast<GstClockTime>(p.ns) + kNtpToUnixNs);
    p.duration = toSegment(static_cast<GstClockTime>(card.pictureNs(s.next + s.step)) + kNtpToUnixNs) - p.pts;
    s.firstAfterSeek = false;
    s.gapPassed = false;
    s.next += s.step;
    return GST_FLOW_OK;
}

GstFlowReturn create(GstBaseSrc* src, guint64, guint, GstBuffer** out) {
    SourceState& s = stateOf(src);
    NextPicture p;
    if (const GstFlowReturn r = nextPicture(s, p); r != GST_FLOW_OK) return r;
    GstBuffer* buffer =
        camsim::rtsp::drawnPicture(s.scene->width(), s.scene->height(),
                                   [&](const camsim::YuvPicture& picture) { s.scene->draw(p.ns / kMsNs, picture); });
    if (buffer == nullptr) return GST_FLOW_ERROR;
    GST_BUFFER_PTS(buffer) = p.pts;
    GST_BUFFER_DURATION(buffer) = p.duration;
    // The first picture after a seek starts a new encoder, a key picture and
    // a new section by themselves; the events would come before the segment.
    if (p.announce) {
        GstPad* pad = GST_BASE_SRC_PAD(src);
        if (p.gapPassed) {
            GstStructure* gap = gst_structure_new(camsim::replay::kOnvifTimestampEvent, "ntp-offset", G_TYPE_UINT64,
                                                  static_cast<guint64>(0), "discont", G_TYPE_BOOLEAN, TRUE, nullptr);
            gst_pad_push_event(pad, gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM, gap));
            GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
        }
        if (p.key || p.intraOnly) {
            gst_pad_push_event(pad, gst_video_event_new_downstream_force_key_unit(
                                        GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE, TRUE, 0));
        }
    }
    *out = buffer;
    return GST_FLOW_OK;
}

gboolean unlock(GstBaseSrc* src) {
    SourceState& s = stateOf(src);
    {
        std::lock_guard lock(s.waitLock);
        s.flushing = true;
    }
    s.wake.notify_all();
    return TRUE;
}

gboolean unlockStop(GstBaseSrc* src) {
    SourceState& s = stateOf(src);
    std::lock_guard lock(s.waitLock);
    s.flushing = false;
    return TRUE;
}

void finalize(GObject* object) {
    auto* self = reinterpret_cast<CamsimReplaySource*>(object);
    if (self->state->caps != nullptr) gst_caps_unref(self->state->caps);
    { std::lock_guard stream(self->state->streamLock); } // after the streaming thread's last picture
    delete self->state;
    G_OBJECT_CLASS(camsim_replay_source_parent_class)->finalize(object);
}

} // namespace

static void camsim_replay_source_class_init(CamsimReplaySourceClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = finalize;
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    static GstStaticPadTemplate source =
        GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw,format=I420"));
    gst_element_class_add_static_pad_template(element, &source);
    gst_element_class_set_static_metadata(element, "Simulated camera recording", "Source/Video",
                                          "Pictures of a simulated camera's SD card", "Tavolin");
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    base->get_caps = getCaps;
    base->is_seekable = isSeekable;
    base->event = onEvent;
    base->do_seek = doSeek;
    base->create = create;
    base->unlock = unlock;
    base->unlock_stop = unlockStop;
}

static void camsim_replay_source_init(CamsimReplaySource* self) {
    self->state = new camsim::replay::SourceState();
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
    gst_base_src_set_live(GST_BASE_SRC(self), FALSE);
}

namespace camsim::replay {

GstElement* makeReplaySource(std::shared_ptr<const SdCard> card, std::shared_ptr<RecordedScene> scene,
                             const std::string& token) {
    auto* element = static_cast<GstElement*>(g_object_new(camsim_replay_source_get_type(), nullptr));
    SourceState& s = *reinterpret_cast<CamsimReplaySource*>(element)->state;
    s.caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, scene->width(),
                                 "height", G_TYPE_INT, scene->height(), "framerate", GST_TYPE_FRACTION,
                                 card->frameRate(), 1, "colorimetry", G_TYPE_STRING, "bt601", nullptr);
    s.card = std::move(card);
    s.scene = std::move(scene);
    s.token = token;
    return element;
}

void setReplayScale(GstElement* source, double scale) {
    if (source == nullptr || !G_TYPE_CHECK_INSTANCE_TYPE(source, camsim_replay_source_get_type())) return;
    SourceState& s = *reinterpret_cast<CamsimReplaySource*>(source)->state;
    std::lock_guard lock(s.requestLock);
    s.scale = scale;
}

} // namespace camsim::replay
