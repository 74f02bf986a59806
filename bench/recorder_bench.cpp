// What recording costs, for bench/recording_cost.sh:
//   recorder_bench cpu URL USER PASSWORD SECONDS ROUNDS FOLDER
//     one camera watched (decoded into a 1920 x 1080 rectangle) through the
//     stream client, in rounds that take turns: watching alone, watching
//     with its stream tapped into a recorder writing a clip (pre-roll
//     included), and watching with a second stream of the camera opened
//     only to be recorded. Prints the processor seconds per second of each
//     round and the medians of the differences to watching alone.
//   recorder_bench preroll URL USER PASSWORD SECONDS BOUND_MB
//     a stream opened only to be recorded, its pre-roll buffer (10 s,
//     bounded to BOUND_MB) filled for SECONDS; prints the buffer's bytes
//     and seconds once a minute, the largest it held, and the process's
//     resident memory at the start and the end.
// Only 127.0.0.1 is reached (TAVOLIN_LOOPBACK_ONLY=1 is set).
#include <ostrel/stream_client.h>
#include <transport/contract.h>

#include "platform/network_guard.h"
#include "platform/surface.h"
#include "recorder/camera_recorder.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class NoSurface final : public platform::Surface {
public:
    void stretchDraw(const platform::PictureView&, const platform::SurfaceRect&) override {}
    void drawText(const std::u16string&, const platform::SurfaceRect&, platform::SurfaceColor,
                  platform::SurfaceColor) override {}
    platform::SurfaceSize clientSize() const override { return {0, 0}; }
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

struct Camera {
    std::string url, user, password;
};

// One stream client on the camera: drawing into a 1920 x 1080 rectangle, or
// opened only to be recorded; its records go to `tap` when one is given.
class Stream {
public:
    Stream(const Camera& camera, bool recordOnly, recorder::CameraRecorder* tap)
        : window_(platform::SurfaceRegistry::add(std::make_shared<NoSurface>())) {
        MediaConfig config{};
        config.connectionType = 1;
        std::strncpy(config.cameraAddress, camera.url.c_str(), sizeof config.cameraAddress - 1);
        std::strncpy(config.userName, camera.user.c_str(), sizeof config.userName - 1);
        std::strncpy(config.password, camera.password.c_str(), sizeof config.password - 1);
        config.connectTimeoutSeconds = 5;
        handle_ = M_KOpenInterface();
        M_KSetStreamingType(handle_, 4);
        M_KSetMediaConfig(handle_, &config);
        RenderInfo render{};
        render.window = window_;
        render.width = 1920;
        render.height = 1080;
        M_KSetRenderInfo(handle_, &render);
        M_KSetRecordOnly(handle_, recordOnly ? 1 : 0);
        if (tap != nullptr) M_KSetFrameTapCallback(handle_, tap, &recorder::CameraRecorder::tap);
    }
    ~Stream() {
        M_KDisconnect(handle_);
        M_KCloseInterface(handle_);
        platform::SurfaceRegistry::remove(window_);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    bool connect() { return M_KConnect(handle_) == 1; }

private:
    uint32_t window_;
    OstrelInterface* handle_ = nullptr;
};

std::unique_ptr<recorder::CameraRecorder> clipRecorder(const std::string& path, std::size_t boundBytes) {
    recorder::RecorderSettings settings;
    settings.preRoll.maxBytes = boundBytes;
    settings.naming = [path](auto, int) { return path; };
    settings.notice = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    return std::make_unique<recorder::CameraRecorder>(std::move(settings));
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

enum class Round { Watch, WatchAndRecord, WatchAndRecordSecondStream };

// Processor seconds per second of one round, after two seconds of start-up.
double measure(const Camera& camera, Round round, int seconds, const std::string& clip) {
    std::unique_ptr<recorder::CameraRecorder> recorder;
    if (round != Round::Watch) recorder = clipRecorder(clip, std::size_t{32} << 20);
    const bool tapWatched = round == Round::WatchAndRecord;
    Stream watched(camera, false, tapWatched ? recorder.get() : nullptr);
    std::unique_ptr<Stream> second;
    if (round == Round::WatchAndRecordSecondStream) second = std::make_unique<Stream>(camera, true, recorder.get());
    if (!watched.connect() || (second && !second->connect())) {
        std::fprintf(stderr, "not connected\n");
        std::exit(1);
    }
    if (recorder) recorder->startRecording();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double before = cpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = cpuSeconds() - before;
    const double span = std::chrono::duration<double>(Clock::now() - start).count();
    return used / span;
}

int cpu(const Camera& camera, int seconds, int rounds, const std::string& folder) {
    std::vector<double> tapped, secondStream;
    for (int r = 0; r < rounds; ++r) {
        const std::string clip = folder + "/round" + std::to_string(r) + ".mkv";
        const double watch = measure(camera, Round::Watch, seconds, clip);
        const double record = measure(camera, Round::WatchAndRecord, seconds, clip);
        const double extra = measure(camera, Round::WatchAndRecordSecondStream, seconds, clip + ".second.mkv");
        std::printf("round %d: watching %.4f, watching and recording its stream %.4f (%+.4f), watching and "
                    "recording a second stream %.4f (%+.4f) cpu s/s\n",
                    r + 1, watch, record, record - watch, extra, extra - watch);
        std::fflush(stdout);
        tapped.push_back(record - watch);
        secondStream.push_back(extra - watch);
    }
    std::printf("median over %d rounds: recording the watched stream %+.4f cpu s/s (target: at most 0.02), "
                "recording a second stream %+.4f cpu s/s\n",
                rounds, median(tapped), median(secondStream));
    return 0;
}

int preroll(const Camera& camera, int seconds, int boundMegabytes, const std::string& folder) {
    const std::size_t bound = static_cast<std::size_t>(boundMegabytes) << 20;
    auto recorder = clipRecorder(folder + "/unused.mkv", bound);
    Stream stream(camera, true, recorder.get());
    if (!stream.connect()) {
        std::fprintf(stderr, "not connected\n");
        return 1;
    }
    const long residentAtStart = residentKilobytes();
    std::size_t largest = 0;
    const auto start = Clock::now();
    for (int s = 1; s <= seconds; ++s) {
        std::this_thread::sleep_until(start + std::chrono::seconds(s));
        const recorder::CameraRecorder::Status status = recorder->status();
        largest = std::max(largest, status.preRollBytes);
        if (s % 60 == 0 || s == seconds)
            std::printf("[%4d s] pre-roll %.2f MB, %.1f s, resident %ld kB\n", s,
                        static_cast<double>(status.preRollBytes) / (1 << 20), status.preRollMs / 1000.0,
                        residentKilobytes());
        std::fflush(stdout);
    }
    std::printf("largest pre-roll %.2f MB of a %d MB bound (%s); resident memory %ld kB at the start, %ld kB "
                "at the end\n",
                static_cast<double>(largest) / (1 << 20), boundMegabytes, largest <= bound ? "held" : "EXCEEDED",
                residentAtStart, residentKilobytes());
    return largest <= bound ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    platform::enableLoopbackOnly();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 8 && (mode == "cpu" || mode == "preroll")) {
        const Camera camera{argv[2], argv[3], argv[4]};
        const int seconds = std::atoi(argv[5]);
        if (mode == "cpu") return cpu(camera, seconds, std::atoi(argv[6]), argv[7]);
        return preroll(camera, seconds, std::atoi(argv[6]), argv[7]);
    }
    std::fprintf(stderr, "usage: recorder_bench cpu URL USER PASSWORD SECONDS ROUNDS FOLDER\n"
                         "       recorder_bench preroll URL USER PASSWORD SECONDS BOUND_MB FOLDER\n");
    return 64;
}
