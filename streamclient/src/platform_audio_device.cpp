#include "platform_audio_device.h"

namespace ostrel {

namespace {

// 16-bit PCM, mono, 8,000 samples/s.
const platform::AudioFormat kReceivedAudioFormat{8000, 1, 16};

} // namespace

PlatformAudioDevice::PlatformAudioDevice(std::shared_ptr<platform::AudioDevices> devices)
    : devices_(std::move(devices)) {}

PlatformAudioDevice::~PlatformAudioDevice() { close(); }

bool PlatformAudioDevice::hasInputDevice() const { return devices_ && devices_->inputDeviceCount() > 0; }

bool PlatformAudioDevice::hasOutputDevice() const { return devices_ && devices_->outputDeviceCount() > 0; }

bool PlatformAudioDevice::open() {
    if (!devices_) return false;
    if (!output_) output_ = devices_->makeOutput();
    return output_ && output_->open(kReceivedAudioFormat);
}

bool PlatformAudioDevice::write(const uint8_t* data, std::size_t length) {
    return output_ && output_->write(data, length);
}

void PlatformAudioDevice::reset() {
    if (output_) output_->reset();
}

uint32_t PlatformAudioDevice::volume() const { return output_ ? output_->volume() : 0; }

void PlatformAudioDevice::setVolume(uint32_t volume) {
    if (output_) output_->setVolume(volume);
}

void PlatformAudioDevice::close() {
    if (output_) output_->close();
    output_.reset();
}

std::unique_ptr<AudioDevice> makeSystemAudioDevice() {
    return std::make_unique<PlatformAudioDevice>(
        std::shared_ptr<platform::AudioDevices>(platform::makeSystemAudioDevices()));
}

} // namespace ostrel
