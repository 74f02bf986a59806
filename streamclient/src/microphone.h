// The microphone as talk-back captures it: 16-bit PCM, mono, 8,000
// samples/s, in buffers of 4,096 bytes (256 ms) handed to a sink on the audio
// device's own thread. Stopping is handed over to a buffer in flight (waited
// for at most a second), then the device is taken down.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/event.h"

namespace ostrel {

class Microphone {
public:
    using DeviceSource = std::function<std::shared_ptr<platform::AudioDevices>()>;
    using BufferSink = std::function<void(const uint8_t* data, std::size_t bytes)>;

    static constexpr std::size_t kBufferBytes = 4096;

    // The clock bounds the wait for a buffer in flight when capture stops;
    // devices gives the microphone, asked for on the first start.
    Microphone(const platform::Clock& clock, DeviceSource devices);
    ~Microphone(); // stop()
    Microphone(const Microphone&) = delete;
    Microphone& operator=(const Microphone&) = delete;

    // Opens the default input device and starts capture. False when there is
    // no device or it refuses the format or does not start.
    bool start(BufferSink sink);
    // Stops capture if it runs; afterwards the sink is not called.
    void stop();
    bool isCapturing() const { return input_ != nullptr; }

private:
    void onBuffer(const uint8_t* data, std::size_t bytes);

    const platform::AudioFormat format_{8000, 1, 16};
    const platform::Clock& clock_;
    DeviceSource deviceSource_;
    std::shared_ptr<platform::AudioDevices> devices_;
    std::unique_ptr<platform::AudioInput> input_;
    BufferSink sink_;
    std::atomic<bool> stopping_{false};
    platform::ManualResetEvent stopAcknowledged_;
};

} // namespace ostrel
