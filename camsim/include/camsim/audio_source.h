// Audio for the simulated cameras: 16-bit PCM, mono, 8000 samples/s, in
// blocks of 320 samples (40 ms), and the frame record a protocol version 2
// camera sends them in.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace camsim {

inline constexpr int kAudioSampleRate = 8000;
inline constexpr std::size_t kAudioBlockSamples = 320;
inline constexpr std::size_t kAudioBlockBytes = kAudioBlockSamples * 2;
inline constexpr int kAudioBlockMs = 40;
// Audio record: the first 28 bytes of a frame header (start code, kind 2,
// length, time stamp, per-frame, status, motion, digital-input bytes), then
// the samples: 28 + 640 = 668 bytes.
inline constexpr std::size_t kAudioPayloadOffset = 28;
inline constexpr std::size_t kAudioRecordSize = kAudioPayloadOffset + kAudioBlockBytes;

struct AudioBlock {
    std::vector<uint8_t> pcm; // little-endian 16-bit samples
    uint32_t timeStampMs = 0;
};

class AudioSource {
public:
    virtual ~AudioSource() = default;
    // The next block; false when the source has nothing more.
    virtual bool nextBlock(AudioBlock& block) = 0;
};

// A steady sine tone; the phase runs on across blocks.
class ToneAudioSource final : public AudioSource {
public:
    explicit ToneAudioSource(int frequencyHz = 1000, int amplitude = 8000);
    bool nextBlock(AudioBlock& block) override;
    // Sample n of the tone, counted from the source's start.
    int16_t sample(int64_t n) const;

private:
    int frequency_;
    int amplitude_;
    int64_t next_ = 0;
};

// The 668-byte record carrying one block; the per-frame byte counts records.
std::vector<uint8_t> audioRecord(const AudioBlock& block, uint8_t perFrame);

} // namespace camsim
