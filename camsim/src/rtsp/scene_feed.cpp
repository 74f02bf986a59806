#include "scene_feed.h"

#include "camsim/camera_sources.h"
#include "camsim/encoding_delays.h"
#include "camsim/time_strip.h"
#include "loop_encoder.h"
#include "parameter_sets.h"
#include "rtsp_pipelines.h"

#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace camsim::rtsp {

GstBuffer* drawnPicture(int width, int height, const std::function<void(const YuvPicture&)>& draw) {
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, static_cast<guint>(width), static_cast<guint>(height));
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, info.size, nullptr);
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return nullptr;
    }
    YuvPicture picture;
    for (int p = 0; p < 3; ++p) {
        picture.plane[p] = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
        picture.stride[p] = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
    }
    picture.width = width;
    picture.height = height;
    draw(picture);
    gst_video_frame_unmap(&frame);
    return buffer;
}

namespace {

// A source this far behind its schedule (a slow encoder) starts a new one
// rather than sending a burst.
constexpr auto kMaxLag = std::chrono::milliseconds(500);

} // namespace

void Pacer::waitForTurn() {
    const auto now = std::chrono::steady_clock::now();
    if (turns_ == 0) start_ = now;
    auto due = start_ + period_ * turns_;
    if (now - due > kMaxLag) {
        start_ = now;
        turns_ = 0;
        due = now;
    }
    ++turns_;
    if (due > now) std::this_thread::sleep_until(due);
}

SceneFeed::SceneFeed(const RtspOptions& options, std::shared_ptr<CameraHead> head)
    : options_(options), head_(std::move(head)),
      renderer_(options.width, options.height, options.name, options.variant) {
    // The panorama is drawn on the first picture; draw it now, not while a
    // client waits for its first picture.
    YuvImage warmUp(options.width, options.height);
    draw(warmUp.picture());
}

SceneFeed::~SceneFeed() { const std::lock_guard<std::mutex> lock(drawMutex_); }

void SceneFeed::draw(const YuvPicture& picture) {
    const std::string clock = sceneClockText();
    std::lock_guard<std::mutex> lock(drawMutex_);
    renderer_.render(*head_, clock, picture);
}

int64_t SceneFeed::keyPictureSlot() const {
    const auto interval = std::chrono::nanoseconds(1000000000LL * keyFrameInterval(options_) / options_.frameRate);
    return (std::chrono::steady_clock::now() - start_) / interval;
}

std::shared_ptr<const EncodedLoop> SceneFeed::loop(RtspCodec codec) {
    std::lock_guard<std::mutex> lock(loopMutex_);
    auto& slot = loops_[static_cast<std::size_t>(codec)];
    if (!slot) slot = sharedLoop(options_, codec, [this](const YuvPicture& p) { draw(p); });
    return slot;
}

void SceneFeed::pipelineStarted() {
    started_.fetch_add(1);
    std::lock_guard<std::mutex> lock(aliveMutex_);
    ++alive_;
}

void SceneFeed::pipelineEnded() {
    std::lock_guard<std::mutex> lock(aliveMutex_);
    --alive_;
    aliveChanged_.notify_all();
}

void SceneFeed::playing(MediaFeed* feed) {
    std::lock_guard<std::mutex> lock(playingMutex_);
    if (std::find(playing_.begin(), playing_.end(), feed) == playing_.end()) playing_.push_back(feed);
}

void SceneFeed::ended(MediaFeed* feed) {
    std::lock_guard<std::mutex> lock(playingMutex_);
    playing_.erase(std::remove(playing_.begin(), playing_.end(), feed), playing_.end());
}

int SceneFeed::requestKeyPictures() {
    // Under the lock, so no feed goes while it is asked.
    std::lock_guard<std::mutex> lock(playingMutex_);
    for (MediaFeed* feed : playing_) feed->requestKeyPicture();
    return static_cast<int>(playing_.size());
}

bool SceneFeed::waitUntilNoPipelines(int timeoutMs) {
    std::unique_lock<std::mutex> lock(aliveMutex_);
    return aliveChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return alive_ == 0; });
}

MediaFeed::MediaFeed(std::shared_ptr<SceneFeed> scene, RtspCodec codec)
    : scene_(std::move(scene)), codec_(codec),
      // The camera's clock paces its pictures: one that runs fast sends them
      // sooner in real time.
      videoPacer_(
          std::chrono::nanoseconds(std::llround(1e9 / scene_->options().frameRate / scene_->options().clockRate))),
      audioPacer_(std::chrono::milliseconds(kAudioBlockMs)) {
    if (scene_->options().preEncodedSeconds > 0) loop_ = scene_->loop(codec);
    scene_->pipelineStarted();
}

MediaFeed::~MediaFeed() {
    scene_->ended(this);
    if (encoder_ != nullptr) gst_object_unref(encoder_);
    if (captureTimeCaps_ != nullptr) gst_caps_unref(captureTimeCaps_);
    scene_->pipelineEnded();
}

bool MediaFeed::attach(GstElement* pipeline) {
    if (scene_->options().preEncodedSeconds > 0 && (!loop_ || loop_->units.empty())) return false;
    GstElement* video = gst_bin_get_by_name_recurse_up(GST_BIN(pipeline), kVideoSourceName);
    if (video == nullptr) return false;
    g_signal_connect(video, "need-data", G_CALLBACK(needVideo), this);
    gst_object_unref(video);
    if (!loop_) encoder_ = gst_bin_get_by_name_recurse_up(GST_BIN(pipeline), kEncoderName);
    if (encoder_ != nullptr && !scene_->options().keyPictureOnPlay && codec_ != RtspCodec::Mjpeg) {
        GstPad* pad = gst_element_get_static_pad(encoder_, "src");
        if (pad == nullptr) return false;
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, holdBackPictures, this, nullptr);
        gst_object_unref(pad);
    }
    if (encoder_ != nullptr && scene_->options().encodingDelays) {
        GstElement* payloader = gst_bin_get_by_name_recurse_up(GST_BIN(pipeline), kVideoPayloaderName);
        if (payloader == nullptr) return false;
        GstPad* pad = gst_element_get_static_pad(payloader, "sink");
        gst_object_unref(payloader);
        if (pad == nullptr) return false;
        captureTimeCaps_ = gst_caps_new_empty_simple("timestamp/x-camsim-capture");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, noteEncodingDelay, this, nullptr);
        gst_object_unref(pad);
    }
    if (scene_->options().audio) {
        GstElement* audio = gst_bin_get_by_name_recurse_up(GST_BIN(pipeline), kAudioSourceName);
        if (audio == nullptr) return false;
        g_signal_connect(audio, "need-data", G_CALLBACK(needAudio), this);
        gst_object_unref(audio);
    }
    return true;
}

// The server holds the first thing a pipeline sends until the client plays,
// and a new encoder's first picture is a key picture: a camera whose encoder
// runs on regardless sends only the parameter sets before the client plays,
// so the client's first key picture is the next one of the schedule.
GstPadProbeReturn MediaFeed::holdBackPictures(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* self = static_cast<MediaFeed*>(data);
    if (self->playing_.load()) return GST_PAD_PROBE_REMOVE;
    if (self->parameterSetsSent_) return GST_PAD_PROBE_DROP;
    // The server's preparation needs something to pass: the parameter sets.
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_DROP;
    const std::vector<uint8_t> sets = parameterSetsOnly({map.data, map.size}, self->codec_);
    gst_buffer_unmap(buffer, &map);
    if (sets.empty()) return GST_PAD_PROBE_DROP;
    GstBuffer* replacement = gst_buffer_new_allocate(nullptr, sets.size(), nullptr);
    gst_buffer_fill(replacement, 0, sets.data(), sets.size());
    gst_buffer_copy_into(replacement, buffer, GST_BUFFER_COPY_METADATA, 0, static_cast<gsize>(-1));
    gst_buffer_unref(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = replacement;
    self->parameterSetsSent_ = true;
    return GST_PAD_PROBE_OK;
}

// The encoder hands its pictures on with the metadata of the raw ones, so
// each still carries its capture time here.
GstPadProbeReturn MediaFeed::noteEncodingDelay(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* self = static_cast<MediaFeed*>(data);
    const GstReferenceTimestampMeta* captured =
        gst_buffer_get_reference_timestamp_meta(GST_PAD_PROBE_INFO_BUFFER(info), self->captureTimeCaps_);
    // Before the client plays, only the parameter sets pass.
    if (captured == nullptr || !self->playing_.load()) return GST_PAD_PROBE_OK;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(
        now - std::chrono::nanoseconds(static_cast<int64_t>(captured->timestamp)));
    self->scene_->options().encodingDelays->add(delay);
    return GST_PAD_PROBE_OK;
}

void MediaFeed::startPlaying() {
    playing_.store(true);
    if (scene_->options().keyPictureOnPlay) requestKeyPicture();
    scene_->playing(this);
}

void MediaFeed::requestKeyPicture() {
    if (loop_) {
        restartLoop_.store(true);
        return;
    }
    if (encoder_ == nullptr) return;
    if (GstPad* pad = gst_element_get_static_pad(encoder_, "src")) {
        gst_pad_send_event(pad, gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, TRUE, 0));
        gst_object_unref(pad);
    }
}

void MediaFeed::needVideo(GstElement* source, guint, gpointer self) {
    static_cast<MediaFeed*>(self)->pushVideo(source);
}

void MediaFeed::needAudio(GstElement* source, guint, gpointer self) {
    static_cast<MediaFeed*>(self)->pushAudio(source);
}

void MediaFeed::pushVideo(GstElement* source) {
    const RtspOptions& o = scene_->options();
    videoPacer_.waitForTurn();
    GstBuffer* buffer = nullptr;
    if (loop_) {
        // Back to the start of the current key-picture interval.
        const int64_t gop = keyFrameInterval(o);
        if (restartLoop_.exchange(false)) pictures_ = pictures_ / gop * gop;
        const auto& unit =
            loop_->units[static_cast<std::size_t>(pictures_ % static_cast<int64_t>(loop_->units.size()))];
        buffer = gst_buffer_new_allocate(nullptr, unit.size(), nullptr);
        gst_buffer_fill(buffer, 0, unit.data(), unit.size());
    } else {
        if (!o.keyPictureOnPlay) {
            const int64_t slot = scene_->keyPictureSlot();
            if (keySlot_ >= 0 && slot != keySlot_) requestKeyPicture();
            keySlot_ = slot;
        }
        // The moment of capture, before the picture is drawn and encoded.
        const auto captured = std::chrono::system_clock::now().time_since_epoch();
        const int64_t capturedMs = std::chrono::duration_cast<std::chrono::milliseconds>(captured).count();
        buffer = drawnPicture(o.width, o.height, [this, &o, capturedMs](const YuvPicture& picture) {
            scene_->draw(picture);
            if (o.timeStrip) drawTimeStrip(picture, capturedMs);
        });
        if (buffer == nullptr) return;
        if (captureTimeCaps_ != nullptr) {
            gst_buffer_add_reference_timestamp_meta(
                buffer, captureTimeCaps_,
                static_cast<GstClockTime>(std::chrono::duration_cast<std::chrono::nanoseconds>(captured).count()),
                GST_CLOCK_TIME_NONE);
        }
    }
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, static_cast<guint64>(o.frameRate));
    ++pictures_;
    gst_app_src_push_buffer(GST_APP_SRC(source), buffer); // takes the buffer
}

void MediaFeed::pushAudio(GstElement* source) {
    audioPacer_.waitForTurn();
    AudioBlock block;
    tone_.nextBlock(block);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, block.pcm.size(), nullptr);
    gst_buffer_fill(buffer, 0, block.pcm.data(), block.pcm.size());
    GST_BUFFER_DURATION(buffer) = kAudioBlockMs * GST_MSECOND;
    gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
}

} // namespace camsim::rtsp
