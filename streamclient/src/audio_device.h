// The waveform output the audio player writes to. Kept small so that the
// platform's audio output and the tests' recording device both fit behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ostrel {

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    virtual bool hasInputDevice() const = 0;
    virtual bool hasOutputDevice() const = 0;
    // 16-bit PCM, mono, 8,000 samples/s.
    virtual bool open() = 0;
    // Queues one buffer; the data stays valid until the buffer comes round again.
    virtual bool write(const uint8_t* data, std::size_t length) = 0;
    // Drops whatever is still queued.
    virtual void reset() = 0;
    // Both channels, low word left, high word right, 0xFFFF full.
    virtual uint32_t volume() const = 0;
    virtual void setVolume(uint32_t volume) = 0;
    virtual void close() = 0;
};

} // namespace ostrel
