// Plays received audio: a ring of 100 buffers of 1,280 bytes written to the
// output device in turn; coming round to the first buffer resets the device.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/audio.h"

namespace ostrel {

class AudioPlayer {
public:
    static constexpr int kBufferCount = 100;
    static constexpr std::size_t kBufferSize = 1280;
    static constexpr uint32_t kDefaultVolume = 0x85858585u;

    // Null devices: nothing is played.
    explicit AudioPlayer(std::shared_ptr<platform::AudioDevices> devices);
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    bool open();
    bool isOpen() const { return open_.load(); }
    // Called from the receive thread only.
    void play(const uint8_t* payload, std::size_t length);
    void close();

private:
    std::shared_ptr<platform::AudioDevices> devices_;
    std::unique_ptr<platform::AudioOutput> output_;
    std::unique_ptr<uint8_t[]> buffers_;
    int index_ = 0;
    std::atomic<bool> open_{false};
    std::atomic<bool> playing_{false};
};

} // namespace ostrel
