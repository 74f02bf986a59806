// What the simulated cameras cost: processor time per picture of the scene
// (drawn and encoded) against the fixed test pattern, and three protocol
// version 2 cameras at 352 x 240, 30 pictures/s, each streaming to a reader
// on 127.0.0.1, as a share of one core per camera.
//
//   camsim_cameras_bench [seconds]   (default 5)
#include "camsim/camera_head.h"
#include "camsim/camera_sources.h"
#include "camsim/scene_renderer.h"
#include "camsim/v2_camera.h"
#include "platform/tcp_socket.h"
#include "transport/protocol_message.h"

#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kCameras = 3;
constexpr int kPictures = 300;

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

camsim::CameraVideoSettings smallPictures() {
    camsim::CameraVideoSettings s;
    s.resolutionCode = 1; // 352 x 240
    s.frameRate = 30;
    return s;
}

// Milliseconds of processor time per picture from a source, unpaced.
double msPerPicture(camsim::VideoSource& source) {
    camsim::VideoFrame frame;
    source.nextFrame(frame); // the first picture pays for set-up
    const double start = threadCpuSeconds();
    for (int i = 0; i < kPictures; ++i) {
        if (!source.nextFrame(frame)) return -1;
    }
    return (threadCpuSeconds() - start) * 1000.0 / kPictures;
}

double msPerDrawing(const camsim::CameraHead& head) {
    camsim::SceneRenderer renderer(352, 240, "CAMERA 1", 0);
    camsim::YuvImage image(352, 240);
    renderer.render(head, "00:00:00.0", image.picture());
    const double start = threadCpuSeconds();
    for (int i = 0; i < kPictures; ++i) renderer.render(head, camsim::sceneClockText(), image.picture());
    return (threadCpuSeconds() - start) * 1000.0 / kPictures;
}

// Logs in on a camera's video channel and reads records until told to stop.
void readVideo(uint16_t port, const std::atomic<bool>& stop, std::atomic<long>& records) {
    platform::TcpSocket socket;
    if (!socket.connect("127.0.0.1", port, 2000) || !socket.setReceiveTimeout(1000)) return;
    std::vector<uint8_t> block(128, 0);
    std::memcpy(block.data(), "admin", 5);
    std::memcpy(block.data() + 64, "admin", 5);
    if (!socket.sendAll(block.data(), block.size())) return;
    if (socket.receiveAll(block.data(), 128).status != platform::RecvStatus::Ok) return;
    std::vector<uint8_t> body(300000);
    uint8_t header[12];
    while (!stop.load()) {
        if (socket.receiveAll(header, 12).status != platform::RecvStatus::Ok) return;
        const uint32_t length = transport::getUint32Le(header + 8);
        if (length > body.size() || socket.receiveAll(body.data(), length).status != platform::RecvStatus::Ok) return;
        if (header[4] == 1) records.fetch_add(1);
    }
}

camsim::PtzCommand pan(int direction) {
    camsim::PtzCommand c;
    c.pan = direction;
    c.panSpeed = 0x3F;
    return c;
}

// Process processor time per camera, as a share of one core, with three
// cameras streaming for `seconds`; `panning` keeps every head panning to and
// fro, so that the whole picture changes all the time.
double coreSharePerCamera(bool scene, bool panning, int seconds, double& picturesPerSecond) {
    std::vector<std::unique_ptr<camsim::V2Camera>> cameras;
    for (int k = 0; k < kCameras; ++k) {
        camsim::CameraOptions o;
        o.host = "127.0.0.1";
        o.user = "admin";
        o.password = "admin";
        o.video = smallPictures();
        o.streamAudio = true;
        o.scene.enabled = scene;
        o.scene.name = "CAMERA " + std::to_string(k + 1);
        o.scene.variant = k;
        cameras.push_back(std::make_unique<camsim::V2Camera>(o));
        if (!cameras.back()->start()) return -1;
    }
    std::atomic<bool> stop{false};
    std::atomic<long> records{0};
    std::vector<std::thread> readers;
    for (auto& c : cameras) readers.emplace_back(readVideo, c->videoPort(), std::cref(stop), std::ref(records));
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // past set-up and first pictures
    const long firstRecords = records.load();
    const double cpu0 = processCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    for (int tick = 0; tick < seconds * 2; ++tick) {
        if (panning) {
            for (auto& c : cameras) c->head().apply(pan(tick % 2 == 0 ? 1 : -1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const double cpu = processCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    picturesPerSecond = static_cast<double>(records.load() - firstRecords) / wall / kCameras;
    stop.store(true);
    for (auto& c : cameras) c->stop();
    for (auto& r : readers) r.join();
    return cpu / wall / kCameras;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    camsim::CameraHead head(1); // the system clock: the motion object moves

    auto pattern = camsim::makeCameraVideoSource(smallPictures());
    auto scene = camsim::makeSceneVideoSource(smallPictures(), camsim::SceneOptions{true, "CAMERA 1", 0},
                                              std::shared_ptr<const camsim::CameraHead>(&head, [](auto*) {}));
    const double patternMs = msPerPicture(*pattern);
    const double sceneMs = msPerPicture(*scene);
    head.apply(pan(1));
    const double panningMs = msPerPicture(*scene);
    head.apply(pan(-1));
    const double drawMs = msPerDrawing(head);
    std::printf("352x240, %d pictures, processor time per picture:\n", kPictures);
    std::printf("  test pattern encoded     %6.3f ms  (baseline)\n", patternMs);
    std::printf("  scene drawn and encoded  %6.3f ms  (%.2f x baseline)\n", sceneMs, sceneMs / patternMs);
    std::printf("  scene while panning      %6.3f ms  (%.2f x baseline)\n", panningMs, panningMs / patternMs);
    std::printf("  scene drawn only         %6.3f ms  (%.2f x baseline)\n", drawMs, drawMs / patternMs);

    double patternRate = 0, sceneRate = 0, panningRate = 0;
    const double patternShare = coreSharePerCamera(false, false, seconds, patternRate);
    const double sceneShare = coreSharePerCamera(true, false, seconds, sceneRate);
    const double panningShare = coreSharePerCamera(true, true, seconds, panningRate);
    std::printf("%d cameras streaming 352x240 at 30 pictures/s with audio, for %d s, per camera:\n", kCameras, seconds);
    std::printf("  test pattern  %5.1f%% of a core, %.1f pictures/s (baseline)\n", patternShare * 100, patternRate);
    std::printf("  scene         %5.1f%% of a core, %.1f pictures/s (%.2f x baseline)\n", sceneShare * 100, sceneRate,
                sceneShare / patternShare);
    std::printf("  panning scene %5.1f%% of a core, %.1f pictures/s (%.2f x baseline)\n", panningShare * 100,
                panningRate, panningShare / patternShare);
    return 0;
}
