// Waveform audio devices: playback of received audio and microphone capture,
// in the device model the stream client was written for (open a format,
// write or capture whole buffers, reset, volume). The caller picks the
// devices through AudioDevices: the system's (PortAudio) or the in-memory
// fake of audio_fake.h for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// Linear PCM. Only 16-bit samples are supported, in 1 or 2 channels.
struct AudioFormat {
    int sampleRate = 8000;
    int channels = 1;
    int bitsPerSample = 16;

    int blockAlign() const { return channels * bitsPerSample / 8; }
    int bytesPerSecond() const { return sampleRate * blockAlign(); }
    bool supported() const { return bitsPerSample == 16 && channels >= 1 && channels <= 2 && sampleRate > 0; }
};

// Volume: low word left channel, high word right channel, 0xFFFF each = full.
inline constexpr uint32_t kFullVolume = 0xFFFFFFFFu;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Opens the default output device. False when there is none or it
    // refuses the format; the object can be opened again later.
    virtual bool open(const AudioFormat& format) = 0;
    virtual bool isOpen() const = 0;
    // Queues one buffer for playing and returns at once. False when not open
    // or the queue is full (the buffer is then dropped).
    virtual bool write(const void* data, std::size_t bytes) = 0;
    // Drops everything queued that has not been played yet.
    virtual void reset() = 0;
    virtual uint32_t volume() const = 0;
    virtual void setVolume(uint32_t volume) = 0;
    // Stops playing and releases the device; harmless when not open.
    virtual void close() = 0;
};

class AudioInput {
public:
    // Called on the device's own thread with one full buffer; the data is
    // valid only during the call.
    using BufferHandler = std::function<void(const uint8_t* data, std::size_t bytes)>;

    virtual ~AudioInput() = default;
    // Opens the default input device; every captured buffer of bufferBytes
    // bytes goes to handler once started. False when there is no device or it
    // refuses the format.
    virtual bool open(const AudioFormat& format, std::size_t bufferBytes, BufferHandler handler) = 0;
    virtual bool isOpen() const = 0;
    virtual bool start() = 0;
    // Returns once the handler is no longer running and no more buffers
    // come. Neither stop() nor close() may be called from the handler.
    virtual void stop() = 0;
    virtual void close() = 0;
};

// The audio devices of a machine (or of a test).
class AudioDevices {
public:
    virtual ~AudioDevices() = default;
    virtual int outputDeviceCount() = 0;
    virtual int inputDeviceCount() = 0;
    virtual std::unique_ptr<AudioOutput> makeOutput() = 0;
    virtual std::unique_ptr<AudioInput> makeInput() = 0;
};

// The machine's devices through PortAudio. The sound system is started on
// first use and stopped when the last object made from it is gone. A machine
// without sound hardware simply has no devices.
std::unique_ptr<AudioDevices> makeSystemAudioDevices();

} // namespace platform
