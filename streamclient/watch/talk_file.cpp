#include "talk_file.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <chrono>

namespace watch {

namespace {

constexpr int kSampleRate = 8000;
constexpr std::size_t kBufferSamples = 2048; // a microphone buffer: 256 ms
constexpr auto kFileReadLimit = std::chrono::seconds(30);

std::string errorText(GstMessage* m) {
    GError* e = nullptr;
    gst_message_parse_error(m, &e, nullptr);
    std::string text = e != nullptr ? e->message : "unknown error";
    if (e != nullptr) g_error_free(e);
    return text;
}

} // namespace

bool readTalkFile(const std::string& path, std::vector<int16_t>& samples, std::string& error) {
    samples.clear();
    if (!gst_init_check(nullptr, nullptr, nullptr)) {
        error = "GStreamer does not start";
        return false;
    }
    GstElement* pipeline = gst_parse_launch(
        "filesrc name=file ! wavparse ! audioconvert ! audioresample ! "
        "audio/x-raw,format=S16LE,layout=interleaved,rate=8000,channels=1 ! appsink name=pcm sync=false",
        nullptr);
    if (pipeline == nullptr) {
        error = "GStreamer's WAV reader is missing (install gstreamer1.0-plugins-good)";
        return false;
    }
    GstElement* file = gst_bin_get_by_name(GST_BIN(pipeline), "file");
    g_object_set(file, "location", path.c_str(), nullptr);
    gst_object_unref(file);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "pcm");
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const auto end = std::chrono::steady_clock::now() + kFileReadLimit;
    for (;;) {
        if (GstSample* s = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_MSECOND)) {
            if (GstBuffer* b = gst_sample_get_buffer(s)) {
                // Copied out by GStreamer, which made the buffer on its thread.
                const std::size_t at = samples.size();
                samples.resize(at + gst_buffer_get_size(b) / sizeof(int16_t));
                gst_buffer_extract(b, 0, samples.data() + at, (samples.size() - at) * sizeof(int16_t));
            }
            gst_sample_unref(s);
            continue;
        }
        if (gst_app_sink_is_eos(GST_APP_SINK(sink))) break;
        if (GstMessage* m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
            error = path + " is no WAV file this program reads: " + errorText(m);
            gst_message_unref(m);
            break;
        }
        if (std::chrono::steady_clock::now() > end) {
            error = "reading " + path + " takes too long";
            break;
        }
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    if (error.empty() && samples.empty()) error = path + " holds no sound";
    return error.empty();
}

FileTalker::FileTalker(OstrelInterface* handle, std::vector<int16_t> samples)
    : handle_(handle), samples_(std::move(samples)), thread_([this] { run(); }) {}

FileTalker::~FileTalker() { stop(); }

void FileTalker::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void FileTalker::run() {
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at < samples_.size(); at += kBufferSamples) {
        // Each buffer leaves when a microphone would have filled it.
        const auto due = start + std::chrono::milliseconds(1000 * (at + kBufferSamples) / kSampleRate);
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, due, [this] { return stopping_; })) break;
        }
        const std::size_t n = std::min(kBufferSamples, samples_.size() - at);
        if (M_KSendAudioOut(handle_, samples_.data() + at, static_cast<int32_t>(n)) != 0) sent_ += n;
    }
    done_.store(true);
}

} // namespace watch
