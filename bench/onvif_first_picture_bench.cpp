// The first picture of an ONVIF camera whose encoder makes a key picture
// only every few seconds: Corvel-O's connect with its synchronisation point
// (the camera is asked for a key picture at once) against the same connect
// without it, in the same run, on the simulated ONVIF camera and its RTSP
// streams. Each connect starts at a random point of the camera's key-picture
// interval, as a viewer's would. Prints the median and worst of each and the
// ratio of the medians.
//   onvif_first_picture_bench [RUNS [KEY_SECONDS]]   (defaults 6 and 4)
#include "onvif_instance.h"

#include <camsim/onvif_camera.h>
#include <camsim/onvif_rtsp_streams.h>
#include <platform/network_guard.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrameRate = 25;
constexpr int kGiveUpMs = 15000;
constexpr uint8_t kH264Record = 3;
constexpr uint8_t kRandomAccess = 1;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

MediaConfig configFor(uint16_t port) {
    MediaConfig c{};
    c.connectionType = 1;
    std::strncpy(c.cameraAddress, "127.0.0.1", sizeof c.cameraAddress - 1);
    std::strncpy(c.userName, "admin", sizeof c.userName - 1);
    std::strncpy(c.password, "admin", sizeof c.password - 1);
    c.httpPort = port;
    c.connectTimeoutSeconds = 5;
    return c;
}

// Milliseconds from connect to the first key picture (the first a decoder can
// show); negative when none came.
double firstPictureMs(const MediaConfig& config, bool synchronize) {
    corvel::OnvifInstance instance(synchronize);
    instance.setMediaConfig(config);
    const auto start = Clock::now();
    if (instance.connect() != 1 || instance.startStreaming() != 1) return -1;
    std::vector<uint8_t> buffer(1 << 20);
    while (Clock::now() - start < std::chrono::milliseconds(kGiveUpMs)) {
        int32_t kind = 0;
        const int32_t n = instance.getNextFrame(&kind, buffer.data(), static_cast<int32_t>(buffer.size()));
        if (n < 0) return -1;
        if (n > static_cast<int32_t>(transport::kFrameHeaderSize) && buffer[4] == kH264Record &&
            (buffer[5] & kRandomAccess) != 0) {
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    platform::enableLoopbackOnly();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;
    const int keySeconds = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 60) : 4;

    camsim::OnvifOptions options;
    for (auto& p : options.profiles) {
        p.frameRate = kFrameRate;
        p.govLength = keySeconds * kFrameRate;
    }
    auto head = std::make_shared<camsim::CameraHead>();
    camsim::RtspProfileSettings settings;
    settings.audio = false;
    auto streams = std::make_shared<camsim::RtspProfileStreams>(options, head, settings);
    if (!streams->start()) {
        std::fprintf(stderr, "no RTSP streams: %s\n", streams->error().c_str());
        return 1;
    }
    camsim::OnvifCamera camera(options, head, streams);
    if (!camera.start()) {
        std::fprintf(stderr, "the simulated camera did not start\n");
        return 1;
    }
    const MediaConfig config = configFor(camera.port());

    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> phaseMs(0, keySeconds * 1000 - 1);
    std::vector<double> with, without;
    for (int i = 0; i < runs; ++i) {
        for (const bool synchronize : {true, false}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(phaseMs(random)));
            const double ms = firstPictureMs(config, synchronize);
            if (ms < 0) {
                std::fprintf(stderr, "run %d (%s): no picture\n", i, synchronize ? "with" : "without");
                return 1;
            }
            (synchronize ? with : without).push_back(ms);
        }
    }
    const auto worst = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    std::printf("key picture every %d s, %d connects each\n", keySeconds, runs);
    std::printf("with synchronisation point:    median %7.1f ms, worst %7.1f ms\n", median(with), worst(with));
    std::printf("without synchronisation point: median %7.1f ms, worst %7.1f ms\n", median(without), worst(without));
    std::printf("ratio of medians (without / with): %.1f\n", median(without) / median(with));
    return 0;
}
