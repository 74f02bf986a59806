// Plays received audio: a ring of 100 buffers of 1,280 bytes written to the
// output device in turn; coming round to the first buffer resets the device.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio_device.h"

namespace ostrel {

class AudioPlayer {
public:
    static constexpr int kBufferCount = 100;
    static constexpr std::size_t kBufferSize = 1280;
    static constexpr uint32_t kDefaultVolume = 0x85858585u;

    explicit AudioPlayer(std::unique_ptr<AudioDevice> device);
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    bool open();
    bool isOpen() const { return open_.load(); }
    // Called from the receive thread only.
    void play(const uint8_t* payload, std::size_t length);
    void close();

private:
    std::unique_ptr<AudioDevice> device_;
    std::unique_ptr<uint8_t[]> buffers_;
    int index_ = 0;
    std::atomic<bool> open_{false};
    std::atomic<bool> playing_{false};
};

} // namespace ostrel
