#include "audio_player.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace ostrel {

AudioPlayer::AudioPlayer(std::unique_ptr<AudioDevice> device) : device_(std::move(device)) {}

AudioPlayer::~AudioPlayer() { close(); }

bool AudioPlayer::open() {
    if (open_.load() || !device_) return open_.load();
    if (!device_->hasInputDevice() || !device_->hasOutputDevice()) return false;
    if (!device_->open()) return false;
    buffers_.reset(new (std::nothrow) uint8_t[kBufferCount * kBufferSize]);
    if (!buffers_) {
        device_->close();
        return false;
    }
    if (device_->volume() == 0) device_->setVolume(kDefaultVolume);
    index_ = 0;
    open_.store(true);
    return true;
}

void AudioPlayer::play(const uint8_t* payload, std::size_t length) {
    if (!open_.load() || payload == nullptr) return;
    playing_.store(true);
    if (index_ < kBufferCount) {
        // Coming round to the first buffer: whatever is still queued is stale.
        if (index_ == 0) device_->reset();
        uint8_t* buffer = buffers_.get() + static_cast<std::size_t>(index_) * kBufferSize;
        const std::size_t n = std::min(length, kBufferSize);
        std::memcpy(buffer, payload, n);
        device_->write(buffer, n);
        index_ = (index_ + 1) % kBufferCount;
    }
    playing_.store(false);
}

void AudioPlayer::close() {
    if (!open_.exchange(false)) return;
    while (playing_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    device_->reset();
    device_->close();
    buffers_.reset();
}

} // namespace ostrel
