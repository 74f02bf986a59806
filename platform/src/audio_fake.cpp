#include "platform/audio_fake.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace platform {

struct FakeAudioDevices::State {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    int outputs = 1;
    int inputs = 1;
    bool openFails = false;
    uint32_t initialOutputVolume = kFullVolume;
    std::vector<FakeAudioEvent> events;
    std::deque<uint8_t> capture;
    std::size_t bufferBytes = 1; // of the input opened last
    int handlersRunning = 0;
    int delivered = 0;

    void record(FakeAudioEvent e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
    }
};

namespace {

using State = FakeAudioDevices::State;

class FakeAudioOutput final : public AudioOutput {
public:
    explicit FakeAudioOutput(std::shared_ptr<State> state) : state_(std::move(state)) {
        std::lock_guard lock(state_->mutex);
        volume_ = state_->initialOutputVolume;
    }
    ~FakeAudioOutput() override { close(); }

    bool open(const AudioFormat& format) override {
        if (open_ || !format.supported()) return false;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->outputs <= 0 || state_->openFails) return false;
        }
        open_ = true;
        state_->record({FakeAudioEvent::Kind::Open, {}, 0});
        return true;
    }
    bool isOpen() const override { return open_; }
    bool write(const void* data, std::size_t bytes) override {
        if (!open_ || (data == nullptr && bytes > 0)) return false;
        const auto* p = static_cast<const uint8_t*>(data);
        state_->record({FakeAudioEvent::Kind::Write, std::vector<uint8_t>(p, p + bytes), 0, data});
        return true;
    }
    void reset() override {
        if (open_) state_->record({FakeAudioEvent::Kind::Reset, {}, 0});
    }
    uint32_t volume() const override { return volume_; }
    void setVolume(uint32_t volume) override {
        volume_ = volume;
        state_->record({FakeAudioEvent::Kind::Volume, {}, volume});
    }
    void close() override {
        if (!open_) return;
        open_ = false;
        state_->record({FakeAudioEvent::Kind::Close, {}, 0});
    }

private:
    std::shared_ptr<State> state_;
    bool open_ = false;
    uint32_t volume_ = kFullVolume;
};

class FakeAudioInput final : public AudioInput {
public:
    explicit FakeAudioInput(std::shared_ptr<State> state) : state_(std::move(state)) {}
    ~FakeAudioInput() override { close(); }

    bool open(const AudioFormat& format, std::size_t bufferBytes, BufferHandler handler) override {
        if (open_ || !format.supported() || bufferBytes == 0 || !handler) return false;
        std::lock_guard lock(state_->mutex);
        if (state_->inputs <= 0 || state_->openFails) return false;
        state_->bufferBytes = bufferBytes;
        buffer_.assign(bufferBytes, 0);
        handler_ = std::move(handler);
        open_ = true;
        return true;
    }
    bool isOpen() const override { return open_; }
    bool start() override {
        if (!open_) return false;
        if (thread_.joinable()) return true;
        {
            std::lock_guard lock(state_->mutex);
            stopping_ = false;
        }
        thread_ = std::thread([this] { run(); });
        return true;
    }
    void stop() override {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(state_->mutex);
            stopping_ = true;
        }
        state_->changed.notify_all();
        thread_.join();
    }
    void close() override {
        stop();
        open_ = false;
        handler_ = nullptr;
    }

private:
    // The device thread: one full buffer at a time, as long as data lasts.
    void run() {
        std::unique_lock lock(state_->mutex);
        for (;;) {
            state_->changed.wait(lock, [&] { return stopping_ || state_->capture.size() >= buffer_.size(); });
            if (stopping_) return;
            std::copy_n(state_->capture.begin(), buffer_.size(), buffer_.begin());
            state_->capture.erase(state_->capture.begin(),
                                  state_->capture.begin() + static_cast<std::ptrdiff_t>(buffer_.size()));
            ++state_->handlersRunning;
            lock.unlock();
            handler_(buffer_.data(), buffer_.size());
            lock.lock();
            --state_->handlersRunning;
            ++state_->delivered;
            state_->changed.notify_all();
        }
    }

    std::shared_ptr<State> state_;
    bool open_ = false;
    bool stopping_ = false; // guarded by state_->mutex
    std::vector<uint8_t> buffer_;
    BufferHandler handler_;
    std::thread thread_;
};

} // namespace

FakeAudioDevices::FakeAudioDevices() : state_(std::make_shared<State>()) {}
FakeAudioDevices::~FakeAudioDevices() = default;

void FakeAudioDevices::setDeviceCounts(int outputs, int inputs) {
    std::lock_guard lock(state_->mutex);
    state_->outputs = outputs;
    state_->inputs = inputs;
}

void FakeAudioDevices::setOpenFails(bool fails) {
    std::lock_guard lock(state_->mutex);
    state_->openFails = fails;
}

void FakeAudioDevices::setInitialOutputVolume(uint32_t volume) {
    std::lock_guard lock(state_->mutex);
    state_->initialOutputVolume = volume;
}

std::vector<FakeAudioEvent::Kind> FakeAudioDevices::outputEventKinds() const {
    std::lock_guard lock(state_->mutex);
    std::vector<FakeAudioEvent::Kind> out;
    for (const auto& e : state_->events) out.push_back(e.kind);
    return out;
}

std::vector<FakeAudioEvent> FakeAudioDevices::outputEvents() const {
    std::lock_guard lock(state_->mutex);
    return state_->events;
}

std::vector<std::vector<uint8_t>> FakeAudioDevices::writtenBuffers() const {
    std::lock_guard lock(state_->mutex);
    std::vector<std::vector<uint8_t>> out;
    for (const auto& e : state_->events) {
        if (e.kind == FakeAudioEvent::Kind::Write) out.push_back(e.data);
    }
    return out;
}

int FakeAudioDevices::resetCount() const {
    std::lock_guard lock(state_->mutex);
    int n = 0;
    for (const auto& e : state_->events) n += e.kind == FakeAudioEvent::Kind::Reset ? 1 : 0;
    return n;
}

void FakeAudioDevices::pushInput(const std::vector<uint8_t>& bytes) {
    {
        std::lock_guard lock(state_->mutex);
        state_->capture.insert(state_->capture.end(), bytes.begin(), bytes.end());
    }
    state_->changed.notify_all();
}

bool FakeAudioDevices::waitInputDrained(int timeoutMs) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return state_->capture.size() < state_->bufferBytes && state_->handlersRunning == 0;
    });
}

int FakeAudioDevices::deliveredInputBuffers() const {
    std::lock_guard lock(state_->mutex);
    return state_->delivered;
}

int FakeAudioDevices::outputDeviceCount() {
    std::lock_guard lock(state_->mutex);
    return state_->outputs;
}

int FakeAudioDevices::inputDeviceCount() {
    std::lock_guard lock(state_->mutex);
    return state_->inputs;
}

std::unique_ptr<AudioOutput> FakeAudioDevices::makeOutput() { return std::make_unique<FakeAudioOutput>(state_); }
std::unique_ptr<AudioInput> FakeAudioDevices::makeInput() { return std::make_unique<FakeAudioInput>(state_); }

} // namespace platform
