// The simulated camera's speaker: what it keeps of long talk-back, and the
// tone measure the talk-back tests read its recording with.
#include "camsim/camera_head.h"
#include "camsim/talk_receiver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace camsim {
namespace {

std::vector<int16_t> tone(double hz, double amplitude, std::size_t count) {
    std::vector<int16_t> v(count);
    for (std::size_t i = 0; i < count; ++i)
        v[i] = static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * hz * i / 8000.0));
    return v;
}

TEST(TalkReceiverTest, KeepsTheNewestSecondsAndCountsEverySample) {
    auto head = std::make_shared<CameraHead>();
    TalkReceiver talk(TalkCodec::Pcmu, head, 1); // one second: 8000 samples
    const std::vector<int16_t> piece = tone(1000, 6000, 3000);
    for (int i = 0; i < 4; ++i) talk.receive(piece.data(), piece.size());
    EXPECT_EQ(talk.sampleCount(), 12000u);
    EXPECT_EQ(talk.samples().size(), 8000u);
    // The pieces still kept end where the samples do and start at or before them.
    const std::vector<TalkPiece> pieces = talk.pieces();
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces.front().firstSample, 3000u);
    EXPECT_EQ(pieces.back().firstSample + pieces.back().count, 12000u);
    EXPECT_GT(head->state().talkLevel, 0.4);
    talk.clear();
    EXPECT_EQ(talk.sampleCount(), 0u);
    EXPECT_TRUE(talk.pieces().empty());
}

TEST(TalkReceiverTest, ToneMeasureGivesLevelAndPitch) {
    const std::vector<int16_t> a = tone(440, 10000, 8000);
    const ToneMeasure m = measureTone(a.data(), a.size());
    EXPECT_NEAR(m.frequencyHz, 440, 2);
    EXPECT_NEAR(m.rms, 10000 / std::numbers::sqrt2, 50);
    const std::vector<int16_t> silence(800, 0);
    EXPECT_EQ(measureTone(silence.data(), silence.size()).rms, 0);
    EXPECT_EQ(measureTone(nullptr, 10).frequencyHz, 0);
}

} // namespace
} // namespace camsim
