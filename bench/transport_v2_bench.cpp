// Frame throughput of the protocol version 2 plug-in's M_XGetNextFrame over
// loopback, against a plain socket read of the same byte stream in the same
// run (target: at least 0.9 of the plain read). Two ratios are printed:
// - separate runs: each reader alone while the sender keeps up;
// - interleaved: block by block in turns, so both see the same load; here
//   each reader starts on a full socket buffer with its sender parked, and
//   the plug-in's one receive per record meets the plain read's 256000-byte
//   receives, so read granularity dominates the result.
#include "platform/tcp_socket.h"
#include "transport/plugin_exports.h"
#include "transport/protocol_message.h"

#include <benchmark/benchmark.h>

#include "best_rate_reporter.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRecordsPerBlock = 30; // one intra record, then predicted ones: a 1 s group at 30 frames/s

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
// fast as the reader takes it, one thread per connection.
class FastCamera {
public:
    FastCamera() {
        listener_.listen("127.0.0.1", 0);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~FastCamera() {
        stop_ = true;
        listener_.shutdown();
        acceptor_.join();
        std::lock_guard lock(mutex_);
        for (auto& c : connections_) c->socket.shutdown();
        for (auto& c : connections_) c->thread.join();
    }
    uint16_t port() const { return listener_.port(); }

private:
    struct Connection {
        platform::TcpSocket socket;
        std::thread thread;
    };

    void acceptLoop() {
        while (!stop_) {
            platform::TcpSocket s = listener_.accept(100);
            if (!s.isOpen()) continue;
            std::lock_guard lock(mutex_);
            auto c = std::make_unique<Connection>();
            c->socket = std::move(s);
            Connection* raw = c.get();
            c->thread = std::thread([this, raw] { serve(raw->socket); });
            connections_.push_back(std::move(c));
        }
    }

    void serve(platform::TcpSocket& s) {
        uint8_t login[128];
        if (s.receiveAll(login, sizeof login).status != platform::RecvStatus::Ok) return;
        uint8_t answer[128] = {};
        transport::putUint32Le(answer + 4, 1);
        if (!s.sendAll(answer, sizeof answer)) return;
        const auto& b = block();
        while (!stop_ && s.sendAll(b.data(), b.size())) {}
    }

    platform::TcpListener listener_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::thread acceptor_;
};

FastCamera& camera() {
    static FastCamera c;
    return c;
}

double& interleavedRatio() {
    static double ratio = 0;
    return ratio;
}

// A plug-in instance streaming from the fast camera.
class PluginReader {
public:
    PluginReader() {
        MediaConfig config{};
        config.connectionType = 1;
        std::strcpy(config.cameraAddress, "127.0.0.1");
        config.streamingPort = camera().port();
        handle_ = M_XInit();
        M_XSetMediaConfig(handle_, &config);
        ok_ = M_XConnect(handle_) == 1 && M_XStartStreaming(handle_) == 1;
    }
    ~PluginReader() {
        M_XStopStreaming(handle_);
        M_XDisconnect(handle_);
        M_XExit(handle_);
    }
    bool ok() const { return ok_; }
    // Reads the records of one block; the bytes read, or -1.
    int64_t readBlock() {
        int64_t bytes = 0;
        for (int i = 0; i < kRecordsPerBlock; ++i) {
            int32_t kind = 0;
            const int32_t n = M_XGetNextFrame(handle_, &kind, buffer_.get(), transport::kFrameBufferSize);
            if (n <= 0) return -1;
            bytes += n;
        }
        return bytes;
    }

private:
    void* handle_ = nullptr;
    bool ok_ = false;
    std::unique_ptr<uint8_t[]> buffer_ = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
};

// The same stream read with plain receives into a buffer of the same size.
class PlainReader {
public:
    PlainReader() {
        uint8_t login[128] = {};
        uint8_t answer[128];
        ok_ = socket_.connect("127.0.0.1", camera().port(), 1000) && socket_.sendAll(login, sizeof login) &&
              socket_.receiveAll(answer, sizeof answer).status == platform::RecvStatus::Ok;
        socket_.setReceiveTimeout(1000);
    }
    bool ok() const { return ok_; }
    int64_t readBlock() {
        const std::size_t perBlock = block().size();
        std::size_t got = carry_;
        while (got < perBlock) {
            const platform::RecvResult r = socket_.receiveSome(buffer_.get(), transport::kFrameBufferSize);
            if (r.status != platform::RecvStatus::Ok) return -1;
            got += r.bytes;
        }
        carry_ = got - perBlock; // bytes read past this block
        return static_cast<int64_t>(perBlock);
    }

private:
    platform::TcpSocket socket_;
    bool ok_ = false;
    std::size_t carry_ = 0;
    std::unique_ptr<uint8_t[]> buffer_ = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
};

template <typename Reader>
void readBlocks(benchmark::State& state) {
    Reader reader;
    if (!reader.ok()) {
        state.SkipWithError("no stream");
        return;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        const int64_t n = reader.readBlock();
        if (n < 0) {
            state.SkipWithError("read failed");
            break;
        }
        bytes += n;
    }
    state.SetBytesProcessed(bytes);
}

void BM_PluginGetNextFrame(benchmark::State& state) { readBlocks<PluginReader>(state); }
void BM_PlainSocketRead(benchmark::State& state) { readBlocks<PlainReader>(state); }

// Both readers in turns, block by block, so that both see the same machine
// load; the ratio is the plug-in's throughput over the plain read's.
// The order alternates so neither reader always follows the other.
void BM_InterleavedRatio(benchmark::State& state) {
    PluginReader plugin;
    PlainReader plain;
    if (!plugin.ok() || !plain.ok()) {
        state.SkipWithError("no stream");
        return;
    }
    using Clock = std::chrono::steady_clock;
    Clock::duration pluginTime{}, plainTime{};
    int64_t pluginBytes = 0, plainBytes = 0;
    for (auto _ : state) {
        const bool pluginFirst = (pluginBytes / block().size()) % 2 == 0;
        int64_t a = 0, b = 0;
        auto t0 = Clock::now();
        if (pluginFirst)
            a = plugin.readBlock();
        else
            b = plain.readBlock();
        auto t1 = Clock::now();
        if (pluginFirst)
            b = plain.readBlock();
        else
            a = plugin.readBlock();
        auto t2 = Clock::now();
        if (a < 0 || b < 0) {
            state.SkipWithError("read failed");
            break;
        }
        pluginTime += pluginFirst ? t1 - t0 : t2 - t1;
        plainTime += pluginFirst ? t2 - t1 : t1 - t0;
        pluginBytes += a;
        plainBytes += b;
    }
    const double pluginRate = pluginBytes / std::chrono::duration<double>(pluginTime).count();
    const double plainRate = plainBytes / std::chrono::duration<double>(plainTime).count();
    state.counters["plugin_MBps"] = pluginRate / 1e6;
    state.counters["plain_MBps"] = plainRate / 1e6;
    state.counters["ratio"] = pluginRate / plainRate;
    interleavedRatio() = pluginRate / plainRate;
}

BENCHMARK(BM_PlainSocketRead)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PluginGetNextFrame)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_InterleavedRatio)->MinTime(4.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    BestRateReporter reporter("bytes_per_second");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double plugin = 0, plain = 0;
    for (const auto& [name, rate] : reporter.rates()) {
        if (name.find("BM_PluginGetNextFrame") == 0) plugin = std::max(plugin, rate);
        if (name.find("BM_PlainSocketRead") == 0) plain = std::max(plain, rate);
    }
    if (plugin > 0 && plain > 0) {
        std::printf(
            "separate runs: M_XGetNextFrame %.1f MB/s, plain socket read %.1f MB/s, ratio %.3f (target >= 0.9)\n",
            plugin / 1e6, plain / 1e6, plugin / plain);
    }
    if (interleavedRatio() > 0) {
        std::printf("interleaved (same load, full buffers): ratio %.3f\n", interleavedRatio());
    }
    benchmark::Shutdown();
    return 0;
}
