// Frame throughput of the protocol version 2 plug-in's M_XGetNextFrame over
// loopback, against a plain socket read of the same byte stream in the same
// run. Prints the ratio at the end (target: at least 0.9).
#include "platform/tcp_socket.h"
#include "transport/contract.h"
#include "transport/protocol_message.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
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

constexpr int kRecordsPerBlock = 30;  // one intra record, then predicted ones: a 1 s group at 30 frames/s

std::vector<uint8_t> record(std::size_t dataSize, uint8_t fill) {
    std::vector<uint8_t> r(transport::kFrameHeaderSize + dataSize, fill);
    std::memset(r.data(), 0, transport::kFrameHeaderSize);
    std::memcpy(r.data(), transport::kFrameStartCode, 4);
    r[4] = 1;
    transport::putUint32Le(r.data() + 8, static_cast<uint32_t>(r.size() - 12));
    return r;
}

// The bytes of one group of pictures, sent over and over.
const std::vector<uint8_t>& block() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> out;
        for (int i = 0; i < kRecordsPerBlock; ++i) {
            const auto r = record(i == 0 ? 40000 : 6000, static_cast<uint8_t>(0x40 + i));
            out.insert(out.end(), r.begin(), r.end());
        }
        return out;
    }();
    return bytes;
}

// A camera video channel that answers the login and then sends the block as
// fast as the reader takes it.
class FastCamera {
public:
    FastCamera() {
        listener_.listen("127.0.0.1", 0);
        thread_ = std::thread([this] { run(); });
    }
    ~FastCamera() {
        stop_ = true;
        listener_.shutdown();
        {
            std::lock_guard lock(mutex_);
            if (current_ != nullptr) current_->shutdown();
        }
        thread_.join();
    }
    uint16_t port() const { return listener_.port(); }

private:
    void run() {
        while (!stop_) {
            platform::TcpSocket s = listener_.accept(100);
            if (!s.isOpen()) continue;
            {
                std::lock_guard lock(mutex_);
                current_ = &s;
            }
            uint8_t login[128];
            if (s.receiveAll(login, sizeof login).status == platform::RecvStatus::Ok) {
                uint8_t answer[128] = {};
                transport::putUint32Le(answer + 4, 1);
                if (s.sendAll(answer, sizeof answer)) {
                    const auto& b = block();
                    while (!stop_ && s.sendAll(b.data(), b.size())) {
                    }
                }
            }
            std::lock_guard lock(mutex_);
            current_ = nullptr;
        }
    }

    platform::TcpListener listener_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    platform::TcpSocket* current_ = nullptr;
    std::thread thread_;
};

FastCamera& camera() {
    static FastCamera c;
    return c;
}

std::map<std::string, double>& rates() {
    static std::map<std::string, double> r;
    return r;
}

void BM_PluginGetNextFrame(benchmark::State& state) {
    MediaConfig config{};
    config.connectionType = 1;
    std::strcpy(config.cameraAddress, "127.0.0.1");
    config.streamingPort = camera().port();
    void* h = M_XInit();
    M_XSetMediaConfig(h, &config);
    if (M_XConnect(h) != 1 || M_XStartStreaming(h) != 1) {
        state.SkipWithError("no stream");
        M_XExit(h);
        return;
    }
    auto buffer = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < kRecordsPerBlock; ++i) {
            int32_t kind = 0;
            const int32_t n = M_XGetNextFrame(h, &kind, buffer.get(), transport::kFrameBufferSize);
            if (n <= 0) {
                state.SkipWithError("read failed");
                break;
            }
            bytes += n;
        }
    }
    state.SetBytesProcessed(bytes);
    M_XStopStreaming(h);
    M_XDisconnect(h);
    M_XExit(h);
}

void BM_PlainSocketRead(benchmark::State& state) {
    platform::TcpSocket s;
    uint8_t login[128] = {};
    uint8_t answer[128];
    if (!s.connect("127.0.0.1", camera().port(), 1000) || !s.sendAll(login, sizeof login) ||
        s.receiveAll(answer, sizeof answer).status != platform::RecvStatus::Ok) {
        state.SkipWithError("no stream");
        return;
    }
    s.setReceiveTimeout(1000);
    auto buffer = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    const std::size_t perBlock = block().size();
    std::size_t carry = 0;  // bytes read past the previous block
    int64_t bytes = 0;
    for (auto _ : state) {
        std::size_t got = carry;
        while (got < perBlock) {
            const platform::RecvResult r = s.receiveSome(buffer.get(), transport::kFrameBufferSize);
            if (r.status != platform::RecvStatus::Ok) {
                state.SkipWithError("read failed");
                break;
            }
            got += r.bytes;
        }
        carry = got - perBlock;
        bytes += static_cast<int64_t>(perBlock);
    }
    state.SetBytesProcessed(bytes);
}

BENCHMARK(BM_PlainSocketRead)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PluginGetNextFrame)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PlainSocketRead)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PluginGetNextFrame)->MinTime(2.0)->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            auto it = run.counters.find("bytes_per_second");
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
    double plugin = 0, plain = 0;
    for (const auto& [name, rate] : rates()) {
        if (name.find("BM_PluginGetNextFrame") == 0) plugin = std::max(plugin, rate);
        if (name.find("BM_PlainSocketRead") == 0) plain = std::max(plain, rate);
    }
    if (plugin > 0 && plain > 0) {
        std::printf("M_XGetNextFrame %.1f MB/s, plain socket read %.1f MB/s, ratio %.3f (target >= 0.9)\n",
                    plugin / 1e6, plain / 1e6, plugin / plain);
    }
    benchmark::Shutdown();
    return 0;
}
