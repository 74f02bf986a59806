#include "audio_player.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace ostrel {

namespace {

// 16-bit PCM, mono, 8,000 samples/s.
const platform::AudioFormat kReceivedAudioFormat{8000, 1, 16};

} // namespace

AudioPlayer::AudioPlayer(std::shared_ptr<platform::AudioDevices> devices) : devices_(std::move(devices)) {}

AudioPlayer::~AudioPlayer() { close(); }

bool AudioPlayer::open() {
    if (open_.load() || !devices_) return open_.load();
    // A machine without an input or an output device plays nothing.
    if (devices_->inputDeviceCount() <= 0 || devices_->outputDeviceCount() <= 0) return false;
    if (!output_) output_ = devices_->makeOutput();
    if (!output_ || !output_->open(kReceivedAudioFormat)) return false;
    buffers_.reset(new (std::nothrow) uint8_t[kBufferCount * kBufferSize]);
    if (!buffers_) {
        output_->close();
        return false;
    }
    if (output_->volume() == 0) output_->setVolume(kDefaultVolume);
    index_ = 0;
    open_.store(true);
    return true;
}

void AudioPlayer::play(const uint8_t* payload, std::size_t length) {
    if (!open_.load() || payload == nullptr) return;
    playing_.store(true);
    if (index_ < kBufferCount) {
        // Coming round to the first buffer: whatever is still queued is stale.
        if (index_ == 0) output_->reset();
        uint8_t* buffer = buffers_.get() + static_cast<std::size_t>(index_) * kBufferSize;
        const std::size_t n = std::min(length, kBufferSize);
        std::memcpy(buffer, payload, n);
        output_->write(buffer, n);
        index_ = (index_ + 1) % kBufferCount;
    }
    playing_.store(false);
}

void AudioPlayer::close() {
    if (!open_.exchange(false)) return;
    while (playing_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    output_->reset();
    output_->close();
    output_.reset();
    buffers_.reset();
}

} // namespace ostrel
