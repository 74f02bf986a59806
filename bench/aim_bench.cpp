// Pointing a simulated PTZ camera at a clicked point, per camera kind: the
// field-of-view space, the generic spaces after a calibration measured from
// the picture, and a protocol 2 camera timed from its calibration. For 20
// random points: how far the clicked scene point lies from the picture's
// centre after the move (share of the picture's width, median and worst),
// the time from the click to the first request the camera received and to
// the picture at rest, and the calibration's time; then a drawn box: the
// share of the picture it fills after the zoom.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "aim/pointing.h"
#include "aim/stream_aim_camera.h"
#include "aim_rig.h"

namespace {

using aim::test::AimRig;
using aim::test::RigKind;

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Notes when the head takes its first command after arm(): a thread that
// looks every millisecond.
class FirstCommandWatch {
public:
    explicit FirstCommandWatch(camsim::CameraHead& head) : head_(head), thread_([this] { run(); }) {}
    ~FirstCommandWatch() {
        stop_ = true;
        thread_.join();
    }
    void arm() {
        std::lock_guard lock(mutex_);
        count_ = head_.state().commandsApplied;
        at_.reset();
        armed_ = std::chrono::steady_clock::now();
    }
    // Milliseconds from arm() to the first command; -1 when none came.
    double elapsed() {
        std::lock_guard lock(mutex_);
        return at_ ? std::chrono::duration<double, std::milli>(*at_ - armed_).count() : -1.0;
    }

private:
    void run() {
        while (!stop_) {
            {
                std::lock_guard lock(mutex_);
                if (!at_ && head_.state().commandsApplied != count_) at_ = std::chrono::steady_clock::now();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    camsim::CameraHead& head_;
    std::mutex mutex_;
    int64_t count_ = 0;
    std::optional<std::chrono::steady_clock::time_point> at_;
    std::chrono::steady_clock::time_point armed_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Figures {
    std::vector<double> miss, firstRequest, rest;
    double calibrationMs = 0;
    std::vector<double> boxFill;
    int notMoved = 0;
};

void waitForPictures(OstrelInterface* h) {
    for (int i = 0; i < 200; ++i) {
        int32_t w = 0;
        if (M_KGetStreamSize(h, &w, nullptr) != 0 && w > 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool run(RigKind kind, int clicks, unsigned seed, bool debug, Figures& f) {
    AimRig rig;
    if (!rig.start(kind, TAVOLIN_PTZ_DIR)) {
        std::fprintf(stderr, "%s: %s\n", aim::test::rigKindName(kind), rig.why.c_str());
        return false;
    }
    waitForPictures(rig.handle);
    aim::StreamAimCamera camera(rig.handle);
    aim::Pointer pointer(camera);
    std::optional<aim::Calibration> calibration;
    const aim::Capabilities caps = pointer.capabilities();
    if (!caps.fovPanTilt) {
        const aim::CalibrationResult r = pointer.calibrate();
        f.calibrationMs = static_cast<double>(r.elapsedMs);
        if (!r.calibration) {
            std::fprintf(stderr, "%s: calibration failed: %s\n", aim::test::rigKindName(kind), r.why.c_str());
            return false;
        }
        calibration = r.calibration;
        if (debug) std::fprintf(stderr, "calibration %s\n", calibration->toText().c_str());
    }
    int32_t width = 0, height = 0;
    M_KGetStreamSize(rig.handle, &width, &height);
    // A share of the height in shares of the width.
    const double aspect = width > 0 ? static_cast<double>(height) / width : 0.75;
    FirstCommandWatch watch(rig.head());
    std::mt19937 random(seed);
    // Points a user clicks: anywhere but the outermost tenth, where the
    // head may have no travel left.
    std::uniform_real_distribution<double> share(0.1, 0.9);
    for (int i = 0; i < clicks; ++i) {
        const double u = share(random), v = share(random);
        // Each click from the middle of the head's travel at the widest zoom,
        // so that every point can come to the centre. Not a camera command:
        // the simulator's head is put there directly.
        rig.head().moveToPosition({0, 0, 0});
        pointer.waitForRest();
        double sx = 0, sy = 0;
        rig.scenePointAt(u, v, sx, sy);
        const auto reference = pointer.snapshot();
        watch.arm();
        const aim::PointingResult r = pointer.centre({aim::fovOf({u, v}), 1.0}, calibration ? &*calibration : nullptr,
                                                     reference ? &*reference : nullptr);
        if (!r.moved) {
            ++f.notMoved;
            if (debug) std::fprintf(stderr, "not moved: %s\n", r.why.c_str());
            continue;
        }
        double pu = 0, pv = 0;
        rig.shareOf(sx, sy, pu, pv);
        const double miss = std::hypot(pu - 0.5, (pv - 0.5) * aspect);
        f.miss.push_back(miss);
        f.firstRequest.push_back(watch.elapsed());
        f.rest.push_back(static_cast<double>(r.restMs));
        if (debug)
            std::fprintf(stderr, "click %.3f,%.3f -> %.3f,%.3f miss %.1f %% plan %d corrected %d rest %lld ms\n", u, v,
                         pu, pv, 100 * miss, static_cast<int>(r.plan.kind), r.corrected ? 1 : 0,
                         static_cast<long long>(r.restMs));
    }
    // A box round a quarter of the picture's width, off the centre.
    if (caps.zoom) {
        for (int i = 0; i < 3; ++i) {
            const double x0 = 0.3 + 0.1 * i, y0 = 0.35, w = 0.25 - 0.05 * i, h = 0.2;
            double ax = 0, ay = 0, bx = 0, by = 0;
            rig.scenePointAt(x0, y0, ax, ay);
            rig.scenePointAt(x0 + w, y0 + h, bx, by);
            const auto reference = pointer.snapshot();
            const aim::Rect box{x0, y0, w, h};
            const aim::PointingResult r =
                pointer.centre({aim::fovOf(box.centre()), aim::fillMagnification(box)},
                               calibration ? &*calibration : nullptr, reference ? &*reference : nullptr);
            if (!r.moved) continue;
            double au = 0, av = 0, bu = 0, bv = 0;
            rig.shareOf(ax, ay, au, av);
            rig.shareOf(bx, by, bu, bv);
            f.boxFill.push_back(std::max(std::abs(bu - au), std::abs(bv - av)));
            // Back to the wide view for the next box.
            const double back = 1.0 / aim::fillMagnification(box);
            pointer.centre({{0, 0}, back}, calibration ? &*calibration : nullptr, nullptr);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int clicks = 20;
    bool debug = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--clicks") == 0 && i + 1 < argc) clicks = std::atoi(argv[++i]);
        if (std::strcmp(argv[i], "--debug") == 0) debug = true;
    }
    std::printf("%-28s %8s %8s %10s %10s %10s %12s %10s\n", "camera kind", "median", "worst", "request", "at rest",
                "calibrate", "box fills", "not moved");
    int failed = 0;
    std::vector<RigKind> kinds = {RigKind::OnvifFov, RigKind::OnvifGeneric, RigKind::Protocol2};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kind") == 0 && i + 1 < argc) kinds = {static_cast<RigKind>(std::atoi(argv[++i]))};
    }
    for (RigKind kind : kinds) {
        Figures f;
        if (!run(kind, clicks, 42, debug, f)) {
            ++failed;
            continue;
        }
        std::printf("%-28s %7.1f%% %7.1f%% %8.0fms %8.0fms %8.1fs %11.0f%% %10d\n", aim::test::rigKindName(kind),
                    100 * median(f.miss), 100 * worst(f.miss), median(f.firstRequest), median(f.rest),
                    f.calibrationMs / 1000.0, 100 * median(f.boxFill), f.notMoved);
        std::fflush(stdout);
    }
    return failed;
}
