#include "talk/talk_encoder.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace talk {

namespace {

constexpr int kSampleRate = 8000;

GstFlowReturn onPacket(GstAppSink* sink, gpointer data) {
    GstSample* packet = gst_app_sink_pull_sample(sink);
    if (packet == nullptr) return GST_FLOW_EOS;
    (*static_cast<TalkEncoder::PacketSink*>(data))(packet);
    return GST_FLOW_OK;
}

GstElement* byName(GstElement* bin, const char* name) { return gst_bin_get_by_name(GST_BIN(bin), name); }

} // namespace

TalkEncoder::~TalkEncoder() { stop(); }

bool TalkEncoder::start(const Encoding& encoding, PacketSink sink, std::string& error) {
    stop();
    GError* parseError = nullptr;
    const std::string description = encoderDescription(encoding);
    GstElement* pipeline = gst_parse_launch(description.c_str(), &parseError);
    if (parseError != nullptr) {
        error = std::string("cannot build the ") + describe(encoding) + " encoder: " + parseError->message;
        g_error_free(parseError);
        if (pipeline != nullptr) gst_object_unref(pipeline);
        return false;
    }
    RunningPipeline candidate(pipeline, byName(pipeline, "pcm"));
    GstElement* rtp = byName(pipeline, "rtp");
    sink_ = std::move(sink);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onPacket;
    gst_app_sink_set_callbacks(GST_APP_SINK(rtp), &callbacks, &sink_, nullptr);
    gst_object_unref(rtp);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        error = "the " + describe(encoding) + " encoder does not start";
        return false;
    }
    std::lock_guard lock(mutex_);
    running_ = std::move(candidate);
    position_ = 0;
    return true;
}

bool TalkEncoder::push(const int16_t* samples, std::size_t count) {
    if (samples == nullptr || count == 0) return true;
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, count * sizeof(int16_t), nullptr);
    if (buffer == nullptr) return false;
    gst_buffer_fill(buffer, 0, samples, count * sizeof(int16_t));
    std::lock_guard lock(mutex_);
    if (!running_) {
        gst_buffer_unref(buffer);
        return false;
    }
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(position_, GST_SECOND, kSampleRate);
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(count, GST_SECOND, kSampleRate);
    if (position_ == 0) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    position_ += count;
    return gst_app_src_push_buffer(GST_APP_SRC(running_.element()), buffer) == GST_FLOW_OK; // takes the buffer
}

void TalkEncoder::stop() {
    RunningPipeline ending;
    {
        std::lock_guard lock(mutex_);
        ending = std::move(running_);
    }
    if (!ending) return;
    // Its streaming thread is joined: the sink is not called after this.
    ending.reset();
    sink_ = nullptr;
}

} // namespace talk
