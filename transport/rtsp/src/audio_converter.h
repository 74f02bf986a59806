// Turns the camera's audio (G.711 mu-law or A-law, AAC) into the 16-bit mono
// PCM at 8,000 samples/s that the stream client plays, in slices of one
// audio record's payload.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "platform/libav_owners.h"

namespace corvel {

class AudioConverter {
public:
    // Null when the codec is not one we play or libavcodec cannot open it.
    static std::unique_ptr<AudioConverter> create(const AVCodecParameters& parameters);
    ~AudioConverter();
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // Decodes one packet and queues what it yields; damaged packets are dropped.
    void push(const AVPacket& packet);
    // Takes the next whole slice (kAudioPayloadBytes) into `out`; false when
    // fewer bytes wait.
    bool pop(std::span<uint8_t> out);
    // True while a whole slice waits.
    bool hasWhole() const;

private:
    AudioConverter() = default;
    void convert(const AVFrame& frame);

    platform::av::CodecContextPtr codec_;
    platform::av::FramePtr frame_;
    platform::av::ResamplerPtr resampler_;
    std::vector<uint8_t> converted_;
    std::deque<uint8_t> pending_;
};

} // namespace corvel
