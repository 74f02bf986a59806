// The audio player's device on top of the platform's waveform audio.
#pragma once

#include <memory>

#include "audio_device.h"
#include "platform/audio.h"

namespace ostrel {

class PlatformAudioDevice final : public AudioDevice {
public:
    explicit PlatformAudioDevice(std::shared_ptr<platform::AudioDevices> devices);
    ~PlatformAudioDevice() override;

    bool hasInputDevice() const override;
    bool hasOutputDevice() const override;
    bool open() override;
    bool write(const uint8_t* data, std::size_t length) override;
    void reset() override;
    uint32_t volume() const override;
    void setVolume(uint32_t volume) override;
    void close() override;

private:
    std::shared_ptr<platform::AudioDevices> devices_;
    std::unique_ptr<platform::AudioOutput> output_;
};

// The machine's default output device.
std::unique_ptr<AudioDevice> makeSystemAudioDevice();

} // namespace ostrel
