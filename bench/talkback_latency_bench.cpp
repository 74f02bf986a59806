// Talk-back latency: from the microphone (the stream client's capture
// callback) to the simulated camera, with time-stamped tones. Every other
// 256 ms microphone buffer is a 1 kHz tone burst; the capture callback's
// time of each burst is taken as it is handed to the stream client, and the
// camera's time is when its speaker got the decoded samples in which the
// burst begins. ONVIF cameras (audio back channel, GStreamer on both sides)
// are measured, and a protocol 2 camera (raw PCM on the token connection)
// in the same run as the baseline.
//
//   talkback_latency_bench [--bursts N] [--codec pcmu|pcma|aac]
//
// Prints median and 90th percentile in milliseconds of each, and the ratio
// of the medians.
#include <ostrel/stream_client.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "camsim/recording.h"
#include "camsim/simulated_camera.h"
#include "camsim/talk_receiver.h"
#include "camsim/v2_camera.h"
#include "interface_object.h"
#include "platform/audio_fake.h"
#include "platform/network_guard.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kBufferSamples = 2048;
constexpr auto kBufferTime = std::chrono::milliseconds(256);
constexpr uint32_t kAudioMessage = 55;

double nowMs() { return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count(); }

// The fake microphone, with the time of every capture callback kept.
class TimedInput final : public platform::AudioInput {
public:
    TimedInput(std::unique_ptr<platform::AudioInput> inner, std::mutex& mutex, std::vector<double>& times)
        : inner_(std::move(inner)), mutex_(mutex), times_(times) {}
    bool open(const platform::AudioFormat& format, std::size_t bytes, BufferHandler handler) override {
        return inner_->open(format, bytes, [this, handler](const uint8_t* data, std::size_t n) {
            {
                std::lock_guard lock(mutex_);
                times_.push_back(nowMs());
            }
            handler(data, n);
        });
    }
    bool isOpen() const override { return inner_->isOpen(); }
    bool start() override { return inner_->start(); }
    void stop() override { inner_->stop(); }
    void close() override { inner_->close(); }

private:
    std::unique_ptr<platform::AudioInput> inner_;
    std::mutex& mutex_;
    std::vector<double>& times_;
};

class TimedDevices final : public platform::AudioDevices {
public:
    int outputDeviceCount() override { return 0; }
    int inputDeviceCount() override { return 1; }
    std::unique_ptr<platform::AudioOutput> makeOutput() override { return nullptr; }
    std::unique_ptr<platform::AudioInput> makeInput() override {
        return std::make_unique<TimedInput>(fake.makeInput(), mutex, callbacks);
    }
    std::vector<double> times() {
        std::lock_guard lock(mutex);
        return callbacks;
    }

    platform::FakeAudioDevices fake;
    std::mutex mutex;
    std::vector<double> callbacks;
};

std::vector<uint8_t> buffer(bool tone) {
    std::vector<uint8_t> bytes(kBufferSamples * 2, 0);
    for (std::size_t i = 0; tone && i < kBufferSamples; ++i) {
        const auto v = static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * 1000 * i / 8000.0));
        std::memcpy(&bytes[2 * i], &v, 2);
    }
    return bytes;
}

struct Figures {
    double median = 0;
    double p90 = 0;
    std::size_t count = 0;
};

Figures figures(std::vector<double> v) {
    Figures f;
    f.count = v.size();
    if (v.empty()) return f;
    std::sort(v.begin(), v.end());
    f.median = v[v.size() / 2];
    f.p90 = v[std::min(v.size() - 1, v.size() * 9 / 10)];
    return f;
}

OstrelInterface* openTalking(const std::shared_ptr<TimedDevices>& devices, int streamingType, const MediaConfig& c) {
    ostrel::Seams seams;
    seams.audioDevices = [devices] { return devices; };
    OstrelInterface* h = ostrel::openInterface(seams);
    M_KSetStreamingType(h, streamingType);
    M_KSetMediaConfig(h, &c);
    if ((streamingType == camsim::kOnvifStreamingType && M_KConnect(h) == 0) || M_KGetAudioToken(h, nullptr) == 0 ||
        M_KStartAudioTransfer(h) == 0) {
        char reason[256] = "";
        M_KGetAudioOutReason(h, reason, sizeof reason);
        std::fprintf(stderr, "no talk-back on streaming type %d: %s\n", streamingType, reason);
        M_KCloseInterface(h);
        return nullptr;
    }
    return h;
}

// Silence, tone, silence, tone ... one buffer every 256 ms; calls arrived(k)
// after pushing buffer k. The times of the tone buffers' callbacks.
template <typename Arrived>
std::vector<double> speak(TimedDevices& devices, int bursts, Arrived arrived) {
    const auto start = Clock::now();
    for (int k = 0; k < 2 * bursts; ++k) {
        std::this_thread::sleep_until(start + k * kBufferTime);
        devices.fake.pushInput(buffer(k % 2 == 1));
        devices.fake.waitInputDrained(1000);
        arrived(k);
    }
    std::vector<double> tones;
    const std::vector<double> all = devices.times();
    for (std::size_t k = 1; k < all.size(); k += 2) tones.push_back(all[k]);
    return tones;
}

// Where each burst begins in what the speaker heard: a loud sample after
// a quiet stretch; its piece's arrival time.
std::vector<double> onsets(const camsim::TalkReceiver& talk) {
    const std::vector<int16_t> s = talk.samples();
    const std::vector<camsim::TalkPiece> pieces = talk.pieces();
    std::vector<double> times;
    std::size_t quiet = 0;
    std::size_t piece = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (std::abs(s[i]) > 2000 && quiet >= 400) {
            while (piece + 1 < pieces.size() && pieces[piece].firstSample + pieces[piece].count <= i) ++piece;
            times.push_back(static_cast<double>(pieces[piece].arrivalMs));
        }
        quiet = std::abs(s[i]) < 500 ? quiet + 1 : 0;
    }
    return times;
}

Figures onvif(int bursts, camsim::TalkCodec codec) {
    camsim::SimulatedCameraSettings s;
    s.streamingType = camsim::kOnvifStreamingType;
    s.options = camsim::quietCameraOptions();
    s.rtsp.audio = false;
    s.talkCodec = codec;
    camsim::SimulatedCamera camera(s);
    if (!camera.start()) {
        std::fprintf(stderr, "ONVIF camera: %s\n", camera.error().c_str());
        return {};
    }
    auto devices = std::make_shared<TimedDevices>();
    OstrelInterface* h = openTalking(devices, camsim::kOnvifStreamingType, camera.mediaConfig(2));
    if (h == nullptr) return {};
    const std::vector<double> sent = speak(*devices, bursts, [](int) {});
    // A packet's worth of the last buffer waits in the payloader for more.
    camera.talk()->waitForSamples(kBufferSamples * 2 * static_cast<std::size_t>(bursts) - 160, 3000);
    const std::vector<double> heard = onsets(*camera.talk());
    M_KFreeAudioToken(h);
    M_KDisconnect(h);
    M_KCloseInterface(h);
    std::vector<double> latency;
    for (std::size_t i = 0; i < std::min(sent.size(), heard.size()); ++i) latency.push_back(heard[i] - sent[i]);
    if (heard.size() != sent.size()) std::fprintf(stderr, "%zu bursts sent, %zu heard\n", sent.size(), heard.size());
    return figures(latency);
}

Figures protocol2(int bursts) {
    camsim::V2Camera camera(camsim::quietCameraOptions());
    if (!camera.start()) return {};
    auto devices = std::make_shared<TimedDevices>();
    OstrelInterface* h = openTalking(devices, 2, camsim::loopbackMediaConfig(camera));
    if (h == nullptr) return {};
    std::vector<double> arrivals;
    uint64_t last = 0;
    const std::vector<double> sent = speak(*devices, bursts, [&](int k) {
        camsim::ReceivedMessage m;
        camera.recording().waitFor(
            [&](const camsim::ReceivedMessage& r) { return r.type == kAudioMessage && r.sequence > last; }, 2000, &m);
        last = m.sequence;
        if (k % 2 == 1) arrivals.push_back(nowMs());
    });
    M_KFreeAudioToken(h);
    M_KCloseInterface(h);
    std::vector<double> latency;
    for (std::size_t i = 0; i < std::min(sent.size(), arrivals.size()); ++i) latency.push_back(arrivals[i] - sent[i]);
    return figures(latency);
}

void print(const char* what, const Figures& f) {
    std::printf("%-34s median %7.1f ms   p90 %7.1f ms   (%zu bursts)\n", what, f.median, f.p90, f.count);
}

} // namespace

int main(int argc, char** argv) {
    platform::enableLoopbackOnly();
    int bursts = 20;
    camsim::TalkCodec codec = camsim::TalkCodec::Pcmu;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--bursts") bursts = std::max(1, std::atoi(argv[i + 1]));
        if (arg == "--codec" && !camsim::parseTalkCodec(argv[i + 1], codec)) {
            std::fprintf(stderr, "unknown codec %s\n", argv[i + 1]);
            return 64;
        }
    }
    const Figures base = protocol2(bursts);
    const Figures back = onvif(bursts, codec);
    print("protocol 2 token connection", base);
    print((std::string("ONVIF back channel, ") + camsim::talkCodecName(codec)).c_str(), back);
    if (base.median > 0) std::printf("ratio of medians (ONVIF / protocol 2): %.1f\n", back.median / base.median);
    return back.count > 0 && back.median <= 300 ? 0 : 1;
}
