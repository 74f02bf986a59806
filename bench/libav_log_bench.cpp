// What routing libav's log costs per message, against libav's own callback
// (which drops trace messages at once): the trace message libavformat logs
// for every RTP packet, with no watch and with 16 streams' watches; one
// answer line a watch reads; and a flood of error messages while a sink
// listens, which the repeat limiter holds back. Compare the routed figures
// with the first as ratios.
#include <benchmark/benchmark.h>

#include "platform/diagnostics.h"
#include "platform/libav_log.h"

extern "C" {
#include <libavutil/log.h>
}

#include <memory>
#include <vector>

namespace {

struct FakeContext {
    const AVClass* component;
};

const AVClass& component() {
    static const AVClass c = [] {
        AVClass made{};
        made.class_name = "bench";
        made.item_name = av_default_item_name;
        made.version = LIBAVUTIL_VERSION_INT;
        return made;
    }();
    return c;
}

// 16 streams, each with the RTSP session's watch on its own context.
struct Streams {
    std::vector<FakeContext> contexts = std::vector<FakeContext>(16, FakeContext{&component()});
    std::vector<std::unique_ptr<platform::LibavLogWatch>> watches;
    Streams() {
        for (auto& c : contexts)
            watches.push_back(std::make_unique<platform::LibavLogWatch>(
                &c, std::vector<std::string>{"Sending:\n%s--\n", "line='%s'\n"},
                [](int, std::string_view m) { benchmark::DoNotOptimize(m.data()); }));
    }
};

void PacketTraceLibavCallback(benchmark::State& state) {
    av_log_set_callback(av_log_default_callback);
    FakeContext context{&component()};
    for (auto _ : state) av_log(&context, AV_LOG_TRACE, "id=%d len=%d\n", 0, 1400);
}

void PacketTraceRouted(benchmark::State& state) {
    platform::routeLibavLog();
    FakeContext context{&component()};
    for (auto _ : state) av_log(&context, AV_LOG_TRACE, "id=%d len=%d\n", 0, 1400);
}

void PacketTraceRoutedSixteenWatches(benchmark::State& state) {
    platform::routeLibavLog();
    Streams streams;
    for (auto _ : state) av_log(&streams.contexts[15], AV_LOG_TRACE, "id=%d len=%d\n", 0, 1400);
}

void AnswerLineRoutedSixteenWatches(benchmark::State& state) {
    platform::routeLibavLog();
    Streams streams;
    for (auto _ : state) av_log(&streams.contexts[15], AV_LOG_TRACE, "line='%s'\n", "CSeq: 7");
}

void ErrorFloodHeldBack(benchmark::State& state) {
    platform::routeLibavLog();
    platform::setDiagnosticSink([](const std::string& line) { benchmark::DoNotOptimize(line.data()); });
    FakeContext context{&component()};
    for (auto _ : state) av_log(&context, AV_LOG_ERROR, "non-existing PPS %d referenced\n", 0);
    platform::setDiagnosticSink({});
}

} // namespace

BENCHMARK(PacketTraceLibavCallback);
BENCHMARK(PacketTraceRouted);
BENCHMARK(PacketTraceRoutedSixteenWatches);
BENCHMARK(AnswerLineRoutedSixteenWatches);
BENCHMARK(ErrorFloodHeldBack);
BENCHMARK_MAIN();
