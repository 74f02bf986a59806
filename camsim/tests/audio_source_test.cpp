#include "camsim/audio_source.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

int16_t sampleAt(const std::vector<uint8_t>& pcm, std::size_t i) {
    return static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
}

TEST(ToneAudioSourceTest, ThousandHertzRepeatsEveryEightSamples) {
    ToneAudioSource tone(1000, 8000);
    AudioBlock block;
    ASSERT_TRUE(tone.nextBlock(block));
    ASSERT_EQ(block.pcm.size(), 640u);
    // 8000 * sin(n * 45 degrees), worked by hand.
    const int16_t expected[8] = {0, 5657, 8000, 5657, 0, -5657, -8000, -5657};
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(sampleAt(block.pcm, i), expected[i % 8]) << i;
    EXPECT_EQ(block.timeStampMs, 0u);
}

TEST(ToneAudioSourceTest, BlocksFollowOnWithoutAJump) {
    ToneAudioSource tone(440, 10000);
    AudioBlock first, second;
    ASSERT_TRUE(tone.nextBlock(first));
    ASSERT_TRUE(tone.nextBlock(second));
    EXPECT_EQ(second.timeStampMs, 40u);
    EXPECT_EQ(sampleAt(second.pcm, 0), tone.sample(320));
    EXPECT_EQ(sampleAt(first.pcm, 319), tone.sample(319));
}

TEST(AudioRecordTest, CarriesTheSamplesAtByteTwentyEight) {
    ToneAudioSource tone;
    AudioBlock block;
    tone.nextBlock(block);
    tone.nextBlock(block);
    const std::vector<uint8_t> r = audioRecord(block, 9);
    ASSERT_EQ(r.size(), 668u);
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 5), (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB2, 0x02}));
    // 656 = 0x290 bytes after the length field.
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 8, r.begin() + 12), (std::vector<uint8_t>{0x90, 0x02, 0x00, 0x00}));
    EXPECT_EQ(r[12], 40); // time stamp of the second block, little-endian
    EXPECT_EQ(r[16], 9);
    EXPECT_EQ(r[19], 3);
    EXPECT_TRUE(std::equal(block.pcm.begin(), block.pcm.end(), r.begin() + 28));
}

} // namespace
} // namespace camsim
