// The machine's audio devices through PortAudio.
#include "platform/audio.h"

#include <portaudio.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {

// Seconds of sound an output queues at most.
constexpr int kQueueSeconds = 4;

// PortAudio's start and stop are process-wide and must not run concurrently.
std::mutex& soundSystemLock() {
    static std::mutex lock;
    return lock;
}

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
void quietJack(const char*) {}

// The sound libraries under PortAudio print their probing of absent cards and
// servers to stderr; on a machine without sound that is dozens of lines per
// start. They are silenced when they are loaded at all.
void silenceSoundLibraries() {
    if (void* alsa = ::dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD)) {
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(::dlsym(alsa, "snd_lib_error_set_handler"))) set(&quietAlsa);
        ::dlclose(alsa);
    }
    if (void* jack = ::dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD)) {
        using SetFunction = void (*)(void (*)(const char*));
        if (auto set = reinterpret_cast<SetFunction>(::dlsym(jack, "jack_set_error_function"))) set(&quietJack);
        if (auto set = reinterpret_cast<SetFunction>(::dlsym(jack, "jack_set_info_function"))) set(&quietJack);
        ::dlclose(jack);
    }
}

// One start of PortAudio; stopped when the last user lets go.
class SoundSystem {
public:
    static std::shared_ptr<SoundSystem> start() {
        std::lock_guard lock(soundSystemLock());
        silenceSoundLibraries();
        if (Pa_Initialize() != paNoError) return nullptr;
        return std::shared_ptr<SoundSystem>(new SoundSystem());
    }
    ~SoundSystem() {
        std::lock_guard lock(soundSystemLock());
        Pa_Terminate();
    }
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

private:
    SoundSystem() = default;
};

// Device parameters for the default device of a direction, at the format's
// rate or, when the device refuses it, at its own rate if that is a whole
// multiple of the format's (samples are then repeated or skipped).
struct OpenPlan {
    PaStreamParameters params{};
    double rate = 0;
    int ratio = 1;
};

bool planFor(bool output, const AudioFormat& format, OpenPlan& plan) {
    const PaDeviceIndex device = output ? Pa_GetDefaultOutputDevice() : Pa_GetDefaultInputDevice();
    if (device == paNoDevice) return false;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr) return false;
    plan.params.device = device;
    plan.params.channelCount = format.channels;
    plan.params.sampleFormat = paInt16;
    plan.params.suggestedLatency = output ? info->defaultHighOutputLatency : info->defaultHighInputLatency;
    plan.params.hostApiSpecificStreamInfo = nullptr;
    const PaStreamParameters* in = output ? nullptr : &plan.params;
    const PaStreamParameters* out = output ? &plan.params : nullptr;
    if (Pa_IsFormatSupported(in, out, format.sampleRate) == paFormatIsSupported) {
        plan.rate = format.sampleRate;
        plan.ratio = 1;
        return true;
    }
    const int own = static_cast<int>(info->defaultSampleRate);
    if (own > format.sampleRate && own % format.sampleRate == 0 &&
        Pa_IsFormatSupported(in, out, own) == paFormatIsSupported) {
        plan.rate = own;
        plan.ratio = own / format.sampleRate;
        return true;
    }
    return false;
}

int countDevices(bool output) {
    int n = 0;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info != nullptr && (output ? info->maxOutputChannels : info->maxInputChannels) > 0) ++n;
    }
    return n;
}

class PortAudioOutput final : public AudioOutput {
public:
    explicit PortAudioOutput(std::shared_ptr<SoundSystem> sound) : sound_(std::move(sound)) {}
    ~PortAudioOutput() override { close(); }

    bool open(const AudioFormat& format) override {
        if (stream_ != nullptr || !sound_ || !format.supported()) return false;
        std::lock_guard system(soundSystemLock());
        OpenPlan plan;
        if (!planFor(true, format, plan)) return false;
        channels_ = format.channels;
        ratio_ = plan.ratio;
        {
            std::lock_guard lock(mutex_);
            ring_.assign(static_cast<std::size_t>(plan.rate) * channels_ * kQueueSeconds, 0);
            head_ = 0;
            size_ = 0;
        }
        PaStream* stream = nullptr;
        if (Pa_OpenStream(&stream, nullptr, &plan.params, plan.rate, paFramesPerBufferUnspecified, paNoFlag,
                          &PortAudioOutput::callback, this) != paNoError) {
            return false;
        }
        if (Pa_StartStream(stream) != paNoError) {
            Pa_CloseStream(stream);
            return false;
        }
        stream_ = stream;
        return true;
    }

    bool isOpen() const override { return stream_ != nullptr; }

    bool write(const void* data, std::size_t bytes) override {
        if (stream_ == nullptr || data == nullptr) return false;
        const std::size_t samples = bytes / 2;
        const uint32_t volume = volume_.load();
        const int gain[2] = {static_cast<int>(volume & 0xFFFF), static_cast<int>(volume >> 16)};
        std::lock_guard lock(mutex_);
        if (size_ + samples * static_cast<std::size_t>(ratio_) > ring_.size()) return false;
        const auto* p = static_cast<const uint8_t*>(data);
        for (std::size_t i = 0; i < samples; i += static_cast<std::size_t>(channels_)) {
            for (int r = 0; r < ratio_; ++r) {
                for (int c = 0; c < channels_ && i + c < samples; ++c) {
                    int16_t s;
                    std::memcpy(&s, p + 2 * (i + c), 2);
                    push(static_cast<int16_t>(s * gain[c] / 0xFFFF));
                }
            }
        }
        return true;
    }

    void reset() override {
        std::lock_guard lock(mutex_);
        size_ = 0;
    }

    uint32_t volume() const override { return volume_.load(); }
    void setVolume(uint32_t volume) override { volume_.store(volume); }

    void close() override {
        if (stream_ == nullptr) return;
        std::lock_guard system(soundSystemLock());
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
    }

private:
    void push(int16_t s) {
        ring_[(head_ + size_) % ring_.size()] = s;
        ++size_;
    }

    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self) {
        auto* me = static_cast<PortAudioOutput*>(self);
        auto* out = static_cast<int16_t*>(output);
        const std::size_t wanted = frames * static_cast<std::size_t>(me->channels_);
        std::lock_guard lock(me->mutex_);
        std::size_t i = 0;
        for (; i < wanted && me->size_ > 0; ++i) {
            out[i] = me->ring_[me->head_];
            me->head_ = (me->head_ + 1) % me->ring_.size();
            --me->size_;
        }
        for (; i < wanted; ++i) out[i] = 0; // nothing queued: silence
        return paContinue;
    }

    std::shared_ptr<SoundSystem> sound_;
    PaStream* stream_ = nullptr;
    int channels_ = 1;
    int ratio_ = 1;
    std::atomic<uint32_t> volume_{kFullVolume};
    std::mutex mutex_; // the queue, shared with PortAudio's callback thread
    std::vector<int16_t> ring_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

class PortAudioInput final : public AudioInput {
public:
    explicit PortAudioInput(std::shared_ptr<SoundSystem> sound) : sound_(std::move(sound)) {}
    ~PortAudioInput() override { close(); }

    bool open(const AudioFormat& format, std::size_t bufferBytes, BufferHandler handler) override {
        if (stream_ != nullptr || !sound_ || !format.supported() || bufferBytes == 0 || !handler) return false;
        std::lock_guard system(soundSystemLock());
        OpenPlan plan;
        if (!planFor(false, format, plan)) return false;
        PaStream* stream = nullptr;
        if (Pa_OpenStream(&stream, &plan.params, nullptr, plan.rate, paFramesPerBufferUnspecified, paNoFlag, nullptr,
                          nullptr) != paNoError) {
            return false;
        }
        stream_ = stream;
        channels_ = format.channels;
        ratio_ = plan.ratio;
        chunkFrames_ = static_cast<unsigned long>(plan.rate / 50); // 20 ms per read
        buffer_.assign(bufferBytes, 0);
        handler_ = std::move(handler);
        return true;
    }

    bool isOpen() const override { return stream_ != nullptr; }

    bool start() override {
        if (stream_ == nullptr) return false;
        if (thread_.joinable()) return true;
        {
            std::lock_guard system(soundSystemLock());
            if (Pa_StartStream(stream_) != paNoError) return false;
        }
        running_ = true;
        thread_ = std::thread([this] { run(); });
        return true;
    }

    void stop() override {
        if (!thread_.joinable()) return;
        running_ = false;
        thread_.join();
        std::lock_guard system(soundSystemLock());
        Pa_StopStream(stream_);
    }

    void close() override {
        stop();
        if (stream_ == nullptr) return;
        std::lock_guard system(soundSystemLock());
        Pa_CloseStream(stream_);
        stream_ = nullptr;
        handler_ = nullptr;
    }

private:
    // The device thread: short reads, so a stop is noticed within 20 ms.
    void run() {
        std::vector<int16_t> chunk(chunkFrames_ * static_cast<std::size_t>(channels_));
        std::size_t filled = 0;
        unsigned long phase = 0;
        const std::size_t frameBytes = static_cast<std::size_t>(channels_) * 2;
        while (running_) {
            const PaError e = Pa_ReadStream(stream_, chunk.data(), chunkFrames_);
            if (e != paNoError && e != paInputOverflowed) break; // the device went away
            for (unsigned long f = 0; f < chunkFrames_; ++f, ++phase) {
                if (phase % static_cast<unsigned long>(ratio_) != 0) continue;
                const std::size_t take = std::min(frameBytes, buffer_.size() - filled);
                std::memcpy(buffer_.data() + filled, chunk.data() + f * static_cast<std::size_t>(channels_), take);
                filled += take;
                if (filled == buffer_.size()) {
                    handler_(buffer_.data(), buffer_.size());
                    filled = 0;
                }
            }
        }
    }

    std::shared_ptr<SoundSystem> sound_;
    PaStream* stream_ = nullptr;
    int channels_ = 1;
    int ratio_ = 1;
    unsigned long chunkFrames_ = 160;
    std::vector<uint8_t> buffer_;
    BufferHandler handler_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

class PortAudioDevices final : public AudioDevices {
public:
    int outputDeviceCount() override {
        auto s = sound();
        if (!s) return 0;
        std::lock_guard lock(soundSystemLock());
        return countDevices(true);
    }
    int inputDeviceCount() override {
        auto s = sound();
        if (!s) return 0;
        std::lock_guard lock(soundSystemLock());
        return countDevices(false);
    }
    std::unique_ptr<AudioOutput> makeOutput() override { return std::make_unique<PortAudioOutput>(sound()); }
    std::unique_ptr<AudioInput> makeInput() override { return std::make_unique<PortAudioInput>(sound()); }

private:
    // Started on first use, so that callers that never touch audio never
    // probe the sound hardware.
    std::shared_ptr<SoundSystem> sound() {
        std::lock_guard lock(mutex_);
        if (!sound_ && !failed_) {
            sound_ = SoundSystem::start();
            failed_ = !sound_;
        }
        return sound_;
    }

    std::mutex mutex_;
    std::shared_ptr<SoundSystem> sound_;
    bool failed_ = false;
};

} // namespace

std::unique_ptr<AudioDevices> makeSystemAudioDevices() { return std::make_unique<PortAudioDevices>(); }

} // namespace platform
