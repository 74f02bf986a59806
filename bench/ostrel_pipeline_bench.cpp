// A 720 x 480, 30 pictures/s stream from the simulated camera through the
// stream client (protocol 2 plug-in, decoder plug-in, render thread) into a
// test surface, against decoding the same elementary stream with libavcodec
// alone and with the decoder plug-in alone. Also counts memory allocations
// made on the stream client's threads while it streams.
//
//   ostrel_pipeline_bench [seconds of video, default 10] [texture, default 12]
//
// Texture 12 gives pictures that cost what camera pictures cost to code and
// decode (about 1.2 Mbit/s); texture 0 gives flat colours that decode almost
// for free, so that only the pipeline's fixed cost per picture shows.
extern "C" {
#include <libavcodec/avcodec.h>
}

#include <ostrel/stream_client.h>
#include <pthread.h>
#include <time.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "camsim/camera_sources.h"
#include "camsim/encoded_video_source.h"
#include "camsim/simulated_camera.h"
#include "camsim/v2_camera.h"
#include "decoder/contract.h"
#include "interface_object.h"
#include "platform/function_table.h"
#include "platform/libav_owners.h"
#include "platform/module.h"
#include "platform/surface.h"

// ---- allocation counting on chosen threads ----
// The replaced operators pair malloc with free; the compiler cannot see that
// through inlining and warns.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

std::atomic<std::thread::id> watchedThreads[3];
std::atomic<long> watchedAllocations[3];
std::atomic<bool> counting{false};

void noteAllocation() {
    if (!counting.load(std::memory_order_relaxed)) return;
    const std::thread::id self = std::this_thread::get_id();
    for (int i = 0; i < 3; ++i) {
        if (watchedThreads[i].load(std::memory_order_relaxed) == self) {
            watchedAllocations[i].fetch_add(1, std::memory_order_relaxed);
        }
    }
}

} // namespace

void* operator new(std::size_t n) {
    noteAllocation();
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    noteAllocation();
    return std::malloc(n == 0 ? 1 : n);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

double threadCpuSeconds(std::thread& t) {
    clockid_t id{};
    if (pthread_getcpuclockid(t.native_handle(), &id) != 0) return 0;
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Pre-encoded frames replayed by the camera, so encoding costs nothing while
// the pipeline is measured.
class ReplaySource final : public camsim::VideoSource {
public:
    ReplaySource(const std::vector<camsim::VideoFrame>& frames, std::vector<uint8_t> header)
        : frames_(frames), header_(std::move(header)) {}
    bool nextFrame(camsim::VideoFrame& frame) override {
        if (next_ >= frames_.size()) return false;
        frame = frames_[next_++];
        return true;
    }
    int width() const override { return 720; }
    int height() const override { return 480; }
    int frameRate() const override { return 30; }
    std::vector<uint8_t> sequenceHeader() const override { return header_; }

private:
    const std::vector<camsim::VideoFrame>& frames_;
    std::vector<uint8_t> header_;
    std::size_t next_ = 0;
};

// A window that takes the picture and does nothing with it.
class NullSurface final : public platform::Surface {
public:
    void stretchDraw(const platform::PictureView&, const platform::SurfaceRect&) override { ++drawn; }
    void drawText(const std::u16string&, const platform::SurfaceRect&, platform::SurfaceColor,
                  platform::SurfaceColor) override {}
    platform::SurfaceSize clientSize() const override { return {720, 480}; }
    std::atomic<long> drawn{0};
};

void countRendered(void* user) { ++*static_cast<std::atomic<long>*>(user); }

// One frame's bytes as the decoder is given them.
std::vector<uint8_t> elementary(const camsim::VideoFrame& f, const std::vector<uint8_t>& header) {
    std::vector<uint8_t> d = f.intra ? header : std::vector<uint8_t>();
    d.insert(d.end(), f.data.begin(), f.data.end());
    return d;
}

// Decodes the stream back to back, or paced like a camera (33 ms apart) so the
// caches are as cold as they are in the pipeline.
double bareLibavcodec(const std::vector<std::vector<uint8_t>>& stream, long& pictures, bool paced) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    const platform::av::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->thread_count = 1;
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return -1;
    const platform::av::PacketPtr packet(av_packet_alloc());
    const platform::av::FramePtr frame(av_frame_alloc());
    const double start = processCpuSeconds();
    for (const auto& data : stream) {
        packet->data = const_cast<uint8_t*>(data.data());
        packet->size = static_cast<int>(data.size());
        if (paced) std::this_thread::sleep_for(std::chrono::microseconds(33333));
        if (avcodec_send_packet(ctx.get(), packet.get()) < 0) continue;
        while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) ++pictures;
    }
    return processCpuSeconds() - start;
}

double decoderPlugin(const std::vector<std::vector<uint8_t>>& stream, long& pictures) {
    platform::Module m;
    decoder::FunctionTable x;
    if (!m.load("Quillon-M") || platform::bindFunctionTable(m, x) != nullptr || x.exit == nullptr) return -1;
    void* d = x.init(nullptr);
    const double start = processCpuSeconds();
    for (const auto& data : stream) {
        if (x.decode(d, 720, 480, data.data(), static_cast<int32_t>(data.size()), 0, 0, 0) != nullptr) ++pictures;
    }
    const double cpu = processCpuSeconds() - start;
    x.exit(d);
    return cpu;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
    const int frameCount = seconds * 30;
    const int texture = argc > 2 ? std::max(0, std::atoi(argv[2])) : 12;

    camsim::CameraVideoSettings settings;
    settings.resolutionCode = 0; // 720 x 480
    settings.frameRate = 30;
    camsim::EncodedVideoOptions encoding;
    encoding.width = 720;
    encoding.height = 480;
    encoding.frameRate = 30;
    encoding.texture = texture;
    std::unique_ptr<camsim::VideoSource> source = camsim::EncodedVideoSource::create(encoding);
    if (!source) {
        std::fprintf(stderr, "the simulated camera cannot encode\n");
        return 1;
    }
    std::vector<camsim::VideoFrame> frames(static_cast<std::size_t>(frameCount));
    for (auto& f : frames) {
        if (!source->nextFrame(f)) {
            std::fprintf(stderr, "the simulated camera cannot encode\n");
            return 1;
        }
    }
    const std::vector<uint8_t> header = source->sequenceHeader();
    std::vector<std::vector<uint8_t>> stream;
    for (const auto& f : frames) stream.push_back(elementary(f, header));

    long barePictures = 0;
    const double bareCpu = bareLibavcodec(stream, barePictures, false);
    long pacedPictures = 0;
    const double pacedCpu = bareLibavcodec(stream, pacedPictures, true);
    long pluginPictures = 0;
    const double pluginCpu = decoderPlugin(stream, pluginPictures);

    // The pipeline, paced at 30 pictures/s like a camera.
    camsim::CameraOptions options;
    options.host = "127.0.0.1";
    options.video = settings;
    options.streamAudio = false;
    options.sourceFactory = [&] { return std::make_unique<ReplaySource>(frames, header); };
    camsim::V2Camera camera(options);
    if (!camera.start()) return 1;
    auto surface = std::make_shared<NullSurface>();
    const uint32_t window = platform::SurfaceRegistry::add(surface);

    OstrelInterface* h = M_KOpenInterface();
    std::atomic<long> rendered{0};
    M_KSetAfterRenderCallback(h, &rendered, countRendered);
    M_KSetStreamingType(h, 2);
    MediaConfig config = camsim::loopbackMediaConfig(camera);
    M_KSetMediaConfig(h, &config);
    RenderInfo info{};
    info.window = window;
    info.width = 720;
    info.height = 480;
    M_KSetRenderInfo(h, &info);

    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = processCpuSeconds();
    if (M_KConnect(h) != 1) {
        std::fprintf(stderr, "the stream client did not connect\n");
        return 1;
    }
    const std::array<std::thread*, 3> threads = h->session->threadsForMeasuring();
    for (std::size_t i = 0; i < threads.size(); ++i) watchedThreads[i] = threads[i]->get_id();
    // Count from the second second on, when every buffer exists.
    while (rendered.load() < 30) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const long countedFrom = rendered.load();
    counting = true;
    while (rendered.load() < frameCount - 15 &&
           std::chrono::steady_clock::now() - wallStart < std::chrono::seconds(seconds + 5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    counting = false;
    const long countedTo = rendered.load();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double pipelineCpu = processCpuSeconds() - cpuStart;
    const long pipelinePictures = rendered.load();
    const double receiveCpu = threadCpuSeconds(*threads[0]);
    const double renderCpu = threadCpuSeconds(*threads[1]);
    const double eventCpu = threadCpuSeconds(*threads[2]);
    M_KDisconnect(h);
    M_KCloseInterface(h);
    platform::SurfaceRegistry::remove(window);
    camera.stop();

    const double video = static_cast<double>(frameCount) / 30.0;
    const double shownVideo = static_cast<double>(pipelinePictures) / 30.0;
    std::printf("stream: 720x480, 30 pictures/s, texture %d, %d pictures (%.1f s of video)\n", texture, frameCount,
                video);
    std::printf("bare libavcodec decode : %ld pictures, %.3f CPU s = %.3f CPU s per s of video\n", barePictures,
                bareCpu, bareCpu / video);
    std::printf("bare decode, paced     : %ld pictures, %.3f CPU s = %.3f CPU s per s of video (caches cold as in a "
                "live stream)\n",
                pacedPictures, pacedCpu, pacedCpu / video);
    std::printf("decoder plug-in alone  : %ld pictures, %.3f CPU s = %.3f CPU s per s of video (+%.0f%% over bare)\n",
                pluginPictures, pluginCpu, pluginCpu / video, 100.0 * (pluginCpu / bareCpu - 1.0));
    std::printf("camsim -> Ostrel-M     : %ld pictures drawn in %.2f s (%.1f pictures/s), %.3f CPU s = %.3f CPU s "
                "per s of video (+%.0f%% over bare, +%.0f%% over the plug-in; includes the camera's sending)\n",
                pipelinePictures, wall, static_cast<double>(pipelinePictures) / wall, pipelineCpu,
                pipelineCpu / shownVideo, 100.0 * ((pipelineCpu / shownVideo) / (bareCpu / video) - 1.0),
                100.0 * ((pipelineCpu / shownVideo) / (pluginCpu / video) - 1.0));
    const double clientCpu = receiveCpu + renderCpu + eventCpu;
    std::printf("  of which the stream client's threads: receive %.3f (transport read + decode + copy), render %.3f, "
                "event %.3f CPU s = %.3f CPU s per s of video (+%.0f%% over the plug-in decoding the same pictures)\n",
                receiveCpu, renderCpu, eventCpu, clientCpu / shownVideo,
                100.0 * ((clientCpu / shownVideo) / (pluginCpu / video) - 1.0));
    std::printf("  stream client's threads against the paced bare decode: +%.0f%%\n",
                100.0 * ((clientCpu / shownVideo) / (pacedCpu / video) - 1.0));
    std::printf("allocations while %ld pictures streamed: receive thread %ld, render thread %ld, event thread %ld\n",
                countedTo - countedFrom, watchedAllocations[0].load(), watchedAllocations[1].load(),
                watchedAllocations[2].load());
    return 0;
}
