#include "talk_file.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace watch {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kSampleRate = 8000;
constexpr std::size_t kBufferSamples = 2048; // a microphone buffer: 256 ms
constexpr std::size_t kReadBytes = 4096;     // taken from the file at a time
constexpr std::size_t kHeaderBytes = 12;     // "RIFF" size "WAVE"
constexpr milliseconds kOutputWait(20);      // for the converter, after feeding it
constexpr milliseconds kTalkerWait(100);     // how often the talker sees stop()
constexpr milliseconds kFirstSoundWait(10000);

std::string secondsText(milliseconds wait) {
    char text[16];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(wait.count()) / 1000);
    return text;
}

std::string errorText(GstMessage* m) {
    GError* e = nullptr;
    gst_message_parse_error(m, &e, nullptr);
    std::string text = e != nullptr ? e->message : "unknown error";
    if (e != nullptr) g_error_free(e);
    return text;
}

bool isWavHeader(const std::string& header) {
    const std::string_view h(header);
    return (h.starts_with("RIFF") || h.starts_with("RF64")) && h.substr(8, 4) == "WAVE";
}

milliseconds left(Clock::time_point deadline) {
    return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
}

} // namespace

struct TalkFileReader::Pipeline {
    GstElement* pipeline = nullptr;
    GstElement* source = nullptr;
    GstElement* sink = nullptr;
    GstBus* bus = nullptr;

    ~Pipeline() {
        if (pipeline == nullptr) return;
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(bus);
        gst_object_unref(sink);
        gst_object_unref(source);
        gst_object_unref(pipeline);
    }
};

TalkFileReader::TalkFileReader() = default;

TalkFileReader::~TalkFileReader() {
    pipeline_.reset();
    if (fd_ >= 0) ::close(fd_);
}

bool TalkFileReader::open(const std::string& path, std::string& error, milliseconds writerWait) {
    path_ = path;
    // A named pipe opened without O_NONBLOCK waits for a writer for good.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = path + " is a folder, no WAV file";
        return false;
    }
    pipe_ = S_ISFIFO(st.st_mode);
    if (!pipe_ && !S_ISREG(st.st_mode)) {
        error = path + " is a device, no WAV file";
        return false;
    }
    if (pipe_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(writerWait.count())) == 0) {
            error = "nothing was written to " + path + " in " + secondsText(writerWait) + " s";
            return false;
        }
    }
    if (!gst_init_check(nullptr, nullptr, nullptr)) {
        error = "GStreamer does not start";
        return false;
    }
    GstElement* pipeline =
        gst_parse_launch("appsrc name=file format=bytes caps=audio/x-wav ! wavparse ! audioconvert ! audioresample ! "
                         "audio/x-raw,format=S16LE,layout=interleaved,rate=8000,channels=1 ! "
                         "appsink name=pcm sync=false max-buffers=8",
                         nullptr);
    if (pipeline == nullptr) {
        error = "GStreamer's WAV reader is missing (install gstreamer1.0-plugins-good)";
        return false;
    }
    pipeline_ = std::make_unique<Pipeline>();
    pipeline_->pipeline = pipeline;
    pipeline_->source = gst_bin_get_by_name(GST_BIN(pipeline), "file");
    pipeline_->sink = gst_bin_get_by_name(GST_BIN(pipeline), "pcm");
    pipeline_->bus = gst_element_get_bus(pipeline);
    if (!pipe_) gst_app_src_set_size(GST_APP_SRC(pipeline_->source), st.st_size);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    // The usual refusals (no WAV, no sound) come before the camera is asked.
    const auto deadline = Clock::now() + kFirstSoundWait;
    while (pending_.empty() && !ended_ && Clock::now() < deadline) step(left(deadline));
    if (!error_.empty()) {
        error = error_;
        return false;
    }
    if (pending_.empty()) {
        error = ended_ ? path + " holds no sound"
                       : "no sound came from " + path + " in " + secondsText(kFirstSoundWait) + " s";
        return false;
    }
    gint64 duration = 0;
    if (!pipe_ && gst_element_query_duration(pipeline_->sink, GST_FORMAT_TIME, &duration) && duration > 0)
        seconds_ = static_cast<double>(duration) / GST_SECOND;
    return true;
}

std::size_t TalkFileReader::read(int16_t* out, std::size_t max, milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    while (pending_.size() < max && !ended_) {
        if (step(left(deadline)) == Step::Waiting && Clock::now() >= deadline) break;
    }
    const std::size_t n = std::min(max, pending_.size());
    std::copy_n(pending_.begin(), n, out);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

bool TalkFileReader::ended() const { return ended_ && pending_.empty(); }

TalkFileReader::Step TalkFileReader::step(milliseconds wait) {
    if (pipeline_ == nullptr || pipelineFailed()) {
        ended_ = true;
        return Step::Ended;
    }
    GstAppSink* sink = GST_APP_SINK(pipeline_->sink);
    GstSample* sample = gst_app_sink_try_pull_sample(sink, 0);
    // More of the file goes in only once the converter has taken what it had.
    if (sample == nullptr && !inputEnded_ && gst_app_src_get_current_level_bytes(GST_APP_SRC(pipeline_->source)) == 0) {
        if (!feed(pipe_ ? std::min(wait, kTalkerWait) : milliseconds(0))) {
            ended_ = true;
            return Step::Ended;
        }
        sample = gst_app_sink_try_pull_sample(sink, std::min(wait, kOutputWait).count() * GST_MSECOND);
    } else if (sample == nullptr) {
        if (gst_app_sink_is_eos(sink)) {
            ended_ = true;
            return Step::Ended;
        }
        sample = gst_app_sink_try_pull_sample(sink, std::min(wait, kOutputWait).count() * GST_MSECOND);
    }
    if (sample == nullptr) return Step::Waiting;
    if (GstBuffer* b = gst_sample_get_buffer(sample)) {
        GstMapInfo map;
        if (gst_buffer_map(b, &map, GST_MAP_READ)) {
            const auto* pcm = reinterpret_cast<const int16_t*>(map.data);
            pending_.insert(pending_.end(), pcm, pcm + map.size / sizeof(int16_t));
            gst_buffer_unmap(b, &map);
        }
    }
    gst_sample_unref(sample);
    return Step::Got;
}

// Takes the next bytes of the file into the converter; false when the file
// cannot be what it should be (error_ says why).
bool TalkFileReader::feed(milliseconds wait) {
    if (pipe_) {
        // A writer that left before this end was opened is not told by poll():
        // the read below says so (0). EAGAIN: the writer is slow.
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(wait.count()));
    }
    uint8_t bytes[kReadBytes];
    const ssize_t n = ::read(fd_, bytes, sizeof bytes);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return true;
        error_ = "cannot read " + path_ + ": " + std::strerror(errno);
        return false;
    }
    if (!headerChecked_) {
        header_.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
        if (header_.size() >= kHeaderBytes || n == 0) {
            if (header_.size() < kHeaderBytes || !isWavHeader(header_)) {
                error_ = path_ + " is no WAV file";
                return false;
            }
            headerChecked_ = true;
            header_.clear();
        }
    }
    GstAppSrc* source = GST_APP_SRC(pipeline_->source);
    if (n == 0) {
        inputEnded_ = true;
        gst_app_src_end_of_stream(source);
        return true;
    }
    bytesRead_ += static_cast<uint64_t>(n);
    gst_app_src_push_buffer(source, gst_buffer_new_memdup(bytes, static_cast<gsize>(n)));
    return true;
}

bool TalkFileReader::pipelineFailed() {
    if (!error_.empty()) return true;
    GstMessage* m = gst_bus_pop_filtered(pipeline_->bus, GST_MESSAGE_ERROR);
    if (m == nullptr) return false;
    error_ = path_ + " is no WAV file this program reads: " + errorText(m);
    gst_message_unref(m);
    return true;
}

FileTalker::FileTalker(OstrelInterface* handle, std::unique_ptr<TalkFileReader> reader)
    : handle_(handle), reader_(std::move(reader)), thread_([this] { run(); }) {}

FileTalker::~FileTalker() { stop(); }

void FileTalker::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::string FileTalker::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool FileTalker::stopping() {
    std::lock_guard lock(mutex_);
    return stopping_;
}

void FileTalker::run() {
    const auto start = Clock::now();
    std::size_t at = 0;
    int16_t buffer[kBufferSamples];
    while (!reader_->ended() && !stopping()) {
        std::size_t n = 0;
        while (n < kBufferSamples && !reader_->ended() && !stopping())
            n += reader_->read(buffer + n, kBufferSamples - n, kTalkerWait);
        if (n == 0) continue;
        // Each buffer leaves when a microphone would have filled it.
        const auto due = start + milliseconds(1000 * (at + n) / kSampleRate);
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, due, [this] { return stopping_; })) break;
        }
        at += n;
        if (M_KSendAudioOut(handle_, buffer, static_cast<int32_t>(n)) != 0) sent_ += n;
    }
    {
        std::lock_guard lock(mutex_);
        error_ = reader_->error();
    }
    done_.store(true);
}

} // namespace watch
