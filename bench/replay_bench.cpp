// What playing a camera's own recordings costs, for bench/replay_figures.sh
// (a simulated ONVIF camera's SD card on 127.0.0.1):
//   replay_bench seeks HOST:PORT USER PASSWORD N
//     N timeline clicks at random times of the card's finished recordings
//     (the same times each run): the time from the seek to the first picture
//     shown, and that picture's own time against the one asked for, in one
//     player kept open (as the timeline does) and in a player opened per
//     seek; beside it GStreamer's own ONVIF client pipeline (rtspsrc in
//     onvif-mode, rtponvifparse, depayloader, parser, openh264dec, fakesink) made per
//     seek, to its first decoded picture of the same seek.
//   replay_bench speeds HOST:PORT USER PASSWORD SECONDS
//     processor seconds per second of recording: the live view of the same
//     stream through the stream client, then the recording played at 1x, 4x
//     and 8x (8x: key pictures alone), each for SECONDS, decoded headless.
//   replay_bench export HOST:PORT USER PASSWORD MINUTES FOLDER
//     MINUTES of a recording exported as a clip (copied), against decoding
//     every picture of that clip: processor seconds of each; then a capture
//     folder of 3000 short clips indexed.
// Only 127.0.0.1 is reached (TAVOLIN_LOOPBACK_ONLY=1 is set).
#include <decoder/video_decoder.h>
#include <onvif/replies.h>
#include <ostrel/stream_client.h>
#include <playback/camera_archive.h>
#include <playback/clip_export.h>
#include <playback/clip_index.h>
#include <playback/player.h>
#include <transport/contract.h>

#include "clip_reader.h"
#include "platform/network_guard.h"
#include "platform/surface.h"
#include "recorder/capture_names.h"

#include <gst/gst.h>
#include <gst/rtsp/rtsp.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Camera {
    std::string host;
    int port = 0;
    std::string user, password;
};

Camera cameraOf(char** argv) {
    Camera c;
    const std::string address = argv[2];
    const std::size_t colon = address.rfind(':');
    c.host = address.substr(0, colon);
    c.port = colon == std::string::npos ? 80 : std::atoi(address.c_str() + colon + 1);
    c.user = argv[3];
    c.password = argv[4];
    if (!platform::mayConnectTo(c.host)) {
        std::fprintf(stderr, "%s\n", platform::loopbackRefusal(c.host).c_str());
        std::exit(64);
    }
    return c;
}

// The camera's archive, connected, with its recordings found.
std::unique_ptr<playback::CameraArchive> openArchive(const Camera& c, std::vector<onvif::Recording>& finished) {
    auto archive =
        std::make_unique<playback::CameraArchive>(playback::ArchiveCamera{c.host, c.port, c.user, c.password});
    if (!archive->connect() || !archive->replayOffered()) {
        std::fprintf(stderr, "no replay: %s\n", archive->reason().c_str());
        std::exit(1);
    }
    for (const onvif::Recording& r : archive->recordings().items)
        if (!r.growing() && r.span.toMs - r.span.fromMs > 60'000) finished.push_back(r);
    if (finished.empty()) {
        std::fprintf(stderr, "no finished recording on the card\n");
        std::exit(1);
    }
    return archive;
}

// Pictures a player shows, in order.
class Pictures {
public:
    playback::PlayerCallbacks callbacks() {
        playback::PlayerCallbacks c;
        c.picture = [this](const playback::PictureShown& p) {
            std::lock_guard lock(mutex_);
            shown_.push_back(p);
            changed_.notify_all();
        };
        c.status = [this](const playback::PlayerStatus& s) {
            std::lock_guard lock(mutex_);
            if (s.mode == playback::PlayerMode::Failed) failed_ = s.reason;
            changed_.notify_all();
        };
        return c;
    }
    std::optional<playback::PictureShown> awaitAfter(std::size_t count, int timeoutMs) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return shown_.size() > count || !failed_.empty(); });
        if (shown_.size() <= count) return std::nullopt;
        return shown_[count];
    }
    std::size_t count() {
        std::lock_guard lock(mutex_);
        return shown_.size();
    }
    std::vector<playback::PictureShown> all() {
        std::lock_guard lock(mutex_);
        return shown_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<playback::PictureShown> shown_;
    std::string failed_;
};

// GStreamer's own ONVIF replay client, one pipeline per seek.
class GstReplay {
public:
    explicit GstReplay(const std::string& uri, const Camera& c) {
        const std::string line =
            "rtspsrc name=src onvif-mode=true buffer-mode=none protocols=tcp ! rtponvifparse ! "
            "rtph264depay ! h264parse ! openh264dec ! fakesink name=sink sync=false signal-handoffs=true";
        pipeline_ = gst_parse_launch(line.c_str(), nullptr);
        GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline_), "src");
        g_object_set(src, "location", uri.c_str(), "user-id", c.user.c_str(), "user-pw", c.password.c_str(), nullptr);
        // It does not ask for replay by itself; a strict camera answers 551.
        g_signal_connect(src, "before-send", G_CALLBACK(&GstReplay::beforeSend), nullptr);
        gst_object_unref(src);
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline_), "sink");
        g_signal_connect(sink, "handoff", G_CALLBACK(&GstReplay::handoff), this);
        gst_object_unref(sink);
    }
    ~GstReplay() {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
    }
    // Milliseconds from the seek to the first decoded picture; nothing
    // when none came within the time.
    std::optional<double> firstPictureAfterSeek(int64_t cameraMs, int timeoutMs) {
        const auto start = Clock::now();
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
        gst_element_get_state(pipeline_, nullptr, nullptr, 5 * GST_SECOND);
        // ONVIF mode seeks in absolute time: nanoseconds since 1900.
        constexpr GstClockTime kNtpToUnixNs = 2'208'988'800ULL * GST_SECOND;
        const GstClockTime at = kNtpToUnixNs + static_cast<GstClockTime>(cameraMs) * GST_MSECOND;
        gst_element_seek(pipeline_, 1.0, GST_FORMAT_TIME,
                         static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET, at,
                         GST_SEEK_TYPE_NONE, 0);
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pictures_ > 0; }))
            return std::nullopt;
        return std::chrono::duration<double, std::milli>(firstAt_ - start).count();
    }

private:
    static gboolean beforeSend(GstElement*, GstRTSPMessage* message, gpointer) {
        GstRTSPMethod method{};
        const char* uri = nullptr;
        GstRTSPVersion version{};
        if (gst_rtsp_message_parse_request(message, &method, &uri, &version) == GST_RTSP_OK &&
            (method == GST_RTSP_SETUP || method == GST_RTSP_PLAY))
            gst_rtsp_message_add_header_by_name(message, "Require", "onvif-replay");
        return TRUE;
    }
    static void handoff(GstElement*, GstBuffer*, GstPad*, gpointer self) {
        auto* me = static_cast<GstReplay*>(self);
        std::lock_guard lock(me->mutex_);
        if (me->pictures_++ == 0) me->firstAt_ = Clock::now();
        me->changed_.notify_all();
    }

    GstElement* pipeline_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    int pictures_ = 0;
    Clock::time_point firstAt_;
};

std::vector<int64_t> randomTimes(const std::vector<onvif::Recording>& finished, int count) {
    std::mt19937_64 random(20261209);
    std::vector<int64_t> times;
    for (int i = 0; i < count; ++i) {
        const onvif::Recording& r = finished[random() % finished.size()];
        // Clear of the ends, anywhere between two key pictures.
        times.push_back(r.span.fromMs + 5000 + static_cast<int64_t>(random() % (r.span.toMs - r.span.fromMs - 10000)));
    }
    return times;
}

void printRow(const char* what, const std::vector<double>& ms, const std::vector<double>& offBy, int missed) {
    std::printf("%-34s median %7.1f ms  max %7.1f ms", what, median(ms),
                ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()));
    if (!offBy.empty())
        std::printf("  picture - asked: median %5.1f ms, max %5.1f ms", median(offBy),
                    *std::max_element(offBy.begin(), offBy.end()));
    std::printf("  (%zu seeks, %d without a picture)\n", ms.size(), missed);
}

int seeks(const Camera& camera, int count) {
    std::vector<onvif::Recording> finished;
    const auto archive = openArchive(camera, finished);
    const std::vector<int64_t> times = randomTimes(finished, count);
    constexpr int kWaitMs = 15000;

    // One player kept open: each click a seek.
    std::vector<double> openMs, openOff;
    int openMissed = 0;
    {
        Pictures pictures;
        playback::PlayerOutput out;
        out.callbacks = pictures.callbacks();
        auto player = playback::openCameraReplay(archive->replay(), out, times.front() - 60'000);
        pictures.awaitAfter(0, kWaitMs);
        for (const int64_t t : times) {
            const std::size_t before = pictures.count();
            const auto start = Clock::now();
            player->seek(t);
            const std::optional<playback::PictureShown> p = pictures.awaitAfter(before, kWaitMs);
            if (!p) {
                ++openMissed;
                continue;
            }
            openMs.push_back(msSince(start));
            openOff.push_back(static_cast<double>(p->timeMs - t));
        }
    }
    // A player opened per click.
    std::vector<double> freshMs, freshOff;
    int freshMissed = 0;
    for (const int64_t t : times) {
        Pictures pictures;
        playback::PlayerOutput out;
        out.callbacks = pictures.callbacks();
        const auto start = Clock::now();
        auto player = playback::openCameraReplay(archive->replay(), out, t);
        const std::optional<playback::PictureShown> p = pictures.awaitAfter(0, kWaitMs);
        if (!p) {
            ++freshMissed;
            continue;
        }
        freshMs.push_back(msSince(start));
        freshOff.push_back(static_cast<double>(p->timeMs - t));
    }
    // GStreamer's own pipeline per click, to its first decoded picture.
    std::vector<double> gstMs;
    int gstMissed = 0;
    const playback::CameraReplay replay = archive->replay();
    for (const int64_t t : times) {
        std::string why;
        const onvif::Recording* in = nullptr;
        for (const onvif::Recording& r : finished)
            if (t >= r.span.fromMs && t <= r.span.toMs) in = &r;
        const std::optional<std::string> uri = in ? replay.replayUri(in->token, why) : std::nullopt;
        if (!uri) {
            ++gstMissed;
            continue;
        }
        GstReplay gst(*uri, camera);
        const std::optional<double> ms = gst.firstPictureAfterSeek(t + replay.clockOffsetMs, kWaitMs);
        if (ms)
            gstMs.push_back(*ms);
        else
            ++gstMissed;
    }
    printRow("player kept open, seek", openMs, openOff, openMissed);
    printRow("player opened per seek", freshMs, freshOff, freshMissed);
    printRow("GStreamer rtspsrc onvif-mode", gstMs, {}, gstMissed);
    return 0;
}

// The live view of the camera's main stream through the stream client,
// decoded into a 1920 x 1080 rectangle that draws nothing.
class NoSurface final : public platform::Surface {
public:
    void stretchDraw(const platform::PictureView&, const platform::SurfaceRect&) override {}
    void drawText(const std::u16string&, const platform::SurfaceRect&, platform::SurfaceColor,
                  platform::SurfaceColor) override {}
    platform::SurfaceSize clientSize() const override { return {0, 0}; }
};

double liveCpuPerSecond(const Camera& c, int seconds) {
    const uint32_t window = platform::SurfaceRegistry::add(std::make_shared<NoSurface>());
    MediaConfig config{};
    config.connectionType = 2;
    std::strncpy(config.cameraAddress, c.host.c_str(), sizeof config.cameraAddress - 1);
    std::strncpy(config.userName, c.user.c_str(), sizeof config.userName - 1);
    std::strncpy(config.password, c.password.c_str(), sizeof config.password - 1);
    config.httpPort = c.port;
    config.connectTimeoutSeconds = 5;
    OstrelInterface* h = M_KOpenInterface();
    M_KSetStreamingType(h, 5);
    M_KSetMediaConfig(h, &config);
    RenderInfo render{};
    render.window = window;
    render.width = 1920;
    render.height = 1080;
    M_KSetRenderInfo(h, &render);
    std::atomic<long> rendered{0};
    M_KSetAfterRenderCallback(h, &rendered, [](void* user) { ++*static_cast<std::atomic<long>*>(user); });
    double perSecond = -1;
    if (M_KConnect(h) == 1) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const long renderedBefore = rendered.load();
        const double before = cpuSeconds();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        perSecond = (cpuSeconds() - before) / (msSince(start) / 1000);
        int32_t width = 0, height = 0;
        M_KGetStreamSize(h, &width, &height);
        std::printf("live view: %ld pictures of %dx%d in %d s\n", rendered.load() - renderedBefore, width, height,
                    seconds);
    }
    M_KDisconnect(h);
    M_KCloseInterface(h);
    platform::SurfaceRegistry::remove(window);
    return perSecond;
}

int speeds(const Camera& camera, int seconds) {
    std::vector<onvif::Recording> finished;
    const auto archive = openArchive(camera, finished);
    const double live = liveCpuPerSecond(camera, seconds);
    std::printf("live view                 %.3f CPU s per s\n", live);
    for (const double speed : {1.0, 4.0, 8.0}) {
        Pictures pictures;
        playback::PlayerOutput out;
        out.callbacks = pictures.callbacks();
        auto player = playback::openCameraReplay(archive->replay(), out, finished.front().span.fromMs + 1000);
        player->setSpeed(speed);
        player->play();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const std::size_t skip = pictures.count();
        const double before = cpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double used = cpuSeconds() - before;
        player.reset();
        const std::vector<playback::PictureShown> shown = pictures.all();
        if (shown.size() < skip + 2) {
            std::printf("%gx: no pictures\n", speed);
            continue;
        }
        const double recorded = static_cast<double>(shown.back().timeMs - shown[skip].timeMs) / 1000;
        std::printf("replay %gx                 %.3f CPU s per s of recording (%.1f s of recording in %d s, %zu "
                    "pictures), %.2f of the live view per s of recording\n",
                    speed, used / recorded, recorded, seconds, shown.size() - skip, used / recorded / live);
    }
    return 0;
}

// A capture folder of 3000 short clips: the index's first look, a query of
// one day, and a look again with nothing changed.
int indexFigures(const playback::CameraArchive& archive, int64_t from, const std::string& folder) {
    constexpr int kClips = 3000;
    const playback::ExportResult shortClip =
        playback::exportCameraRecording(archive.replay(), {from, from + 2000}, folder + "/short.mkv");
    if (!shortClip.ok) {
        std::fprintf(stderr, "short export failed: %s\n", shortClip.reason.c_str());
        return 1;
    }
    const std::filesystem::path clips = std::filesystem::path(folder) / "capture";
    std::filesystem::create_directories(clips);
    for (int i = 0; i < kClips; ++i) {
        const auto at = std::chrono::system_clock::time_point(std::chrono::milliseconds(from + int64_t{i} * 60'000));
        std::filesystem::copy_file(shortClip.path,
                                   clips / recorder::captureFileName(i % 2 ? "Gate" : "Porch", at, "mkv"));
    }
    std::mutex mutex;
    std::condition_variable changed;
    int looks = 0;
    const auto start = Clock::now();
    playback::ClipIndex index({clips.string(), 3'600'000}, [&] {
        std::lock_guard lock(mutex);
        ++looks;
        changed.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return looks > 0; });
    }
    const double firstLook = msSince(start);
    const auto queryStart = Clock::now();
    const std::size_t inDay = index.clips("Gate", from, from + 86'400'000).size();
    const double query = msSince(queryStart);
    std::printf("index of %d clips: first look %.0f ms, %zu found (of %zu) for one camera's day in %.2f ms\n", kClips,
                firstLook, inDay, index.all().size(), query);
    return 0;
}

int exportFigures(const Camera& camera, int minutes, const std::string& folder) {
    std::vector<onvif::Recording> finished;
    const auto archive = openArchive(camera, finished);
    const onvif::Recording* longest = &finished.front();
    for (const onvif::Recording& r : finished)
        if (r.span.toMs - r.span.fromMs > longest->span.toMs - longest->span.fromMs) longest = &r;
    const int64_t from = longest->span.fromMs + 1000;
    const int64_t to = std::min(longest->span.toMs, from + int64_t{minutes} * 60'000);
    const double before = cpuSeconds();
    const auto start = Clock::now();
    const playback::ExportResult done =
        playback::exportCameraRecording(archive->replay(), {from, to}, folder + "/replay_bench_export.mkv");
    const double exportCpu = cpuSeconds() - before;
    const double exportWall = msSince(start) / 1000;
    if (!done.ok) {
        std::fprintf(stderr, "export failed: %s\n", done.reason.c_str());
        return 1;
    }
    std::printf("export  %.1f min of recording: %llu pictures, %.1f MB copied, %.2f CPU s, %.1f s\n",
                static_cast<double>(done.lastMs - done.firstMs) / 60000, static_cast<unsigned long long>(done.pictures),
                static_cast<double>(done.bytes) / (1 << 20), exportCpu, exportWall);

    std::string error;
    auto reader = playback::ClipReader::open(done.path, error);
    if (!reader) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    auto decoder = decoder::VideoDecoder::create(reader->codec());
    const double decodeBefore = cpuSeconds();
    playback::ClipPicture picture;
    long decoded = 0;
    while (reader->read(picture, error) == playback::ClipReader::Read::Picture)
        if (decoder->decode(0, 0, picture.data.data(), picture.data.size()) != nullptr) ++decoded;
    const double decodeCpu = cpuSeconds() - decodeBefore;
    std::printf("decode the same clip: %ld pictures, %.2f CPU s; export / decode = %.3f\n", decoded, decodeCpu,
                exportCpu / decodeCpu);
    return indexFigures(*archive, from, folder);
}

} // namespace

int main(int argc, char** argv) {
    platform::enableLoopbackOnly();
    gst_init(nullptr, nullptr);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "seeks" && argc == 6) return seeks(cameraOf(argv), std::atoi(argv[5]));
    if (mode == "speeds" && argc == 6) return speeds(cameraOf(argv), std::atoi(argv[5]));
    if (mode == "export" && argc == 7) return exportFigures(cameraOf(argv), std::atoi(argv[5]), argv[6]);
    std::fprintf(stderr, "usage: replay_bench seeks|speeds HOST:PORT USER PASSWORD N|SECONDS\n"
                         "       replay_bench export HOST:PORT USER PASSWORD MINUTES FOLDER\n");
    return 64;
}
