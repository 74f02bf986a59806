// The stream client on an RTSP camera, for bench/rtsp_vs_ffmpeg.sh:
//   ostrel_rtsp_bench first-picture URL USER PASSWORD RUNS
//     connect to first rendered picture, RUNS times; prints the median and
//     the best in milliseconds.
//   ostrel_rtsp_bench cpu URL USER PASSWORD SECONDS WIDTH HEIGHT
//     watches SECONDS of video into a WIDTH x HEIGHT rectangle; prints the
//     processor seconds used per second of video and the pictures rendered.
// Only 127.0.0.1 is reached (TAVOLIN_LOOPBACK_ONLY=1 is set).
#include <ostrel/stream_client.h>
#include <transport/contract.h>

#include "platform/event.h"
#include "platform/network_guard.h"
#include "platform/surface.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class CountingSurface final : public platform::Surface {
public:
    void stretchDraw(const platform::PictureView&, const platform::SurfaceRect&) override {}
    void drawText(const std::u16string&, const platform::SurfaceRect&, platform::SurfaceColor,
                  platform::SurfaceColor) override {}
    platform::SurfaceSize clientSize() const override { return {0, 0}; }
};

struct Counts {
    std::atomic<long> rendered{0};
    platform::ManualResetEvent first;
};

void onRendered(void* user) {
    auto* counts = static_cast<Counts*>(user);
    ++counts->rendered;
    counts->first.set();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One stream client on the camera, drawing into a registered surface.
class Watch {
public:
    Watch(const std::string& url, const std::string& user, const std::string& password, int width, int height)
        : window_(platform::SurfaceRegistry::add(std::make_shared<CountingSurface>())) {
        MediaConfig config{};
        config.connectionType = 1;
        std::strncpy(config.cameraAddress, url.c_str(), sizeof config.cameraAddress - 1);
        std::strncpy(config.userName, user.c_str(), sizeof config.userName - 1);
        std::strncpy(config.password, password.c_str(), sizeof config.password - 1);
        config.connectTimeoutSeconds = 5;
        handle_ = M_KOpenInterface();
        M_KSetAfterRenderCallback(handle_, &counts, onRendered);
        M_KSetStreamingType(handle_, 4);
        M_KSetMediaConfig(handle_, &config);
        RenderInfo render{};
        render.window = window_;
        render.width = width;
        render.height = height;
        M_KSetRenderInfo(handle_, &render);
    }
    ~Watch() {
        M_KDisconnect(handle_);
        M_KCloseInterface(handle_);
        platform::SurfaceRegistry::remove(window_);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    bool connect() { return M_KConnect(handle_) == 1; }
    Counts counts;

private:
    uint32_t window_;
    OstrelInterface* handle_ = nullptr;
};

int firstPicture(const std::string& url, const std::string& user, const std::string& password, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        Watch watch(url, user, password, 1280, 720);
        if (!watch.connect() || !watch.counts.first.wait(5000)) {
            std::fprintf(stderr, "run %d: no picture\n", i);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("first picture: median %.1f ms, best %.1f ms over %d runs\n", times[times.size() / 2], times.front(),
                runs);
    return 0;
}

int cpu(const std::string& url, const std::string& user, const std::string& password, int seconds, int width,
        int height) {
    Watch watch(url, user, password, width, height);
    if (!watch.connect() || !watch.counts.first.wait(5000)) {
        std::fprintf(stderr, "no picture\n");
        return 1;
    }
    // Past the start-up, then the measured span.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long before = watch.counts.rendered.load();
    const double cpuBefore = cpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double span = std::chrono::duration<double>(Clock::now() - start).count();
    const double used = cpuSeconds() - cpuBefore;
    const long pictures = watch.counts.rendered.load() - before;
    std::printf("cpu %.4f s per s of video, %ld pictures in %.2f s (%.2f pictures/s)\n", used / span, pictures, span,
                static_cast<double>(pictures) / span);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    platform::enableLoopbackOnly();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "first-picture" && argc == 6) return firstPicture(argv[2], argv[3], argv[4], std::atoi(argv[5]));
    if (mode == "cpu" && argc == 8)
        return cpu(argv[2], argv[3], argv[4], std::atoi(argv[5]), std::atoi(argv[6]), std::atoi(argv[7]));
    std::fprintf(stderr, "usage: ostrel_rtsp_bench first-picture URL USER PASSWORD RUNS\n"
                         "       ostrel_rtsp_bench cpu URL USER PASSWORD SECONDS WIDTH HEIGHT\n");
    return 64;
}
