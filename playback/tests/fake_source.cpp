#include "fake_source.h"

#include "test_encoder.h"

namespace playback::test {

namespace {

constexpr int kH264 = 27; // AV_CODEC_ID_H264

struct Encoded {
    std::vector<uint8_t> data;
    bool key = false;
};

const std::vector<Encoded>& pictures() {
    static const std::vector<Encoded> all = [] {
        std::vector<Encoded> out;
        decoder::test::TestEncoder encoder(96, 64, 25, kKeyEvery, false, kH264);
        for (int i = 0; i < kPictures; ++i) {
            decoder::test::RgbPicture picture = decoder::test::quadrants(96, 64);
            picture.fillRect(i % 80, 20, 16, 16, {0, 0, 0});
            decoder::test::EncodedFrame frame = encoder.encode(picture);
            out.push_back({std::move(frame.data), i % kKeyEvery == 0});
        }
        return out;
    }();
    return all;
}

int64_t timeOf(int index) { return kFirstMs + index * kIntervalMs; }

} // namespace

FakeSource::FakeSource(Script script) : script_(std::move(script)) { pictures(); }

bool FakeSource::holds(int index) const {
    if (index < 0 || index >= script_.pictures) return false;
    return !script_.gap || timeOf(index) < script_.gap->first || timeOf(index) >= script_.gap->second;
}

Started FakeSource::start(const SourceStart& start) {
    std::lock_guard lock(mutex_);
    starts_.push_back(start);
    if (!script_.failStart.empty()) {
        reason_ = script_.failStart;
        return Started::Failed;
    }
    const bool backwards = start.speed < 0;
    int at = static_cast<int>((start.fromMs - kFirstMs) / kIntervalMs);
    at = std::clamp(at, 0, script_.pictures - 1);
    // The key picture at or before (backwards: at or after) the time.
    if (backwards) {
        while (at < script_.pictures && at % kKeyEvery != 0) ++at;
    } else {
        at -= at % kKeyEvery;
    }
    // In a gap: on after it.
    while (at < script_.pictures && !holds(at)) ++at;
    position_ = at;
    intra_ = start.intraOnly;
    step_ = backwards ? -1 : 1;
    firstAfterStart_ = true;
    return Started::Yes;
}

Fetched FakeSource::next(AccessUnit& unit, int) {
    std::lock_guard lock(mutex_);
    if (position_ < 0) return Fetched::Nothing;
    for (;;) {
        if (position_ < 0 || position_ >= script_.pictures) {
            reason_ = "the recording ends";
            return Fetched::End;
        }
        if (holds(position_) && (!intra_ || script_.ignoresIntra || position_ % kKeyEvery == 0)) break;
        position_ += step_;
    }
    const int index = position_;
    if (script_.failAtMs != kNoTime && timeOf(index) >= script_.failAtMs) {
        reason_ = "the camera closed the connection";
        return Fetched::Failed;
    }
    const bool afterGap = index > 0 && !holds(index - step_) && script_.gap.has_value();
    unit = {};
    unit.timeMs = timeOf(index);
    unit.sourceTimeMs = unit.timeMs + 600000; // a camera ten minutes ahead
    unit.key = pictures()[static_cast<std::size_t>(index)].key;
    unit.discontinuity = firstAfterStart_ || afterGap;
    unit.last = !script_.endless && index == script_.pictures - 1 && step_ > 0;
    unit.codec = kDecoderCodecH264;
    unit.data = pictures()[static_cast<std::size_t>(index)].data;
    firstAfterStart_ = false;
    position_ += step_;
    ++handedOut_;
    return Fetched::Unit;
}

std::string FakeSource::reason() const {
    std::lock_guard lock(mutex_);
    return reason_;
}

std::vector<SourceStart> FakeSource::starts() const {
    std::lock_guard lock(mutex_);
    return starts_;
}

} // namespace playback::test
