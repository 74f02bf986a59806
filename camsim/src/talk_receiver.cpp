#include "camsim/talk_receiver.h"

#include "camsim/camera_head.h"

#include <chrono>
#include <cmath>

namespace camsim {

namespace {

constexpr int kSampleRate = 8000;

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct CodecName {
    TalkCodec codec;
    const char* name;
};
constexpr CodecName kCodecNames[] = {{TalkCodec::Pcmu, "pcmu"}, {TalkCodec::Pcma, "pcma"}, {TalkCodec::Aac, "aac"}};

} // namespace

bool parseTalkCodec(const std::string& text, TalkCodec& codec) {
    for (const CodecName& c : kCodecNames) {
        if (text == c.name) {
            codec = c.codec;
            return true;
        }
    }
    return false;
}

const char* talkCodecName(TalkCodec codec) {
    for (const CodecName& c : kCodecNames) {
        if (c.codec == codec) return c.name;
    }
    return "pcmu";
}

TalkReceiver::TalkReceiver(TalkCodec codec, std::shared_ptr<CameraHead> head, int keepSeconds)
    : codec_(codec), head_(std::move(head)),
      keepSamples_(static_cast<std::size_t>(keepSeconds > 0 ? keepSeconds : 1) * kSampleRate) {}

void TalkReceiver::setRefusal(TalkRefusal refusal) {
    std::lock_guard lock(mutex_);
    refusal_ = refusal;
}

TalkRefusal TalkReceiver::refusal() const {
    std::lock_guard lock(mutex_);
    return refusal_;
}

void TalkReceiver::receive(const int16_t* samples, std::size_t count) {
    if (samples == nullptr || count == 0) return;
    if (head_) head_->receiveTalk(reinterpret_cast<const uint8_t*>(samples), count * sizeof(int16_t));
    {
        std::lock_guard lock(mutex_);
        pieces_.push_back({steadyMs(), dropped_ + samples_.size(), count});
        samples_.insert(samples_.end(), samples, samples + count);
        if (samples_.size() > keepSamples_) {
            const std::size_t excess = samples_.size() - keepSamples_;
            samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(excess));
            dropped_ += excess;
            while (!pieces_.empty() && pieces_.front().firstSample + pieces_.front().count <= dropped_) {
                pieces_.erase(pieces_.begin());
            }
        }
    }
    arrived_.notify_all();
}

void TalkReceiver::sessionOpened() {
    std::lock_guard lock(mutex_);
    ++sessions_;
}

std::vector<int16_t> TalkReceiver::samples() const {
    std::lock_guard lock(mutex_);
    return samples_;
}

std::vector<TalkPiece> TalkReceiver::pieces() const {
    std::lock_guard lock(mutex_);
    return pieces_;
}

std::size_t TalkReceiver::sampleCount() const {
    std::lock_guard lock(mutex_);
    return dropped_ + samples_.size();
}

int TalkReceiver::sessionsOpened() const {
    std::lock_guard lock(mutex_);
    return sessions_;
}

bool TalkReceiver::waitForSamples(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return dropped_ + samples_.size() >= count; });
}

void TalkReceiver::clear() {
    std::lock_guard lock(mutex_);
    samples_.clear();
    pieces_.clear();
    dropped_ = 0;
}

ToneMeasure measureTone(const int16_t* samples, std::size_t count, int sampleRate) {
    ToneMeasure m;
    if (samples == nullptr || count < 2 || sampleRate <= 0) return m;
    double sum = 0;
    std::size_t crossings = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
        if (i > 0 && (samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
    }
    m.rms = std::sqrt(sum / static_cast<double>(count));
    // Two crossings per period.
    m.frequencyHz = static_cast<double>(crossings) * sampleRate / (2.0 * static_cast<double>(count - 1));
    return m;
}

} // namespace camsim
