// Frame throughput of the protocol version 1 plug-in's M_XGetNextFrame from
// the simulated camera over loopback, against a plain loop that reads the
// same camera bytes from a socket into a buffer, in the same run. Prints the
// ratio per mix at the end (target: at least 0.8).
#include "camsim/v1_camera.h"
#include "platform/tcp_socket.h"
#include "transport/contract.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern "C" {
void* M_XInit(void);
void M_XExit(void*);
int32_t M_XSetMediaConfig(void*, const MediaConfig*);
int32_t M_XConnect(void*);
int32_t M_XStartStreaming(void*);
int32_t M_XGetNextFrame(void*, int32_t*, uint8_t*, int32_t);
int32_t M_XStopStreaming(void*);
int32_t M_XDisconnect(void*);
}

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

std::map<std::string, double>& rates() {
    static std::map<std::string, double> r;
    return r;
}

void BM_PluginGetNextFrame(benchmark::State& state) {
    const camsim::SyntheticVideoOptions o = mix(state);
    camsim::CameraOptions options;
    options.paceFrames = false;
    options.video.resolutionCode = 0;
    options.video.frameRate = 30;
    options.sourceFactory = [o] { return std::make_unique<camsim::SyntheticVideoSource>(o); };
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

// Sends the same group bytes as fast as the reader takes them.
class PlainSender {
public:
    explicit PlainSender(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        listener_.listen("127.0.0.1", 0);
        thread_ = std::thread([this] {
            peer_ = listener_.accept(5000);
            ready_.store(true);
            while (!stop_.load() && peer_.sendAll(bytes_.data(), bytes_.size())) {
            }
        });
    }
    ~PlainSender() {
        stop_.store(true);
        listener_.shutdown();
        while (!ready_.load()) std::this_thread::yield();
        peer_.shutdown();
        thread_.join();
    }
    uint16_t port() const { return listener_.port(); }

private:
    std::vector<uint8_t> bytes_;
    platform::TcpListener listener_;
    platform::TcpSocket peer_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ready_{false};
    std::thread thread_;
};

void BM_PlainSocketRead(benchmark::State& state) {
    const std::vector<uint8_t> group = groupBytes(mix(state));
    PlainSender sender(group);
    platform::TcpSocket s;
    if (!s.connect("127.0.0.1", sender.port(), 2000)) {
        state.SkipWithError("no connection");
        return;
    }
    s.setReceiveTimeout(2000);
    auto buffer = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    std::size_t carry = 0;
    for (auto _ : state) {
        std::size_t got = carry;
        while (got < group.size()) {
            const platform::RecvResult r = s.receiveSome(buffer.get(), transport::kFrameBufferSize);
            if (r.status != platform::RecvStatus::Ok) {
                state.SkipWithError("read failed");
                break;
            }
            got += r.bytes;
        }
        carry = got - group.size();
    }
    state.SetItemsProcessed(state.iterations() * kGroup);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(group.size()));
    s.shutdown();
}

// 720x480 mixes: large pictures (about 4.5 Mbit/s at 30 frames/s) and small ones.
#define MIXES Args({60000, 12000})->Args({20000, 4000})->Args({8000, 1500})
BENCHMARK(BM_PlainSocketRead)->MIXES->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PluginGetNextFrame)->MIXES->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PlainSocketRead)->MIXES->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PluginGetNextFrame)->MIXES->MinTime(1.0)->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            auto it = run.counters.find("items_per_second");
            if (it != run.counters.end() && !run.error_occurred) {
                double& best = rates()[run.benchmark_name()];
                best = std::max(best, static_cast<double>(it->second));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& [name, plugin] : rates()) {
        const std::string prefix = "BM_PluginGetNextFrame";
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string args = name.substr(prefix.size());
        const auto plain = rates().find("BM_PlainSocketRead" + args);
        if (plain == rates().end() || plain->second <= 0) continue;
        std::printf("mix%s: M_XGetNextFrame %.0f frames/s, plain read %.0f frames/s, ratio %.3f (target >= 0.8)\n",
                    args.c_str(), plugin, plain->second, plugin / plain->second);
    }
    benchmark::Shutdown();
    return 0;
}
