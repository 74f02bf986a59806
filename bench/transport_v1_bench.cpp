// Frame throughput of the protocol version 1 plug-in's M_XGetNextFrame from
// the simulated camera over loopback, against a plain loop that reads the
// same camera bytes from the same simulator into a buffer, in the same run. Prints the
// ratio per mix at the end (target: at least 0.8).
#include "camsim/v1_camera.h"
#include "fenwa10/md5.h"
#include "platform/tcp_socket.h"
#include "transport/plugin_exports.h"
#include "transport/protocol_message.h"

#include <benchmark/benchmark.h>

#include "best_rate_reporter.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kGroup = 15; // one intra picture, then predicted ones

// Picture sizes of a 720x480 stream: range(0) intra bytes, range(1) predicted.
camsim::SyntheticVideoOptions mix(const benchmark::State& state) {
    camsim::SyntheticVideoOptions o;
    o.width = 720;
    o.height = 480;
    o.frameRate = 30;
    o.gopLength = kGroup;
    o.intraSize = static_cast<std::size_t>(state.range(0));
    o.predictedSize = static_cast<std::size_t>(state.range(1));
    return o;
}

// The camera bytes of one group of pictures, as the simulator sends them.
std::vector<uint8_t> groupBytes(const camsim::SyntheticVideoOptions& o) {
    camsim::SyntheticVideoSource source(o);
    std::vector<uint8_t> out;
    for (int i = 0; i < kGroup; ++i) {
        camsim::VideoFrame f;
        source.nextFrame(f);
        auto m = camsim::V1Camera::videoMessage(f, 0);
        out.insert(out.end(), m.begin(), m.end());
    }
    return out;
}

// A camera streaming the mix as fast as its reader takes it.
camsim::CameraOptions cameraFor(const camsim::SyntheticVideoOptions& o) {
    camsim::CameraOptions options;
    options.paceFrames = false;
    options.video.resolutionCode = 0;
    options.video.frameRate = 30;
    options.sourceFactory = [o] { return std::make_unique<camsim::SyntheticVideoSource>(o); };
    return options;
}

void BM_PluginGetNextFrame(benchmark::State& state) {
    const camsim::SyntheticVideoOptions o = mix(state);
    const camsim::CameraOptions options = cameraFor(o);
    camsim::V1Camera camera(options);
    if (!camera.start()) {
        state.SkipWithError("camera did not start");
        return;
    }
    MediaConfig config{};
    config.connectionType = 2;
    std::strcpy(config.cameraAddress, "127.0.0.1");
    std::strcpy(config.userName, options.user.c_str());
    std::strcpy(config.password, options.password.c_str());
    config.registerPort = camera.loginPort();
    config.controlPort = camera.controlPort();
    config.streamingPort = camera.mediaPort();
    config.connectTimeoutSeconds = 2;
    void* h = M_XInit();
    M_XSetMediaConfig(h, &config);
    if (M_XConnect(h) != 1 || M_XStartStreaming(h) != 1) {
        state.SkipWithError("no stream");
        M_XExit(h);
        return;
    }
    auto buffer = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    const int64_t wireBytes = static_cast<int64_t>(groupBytes(o).size());
    for (auto _ : state) {
        for (int i = 0; i < kGroup; ++i) {
            int32_t kind = 0;
            if (M_XGetNextFrame(h, &kind, buffer.get(), transport::kFrameBufferSize) < 44) {
                state.SkipWithError("read failed");
                break;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kGroup);
    state.SetBytesProcessed(state.iterations() * wireBytes);
    M_XStopStreaming(h);
    M_XDisconnect(h);
    M_XExit(h);
}

bool sendMessage(platform::TcpSocket& s, uint32_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> m(12 + payload.size());
    transport::buildMessage(m.data(), type, payload.data(), payload.size());
    return s.sendAll(m.data(), m.size());
}

// Logs in and starts the stream by hand, so that the plain loop reads the
// very bytes the plug-in would, from the same simulator.
bool startRawStream(const camsim::V1Camera& camera, platform::TcpSocket& control, platform::TcpSocket& media) {
    platform::TcpSocket login;
    uint8_t reply[20];
    if (!login.connect("127.0.0.1", camera.loginPort(), 2000) || !login.setReceiveTimeout(5000) ||
        !sendMessage(login, 0, {}) || login.receiveAll(reply, 16).status != platform::RecvStatus::Ok) {
        return false;
    }
    const uint32_t number = transport::getUint32Le(reply + 12);
    std::vector<uint8_t> record(120, 0);
    const std::string user = fenwa10::Md5::hexDigest(camera.options().user);
    const std::string password = fenwa10::Md5::hexDigest(camera.options().password);
    std::memcpy(record.data(), user.data(), 32);
    std::memcpy(record.data() + 40, password.data(), 32);
    transport::putUint32Le(record.data() + 104, number);
    if (!sendMessage(login, 1, record) || login.receiveAll(reply, 20).status != platform::RecvStatus::Ok ||
        reply[12] == 0) {
        return false;
    }
    std::vector<uint8_t> attach(4);
    transport::putUint32Le(attach.data(), number);
    uint8_t header[33];
    return control.connect("127.0.0.1", camera.controlPort(), 2000) && sendMessage(control, 2, attach) &&
           control.setReceiveTimeout(5000) && control.receiveAll(reply, 20).status == platform::RecvStatus::Ok &&
           media.connect("127.0.0.1", camera.mediaPort(), 2000) && media.setReceiveTimeout(5000) &&
           sendMessage(media, 2, attach) && media.receiveAll(reply, 20).status == platform::RecvStatus::Ok &&
           reply[12] != 0 && sendMessage(control, 33, {}) &&
           media.receiveAll(header, sizeof header).status == platform::RecvStatus::Ok && sendMessage(control, 34, {});
}

void BM_PlainSocketRead(benchmark::State& state) {
    const camsim::SyntheticVideoOptions o = mix(state);
    const std::size_t perGroup = groupBytes(o).size();
    camsim::V1Camera camera(cameraFor(o));
    platform::TcpSocket control;
    platform::TcpSocket media;
    if (!camera.start() || !startRawStream(camera, control, media)) {
        state.SkipWithError("no stream");
        return;
    }
    auto buffer = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    std::size_t carry = 0;
    for (auto _ : state) {
        std::size_t got = carry;
        while (got < perGroup) {
            const platform::RecvResult r = media.receiveSome(buffer.get(), transport::kFrameBufferSize);
            if (r.status != platform::RecvStatus::Ok) {
                state.SkipWithError("read failed");
                break;
            }
            got += r.bytes;
        }
        carry = got - perGroup;
    }
    state.SetItemsProcessed(state.iterations() * kGroup);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(perGroup));
    media.shutdown();
    control.shutdown();
}

// 720x480 mixes: large pictures (about 4.5 Mbit/s at 30 frames/s) and small ones.
#define MIXES Args({60000, 12000})->Args({20000, 4000})->Args({8000, 1500})
BENCHMARK(BM_PlainSocketRead)->MIXES->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PluginGetNextFrame)->MIXES->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PlainSocketRead)->MIXES->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PluginGetNextFrame)->MIXES->MinTime(1.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    BestRateReporter reporter("items_per_second");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& [name, plugin] : reporter.rates()) {
        const std::string prefix = "BM_PluginGetNextFrame";
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string args = name.substr(prefix.size());
        const auto plain = reporter.rates().find("BM_PlainSocketRead" + args);
        if (plain == reporter.rates().end() || plain->second <= 0) continue;
        std::printf("mix%s: M_XGetNextFrame %.0f frames/s, plain read %.0f frames/s, ratio %.3f (target >= 0.8)\n",
                    args.c_str(), plugin, plain->second, plugin / plain->second);
    }
    benchmark::Shutdown();
    return 0;
}
