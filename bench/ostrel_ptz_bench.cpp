// Latency of a PTZ request through the stream client: from the M_KPTZ_LEFT
// call until the command bytes have arrived at a simulated protocol 2 camera
// over loopback, against a plain socket that sends the same message to the
// same camera in the same run. The two are measured in turns, so both see
// the same load. Prints median and 99th percentile of each.
#include <ostrel/stream_client.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "camsim/simulated_camera.h"
#include "camsim/v2_camera.h"
#include "interface_object.h"
#include "platform/clock.h"
#include "platform/tcp_socket.h"
#include "transport/protocol_message.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCommands = 10000;
constexpr uint32_t kSerialMessage = 54;
// PANLEFT at speed 3 for address 1, with its check byte.
const std::vector<uint8_t> kPanLeft = {0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D};

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())));
    return v[i];
}

bool waitArrived(camsim::Recording& recording) {
    return recording.waitFor(camsim::Channel::Control, kSerialMessage, 5000);
}

// A control connection logged in by hand, as a plain client would.
bool plainLogin(platform::TcpSocket& socket, uint16_t port) {
    if (!socket.connect("127.0.0.1", port, 1000)) return false;
    socket.setNoDelay(true);
    uint8_t block[128] = {};
    std::memcpy(block, "admin", 5);
    transport::putUint32Le(block + 32, 1);
    std::memcpy(block + 64, "admin", 5);
    uint8_t answer[128];
    return socket.sendAll(block, sizeof block) &&
           socket.receiveAll(answer, sizeof answer).status == platform::RecvStatus::Ok &&
           transport::getUint32Le(answer) == 0;
}

} // namespace

int main() {
    camsim::V2Camera camera(camsim::quietCameraOptions());
    if (!camera.start()) {
        std::fprintf(stderr, "camera did not start\n");
        return 1;
    }

    const auto folder = std::filesystem::temp_directory_path() / "ostrel-ptz-bench";
    std::filesystem::create_directories(folder);
    const std::string protocol = (folder / "bench.ptz").string();
    std::ofstream(protocol) << "[ATTRIBUTES]\nADDRIDSTART;0x01\nADDRIDPOS;2\nCHECKSUM;$B7=$B2+$B3+$B4+$B5+$B6\n"
                               "[PANTILT]\nPANLEFT;3;0;0xFF,0x00,0x00,0x04,0x18,0x00,0x00\n";

    // The stream's own time-outs stand still: only the requests are measured.
    platform::ManualClock standing;
    ostrel::Seams seams;
    seams.clock = &standing;
    seams.audioDevices = [] { return std::shared_ptr<platform::AudioDevices>(); };
    OstrelInterface* handle = ostrel::openInterface(seams);
    M_KSetStreamingType(handle, 2);
    MediaConfig c = camsim::loopbackMediaConfig(camera);
    PTZEnableInfo info{};
    info.sourceType = OSTREL_PTZ_SOURCE_FILE;
    std::strncpy(info.fileName, protocol.c_str(), sizeof info.fileName - 1);
    info.addressId = 1;
    if (M_KSetMediaConfig(handle, &c) != 1 || M_KEnablePTZProtocol(handle, 1, &info) != 1 || M_KConnect(handle) != 1) {
        std::fprintf(stderr, "stream client did not connect\n");
        return 1;
    }

    platform::TcpSocket plain;
    if (!plainLogin(plain, camera.controlPort())) {
        std::fprintf(stderr, "plain login failed\n");
        return 1;
    }
    uint8_t message[transport::kMessageHeaderSize + 7];
    const std::size_t messageSize = transport::buildMessage(message, kSerialMessage, kPanLeft.data(), kPanLeft.size());

    camsim::Recording& recording = camera.recording();
    std::vector<double> exportUs, plainUs, callUs;
    exportUs.reserve(kCommands);
    plainUs.reserve(kCommands);
    callUs.reserve(kCommands);
    for (int i = 0; i < kCommands; ++i) {
        recording.clear();
        auto t0 = Clock::now();
        if (M_KPTZ_LEFT(handle, 3) != 1) {
            std::fprintf(stderr, "request %d failed\n", i);
            return 1;
        }
        auto t1 = Clock::now();
        if (!waitArrived(recording)) return 1;
        auto t2 = Clock::now();
        exportUs.push_back(std::chrono::duration<double, std::micro>(t2 - t0).count());
        callUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());

        recording.clear();
        t0 = Clock::now();
        if (!plain.sendAll(message, messageSize)) return 1;
        if (!waitArrived(recording)) return 1;
        t2 = Clock::now();
        plainUs.push_back(std::chrono::duration<double, std::micro>(t2 - t0).count());
    }

    std::printf("PTZ request to bytes at the camera, %d commands each, loopback, microseconds\n", kCommands);
    std::printf("  M_KPTZ_LEFT    median %8.1f   p99 %8.1f   (call returns: median %.1f)\n", percentile(exportUs, 0.5),
                percentile(exportUs, 0.99), percentile(callUs, 0.5));
    std::printf("  plain send     median %8.1f   p99 %8.1f\n", percentile(plainUs, 0.5), percentile(plainUs, 0.99));
    std::printf("  ratio export/plain: median %.2f   p99 %.2f\n", percentile(exportUs, 0.5) / percentile(plainUs, 0.5),
                percentile(exportUs, 0.99) / percentile(plainUs, 0.99));

    M_KDisconnect(handle);
    M_KCloseInterface(handle);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
