#include "camsim/audio_source.h"

#include "transport/contract.h"
#include "transport/protocol_message.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace camsim {

ToneAudioSource::ToneAudioSource(int frequencyHz, int amplitude)
    : frequency_(frequencyHz), amplitude_(amplitude < 0 ? 0 : (amplitude > 32767 ? 32767 : amplitude)) {}

int16_t ToneAudioSource::sample(int64_t n) const {
    // The phase is taken modulo one second so that it stays exact however long the tone runs.
    const int64_t inSecond = (n * frequency_) % kAudioSampleRate;
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(inSecond) / kAudioSampleRate;
    return static_cast<int16_t>(std::lround(amplitude_ * std::sin(phase)));
}

bool ToneAudioSource::nextBlock(AudioBlock& block) {
    block.pcm.resize(kAudioBlockBytes);
    for (std::size_t i = 0; i < kAudioBlockSamples; ++i) {
        const auto s = static_cast<uint16_t>(sample(next_ + static_cast<int64_t>(i)));
        block.pcm[2 * i] = static_cast<uint8_t>(s & 0xFF);
        block.pcm[2 * i + 1] = static_cast<uint8_t>(s >> 8);
    }
    block.timeStampMs = static_cast<uint32_t>(next_ * 1000 / kAudioSampleRate);
    next_ += static_cast<int64_t>(kAudioBlockSamples);
    return true;
}

std::vector<uint8_t> audioRecord(const AudioBlock& block, uint8_t perFrame) {
    std::vector<uint8_t> record(kAudioPayloadOffset + block.pcm.size(), 0);
    std::memcpy(record.data(), transport::kFrameStartCode, 4);
    record[4] = 2;
    transport::putUint32Le(record.data() + 8, static_cast<uint32_t>(record.size() - 12));
    transport::putUint32Le(record.data() + 12, block.timeStampMs);
    record[16] = perFrame;
    record[19] = 3; // no digital input active
    if (!block.pcm.empty()) std::memcpy(record.data() + kAudioPayloadOffset, block.pcm.data(), block.pcm.size());
    return record;
}

} // namespace camsim
