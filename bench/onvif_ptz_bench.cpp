// What a PTZ move costs the caller on a slow ONVIF camera: the wall time of
// handing a move to the ONVIF session (what M_XSendCommand does) while the
// simulated camera takes a second to answer each request, against the same
// move sent as a plain synchronous SOAP call to the same camera in the same
// run. Prints median and worst of each and their ratio.
#include <onvif/camera_session.h>

#include <camsim/onvif_camera.h>
#include <camsim/onvif_stream_source.h>
#include <platform/network_guard.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAnswerDelayMs = 1000;
constexpr int kMoves = 20;
constexpr int kSynchronousCalls = 3;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    platform::enableLoopbackOnly();
    camsim::OnvifCamera camera({}, nullptr, std::make_shared<camsim::PlaceholderStreamSource>());
    if (!camera.start()) {
        std::fprintf(stderr, "the simulated camera did not start\n");
        return 1;
    }
    onvif::SessionSettings settings;
    settings.device = onvif::DeviceSettings{"127.0.0.1", camera.port(), "admin", "admin", 3000};
    onvif::CameraSession session(onvif::makeHttpSoapTransport(), settings);
    if (!session.open()) {
        std::fprintf(stderr, "no connection: %s\n", session.lastError().c_str());
        return 1;
    }
    camera.setAnswerDelayMs(kAnswerDelayMs);

    // Alternating directions at speed 3, as a finger sliding over the view.
    const uint8_t right[] = {'O', 'V', 1, 60, 0, 0, 0};
    const uint8_t left[] = {'O', 'V', 1, 0xC4, 0, 0, 0};
    std::vector<double> queued;
    for (int i = 0; i < kMoves; ++i) {
        const auto start = Clock::now();
        const int32_t taken = session.sendCommand(11, i % 2 == 0 ? right : left, 7);
        queued.push_back(ms(Clock::now() - start));
        if (taken != 1) {
            std::fprintf(stderr, "move %d refused\n", i);
            return 1;
        }
    }
    session.ptzWorker()->waitIdle(60000);

    std::vector<double> synchronous;
    const std::string profile = session.profile()->token;
    for (int i = 0; i < kSynchronousCalls; ++i) {
        const auto start = Clock::now();
        session.device().continuousMove(profile, 0.6, 0, 0);
        synchronous.push_back(ms(Clock::now() - start));
    }
    const double queuedMedian = median(queued);
    const double synchronousMedian = median(synchronous);
    std::printf("camera answers in %d ms\n", kAnswerDelayMs);
    std::printf("move handed to the session:  median %.1f us, worst %.1f us (%d moves, %d merged)\n",
                queuedMedian * 1000, *std::max_element(queued.begin(), queued.end()) * 1000, kMoves,
                session.ptzWorker()->merged());
    std::printf("synchronous ContinuousMove:  median %.1f ms (%d calls)\n", synchronousMedian, kSynchronousCalls);
    std::printf("ratio: %.7f\n", queuedMedian / synchronousMedian);
    return 0;
}
